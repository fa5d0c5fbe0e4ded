// A seller's week on the smallest desktop, 1024×768: what decides is in view without
// scrolling sideways, nothing is cut to a stub, and no message hides another.

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "domain/bank/Matching.h"
#include "domain/db/Database.h"
#include "domain/db/Journal.h"
#include "domain/trade/StatusGruppen.h"
#include "ui/frmHilfe.h"
#include "ui/frmKontoauszug.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class SmallScreen : public test::MainWindowTest {
protected:
    // Thirty sales of this year from all over Europe (enough for the reporting-limit note),
    // some of them overdue, and one paid in part.
    QString partPaid;
    void fillWeek() {
        const char* buyers[] = {"wuebbenhorst_antik",  "tom_wisniewski_78", "Αλεξάνδρα_Κωνσταντίνου",
                                "jiri.dvorak-brno",    "zofia_wisniewska",  "sørensen_møbler",
                                "łukasz.grabowski",    "maría-josé_núñez",  "ülkü_yılmaz_istanbul",
                                "pierre-henri_lefèvre"};
        const char* titles[] = {"Zassenhaus Kaffeemühle Santiago Buche, gut erhalten",
                                "Rosenthal Studio-Linie Mokkatassen, 6 Stück",
                                "Märklin H0 3047 Güterzuglok BR 44 in OVP",
                                "WMF Besteck Form 2200, 24-teilig, Cromargan",
                                "Leica Summicron 50 mm f/2 M-Bajonett",
                                "Steiff Teddybär 1950er Jahre mit Knopf im Ohr"};
        for (int i = 0; i < 30; ++i) {
            const QString nr = QString::number(4711000 + i);
            const QString buyer = QString::fromUtf8(buyers[i % 10]) + (i >= 10 ? QString::number(i) : QString());
            // Older ones are overdue; the newest from this week.
            const QDate end = QDate(2026, 12, 6).addDays(-i * 2);
            tAuktion a = auktion(nr, buyer, end.toString(u"dd.MM.yyyy"_s));
            a.Titel = QString::fromUtf8(titles[i % 6]);
            a.Preis = u"%1,50"_s.arg(20 + i);
            a.Betrag = u"%1,40"_s.arg(24 + i);
            const QString id = store(a, kunde(buyer, u"Käufer %1"_s.arg(i)));
            if (i == 1) partPaid = id;
        }
        Transaction tx(currentStore());
        Database d = tx.database();
        journal::receive(d, gSettings.StandardUser, {partPaid},
                         makeEntry(partPaid, QDate(2026, 12, 7), -1000, art::Zahlung, konto::Bank, quelle::Hand));
        tx.commit();
    }
    void atSmallScreen() {
        w->resize(1024, 768);
        QApplication::processEvents();
        ASSERT_EQ(w->size(), QSize(1024, 768));
    }
    static int textWidth(const QWidget* on, const QString& t) { return on->fontMetrics().horizontalAdvance(t); }
};

// The list: member names and titles readable; with "Überfällig" shown the title keeps its room.
TEST_F(SmallScreen, TheListKeepsNamesAndTitlesReadable) {
    fillWeek();
    open();
    atSmallScreen();
    FlexGrid* g = w->grid();
    const auto fits = [g](int col, const QString& text) {
        return g->columnWidth(col) >= g->fontMetrics().horizontalAdvance(text) + 8;
    };
    EXPECT_TRUE(fits(2, u"wuebbenhorst_antik"_s)) << g->columnWidth(2);
    EXPECT_GE(g->columnWidth(4), 120);  // some twenty characters of a title
    test::screenshot(w.get(), u"hauptfenster-1024x768.png"_s);
    filter(4);  // "Überfällig"
    QApplication::processEvents();
    ASSERT_GT(g->model()->rowCount(), 5);
    EXPECT_TRUE(fits(2, u"wuebbenhorst_antik"_s)) << g->columnWidth(2);
    EXPECT_GE(g->columnWidth(4), 120);  // some twenty characters of a title
    EXPECT_LE(g->columnViewportPosition(8) + g->columnWidth(8), g->viewport()->width());
    test::screenshot(w.get(), u"hauptfenster-ueberfaellig-1024x768.png"_s);
}

