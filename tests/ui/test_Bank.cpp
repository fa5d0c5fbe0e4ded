#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "domain/db/Journal.h"
#include "support/GuiApp.h"
#include "ui/frmKontoauszug.h"
#include "ui/frmRechnungen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class BankStatement : public test::MainWindowTest {
protected:
    // The bank's export the file dialog is answered with.
    void statement(const QString& csv) {
        app.write(u"auszug.csv"_s, test::ansi(csv));
        platform.queueFileName(app.file(u"auszug.csv"_s));
    }
    // The user ticks row r with the space bar and takes the ticked ones.
    static void tickAndTake(frmKontoauszug* d, QTableWidget* grid, int r) {
        grid->setFocus();
        grid->setCurrentCell(r, 0);
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdUebernehmen"_s), Qt::LeftButton);
    }
    // The sales still owing, as the overdue list shows them at 0 days.
    QStringList owing() {
        filter(4);
        gSettings.MahnTage = 0;
        filter(4);
        const QStringList nrs = column(7);
        gSettings.MahnTage = 7;
        return nrs;
    }
};

// The menu reads a bank's export and proposes a sale for each credit; the sure one is
// ticked, the probable one waits for the user, the rest cannot be ticked. Confirmed
// ones are paid on their booking day.
TEST_F(BankStatement, TheMenuProposesAndTheUserConfirms) {
    fill();  // sales 101 anna (01.12.), 103 carla (02.12.), 102 bernd (03.12.), each 17,40 from "Hans Müller"
    open();
    statement(
        u"Buchung;Valuta;Auftraggeber/Empfänger;Buchungstext;Verwendungszweck;Saldo;Währung;Betrag;Währung\r\n"
        "05.12.2026;05.12.2026;Anna Ärmel;Gutschrift;Artikel 101;0;EUR;17,40;EUR\r\n"
        "06.12.2026;06.12.2026;Müller, Hans;Gutschrift;Danke;0;EUR;17,40;EUR\r\n"
        "06.12.2026;06.12.2026;Erika Musterfrau;Gutschrift;Miete;0;EUR;50,00;EUR\r\n"_s);
    QStringList grades, ticked;
    QString summary;
    test::whenModal<frmKontoauszug>([&](frmKontoauszug* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdZahlungen"_s);
        for (int r = 0; r < grid->rowCount(); ++r) {
            grades << grid->item(r, 8)->text();
            ticked << (grid->item(r, 0)->checkState() == Qt::Checked ? u"x"_s : u"-"_s);
        }
        summary = d->findChild<QLabel*>(u"lblSumme"_s)->text();
        test::screenshot(d, u"bank.png"_s);
        EXPECT_FALSE(grid->item(2, 0)->flags() & Qt::ItemIsUserCheckable);  // nothing to pay
        tickAndTake(d, grid, 1);                                            // the probable one
    });
    menu("keyAktion", "keyKontoauszug");
    EXPECT_EQ(grades, (QStringList{u"sicher"_s, u"wahrscheinlich"_s, u"keine"_s}));
    EXPECT_EQ(ticked, (QStringList{u"x"_s, u"-"_s, u"-"_s}));
    EXPECT_TRUE(summary.startsWith(u"3 Gutschriften: 1 sicher, 1 wahrscheinlich, 1 ohne passenden Verkauf"_s))
        << summary.toStdString();
    EXPECT_EQ(lastMessage(), u"2 Verkäufe sind jetzt als bezahlt markiert."_s);
    // 101 by its number, 103 the oldest of the two whose buyer and amount fit; 102 stays open.
    EXPECT_EQ(owing(), QStringList{u"102"_s});
}

