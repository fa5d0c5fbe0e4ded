#include <gtest/gtest.h>

#include "domain/db/Accounts.h"
#include "domain/db/AuktionsListe.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using Accounts = test::DbTest;

// Rows of one member name given to another: every auction moves, and a partner
// both names know stays one contact row, so the list shows each auction once.
TEST_F(Accounts, MovingRowsKeepsOneContactAPartner) {
    gsStandardUser = QString();
    store(auktion(u"1"_s, u"anna"_s), kunde(u"anna"_s, u"Anna Alt"_s));
    store(auktion(u"2"_s, u"bernd"_s), kunde(u"bernd"_s));
    gsStandardUser = u"haendler"_s;
    store(auktion(u"3"_s, u"anna"_s), kunde(u"anna"_s, u"Anna Neu"_s));
    gsStandardUser = u"drittes_konto"_s;
    store(auktion(u"4"_s, u"anna"_s), kunde(u"anna"_s));

    EXPECT_EQ(countTrades(QString()).value(), 2);
    EXPECT_EQ(moveTrades(QString(), u"haendler"_s).value(), 2);
    EXPECT_EQ(countTrades(QString()).value(), 0);
    EXPECT_EQ(countTrades(u"haendler"_s).value(), 3);
    EXPECT_EQ(countTrades(u"drittes_konto"_s).value(), 1);  // other accounts stay apart
    EXPECT_EQ(count(u"select count(*) as n from Kunden where Standarduser = 'haendler' and ebayName = 'anna'"_s), 1);
    const QList<ListRow> rows = loadAuktionsListe(db, u"haendler"_s, ListFilter::Alle).value();
    EXPECT_EQ(rows.size(), 3);
    for (const ListRow& r : rows) {
        if (r.ebayName == u"anna"_s) {
            EXPECT_EQ(r.Name, u"Anna Neu"_s);
        }
    }
    EXPECT_EQ(moveTrades(u"haendler"_s, u"HAENDLER"_s).value(), 0);  // the same name
    gsDataSource = app.file(u"fehlt.mdb"_s);
    EXPECT_TRUE(test::failure(moveTrades(u"a"_s, u"b"_s))
                    .startsWith(u"Beim Übernehmen der Auktionen ist ein Fehler aufgetreten:"_s));
}

}  // namespace
}  // namespace gd
