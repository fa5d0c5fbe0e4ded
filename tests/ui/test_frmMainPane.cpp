#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>

#include "MainWindowFixture.h"
#include "domain/import/MailFile.h"
#include "support/SmtpServer.h"
#include "ui/frmEinlesen.h"
#include "ui/frmMail.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

class Pane : public test::MainWindowTest {
protected:
    void openWith(const QString& preis, const QString& menge, const QString& versand, const QString& ende) {
        tAuktion a = auktion(QStringLiteral("5"), QStringLiteral("k"), ende);
        a.Preis = preis;
        a.Menge = menge;
        a.Versandkosten = versand;
        store(a, kunde(QStringLiteral("k")));
        open();
    }
    void typeInto(const char* field, const QString& text) {
        QLineEdit* e = edit(field);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        test::typeText(e, text);
    }
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
        DbTest::TearDown();
        QFile::remove(db);
        DbTest::SetUp();
        openWith(QString::fromUtf8(c.preis), QString::fromUtf8(c.menge), QString::fromUtf8(c.versand),
                 QStringLiteral("04.12.2026"));
        EXPECT_EQ(edit("txtBetrag")->text().toStdString(), c.total);
    }
}

TEST_F(Pane, NinetyDayRule) {
    openWith(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("04.09.2026"));  // 91 days
    click("cmdAuktion");
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].title, QStringLiteral("Diese Auktion ist seit 91 Tagen ausgelaufen!"));
    EXPECT_TRUE(platform.shellCalls.isEmpty());
    app.clock.set(app.clock.now().addDays(-1));  // exactly 90 days
    gsItemLink = QStringLiteral("http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1");
    platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    doubleClickRow(1);  // a double click on the row opens it too
    ASSERT_EQ(platform.shellCalls.size(), 1);
    EXPECT_TRUE(platform.shellCalls[0].file.contains(QStringLiteral("ViewItem%26item=5%26rd=1")));
}

TEST_F(Pane, SaveAsksAndNoChangesNothing) {
    openWith(QStringLiteral("12,50"), QStringLiteral("1"), QStringLiteral("4,90"), QStringLiteral("04.12.2026"));
    typeInto("txtStrasse", QStringLiteral("Neue Straße 1"));
    typeInto("txtHinweise", QStringLiteral("Abholung"));
    click("cmdSpeichern");  // answered "Nein"
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("k"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Hauptstraße 12"));
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Sollen die Daten jetzt gespeichert werden?"));
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdSpeichern");
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("k"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Neue Straße 1"));
    EXPECT_TRUE(k.Kunde);
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, w->selectedAuktion().AuktionsID)));
    EXPECT_EQ(a.Hinweise, QStringLiteral("Abholung"));
    EXPECT_EQ(auctions(), 1);
}

