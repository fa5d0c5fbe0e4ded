// Another seat changed the trade shown: "Speichern" does not overwrite it, says so, and offers to
// reload; "Nein" keeps what was typed, "Ja" shows the other seat's state.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "MainWindowFixture.h"
#include "domain/db/Database.h"
#include "domain/trade/LoadSave.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class PaneSeats : public test::MainWindowTest {};

TEST_F(PaneSeats, ASaveOverAnotherSeatsChangeIsRefusedAndOffersToReload) {
    fill();
    open();
    EXPECT_EQ(lastMessage(), QString());  // a server's database is there: nothing to create at start
    clickRow(0);
    const QString nr = shown();
    ASSERT_FALSE(nr.isEmpty());
    const QString id = w->selectedAuktion().AuktionsID;
    // Meanwhile, at the packing table: a note for this trade.
    Database::open(db).execute(u"update Auktionen set Hinweise = 'Abholung am Freitag' where AuktionsID = ?"_s, {id});
    test::typeText(edit("txtMitteilung"), u"Zahlung per PayPal angekündigt"_s);

    platform.queueAnswer(Platform::Answer::No);  // reload?
    click("cmdSpeichern");
    EXPECT_TRUE(lastMessage().contains(u"inzwischen"_s)) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(u"neu geladen"_s));
    EXPECT_EQ(edit("txtMitteilung")->text(), u"Zahlung per PayPal angekündigt"_s);  // kept
    EXPECT_EQ(loaded(id).Hinweise, u"Abholung am Freitag"_s);                       // not overwritten

    platform.queueAnswer(Platform::Answer::Yes);  // reload?
    click("cmdSpeichern");
    EXPECT_EQ(edit("txtHinweise")->text(), u"Abholung am Freitag"_s);
    EXPECT_EQ(shown(), nr);
    // Reloaded, the same entry goes in beside the other seat's.
    test::typeText(edit("txtMitteilung"), u"Zahlung per PayPal angekündigt"_s);
    click("cmdSpeichern");
    const tAuktion now = loaded(id);
    EXPECT_EQ(now.Hinweise, u"Abholung am Freitag"_s);
    EXPECT_EQ(now.Mitteilungen, u"Zahlung per PayPal angekündigt"_s);
}

}  // namespace
}  // namespace gd
