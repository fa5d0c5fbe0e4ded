#include "domain/trade/Accounts.h"

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/settings/modGlobal.h"

namespace gd {
namespace {}  // namespace

Result<int> countTrades(const Store& store, const QString& owner) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:"), [&]() -> Result<int> {
        Database db = store.open();
        return db
            .firstRow(QStringLiteral("select count(*) from Auktionen where Standarduser = ?"), {owner},
                      [](const DbRow& r) { return r.integer(0); })
            .value_or(0);
    });
}

Result<int> moveTrades(const Store& store, const QString& from, const QString& to) {
    CALLSTACK_MODULE("modGlobal");
    if (from.compare(to, Qt::CaseInsensitive) == 0) return 0;
    return dbStep(sentences::kAuktionenUebernehmen, [&]() -> Result<int> {
        Transaction tx(store);
        Database db = tx.database();
        const int n = db.firstRow(QStringLiteral("select count(*) from Auktionen where Standarduser = ?"), {from},
                                  [](const DbRow& r) { return r.integer(0); })
                          .value_or(0);
        // One contact row a partner and owner: the list joins on the member name.
        db.execute(QStringLiteral("delete from Kunden where Standarduser = ? and ebayName in "
                                  "(select ebayName from Kunden where Standarduser = ?)"),
                   {from, to});
        db.execute(QStringLiteral("update Kunden set Standarduser = ? where Standarduser = ?"), {to, from});
        db.execute(QStringLiteral("update Auktionen set Standarduser = ? where Standarduser = ?"), {to, from});
        tx.commit();
        return n;
    });
}

}  // namespace gd
