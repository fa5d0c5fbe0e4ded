#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QStatusBar>
#include <QWheelEvent>

#include "MainWindowFixture.h"
#include "domain/import/MailFile.h"
#include "support/Sqlcipher.h"
#include "ui/DatePicker.h"
#include "ui/frmEinlesen.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Pane : public test::MainWindowTest {
protected:
    void typeInto(const char* field, const QString& text) {
        w->activateWindow();  // back in front, as after a dialog the user closed
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QLineEdit* e = edit(field);
        QTest::mouseClick(e, Qt::LeftButton);
        e->setFocus();
        e->selectAll();  // typed over
        test::typeText(e, text);
    }
    // One notch of the wheel over the widget.
    static void wheel(QWidget* over) {
        const QPoint at = over->rect().center();
        QWheelEvent e(at, over->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
    }
    // The sale of mails/verkauf.txt, read from the clipboard with "Email Einlesen".
    void importSale() {
        platform.clipboardSetText(*readMailFile(test::dataFile(u"mails/verkauf.txt"_s)));
        test::whenModal<frmEinlesen>([](frmEinlesen* dlg) {
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"cmdEinlesen"_s), Qt::LeftButton);
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"cmdUebernehmen"_s), Qt::LeftButton);
        });
        click("cmdEinlesen");
    }
    tKunde contact(const QString& ebay) {
        tKunde k;
        EXPECT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), ebay))));
        return k;
    }
};

// The pane used to compute the total anew whenever it showed an auction: the
// insurance was dropped, instant purchases lost their shipping, and the
// payment mail and "Speichern" took the wrong figure.
TEST_F(Pane, TheTotalShownAndMailedIsTheTotalAgreed) {
    tAuktion sale = auktion(u"5"_s, u"k"_s);
    sale.Preis = u"24,50"_s;
    sale.Versandkosten = u"4,90"_s;
    sale.Versandversicherung = u"EUR 1,50"_s;
    sale.Betrag = u"30,90"_s;
    store(sale, kunde(u"k"_s));
    tAuktion instant = auktion(u"6"_s, u"s"_s, u"05.12.2026"_s);
    instant.Preis = u"89,00"_s;
    instant.Menge = u"2"_s;
    instant.Versandkosten = QString();  // as older imports of instant purchases stored it
    instant.Betrag = u"185,90"_s;
    store(instant, kunde(u"s"_s));
    open();
    EXPECT_EQ(edit("txtBetrag")->text(), u"185,90"_s);
    clickRow(2);
    EXPECT_EQ(edit("txtBetrag")->text(), u"30,90"_s);
    EXPECT_EQ(column(8), (QStringList{u"185,90"_s, u"30,90"_s}));  // the list shows it too
    shippedFiles();
    gSettings.Standardversandmail = true;
    const QString mailed = mailForm();  // the payment mail asks for it
    EXPECT_TRUE(mailed.contains(u"Gesamtbetrag:  30,90 EUR"_s)) << mailed.toStdString();
    // "Zahlung erhalten" used to say "am 00:00:00" for a payment not ticked yet
    const QString thanks = mailForm([](frmMail* m) {
        auto* templates = m->findChild<QComboBox*>(u"Combo1"_s);
        templates->setFocus();
        QTest::keyClick(templates, Qt::Key_Z);
    });
    EXPECT_TRUE(thanks.contains(u"ist am 04.12.2026 bei mir eingegangen"_s)) << thanks.toStdString();
    click("cmdSpeichern");  // without an edit it keeps it
    EXPECT_EQ(loaded(w->selectedAuktion().AuktionsID).Betrag, u"30,90"_s);

    typeInto("txtVersand", u"5,90"_s);  // an edit of a part, and leaving the box, computes it anew
    QTest::keyClick(edit("txtVersand"), Qt::Key_Tab);
    EXPECT_EQ(edit("txtBetrag")->text(), u"31,90"_s);  // with the insurance the mail named
}

// One notch of the wheel over "Bezahlt" used to move the stored date by a day.
TEST_F(Pane, TheWheelChangesNoDateWithoutTheFocus) {
    const QString id = store(auktion(u"5"_s, u"k"_s), kunde(u"k"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), id, QDateTime(QDate(2026, 12, 1), QTime(0, 0)), 2)));
    open();
    auto* paid = child<QWidget>(u"dtpStatus_2"_s);
    ASSERT_TRUE(paid->isEnabled());
    edit("txtName")->setFocus();
    wheel(paid);
    wheel(child<QWidget>(u"dtpEndeDatum"_s));
    EXPECT_EQ(loaded(id).Datum[2].date(), QDate(2026, 12, 1));
    EXPECT_EQ(loaded(id).EndeDatum, u"04.12.2026"_s);
    paid->setFocus();  // with the focus, the wheel is the user's: it changes the date
    wheel(paid);
    EXPECT_NE(loaded(id).Datum[2].date(), QDate(2026, 12, 1));
}