// A credit short of what the sale asks is never ticked ahead; confirmed, it may be kept
// as a part payment: the sale stays unpaid, the pane and the status bar show what is left.
// An entry the reader cannot use is named with its reason.
TEST_F(BankStatement, AShortCreditBecomesAPartPayment) {
    fill();
    open();
    statement(
        u"Buchung;Auftraggeber/Empfänger;Verwendungszweck;Betrag;Währung\r\n"
        "05.12.2026;Bernd Brösel;Artikel 102;10,00;EUR\r\n"
        "05.12.2026;Bernd Brösel;Artikel 102;29.400;EUR\r\n"_s);
    QStringList seen;
    test::whenModal<frmKontoauszug>([&](frmKontoauszug* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdZahlungen"_s);
        seen << (grid->item(0, 0)->checkState() == Qt::Checked ? u"ticked"_s : u"-"_s) << grid->item(0, 6)->text()
             << grid->item(0, 7)->text();
        const QString unread = d->findChild<QPlainTextEdit*>(u"txtNichtGelesen"_s)->toPlainText();
        EXPECT_TRUE(unread.contains(u"29.400"_s)) << unread.toStdString();
        test::screenshot(d, u"bank-teilzahlung.png"_s);
        tickAndTake(d, grid, 0);
    });
    platform.queueAnswer(Platform::Answer::Yes);  // as a part payment
    menu("keyAktion", "keyKontoauszug");
    EXPECT_EQ(seen, (QStringList{u"-"_s, u"17,40 €"_s, u"-7,40 €"_s}));  // expected, difference
    EXPECT_TRUE(lastMessage().contains(u"1 Teilzahlung erfasst"_s)) << lastMessage().toStdString();
    const QStringList stillOwing = owing();
    ASSERT_TRUE(stillOwing.contains(u"102"_s));  // the rest
    clickRow(int(stillOwing.indexOf(u"102"_s)) + 1);
    ASSERT_EQ(w->selectedAuktion().AuktionsNr, u"102"_s);
    EXPECT_EQ(child<QLabel>(u"lblTeilzahlung"_s)->text(), u"Teilzahlung erhalten: 10,00 € · offen 7,40 €"_s);
    auto* summary = child<QLabel>(u"lblUebersicht"_s);
    EXPECT_TRUE(QTest::qWaitFor([summary] { return summary->text().contains(u"Unbezahlt: 3 (42,20 €)"_s); }, 5000))
        << summary->text().toStdString();  // 3 x 17,40 less the 10,00 received
    // Grouped with another sale of the buyer, the rest is the group's (it was this sale's alone).
    sale(u"105"_s, u"bernd"_s, u"04.12.2026"_s, u"Uhrarmband"_s);
    const QString k = w->selectedAuktion().KundenNr;  // 102's
    Database::open(db).execute(u"update Auktionen set KundenNr = ?, GruppenID = ? where AuktionsNr in ('102', '105')"_s,
                               {k, k});
    menu("keyAktion", "keyrefresh");
    clickRow(int(owing().indexOf(u"105"_s)) + 1);
    clickRow(int(owing().indexOf(u"102"_s)) + 1);
    EXPECT_EQ(child<QLabel>(u"lblTeilzahlung"_s)->text(), u"Teilzahlung erhalten: 10,00 € · offen 24,80 €"_s);
}

// Too much paid: the whole credit is booked, the pane shows the buyer's credit and the dialog
// says to pay it back. A part payer's sale ticked "Bezahlt" in the pane: the rest is paid by hand,
// the pane and the status bar show nothing owed.
TEST_F(BankStatement, ACreditAboveTheTotalAndTheTickForTheRest) {
    fill();
    open();
    statement(
        u"Buchung;Auftraggeber/Empfänger;Verwendungszweck;Betrag;Währung\r\n"
        "05.12.2026;Bernd Brösel;Artikel 102;50,00;EUR\r\n"
        "05.12.2026;Anna Ärmel;Artikel 101;10,00;EUR\r\n"_s);
    test::whenModal<frmKontoauszug>([&](frmKontoauszug* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdZahlungen"_s);
        grid->setFocus();
        for (int r : {0, 1}) {
            grid->setCurrentCell(r, 0);
            QTest::keyClick(grid, Qt::Key_Space);
        }
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdUebernehmen"_s), Qt::LeftButton);
    });
    platform.queueAnswer(Platform::Answer::Yes);  // Anna's 10,00 as a part payment
    menu("keyAktion", "keyKontoauszug");
    EXPECT_TRUE(lastMessage().contains(u"32,60 € zu viel gezahlt – Guthaben von bernd; bitte erstatten"_s))
        << lastMessage().toStdString();
    filter(2);
    const QStringList nrs = column(7);
    clickRow(int(nrs.indexOf(u"102"_s)) + 1);
    ASSERT_EQ(shown(), u"102"_s);
    EXPECT_EQ(child<QLabel>(u"lblTeilzahlung"_s)->text(), u"Guthaben 32,60 € (zu viel gezahlt, bitte erstatten)"_s);
    EXPECT_TRUE(child<QCheckBox>(u"chkStatus_2"_s)->isChecked());
    // Paid back: asked first, then booked; the credit is gone.
    auto* refund = child<QPushButton>(u"cmdErstatten"_s);
    ASSERT_TRUE(refund->isVisible());
    platform.queueAnswer(Platform::Answer::Yes);
    QTest::mouseClick(refund, Qt::LeftButton);
    EXPECT_TRUE(lastMessage().startsWith(u"Haben Sie 32,60 € an bernd zurücküberwiesen?"_s))
        << lastMessage().toStdString();
    EXPECT_FALSE(refund->isVisible());
    EXPECT_EQ(loadAccountByNr(currentStore(), u"102"_s).value().Saldo, 0);
    clickRow(int(nrs.indexOf(u"101"_s)) + 1);
    ASSERT_EQ(shown(), u"101"_s);
    EXPECT_EQ(child<QLabel>(u"lblTeilzahlung"_s)->text(), u"Teilzahlung erhalten: 10,00 € · offen 7,40 €"_s);
    tick(2);
    EXPECT_TRUE(child<QLabel>(u"lblTeilzahlung"_s)->text().isEmpty() ||
                !child<QLabel>(u"lblTeilzahlung"_s)->isVisible());
    const TradeAccount a = loadAccountByNr(currentStore(), u"101"_s).value();
    EXPECT_EQ(a.Saldo, 0);
    EXPECT_TRUE(std::any_of(a.Buchungen.begin(), a.Buchungen.end(), [](const JournalEntry& e) {
        return e.Cent == -740 && e.Konto == konto::Kasse;  // the rest, paid by hand
    }));
    auto* summary = child<QLabel>(u"lblUebersicht"_s);
    EXPECT_TRUE(QTest::qWaitFor([summary] { return summary->text().contains(u"Unbezahlt: 1 (17,40 €)"_s); }, 5000))
        << summary->text().toStdString();  // only 103 owes
}

