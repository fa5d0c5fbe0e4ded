#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include "mainwindow/FlexGrid.h"
#include "mainwindow/frmMain.h"
#include "support/DbTestShared.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

class MainWindow : public test::DbTest {
protected:
    std::unique_ptr<frmMain> w;
    void SetUp() override {
        test::guiApp();
        DbTest::SetUp();
        gsStandardUser = QStringLiteral("haendler");
    }
    void open() {
        w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show();
        w->finishStart();
    }
    QStringList column(int col) {
        QStringList out;
        for (int r = 1; r < w->grid()->Rows(); ++r) out << w->grid()->TextMatrix(r, col);
        return out;
    }
    void filter(int i) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdListe_%1").arg(i)), Qt::LeftButton);
    }
    void sale(const QString& nr, const QString& ebay, const QString& ende, const QString& titel) {
        tAuktion a = auktion(nr, ebay, ende);
        a.Titel = titel;
        store(a, kunde(ebay));
    }
    void purchase(const QString& nr, const QString& ebay, const QString& ende) {
        tKunde k = kunde(ebay);
        ASSERT_TRUE(funSaveLieferant(k, nr));
        QString knr = k.KundenNr;
        ASSERT_TRUE(funSaveAuktionnew(auktion(nr, ebay, ende), knr));
    }
    void fill() {
        sale(QStringLiteral("101"), QStringLiteral("anna"), QStringLiteral("01.12.2026"), QStringLiteral("Zinnbecher"));
        sale(QStringLiteral("102"), QStringLiteral("bernd"), QStringLiteral("03.12.2026 10:00"), QStringLiteral("Armbanduhr"));
        sale(QStringLiteral("103"), QStringLiteral("carla"), QStringLiteral("02.12.2026"), QStringLiteral("Mokkatassen"));
        purchase(QStringLiteral("201"), QStringLiteral("dieter"), QStringLiteral("04.12.2026"));
        const QString closed = store(auktion(QStringLiteral("104"), QStringLiteral("anna"), QStringLiteral("20.11.2026")),
                                     kunde(QStringLiteral("anna")));
        ASSERT_TRUE(SaveStatusMail(closed, zeroDate(), 6));
        gsStandardUser = QStringLiteral("zweites_konto");
        store(auktion(QStringLiteral("301"), QStringLiteral("anna"), QStringLiteral("05.12.2026")), kunde(QStringLiteral("anna")));
        gsStandardUser = QStringLiteral("haendler");
    }
};

TEST_F(MainWindow, FiltersShowExactlyTheirRowsNewestFirst) {
    fill();
    open();
    EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("cmdListe_2"))->isChecked());
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("201"), QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    filter(0);
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    EXPECT_FALSE(w->findChild<QPushButton*>(QStringLiteral("cmdListe_2"))->isChecked());
    filter(1);
    EXPECT_EQ(column(7), QStringList{QStringLiteral("201")});
    EXPECT_EQ(w->findChild<QGroupBox*>(QStringLiteral("fraKunde"))->title(), QStringLiteral("Verkäuferdaten"));
    filter(3);
    EXPECT_EQ(column(7), QStringList{QStringLiteral("104")});
    EXPECT_EQ(column(6), QStringList{QStringLiteral("Abgeschlossen")});
    EXPECT_TRUE(app.platform.messages.isEmpty()) << app.platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

TEST_F(MainWindow, SortKeysAndBackToDatabaseOrder) {
    fill();
    open();
    w->listCommand(QStringLiteral("keysort3"));
    EXPECT_EQ(column(4).first(), QStringLiteral("Armbanduhr"));
    w->listCommand(QStringLiteral("keysort31"));
    EXPECT_EQ(column(4).first(), QStringLiteral("Zinnbecher"));
    w->listCommand(QStringLiteral("keysort2"));
    EXPECT_EQ(column(2), (QStringList{QStringLiteral("anna"), QStringLiteral("bernd"), QStringLiteral("carla"), QStringLiteral("dieter")}));
    w->listCommand(QStringLiteral("keysort21"));
    EXPECT_EQ(column(2).first(), QStringLiteral("dieter"));
    w->listCommand(QStringLiteral("keysort0"));
    EXPECT_EQ(column(7).first(), QStringLiteral("201"));
    // the first row is loaded into the pane after a sort
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("201"));
}

