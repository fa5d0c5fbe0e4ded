// Two seats on one database: a save made on a trade read before another change is refused, says
// who changed it and when, and loses neither change. Runs on the file and (Server.*) on a server.
#include <gtest/gtest.h>

#include <QSysInfo>
#include <functional>

#include "domain/db/LoadSave.h"
#include "domain/db/StatusGruppen.h"
#include "support/DbTestShared.h"

namespace gd::test {
namespace {

using namespace Qt::StringLiterals;

class Seats : public DbTest {};

TEST_F(Seats, ASaveAfterAnotherChangeIsRefusedAndNeitherChangeIsLost) {
    const struct {
        const char* other;
        std::function<void(const QString& id)> change;
    } cases[] = {
        {"the pane of another seat",
         [this](const QString& id) {
             tAuktion b = loaded(id);
             b.Bemerkungen = u"Paket ist gepackt (Platz 2)"_s;
             QString nr = b.KundenNr;
             ASSERT_TRUE(funSaveAuktion(b, nr).ok());
         }},
        {"a milestone ticked at another seat",
         [this](const QString& id) {
             tAuktion b = loaded(id);
             b.Datum[2] = QDateTime(QDate(2026, 12, 6), QTime(0, 0));
             ASSERT_TRUE(SaveStatus(b, 2).ok());
         }},
        {"another program's statement",
         [this](const QString& id) {
             Database::open(db).execute(u"update Auktionen set Hinweise = 'per Hand' where AuktionsID = ?"_s, {id});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        const QString id = store(auktion(u"4711"_s, u"jörg_plattner"_s), kunde(u"jörg_plattner"_s, u"Jörg Plattner"_s));
        tAuktion mine = loaded(id);
        c.change(id);
        const tAuktion theirs = loaded(id);

        mine.Bemerkungen = u"Zahlung per Überweisung angekündigt"_s;
        QString nr = mine.KundenNr;
        const Status refused = funSaveAuktion(mine, nr);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().number, kChangedElsewhere);
        EXPECT_TRUE(refused.error().sentence.contains(u"inzwischen"_s)) << refused.error().sentence.toStdString();
        if (db.startsWith(u"postgresql"_s)) {  // the server knows the seat
            EXPECT_TRUE(refused.error().sentence.contains(QSysInfo::machineHostName()))
                << refused.error().sentence.toStdString();
        }
        // A milestone of the stale copy is refused alike.
        mine.Datum[4] = QDateTime(QDate(2026, 12, 7), QTime(0, 0));
        EXPECT_EQ(SaveStatus(mine, 4).error().number, kChangedElsewhere);

        const tAuktion now = loaded(id);
        EXPECT_EQ(now.Bemerkungen, theirs.Bemerkungen);
        EXPECT_EQ(now.Datum, theirs.Datum);
        EXPECT_EQ(now.Hinweise, theirs.Hinweise);

        // Reloaded, the same change goes in; the next save of the same copy needs no reload.
        tAuktion again = loaded(id);
        again.Bemerkungen = mine.Bemerkungen;
        ASSERT_TRUE(funSaveAuktion(again, nr).ok());
        again.Datum[4] = mine.Datum[4];
        ASSERT_TRUE(SaveStatus(again, 4).ok());
        again.Zahlungshinweise = u"Vorkasse"_s;
        ASSERT_TRUE(funSaveAuktion(again, nr).ok());
        const tAuktion last = loaded(id);
        EXPECT_EQ(last.Bemerkungen, mine.Bemerkungen);
        EXPECT_EQ(last.Zahlungshinweise, u"Vorkasse"_s);
        ASSERT_TRUE(subDeleteAuktion(last).ok());
    }
}

}  // namespace
}  // namespace gd::test