// After a tick, a save or a mail the same trade stays selected; a fresh import is selected.
TEST_F(Pane, TheListKeepsItsPlace) {
    fill();
    open();
    clickRow(3);
    ASSERT_EQ(shown(), u"103"_s);
    tick(0);
    EXPECT_EQ(shown(), u"103"_s);
    click("cmdSpeichern");
    EXPECT_EQ(shown(), u"103"_s);
    gSettings.Standardversandmail = true;
    mailForm([](frmMail* m) {
        auto* status = m->findChild<QComboBox*>(u"cmbStatus"_s);
        status->setFocus();
        QTest::keyClick(status, Qt::Key_B);  // "Bestätigt"
        QTest::mouseClick(m->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    });
    EXPECT_EQ(shown(), u"103"_s);
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 6), u"Bestätigt"_s);
    shippedFiles();
    importSale();
    EXPECT_EQ(shown(), u"1234567890"_s);
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 7), u"1234567890"_s);
}

// The arrows move along the rows; Tab goes on from the list, which holds no keyboard.
TEST_F(Pane, TabLeavesTheListTheArrowsMoveInIt) {
    fill();
    open();
    clickRow(0);
    const QString first = shown();
    w->grid()->setFocus(Qt::MouseFocusReason);
    press(Qt::Key_Down);
    EXPECT_NE(shown(), first);
    ASSERT_TRUE(w->grid()->hasFocus());
    press(Qt::Key_Tab);
    EXPECT_FALSE(w->grid()->hasFocus());
    EXPECT_NE(QApplication::focusWidget(), nullptr);
}

// A row whose trade another program deleted meanwhile empties the pane: a tick or
// "Speichern" used to go to the trade shown before, while the list marked this one.
TEST_F(Pane, ARowThatCannotBeShownLeavesNothingToActOn) {
    fill();
    open();
    clickRow(1);
    ASSERT_FALSE(shown().isEmpty());
    Database::open(db).execute(u"delete from Auktionen where AuktionsID = ?"_s, {w->grid()->TextMatrix(2, 0)});
    clickRow(2);
    EXPECT_EQ(shown(), QString());
    EXPECT_EQ(edit("txtName")->text(), QString());
    expectTradeButtons(false);
}

// Another row chosen with typed text in the pane asks first: "Abbrechen" keeps the trade and
// its row, "Nein" drops the text, "Ja" stores it; today's text was lost without a word.
TEST_F(Pane, AnotherRowAsksBeforeTypedTextIsLost) {
    fill();
    open();
    clickRow(1);
    const QString first = shown(), typed = u"Zofia Wiśniewska"_s;
    const auto firstRow = [&] { return int(column(7).indexOf(first)) + 1; };
    for (const auto answer : {Platform::Answer::Cancel, Platform::Answer::No, Platform::Answer::Yes}) {
        SCOPED_TRACE(int(answer));
        clickRow(firstRow());
        ASSERT_EQ(shown(), first);
        const QString before = contact(w->selectedAuktion().ebayName).Name;
        typeInto("txtName", typed);
        platform.messages.clear();
        platform.queueAnswer(answer);
        clickRow(firstRow() == 1 ? 2 : 1);
        ASSERT_EQ(platform.messages.size(), 1);
        EXPECT_EQ(platform.messages[0].text, u"Änderungen speichern?"_s);
        const bool moves = answer != Platform::Answer::Cancel;
        EXPECT_EQ(shown() != first, moves);
        EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 7), shown());
        EXPECT_EQ(contact(w->grid()->TextMatrix(firstRow(), 2)).Name,
                  answer == Platform::Answer::Yes ? typed : before);  // stored only on "Ja"
        EXPECT_EQ(edit("txtName")->text() == typed, !moves);          // kept while it stays
    }
}