TEST_F(MainWindow, SelectionLoadsThePaneAndArrowKeysMove) {
    fill();
    open();
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("201"));
    w->grid()->setFocus();
    QTest::keyClick(w->grid(), Qt::Key_Down);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("102"));
    EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("txtebayName"))->text(), QStringLiteral("bernd"));
    EXPECT_EQ(w->findChild<QGroupBox*>(QStringLiteral("fraKunde"))->title(), QStringLiteral("Käuferdaten"));
}

TEST_F(MainWindow, DeleteAsksAndDeletesOnlyTheShownRow) {
    fill();
    open();
    w->grid()->setFocus();
    w->listCommand(QStringLiteral("keyallemark"));
    app.platform.queueAnswer(Platform::Answer::No);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(app.platform.messages.size(), 2);
    EXPECT_EQ(app.platform.messages[0].title, QStringLiteral("Emaileintrag wird unwiderruflich gelöscht."));
    EXPECT_TRUE(app.platform.messages[0].text.endsWith(
        QStringLiteral("Emaileintrag: 201 - Kaffeemühle 201 - von dem ebayuser - dieter gelöscht werden soll?")));
    EXPECT_EQ(app.platform.messages[1].text, QStringLiteral("Löschvorgang abgebrochen!"));
    EXPECT_EQ(w->grid()->Rows(), 5);
    app.platform.queueAnswer(Platform::Answer::Yes);
    w->listCommand(QStringLiteral("keydelete"));
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    EXPECT_EQ(auctions(), 5);
}

