#include <gtest/gtest.h>

#include "domain/db/Accounts.h"
#include "domain/db/AuktionsListe.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using Accounts = test::DbTest;

// Rows of one member name given to another: every auction moves, and a partner
// both names know stays one contact row, so the list shows each auction once.
TEST_F(Accounts, MovingRowsKeepsOneContactAPartner) {
    gsStandardUser = QString();
    store(auktion(QStringLiteral("1"), QStringLiteral("anna")),
          kunde(QStringLiteral("anna"), QStringLiteral("Anna Alt")));
    store(auktion(QStringLiteral("2"), QStringLiteral("bernd")), kunde(QStringLiteral("bernd")));
    gsStandardUser = QStringLiteral("haendler");
    store(auktion(QStringLiteral("3"), QStringLiteral("anna")),
          kunde(QStringLiteral("anna"), QStringLiteral("Anna Neu")));
    gsStandardUser = QStringLiteral("drittes_konto");
    store(auktion(QStringLiteral("4"), QStringLiteral("anna")), kunde(QStringLiteral("anna")));

    EXPECT_EQ(countTrades(QString()).value(), 2);
    EXPECT_EQ(moveTrades(QString(), QStringLiteral("haendler")).value(), 2);
    EXPECT_EQ(countTrades(QString()).value(), 0);
    EXPECT_EQ(countTrades(QStringLiteral("haendler")).value(), 3);
    EXPECT_EQ(countTrades(QStringLiteral("drittes_konto")).value(), 1);  // other accounts stay apart
    EXPECT_EQ(
        count(QStringLiteral("select count(*) as n from Kunden where Standarduser = 'haendler' and ebayName = 'anna'")),
        1);
    const QList<ListRow> rows = loadAuktionsListe(db, QStringLiteral("haendler"), ListFilter::Alle).value();
    EXPECT_EQ(rows.size(), 3);
    for (const ListRow& r : rows) {
        if (r.ebayName == QStringLiteral("anna")) {
            EXPECT_EQ(r.Name, QStringLiteral("Anna Neu"));
        }
    }
    EXPECT_EQ(moveTrades(QStringLiteral("haendler"), QStringLiteral("HAENDLER")).value(), 0);  // the same name
    gsDataSource = app.file(QStringLiteral("fehlt.mdb"));
    EXPECT_TRUE(test::failure(moveTrades(QStringLiteral("a"), QStringLiteral("b")))
                    .startsWith(QStringLiteral("Beim Übernehmen der Auktionen ist ein Fehler aufgetreten:")));
}

}  // namespace
}  // namespace gd
