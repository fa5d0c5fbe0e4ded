#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QWheelEvent>

#include "MainWindowFixture.h"
#include "domain/import/MailFile.h"
#include "ui/DatePicker.h"
#include "ui/frmEinlesen.h"
#include "ui/frmMail.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

class Pane : public test::MainWindowTest {
protected:
    void typeInto(const char* field, const QString& text) {
        activate();
        QLineEdit* e = edit(field);
        QTest::mouseClick(e, Qt::LeftButton);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        test::typeText(e, text);
    }
};

// The pane used to compute the total anew whenever it showed an auction: the
// insurance was dropped, instant purchases lost their shipping, and the
// payment mail and "Speichern" took the wrong figure.
TEST_F(Pane, TheTotalShownAndMailedIsTheTotalAgreed) {
    tAuktion sale = auktion(QStringLiteral("5"), QStringLiteral("k"));
    sale.Preis = QStringLiteral("24,50");
    sale.Versandkosten = QStringLiteral("4,90");
    sale.Versandversicherung = QStringLiteral("EUR 1,50");
    sale.Betrag = QStringLiteral("30,90");
    store(sale, kunde(QStringLiteral("k")));
    tAuktion instant = auktion(QStringLiteral("6"), QStringLiteral("s"), QStringLiteral("05.12.2026"));
    instant.Preis = QStringLiteral("89,00");
    instant.Menge = QStringLiteral("2");
    instant.Versandkosten = QString();  // as older imports of instant purchases stored it
    instant.Betrag = QStringLiteral("185,90");
    store(instant, kunde(QStringLiteral("s")));
    open();
    EXPECT_EQ(edit("txtBetrag")->text(), QStringLiteral("185,90"));
    clickRow(2);
    EXPECT_EQ(edit("txtBetrag")->text(), QStringLiteral("30,90"));
    EXPECT_EQ(column(8), (QStringList{QStringLiteral("185,90"), QStringLiteral("30,90")}));  // the list shows it too

    // the payment mail asks for it
    shippedFiles();
    gbStandardversandmail = true;
    QString mailed;
    test::whenModal<frmMail>([&mailed](frmMail* m) {
        mailed = m->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText();
        m->reject();
    });
    click("cmdSenden");
    EXPECT_TRUE(mailed.contains(QStringLiteral("Gesamtbetrag:  30,90 EUR"))) << mailed.toStdString();

    // "Speichern" without an edit keeps it
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdSpeichern");
    tAuktion back;
    ASSERT_TRUE(test::found(funLoadAuktion(back, w->selectedAuktion().AuktionsID)));
    EXPECT_EQ(back.Betrag, QStringLiteral("30,90"));

    // an edit of a part, and leaving the box, computes it anew: quantity × price + shipping + insurance
    struct Case {
        const char *field, *text, *total;
    };
    const Case cases[] = {{"txtVersand", "5,90", "31,90"},
                          {"txtMenge", "2", "56,40"},
                          {"txtPreis", "EUR 0,25", "7,90"},
                          {"txtMenge", "zwei", "7,90"}};  // no number: the total stays
    for (const Case& c : cases) {
        typeInto(c.field, QString::fromUtf8(c.text));
        QTest::keyClick(edit(c.field), Qt::Key_Tab);
        EXPECT_EQ(edit("txtBetrag")->text().toStdString(), c.total) << c.field;
    }
}

// One notch of the wheel over "Bezahlt" used to move the stored date by a day.
TEST_F(Pane, TheWheelChangesNoDateWithoutTheFocus) {
    const QString id = store(auktion(QStringLiteral("5"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    ASSERT_TRUE(test::ok(SaveStatusMail(id, QDateTime(QDate(2026, 12, 1), QTime(0, 0)), 2)));
    open();
    auto* paid = child<QWidget>(QStringLiteral("dtpStatus_2"));
    auto* ende = child<QWidget>(QStringLiteral("dtpEndeDatum"));
    ASSERT_TRUE(paid->isEnabled());
    edit("txtName")->setFocus();
    for (QWidget* picker : {paid, ende}) {
        const QPoint at = picker->rect().center();
        QWheelEvent wheel(at, picker->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(picker, &wheel);
    }
    tAuktion back;
    ASSERT_TRUE(test::found(funLoadAuktion(back, id)));
    EXPECT_EQ(back.Datum[2].date(), QDate(2026, 12, 1));
    EXPECT_EQ(back.EndeDatum, QStringLiteral("04.12.2026"));
    // with the focus, the wheel is the user's: it changes the date
    paid->setFocus();
    const QPoint at = paid->rect().center();
    QWheelEvent wheel(at, paid->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(paid, &wheel);
    ASSERT_TRUE(test::found(funLoadAuktion(back, id)));
    EXPECT_NE(back.Datum[2].date(), QDate(2026, 12, 1));
}

// After a tick, a save or a mail the same trade stays selected; a fresh import is selected.
TEST_F(Pane, TheListKeepsItsPlace) {
    fill();
    open();
    clickRow(3);  // 103, carla
    ASSERT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("103"));
    tick(0);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("103"));
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdSpeichern");
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("103"));
    gbStandardversandmail = true;
    test::whenModal<frmMail>([](frmMail* m) {
        auto* status = m->findChild<QComboBox*>(QStringLiteral("cmbStatus"));
        status->setFocus();
        QTest::keyClick(status, Qt::Key_B);  // "Bestätigt"
        QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
        m->reject();
    });
    click("cmdSenden");
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("103"));
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 6), QStringLiteral("Bestätigt"));
    // a fresh import is the trade shown
    shippedFiles();
    platform.clipboardSetText(*readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt"))));
    test::whenModal<frmEinlesen>([](frmEinlesen* dlg) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdEinlesen")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    click("cmdEinlesen");
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("1234567890"));
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 7), QStringLiteral("1234567890"));
}