TEST_F(MainWindow, GroupedRowShowsTheIconAndDeletesAlone) {
    fill();
    saveGruppenID(LoadMaxGruppenID(QStringLiteral("anna")), QStringLiteral("anna"));
    open();
    filter(0);
    const int annaRow = int(column(2).indexOf(QStringLiteral("anna"))) + 1;
    const QModelIndex icon = w->grid()->model()->index(annaRow - 1, 1);
    EXPECT_FALSE(icon.data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(w->grid()->model()->index(0, 1).data(Qt::DecorationRole).isNull());
    w->selectflex(annaRow);
    app.platform.queueAnswer(Platform::Answer::Yes);
    w->listCommand(QStringLiteral("keydelete"));
    EXPECT_FALSE(column(2).contains(QStringLiteral("anna")));
    EXPECT_EQ(auctions(), 5);  // the closed grouped auction of anna stays
}

TEST_F(MainWindow, EmptyListRefusesDelete) {
    open();
    EXPECT_EQ(w->grid()->Rows(), 1);
    w->listCommand(QStringLiteral("keydelete"));
    ASSERT_EQ(app.platform.messages.size(), 1);
    EXPECT_EQ(app.platform.messages[0].text, QStringLiteral("Keine Einträge in der Liste enthalten!"));
    EXPECT_EQ(app.platform.messages[0].icon, Platform::Icon::Critical);
}

TEST_F(MainWindow, TickingClosedMovesTheRowToTheClosedList) {
    fill();
    open();
    QCheckBox* paid = w->findChild<QCheckBox*>(QStringLiteral("chkStatus_2"));
    QTest::mouseClick(paid, Qt::LeftButton);
    EXPECT_EQ(column(6).first(), QStringLiteral("Bezahlt"));
    QTest::mouseClick(w->findChild<QCheckBox*>(QStringLiteral("chkStatus_6")), Qt::LeftButton);
    EXPECT_FALSE(column(7).contains(QStringLiteral("201")));
    filter(3);
    EXPECT_TRUE(column(7).contains(QStringLiteral("201")));
}

TEST_F(MainWindow, FirstStartWithoutDatabaseAsksAndCreates) {
    QFile::remove(db);
    gsDataSource.clear();
    app.platform.queueAnswer(Platform::Answer::Yes);
    open();
    ASSERT_GE(app.platform.messages.size(), 1);
    EXPECT_TRUE(app.platform.messages[0].text.startsWith(QStringLiteral("Es ist noch keine Datenbank vorhanden.")));
    EXPECT_EQ(app.platform.messages.size(), 1);
    EXPECT_TRUE(QFile::exists(app.file(QStringLiteral("gaveldesk.mdb"))));
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, AnswerNoShowsTheDatabaseMessageOnce) {
    QFile::remove(db);
    gsDataSource.clear();
    open();  // the question is answered "Nein" by default
    ASSERT_EQ(app.platform.messages.size(), 2);
    EXPECT_TRUE(app.platform.messages[1].text.startsWith(QStringLiteral("Beim Laden der Auktionsdaten")));
    w->listCommand(QStringLiteral("keyrefresh"));
    EXPECT_EQ(app.platform.messages.size(), 2);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, Screenshot) {
    const char* titles[] = {"Kaffeemühle Zassenhaus Santiago", "Nähmaschine Pfaff 260", "Tischlampe Bauhaus, Messing",
                            "Schallplatte Kraftwerk – Autobahn", "Mokkatassen Rosenthal (6 Stück)",
                            "Armbanduhr Junghans Max Bill", "Zinnbecher, graviert", "Briefmarken Berlin 1949",
                            "Modelleisenbahn Märklin H0 Lok", "Lederjacke Gr. 52"};
    const char* names[] = {"mueller_hans", "baerbel_naehstube", "o_neill_77", "plattenkiste_ruhr", "sammlerin_ute",
                           "uhrwerk_kiel", "zinn_und_mehr", "philatelie_fritz", "spur_h0", "lederladen"};
    const char* people[] = {"Hans Müller", "Bärbel Öztürk", "Seán O'Neill", "Jörg Plattner", "Ute Sammer",
                            "Kai Uhrmacher", "Zita Zinn", "Fritz Philipp", "Helga Spurig", "Lars Leder"};
    for (int i = 0; i < 20; ++i) {
        tAuktion a = auktion(QString::number(1234567800 + i), QString::fromUtf8(names[i % 10]),
                             QStringLiteral("%1.11.2026 %2:15").arg(10 + i).arg(8 + i % 12));
        a.Titel = QString::fromUtf8(titles[i % 10]);
        store(a, kunde(QString::fromUtf8(names[i % 10]), QString::fromUtf8(people[i % 10])));
    }
    for (int i = 0; i < 20; i += 3) {
        tAuktion a;
        Database d = Database::open(db);
        Recordset rs = d.OpenRecordset(QStringLiteral("select AuktionsID from Auktionen where AuktionsNr = ?"),
                                       {QString::number(1234567800 + i)});
        rs.MoveFirst();
        ASSERT_TRUE(SaveStatusMail(rs.text(QStringLiteral("AuktionsID")), now(), i % 4));
    }
    open();
    w->resize(1280, 720);
    test::screenshot(w.get(), QStringLiteral("main.png"));
    EXPECT_EQ(w->grid()->Rows(), 21);
}

}  // namespace
}  // namespace gd

#include <QComboBox>
#include <QTimer>

#include "import/MailFile.h"
#include "import/frmEinlesen.h"
#include "mail/frmMail.h"
#include "support/SmtpServer.h"

namespace gd {
namespace {

// The road of one sale: import, answer by mail, paid, closed, restart.
TEST(RoadOfOneSale, FromEmailToClosedAndAfterARestart) {
    test::guiApp();
    test::TestApp app(true);
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    app.write(QStringLiteral("bin/config.ini"),
              QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nStandardversandmail=Falsch\r\n"
                             "SMTPServer=127.0.0.1\r\nSMTPPort=%1\r\nAbsender=shop@gavel.example\r\nKopie=0\r\n")
                  .arg(server.port)
                  .toLatin1());
    subInitApp();
    app.platform.queueAnswer(Platform::Answer::Yes);  // create the database at first start
    auto w = std::make_unique<frmMain>();
    w->Form_Load();
    w->show();
    w->finishStart();
    ASSERT_EQ(w->grid()->Rows(), 1);