// "Speichern" and closing ask before typed text is stored or lost. "Ja" to closing used
// to close the window even when the save failed: what the user typed was lost.
TEST_F(Pane, TypedTextIsStoredWhenTheUserSaysSoAndNeverLost) {
    tAuktion a = auktion(u"5"_s, u"k"_s, u"04.12.2026 20:15:33"_s);
    a.Versandinfos = u"EUR 4,90 Versandversicherung: EUR 1,50"_s;  // as an import stores it
    a.Versandversicherung = u"EUR 1,50"_s;
    store(a, kunde(u"k"_s));
    open();
    EXPECT_EQ(edit("txtVersandinfos")->text(), a.Versandinfos);
    EXPECT_TRUE(edit("txtVersandinfos")->isReadOnly());  // kept as the mail said: typing there was lost
    typeInto("txtStrasse", u"Neue Straße 1"_s);
    typeInto("txtHinweise", u"Abholung"_s);
    typeInto("txtBetrag", u"12,34"_s);
    platform.queueAnswer(Platform::Answer::Cancel);
    click("cmdAbbrechen");
    EXPECT_EQ(lastMessage(), u"Sollen die Daten jetzt gespeichert werden?"_s);
    EXPECT_EQ(contact(u"k"_s).Strasse, u"Hauptstraße 12"_s);
    EXPECT_TRUE(w->isVisible());
    sqlite3* other = nullptr;  // another program holds the write lock
    ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, QByteArray(test::keyed() + " BEGIN EXCLUSIVE;").constData(), nullptr, nullptr, nullptr),
        SQLITE_OK);
    platform.messages.clear();
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdAbbrechen");
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(lastMessage().startsWith(u"Beim Speichern der"_s)) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(u"gesperrt"_s));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(edit("txtStrasse")->text(), u"Neue Straße 1"_s);
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    platform.messages.clear();
    click("cmdSpeichern");  // the click is the decision: nothing more is asked
    EXPECT_TRUE(platform.messages.isEmpty()) << lastMessage().toStdString();
    EXPECT_EQ(w->statusBar()->currentMessage(), u"Gespeichert: 5"_s);
    EXPECT_EQ(column(5), QStringList{u"04.12.2026 20:15:33"_s});
    EXPECT_EQ(column(8), QStringList{u"12,34"_s});  // the list used to keep the old total until F5
    EXPECT_EQ(contact(u"k"_s).Strasse, u"Neue Straße 1"_s);
    EXPECT_TRUE(contact(u"k"_s).Kunde);
    const tAuktion back = loaded(w->selectedAuktion().AuktionsID);
    EXPECT_EQ(back.Hinweise, u"Abholung"_s);
    EXPECT_EQ(back.Versandinfos, a.Versandinfos);  // not doubled
    EXPECT_EQ(back.EndeDatum, u"04.12.2026 20:15:33"_s);
    EXPECT_EQ(auctions(), 1);
    typeInto("txtStrasse", u"Am Markt 3"_s);
    platform.messages.clear();
    platform.queueAnswer(Platform::Answer::Yes);
    click("cmdAbbrechen");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(platform.messages.size(), 1);  // the question: the save that worked says nothing
    EXPECT_EQ(contact(u"k"_s).Strasse, u"Am Markt 3"_s);
}

// An empty list refuses what needs a row. Importing into it used to leave "Email
// Senden" and "Speichern" grey until a filter button was pressed; emptied again, it
// leaves no stale date.
TEST_F(Pane, EmptyListRefusesAndTheFirstImportEnablesTheButtons) {
    open();
    expectTradeButtons(false);
    press(Qt::Key_Delete);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text, u"Keine Einträge in der Liste enthalten!"_s);
    EXPECT_EQ(platform.messages[0].icon, Platform::Icon::Critical);
    menu("keyAktion", "keyEmailversenden");
    EXPECT_EQ(lastMessage(), u"Es sind keine Emails in der Liste vorhanden!"_s);
    tick(2);  // nothing to store it for: unticked again
    EXPECT_FALSE(child<QCheckBox>(u"chkStatus_2"_s)->isChecked());
    QTest::mouseClick(w->grid()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_FALSE(w->popupMenu()->isVisible());  // no menu without rows

    shippedFiles();
    importSale();
    ASSERT_EQ(w->grid()->Rows(), 2);
    expectTradeButtons(true);
    tick(2);
    platform.queueAnswer(Platform::Answer::Yes);
    press(Qt::Key_Delete);
    ASSERT_EQ(w->grid()->Rows(), 1);
    expectTradeButtons(false);
    EXPECT_EQ(child<DatePicker>(u"dtpEndeDatum"_s)->text().trimmed(), QString());
    EXPECT_EQ(child<DatePicker>(u"dtpStatus_2"_s)->text().trimmed(), QString());
    EXPECT_EQ(edit("txtBetrag")->text(), QString());
}

}  // namespace
}  // namespace gd