// The pane of a part-paid sale says so where it is seen without scrolling.
TEST_F(SmallScreen, ThePartPaymentIsInViewInThePane) {
    fillWeek();
    open();
    atSmallScreen();
    bool shown = false;
    for (int r = 1; r <= w->grid()->model()->rowCount() && !shown; ++r) {
        clickRow(r);
        shown = w->selectedAuktion().AuktionsID == partPaid;
    }
    ASSERT_TRUE(shown);
    auto* note = child<QLabel>(u"lblTeilzahlung"_s);
    ASSERT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().startsWith(u"Teilzahlung erhalten: 10,00 €"_s)) << note->text().toStdString();
    // Shown whole, and outside the fields that scroll: in view however the fields stand.
    EXPECT_EQ(note->visibleRegion().boundingRect(), note->rect());
    auto* scroll = child<QScrollArea>(u"paneScroll"_s);
    EXPECT_FALSE(scroll->isAncestorOf(note));
    EXPECT_TRUE(w->rect().contains(QRect(note->mapTo(w.get(), QPoint(0, 0)), note->size())));
    test::screenshot(w.get(), u"teilzahlung-1024x768.png"_s);
}

// A message in the status line keeps its room beside the reporting-limit note and the
// summary; those end in "…" when they must, and say the whole in their tool tips.
TEST_F(SmallScreen, AStatusMessageIsNotCutByTheNote) {
    fillWeek();
    open();
    atSmallScreen();
    auto* note = child<QLabel>(u"lblGrenze"_s);
    auto* summary = child<QLabel>(u"lblUebersicht"_s);
    ASSERT_TRUE(QTest::qWaitFor([summary] { return !summary->text().isEmpty(); }, 10000));
    ASSERT_TRUE(note->isVisible()) << "thirty sales this year";
    clickRow(1);
    click("cmdSpeichern");
    QApplication::processEvents();
    const QString message = w->statusBar()->currentMessage();
    ASSERT_TRUE(message.startsWith(u"Gespeichert"_s));
    const int left = std::min({note->x(), summary->x(), child<QLabel>(u"lblAnzahl"_s)->x()});
    EXPECT_GE(left, textWidth(w->statusBar(), message) + 8) << left;
    // Nothing overlaps, nothing runs past the window.
    EXPECT_LE(note->geometry().right(), summary->x());
    EXPECT_LE(summary->geometry().right(), child<QLabel>(u"lblAnzahl"_s)->x());
    EXPECT_LE(child<QLabel>(u"lblAnzahl"_s)->geometry().right(), w->statusBar()->width());
    EXPECT_TRUE(summary->toolTip().startsWith(summary->text()));
    EXPECT_FALSE(note->toolTip().isEmpty());
    test::screenshot(w.get(), u"statuszeile-1024x768.png"_s);
}

// The statement dialog: amount, trade, expected, difference, grade and reason without
// scrolling sideways; payer and reference may scroll.
TEST_F(SmallScreen, TheStatementShowsWhatDecides) {
    fillWeek();
    QList<Proposal> proposals;
    for (int i = 0; i < 4; ++i) {
        Proposal p;
        p.Gutschrift.Buchungstag = QDate(2026, 12, 7);
        p.Gutschrift.Cent = 2540 + i * 100;
        p.Gutschrift.Name = u"Wübbenhorst-Pietrzykowska, Małgorzata Aleksandra"_s;
        p.Gutschrift.Zweck = u"Artikel %1 Kaffeemühle Zassenhaus Santiago Buche wuebbenhorst_antik"_s.arg(4711000 + i);
        p.Einstufung = i == 3 ? Grade::Wahrscheinlich : Grade::Sicher;
        p.AuktionsIDs = {QString::number(i + 1)};
        p.AuktionsNrn = {QString::number(4711000 + i)};
        p.Kaeufer = u"wuebbenhorst_antik"_s;
        p.Erwartet = 2440 + i * 100 + (i == 3 ? 500 : 0);
        p.Grund = i == 3 ? u"Name passt, Betrag 5,00 € zu niedrig: Teilzahlung?"_s
                         : u"Betrag und Artikelnummer im Verwendungszweck"_s;
        proposals << p;
    }
    frmKontoauszug d(u"umsaetze-dezember.csv"_s, proposals);
    d.show();
    QApplication::processEvents();
    EXPECT_LE(d.frameGeometry().width(), 1024);
    auto* grid = d.findChild<QTableWidget*>(u"grdZahlungen"_s);
    ASSERT_NE(grid, nullptr);
    const QHeaderView* h = grid->horizontalHeader();
    for (const char* heading : {"Betrag", "Auktion", "Erwartet", "Differenz", "Zuordnung", "Grund"}) {
        int col = -1;
        for (int c = 0; c < grid->columnCount(); ++c)
            if (grid->horizontalHeaderItem(c)->text() == QString::fromUtf8(heading)) col = c;
        ASSERT_GE(col, 0) << heading;
        EXPECT_LE(h->sectionViewportPosition(col) + h->sectionSize(col), grid->viewport()->width()) << heading;
        EXPECT_GE(h->sectionSize(col), h->fontMetrics().horizontalAdvance(QString::fromUtf8(heading))) << heading;
    }
    // the reason whole, as it is the answer to "why"
    EXPECT_GE(h->sectionSize(9),
              grid->fontMetrics().horizontalAdvance(u"Betrag und Artikelnummer im Verwendungszweck"_s));
    test::screenshot(&d, u"kontoauszug-1024x768.png"_s);
}