    QString error;
    app.platform.clipboardSetText(*readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt")), &error));
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<frmEinlesen*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->cmdEinlesen_Click();
        dlg->cmdUebernehmen_Click();
    });
    w->cmdEinlesen_Click();
    ASSERT_EQ(w->grid()->Rows(), 2);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("1234567890"));

    QTimer::singleShot(0, [] {
        auto* mail = qobject_cast<frmMail*>(QApplication::activeModalWidget());
        ASSERT_NE(mail, nullptr);
        mail->findChild<QComboBox*>(QStringLiteral("cmbStatus"))->setCurrentIndex(1);  // "Geantwortet"
        mail->OrvoButton1_Click();
        mail->cmdcancel_Click();
    });
    w->cmdSenden_Click();
    EXPECT_EQ(server.messages().size(), 1);
    EXPECT_EQ(w->grid()->TextMatrix(1, 6), QStringLiteral("Geantwortet"));
    EXPECT_TRUE(w->findChild<QCheckBox*>(QStringLiteral("chkStatus_0"))->isChecked());

    QTest::mouseClick(w->findChild<QCheckBox*>(QStringLiteral("chkStatus_2")), Qt::LeftButton);
    EXPECT_EQ(w->grid()->TextMatrix(1, 6), QStringLiteral("Bezahlt"));
    QTest::mouseClick(w->findChild<QCheckBox*>(QStringLiteral("chkStatus_6")), Qt::LeftButton);
    EXPECT_EQ(w->grid()->Rows(), 1);  // left the open list

    // a restart finds everything as it was
    w.reset();
    subInitApp();
    auto again = std::make_unique<frmMain>();
    again->Form_Load();
    again->show();
    again->finishStart();
    EXPECT_EQ(again->grid()->Rows(), 1);
    QTest::mouseClick(again->findChild<QPushButton*>(QStringLiteral("cmdListe_3")), Qt::LeftButton);
    ASSERT_EQ(again->grid()->Rows(), 2);
    EXPECT_EQ(again->grid()->TextMatrix(1, 6), QStringLiteral("Abgeschlossen"));
    const tAuktion& a = again->selectedAuktion();
    EXPECT_EQ(a.Datum[0].date(), QDate(2026, 12, 4));
    EXPECT_FALSE(isZeroDate(a.Datum[2]));
    EXPECT_FALSE(isZeroDate(a.Datum[6]));
    EXPECT_EQ(a.ebayName, QStringLiteral("mueller_hans"));
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

class Pane : public test::DbTest {
protected:
    std::unique_ptr<frmMain> w;
    void SetUp() override {
        test::guiApp();
        DbTest::SetUp();
    }
    void openWith(const QString& preis, const QString& menge, const QString& versand, const QString& ende) {
        tAuktion a = auktion(QStringLiteral("5"), QStringLiteral("k"), ende);
        a.Preis = preis;
        a.Menge = menge;
        a.Versandkosten = versand;
        store(a, kunde(QStringLiteral("k")));
        w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show();
        w->finishStart();
    }
    QLineEdit* edit(const char* n) { return w->findChild<QLineEdit*>(QString::fromLatin1(n)); }
};

TEST_F(Pane, TotalIsQuantityTimesPricePlusShipping) {
    struct Case {
        const char *preis, *menge, *versand, *total;
    };
    const Case cases[] = {{"EUR 12,50", "2", "EUR 4,90", "29,90"},
                          {"0,25", "2", "0", ",50"},
                          {"1.000,00", "3", "EUR 6,90", "3.006,90"},
                          {"12,50", "zwei", "4,90", "17,40"}};  // no number: the stored total stays
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preis);
        test::DbTest::TearDown();
        QFile::remove(db);
        DbTest::SetUp();
        openWith(QString::fromUtf8(c.preis), QString::fromUtf8(c.menge), QString::fromUtf8(c.versand),
                 QStringLiteral("04.12.2026"));
        EXPECT_EQ(edit("txtBetrag")->text().toStdString(), c.total);
    }
}