// "Rechnung als PDF…" in the list's pop-up menu writes the selected sale's invoice
// where the user says; a purchase gets none.
TEST_F(BankStatement, TheInvoiceOfTheSelectedSale) {
    fill();
    gSettings.Kleinunternehmer = true;
    open();
    clickRow(1);                     // the newest open trade: the purchase 201
    menu("keypop2", "keyRechnung");  // said before any file is asked for
    EXPECT_TRUE(lastMessage().contains(u"ist ein Kauf"_s)) << lastMessage().toStdString();
    clickRow(2);  // sale 102
    ASSERT_EQ(w->selectedAuktion().AuktionsNr, u"102"_s);
    const QString pdf = app.file(u"Rechnung 102.pdf"_s);
    platform.queueFileName(pdf);
    platform.offeredPaths.clear();
    menu("keypop2", "keyRechnung");
    ASSERT_EQ(platform.offeredPaths.size(), 1);
    EXPECT_TRUE(platform.offeredPaths[0].endsWith(u"/RE-2026-0001.pdf"_s)) << platform.offeredPaths[0].toStdString();
    EXPECT_TRUE(QFile::exists(pdf)) << lastMessage().toStdString();
    EXPECT_EQ(lastMessage(), u"Rechnung RE-2026-0001 gespeichert: "_s + QDir::toNativeSeparators(pdf));
    const QString page = QString::fromUtf8(test::tool(u"pdftotext"_s, {pdf, u"-"_s}));
    for (const char* want : {"Rechnungsnummer: RE-2026-0001", "Hans Müller", "Armbanduhr", "17,40 €", "§ 19 UStG"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(want))) << want << "\n" << page.toStdString();

    // "Rechnungen…": found by search, saved again as issued, cancelled by an invoice of its own.
    const QString again = app.file(u"Nochmal.pdf"_s);
    test::whenModal<frmRechnungen>([&](frmRechnungen* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdRechnungen"_s);
        auto* search = d->findChild<QLineEdit*>(u"txtSuche"_s);
        const auto button = [d](const char* name) { return d->findChild<QPushButton*>(QString::fromLatin1(name)); };
        ASSERT_EQ(grid->rowCount(), 1);
        EXPECT_EQ(grid->item(0, 4)->text(), u"gültig"_s);
        test::typeText(search, u"anna"_s);
        EXPECT_EQ(grid->rowCount(), 0);
        search->clear();
        ASSERT_EQ(grid->rowCount(), 1);
        platform.queueFileName(again);
        QTest::mouseClick(button("cmdSpeichern"), Qt::LeftButton);
        platform.queueAnswer(Platform::Answer::Yes);
        QTest::mouseClick(button("cmdStornieren"), Qt::LeftButton);
        ASSERT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(grid->item(0, 4)->text(), u"Storno zu RE-2026-0001"_s);
        EXPECT_EQ(grid->item(0, 3)->text(), u"-17,40 €"_s);
        EXPECT_FALSE(button("cmdStornieren")->isEnabled());  // a cancellation stays
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/rechnungen.png"_s);
        QTest::mouseClick(button("cmdSchliessen"), Qt::LeftButton);
    });
    menu("keyAktion", "keyRechnungen");
    EXPECT_EQ(test::fileBytes(again), test::fileBytes(pdf));
    gSettings.Kleinunternehmer = false;
}

}  // namespace
}  // namespace gd