// The mail form of a group at 1024×768: every item with its quantity, the reference the
// payment code carries, and the whole form on the screen.
TEST_F(SmallScreen, TheGroupMailFormFitsAndNamesEveryItem) {
    shippedFiles();
    gSettings.StandardUser = gSettings.Username = u"haendler"_s;
    gSettings.Kontoinhaber = u"Jürgen Großmann"_s;
    gSettings.IBAN = u"DE89370400440532013000"_s;
    gSettings.BIC = u"COBADEFFXXX"_s;
    gSettings.Bank = u"Commerzbank Köln"_s;
    const tKunde buyer = kunde(u"jiri.dvorak-brno"_s, u"Jiří Dvořák"_s);
    const char* items[][3] = {{"4712001", "Märklin H0 3047 Güterzuglok BR 44", "1"},
                              {"4712002", "Rosenthal Studio-Linie Mokkatassen", "2"},
                              {"4712003", "WMF Besteck Form 2200", "1"}};
    for (const auto& item : items) {
        tAuktion a = auktion(QString::fromLatin1(item[0]), buyer.ebayName, u"05.12.2026"_s);
        a.Titel = QString::fromUtf8(item[1]);
        a.Menge = QString::fromLatin1(item[2]);
        a.Betrag = a.Menge == u"2"_s ? u"29,90"_s : a.Betrag;  // two at 12,50 and the parcel
        store(a, buyer);
    }
    const QString group = kundenNrOf(currentStore(), buyer.ebayName).value();
    ASSERT_TRUE(test::ok(saveGruppenID(currentStore(), group, buyer.ebayName)));
    open();
    atSmallScreen();
    clickRow(1);
    gSettings.Standardversandmail = false;
    QString text;
    QRect frame;
    test::whenModal<frmMail>([&](frmMail* m) {
        text = m->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText();
        frame = m->frameGeometry();
        test::screenshot(m, u"sammelmail-1024x768.png"_s);
        m->reject();
    });
    click("cmdSenden");
    EXPECT_TRUE(text.contains(u"4712002 - 2 × Rosenthal Studio-Linie Mokkatassen vom 05.12.2026"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"Verwendungszweck: 4712001 - 4712002 - 4712003"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Gesamtbetrag:      64,70 EUR"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Mit freundlichen Grüßen\nJürgen Großmann"_s)) << text.toStdString();
    EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(frame)) << frame.width() << "x" << frame.height();
}

// Help opened from a dialog shows that dialog's section; the picture is the help window.
TEST_F(SmallScreen, HelpFromTheStatementDialog) {
    app.write(u"Help/hilfe.htm"_s, test::fileBytes(QStringLiteral(GD_RESOURCES_DIR "/Help/hilfe.htm")));
    frmKontoauszug d(u"umsaetze-dezember.csv"_s, {});
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QTest::keyClick(&d, Qt::Key_F1);
    frmHilfe* help = d.findChild<frmHilfe*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->section(), u"kontoauszug"_s);
    EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(help->frameGeometry()));
    test::screenshot(help, u"hilfe-aus-kontoauszug.png"_s);
    help->close();
}

}  // namespace
}  // namespace gd