TEST_F(Pane, NinetyDayRule) {
    openWith(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("04.09.2026"));  // 91 days
    w->cmdAuktion_Click();
    ASSERT_EQ(app.platform.messages.size(), 1);
    EXPECT_EQ(app.platform.messages[0].title, QStringLiteral("Diese Auktion ist seit 91 Tagen ausgelaufen!"));
    EXPECT_TRUE(app.platform.shellCalls.isEmpty());
    app.clock.set(app.clock.now().addDays(-1));  // exactly 90 days
    gsItemLink = QStringLiteral("http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1");
    app.platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    w->cmdAuktion_Click();
    ASSERT_EQ(app.platform.shellCalls.size(), 1);
    EXPECT_TRUE(app.platform.shellCalls[0].file.contains(QStringLiteral("ViewItem%26item=5%26rd=1")));
}

TEST_F(Pane, SaveAsksAndNoChangesNothing) {
    openWith(QStringLiteral("12,50"), QStringLiteral("1"), QStringLiteral("4,90"), QStringLiteral("04.12.2026"));
    edit("txtStrasse")->setText(QStringLiteral("Neue Straße 1"));
    edit("txtHinweise")->setText(QStringLiteral("Abholung"));
    w->cmdSpeichern_Click();  // answered "Nein"
    tKunde k;
    ASSERT_TRUE(funLoadKunde(k, QStringLiteral("k")));
    EXPECT_EQ(k.Strasse, QStringLiteral("Hauptstraße 12"));
    EXPECT_EQ(app.platform.messages.last().text, QStringLiteral("Sollen die Daten jetzt gespeichert werden?"));
    app.platform.queueAnswer(Platform::Answer::Yes);
    w->cmdSpeichern_Click();
    ASSERT_TRUE(funLoadKunde(k, QStringLiteral("k")));
    EXPECT_EQ(k.Strasse, QStringLiteral("Neue Straße 1"));
    EXPECT_TRUE(k.Kunde);
    tAuktion a;
    ASSERT_TRUE(funLoadAuktion(a, w->selectedAuktion().AuktionsID));
    EXPECT_EQ(a.Hinweise, QStringLiteral("Abholung"));
    EXPECT_EQ(auctions(), 1);
}

