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

// The buyer changed at another seat: saving the trade alone keeps that change; a change of the
// buyer typed over another is refused until reloaded, then goes in beside it.
TEST_F(PaneSeats, AContactChangedAtAnotherSeatIsNotOverwritten) {
    fill();
    open();
    clickRow(0);
    const tAuktion shownTrade = w->selectedAuktion();
    const auto ort = [&] {
        Database d = Database::open(db);
        return d
            .firstRow(u"select Ort from Kunden where ebayName = ?"_s, {shownTrade.ebayName},
                      [](const DbRow& r) { return r.text(0); })
            .value_or(QString());
    };
    // Meanwhile, at the desk by the door: the buyer has moved.
    Database::open(db).execute(u"update Kunden set Ort = '80331 München' where ebayName = ?"_s, {shownTrade.ebayName});

    test::typeText(edit("txtMitteilung"), u"Käufer fragt nach dem Versandtag"_s);
    click("cmdSpeichern");
    EXPECT_EQ(lastMessage(), QString());
    EXPECT_EQ(loaded(shownTrade.AuktionsID).Mitteilungen, u"Käufer fragt nach dem Versandtag"_s);
    EXPECT_EQ(ort(), u"80331 München"_s);

    // And a new address of mail, while this seat types the street.
    Database::open(db).execute(u"update Kunden set Email = 'neu@example.de' where ebayName = ?"_s,
                               {shownTrade.ebayName});
    edit("txtStrasse")->selectAll();
    test::typeText(edit("txtStrasse"), u"Leopoldstraße 7"_s);
    platform.queueAnswer(Platform::Answer::No);  // reload?
    click("cmdSpeichern");
    EXPECT_TRUE(lastMessage().contains(u"Der Kontakt"_s)) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(u"inzwischen"_s)) << lastMessage().toStdString();
    EXPECT_EQ(ort(), u"80331 München"_s);
    EXPECT_EQ(edit("txtStrasse")->text(), u"Leopoldstraße 7"_s);  // kept

    platform.queueAnswer(Platform::Answer::Yes);  // reload?
    click("cmdSpeichern");
    EXPECT_EQ(edit("txtOrt")->text(), u"80331 München"_s);
    EXPECT_EQ(edit("txtEmailAdresse")->text(), u"neu@example.de"_s);
    edit("txtStrasse")->selectAll();
    test::typeText(edit("txtStrasse"), u"Leopoldstraße 7"_s);
    click("cmdSpeichern");
    Database d = Database::open(db);
    EXPECT_EQ(d.firstRow(u"select Strasse || ', ' || Ort || ', ' || Email from Kunden where ebayName = ?"_s,
                         {shownTrade.ebayName}, [](const DbRow& r) { return r.text(0); })
                  .value_or(QString()),
              u"Leopoldstraße 7, 80331 München, neu@example.de"_s);
}

}  // namespace
}  // namespace gd