TEST_F(Pane, ClosingAsksBeforeTypedTextIsLost) {
    fill();
    open();
    typeInto("txtStrasse", QStringLiteral("Am Markt 3"));
    platform.queueAnswer(Platform::Answer::Cancel);
    click("cmdAbbrechen");
    EXPECT_TRUE(w->isVisible());  // cancelled: stays open with the text
    EXPECT_EQ(edit("txtStrasse")->text(), QStringLiteral("Am Markt 3"));
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdAbbrechen");
    EXPECT_FALSE(w->isVisible());
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("dieter"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Am Markt 3"));
    EXPECT_EQ(platform.messages.size(), 2);
}

// "Ja" to the save question on closing used to close the window even when the
// save failed: what the user typed was lost.
TEST_F(Pane, ClosingKeepsTheWindowWhenTheSaveFails) {
    fill();
    open();
    typeInto("txtStrasse", QStringLiteral("Am Markt 3"));
    sqlite3* other = nullptr;  // another program holds the write lock
    ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA key='kaltwind'; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdAbbrechen");
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(platform.messages[1].text.startsWith(QStringLiteral("Beim Speichern der Verkäuferdaten")))
        << platform.messages[1].text.toStdString();
    EXPECT_TRUE(platform.messages[1].text.contains(QStringLiteral("gesperrt")));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(edit("txtStrasse")->text(), QStringLiteral("Am Markt 3"));
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdAbbrechen");
    EXPECT_FALSE(w->isVisible());
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("dieter"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Am Markt 3"));
}

// Importing into an empty list used to leave "Email Senden" and "Speichern"
// grey until a filter button was pressed.
TEST_F(Pane, ButtonsFollowTheListAfterTheFirstImport) {
    app.write(QStringLiteral("bin/gaveldesk.ini"), shippedKeywords());
    subInitApp();
    gsDataSource = db;
    gsStandardUser = gsEbayName = QStringLiteral("gavel_haendler");
    open();
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
    platform.clipboardSetText(*readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt")), nullptr));
    test::whenModal<frmEinlesen>([](frmEinlesen* dlg) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdEinlesen")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    click("cmdEinlesen");
    ASSERT_EQ(w->grid()->Rows(), 2);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_TRUE(button(b)->isEnabled()) << b;
    platform.queueAnswer(Platform::Answer::Yes);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    EXPECT_EQ(w->grid()->Rows(), 1);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
}

// The road of one sale: import, answer by mail, paid, closed, restart.
TEST_F(Pane, RoadOfOneSaleFromEmailToClosedAndAfterARestart) {
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    app.write(QStringLiteral("bin/gaveldesk.ini"), shippedKeywords());
    app.write(QStringLiteral("bin/config.ini"),
              QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nStandardversandmail=Falsch\r\n"
                             "SMTPServer=127.0.0.1\r\nSMTPPort=%1\r\nAbsender=shop@gavel.example\r\nKopie=0\r\n")
                  .arg(server.port)
                  .toLatin1());
    QFile::remove(db);
    subInitApp();
    platform.queueAnswer(Platform::Answer::Yes);  // create the database at first start
    open();
    ASSERT_EQ(w->grid()->Rows(), 1);

    platform.clipboardSetText(*readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt")), nullptr));
    test::whenModal<frmEinlesen>([](frmEinlesen* dlg) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdEinlesen")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    click("cmdEinlesen");
    ASSERT_EQ(w->grid()->Rows(), 2);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("1234567890"));

    test::whenModal<frmMail>([](frmMail* mail) {
        auto* status = mail->findChild<QComboBox*>(QStringLiteral("cmbStatus"));
        status->setFocus();
        QTest::keyClick(status, Qt::Key_G);  // "Geantwortet", chosen by its first letter
        QTest::mouseClick(mail->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
        QTest::mouseClick(mail->findChild<QPushButton*>(QStringLiteral("cmdcancel")), Qt::LeftButton);
    });
    click("cmdSenden");
    EXPECT_EQ(server.messages().size(), 1);
    EXPECT_EQ(w->grid()->TextMatrix(1, 6), QStringLiteral("Geantwortet"));
    EXPECT_TRUE(child<QCheckBox>(QStringLiteral("chkStatus_0"))->isChecked());

    tick(2);
    EXPECT_EQ(w->grid()->TextMatrix(1, 6), QStringLiteral("Bezahlt"));
    tick(6);
    EXPECT_EQ(w->grid()->Rows(), 1);  // left the open list

    // a restart finds everything as it was
    w.reset();
    subInitApp();
    open();
    EXPECT_EQ(w->grid()->Rows(), 1);
    filter(3);
    ASSERT_EQ(w->grid()->Rows(), 2);
    EXPECT_EQ(w->grid()->TextMatrix(1, 6), QStringLiteral("Abgeschlossen"));
    const tAuktion& a = w->selectedAuktion();
    EXPECT_EQ(a.Datum[0].date(), QDate(2026, 12, 4));
    EXPECT_FALSE(isZeroDate(a.Datum[2]));
    EXPECT_FALSE(isZeroDate(a.Datum[6]));
    EXPECT_EQ(a.ebayName, QStringLiteral("mueller_hans"));
}

}  // namespace
}  // namespace gd