TEST_F(Pane, EmptyListRefusals) {
    w = std::make_unique<frmMain>();
    w->Form_Load();
    w->show();
    w->finishStart();
    QCheckBox* paid = w->findChild<QCheckBox*>(QStringLiteral("chkStatus_2"));
    paid->setEnabled(true);
    QTest::mouseClick(paid, Qt::LeftButton);
    EXPECT_FALSE(paid->isChecked());
    w->cmdSenden_Click();
    EXPECT_EQ(app.platform.messages.last().text, QStringLiteral("Es sind keine Emails in der Liste vorhanden!"));
    w->cmdAuktion_Click();
    EXPECT_EQ(app.platform.messages.last().text, QStringLiteral("Es wurde kein Artikel ausgewählt!"));
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

TEST_F(MainWindow, EveryMenuEntryReachesItsCommandAfterTheTimer) {
    fill();
    open();
    gsItemLink = QStringLiteral("http://cgi.ebay.de/ViewItem%26item=[#Artikel#]");
    gsFeedbackLink = QStringLiteral("http://feedback.ebay.de/x");
    app.platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    const auto trigger = [this](const char* menu, const char* key) {
        QMenu* m = QString::fromLatin1(menu) == QStringLiteral("keypop2")
                       ? w->popupMenu()
                       : w->findChild<QMenu*>(QString::fromLatin1(menu));
        EXPECT_NE(m, nullptr) << menu;
        QAction* a = m ? m->findChild<QAction*>(QString::fromLatin1(key)) : nullptr;
        if (!a) {
            for (QMenu* sub : m->findChildren<QMenu*>())
                if ((a = sub->findChild<QAction*>(QString::fromLatin1(key)))) break;
        }
        EXPECT_NE(a, nullptr) << key;
        if (a) a->trigger();
        QTest::qWait(100);  // the 10 ms timer runs the command
    };
    trigger("keyAnsicht", "keysort2");
    EXPECT_EQ(column(2).first(), QStringLiteral("anna"));
    trigger("keypop2", "keysort21");
    EXPECT_EQ(column(2).first(), QStringLiteral("dieter"));
    trigger("keyAktion", "keyrefresh");
    EXPECT_EQ(column(7).first(), QStringLiteral("201"));
    trigger("keyMarkierung", "keyallemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 4);
    trigger("keypop2", "keyalledemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 1);
    trigger("keyAktion", "keyBewertungen");
    EXPECT_EQ(app.platform.shellCalls.last().file, QStringLiteral("http://feedback.ebay.de/x"));
    trigger("keyEinstellungen", "keyHelp");
    EXPECT_TRUE(app.platform.shellCalls.last().file.endsWith(QStringLiteral("/Help/hilfe.htm")));
    trigger("keypop2", "keyzurauktion");
    EXPECT_TRUE(app.platform.shellCalls.last().file.contains(QStringLiteral("item=201")));
    trigger("keyAktion", "keydelete");  // answered "Nein"
    EXPECT_EQ(app.platform.messages.last().text, QStringLiteral("Löschvorgang abgebrochen!"));
    // a second click while a command is pending is dropped
    w->listCommand(QStringLiteral("keysort0"));
    w->SmartMenuXP1_Click(QStringLiteral("keysort2"));
    w->SmartMenuXP1_Click(QStringLiteral("keysort21"));
    QTest::qWait(100);
    EXPECT_EQ(column(2).first(), QStringLiteral("anna"));
    // the shortcuts of the table
    EXPECT_EQ(w->findChild<QAction*>(QStringLiteral("keyEmailversenden"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(w->findChild<QAction*>(QStringLiteral("keyrefresh"))->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(w->findChild<QAction*>(QStringLiteral("keyHelp"))->shortcut(), QKeySequence(Qt::Key_F1));
    trigger("keyEinstellungen", "keyExit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).contains("Geometrie="));  // kept for the next start
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

TEST_F(MainWindow, ClosingAsksBeforeTypedTextIsLost) {
    fill();
    open();
    QLineEdit* street = w->findChild<QLineEdit*>(QStringLiteral("txtStrasse"));
    street->setFocus();
    street->selectAll();
    QTest::keyClicks(street, QStringLiteral("Am Markt 3"));
    app.platform.queueAnswer(Platform::Answer::Cancel);
    w->close();
    EXPECT_TRUE(w->isVisible());  // cancelled: stays open with the text
    EXPECT_EQ(street->text(), QStringLiteral("Am Markt 3"));
    app.platform.queueAnswer(Platform::Answer::Yes);
    w->close();
    EXPECT_FALSE(w->isVisible());
    tKunde k;
    ASSERT_TRUE(funLoadKunde(k, QStringLiteral("dieter")));
    EXPECT_EQ(k.Strasse, QStringLiteral("Am Markt 3"));
    EXPECT_EQ(app.platform.messages.size(), 2);
}

TEST_F(MainWindow, PopupScreenshot) {
    fill();
    open();
    w->resize(1100, 600);
    w->popupMenu()->popup(w->grid()->mapToGlobal(QPoint(120, 60)));
    QTest::qWait(50);
    const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QPixmap shot = w->grab();
        QPainter p(&shot);
        p.drawPixmap(w->mapFromGlobal(w->popupMenu()->pos()), w->popupMenu()->grab());
        p.end();
        shot.save(QDir(dir).filePath(QStringLiteral("popup.png")));
    }
    EXPECT_TRUE(w->popupMenu()->isVisible());
    w->popupMenu()->close();
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

TEST_F(MainWindow, MenuEntriesThatOpenWindows) {
    fill();
    open();
    struct Case {
        const char* key;
        const char* window;
    };
    const Case cases[] = {{"keyOptionen", "frmOptionen"}, {"keyInfo", "frmAbout"},
                          {"keyEmaileinlesen", "frmEinlesen"}, {"keyEmailversenden", "frmMail"}};
    for (const Case& c : cases) {
        QString seen;
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [&seen] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                seen = m->objectName();
                m->close();
            }
        });
        closer.start();
        w->SmartMenuXP1_Click(QString::fromLatin1(c.key));
        EXPECT_TRUE(QTest::qWaitFor([&seen] { return !seen.isEmpty(); }, 5000)) << c.key;
        closer.stop();
        EXPECT_EQ(seen.toStdString(), c.window) << c.key;
    }
}

}  // namespace
}  // namespace gd