// "Zahlung erhalten" used to say "am 00:00:00" for a payment not ticked yet.
TEST_F(Pane, ThePaymentMailNamesTheDayOfThePicker) {
    store(auktion(QStringLiteral("5"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    shippedFiles();
    gbStandardversandmail = true;
    open();
    QString text;
    test::whenModal<frmMail>([&text](frmMail* m) {
        auto* templates = m->findChild<QComboBox*>(QStringLiteral("Combo1"));
        templates->setFocus();
        QTest::keyClick(templates, Qt::Key_Z);  // "Zahlung erhalten"
        text = m->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText();
        m->reject();
    });
    click("cmdSenden");
    EXPECT_TRUE(text.contains(QStringLiteral("ist am 04.12.2026 bei mir eingegangen"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("00:00:00")));
}

TEST_F(Pane, NinetyDayRule) {
    store(auktion(QStringLiteral("5"), QStringLiteral("k"), QStringLiteral("04.09.2026")), kunde(QStringLiteral("k")));
    open();  // 91 days
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

// "Speichern" asks first; "Ja" stores what was typed, the shipping text once and the end time whole.
TEST_F(Pane, SaveAsksAndNoChangesNothing) {
    tAuktion a = auktion(QStringLiteral("5"), QStringLiteral("k"), QStringLiteral("04.12.2026 20:15:33"));
    a.Versandinfos = QStringLiteral("EUR 4,90 Versandversicherung: EUR 1,50");  // as an import stores it
    a.Versandversicherung = QStringLiteral("EUR 1,50");
    store(a, kunde(QStringLiteral("k")));
    open();
    EXPECT_EQ(edit("txtVersandinfos")->text(), QStringLiteral("EUR 4,90 Versandversicherung: EUR 1,50"));
    typeInto("txtStrasse", QStringLiteral("Neue Straße 1"));
    typeInto("txtHinweise", QStringLiteral("Abholung"));
    typeInto("txtBetrag", QStringLiteral("12,34"));
    click("cmdSpeichern");  // answered "Nein"
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("k"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Hauptstraße 12"));
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Sollen die Daten jetzt gespeichert werden?"));
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdSpeichern");
    EXPECT_EQ(column(5), QStringList{QStringLiteral("04.12.2026 20:15:33")});
    EXPECT_EQ(column(8), QStringList{QStringLiteral("12,34")});  // the list used to keep the old total until F5
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("k"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Neue Straße 1"));
    EXPECT_TRUE(k.Kunde);
    tAuktion back;
    ASSERT_TRUE(test::found(funLoadAuktion(back, w->selectedAuktion().AuktionsID)));
    EXPECT_EQ(back.Hinweise, QStringLiteral("Abholung"));
    EXPECT_EQ(back.Versandinfos, QStringLiteral("EUR 4,90 Versandversicherung: EUR 1,50"));  // not doubled
    EXPECT_EQ(back.EndeDatum, QStringLiteral("04.12.2026 20:15:33"));
    EXPECT_EQ(auctions(), 1);
}

// Closing asks before typed text is lost. "Ja" to that question used to close the
// window even when the save failed: what the user typed was lost.
TEST_F(Pane, ClosingKeepsTheWindowWhenTheSaveFails) {
    fill();
    open();
    typeInto("txtStrasse", QStringLiteral("Am Markt 3"));
    platform.queueAnswer(Platform::Answer::Cancel);
    click("cmdAbbrechen");
    EXPECT_TRUE(w->isVisible());  // cancelled: stays open with the text
    EXPECT_EQ(edit("txtStrasse")->text(), QStringLiteral("Am Markt 3"));
    platform.messages.clear();
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
    EXPECT_EQ(platform.messages.size(), 3);  // the save that worked says nothing
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("dieter"))));
    EXPECT_EQ(k.Strasse, QStringLiteral("Am Markt 3"));
}

// Importing into an empty list used to leave "Email Senden" and "Speichern"
// grey until a filter button was pressed. Emptied again, it leaves no stale date.
TEST_F(Pane, ButtonsFollowTheListAfterTheFirstImport) {
    app.write(QStringLiteral("bin/gaveldesk.ini"), shippedKeywords());
    subInitApp();
    gsDataSource = db;
    gsStandardUser = gsEbayName = QStringLiteral("gavel_haendler");
    open();
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
    platform.clipboardSetText(*readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt"))));
    test::whenModal<frmEinlesen>([](frmEinlesen* dlg) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdEinlesen")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    click("cmdEinlesen");
    ASSERT_EQ(w->grid()->Rows(), 2);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_TRUE(button(b)->isEnabled()) << b;
    tick(2);
    platform.queueAnswer(Platform::Answer::Yes);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(w->grid()->Rows(), 1);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
    EXPECT_EQ(child<DatePicker>(QStringLiteral("dtpEndeDatum"))->text().trimmed(), QString());
    EXPECT_EQ(child<DatePicker>(QStringLiteral("dtpStatus_2"))->text().trimmed(), QString());
    EXPECT_EQ(edit("txtBetrag")->text(), QString());
}

}  // namespace
}  // namespace gd
