#include "domain/trade/SentMails.h"

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"

namespace gd {

Status recordSentMail(const Store& store, const QStringList& auktionsIDs, const SentMail& m) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(
        QStringLiteral("Die E-Mail wurde versendet, konnte aber nicht beim Verkauf aufbewahrt werden:"),
        [&]() -> Status {
            Transaction tx(store);
            Database db = tx.database();
            for (const QString& id : auktionsIDs)
                db.execute(QStringLiteral("insert into Gesendet (AuktionsID, Zeit, Weg, An, Betreff, MessageID, "
                                          "Text, Antwort, Standarduser) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                           {id, toDbDate(m.Zeit), m.Weg, m.An, m.Betreff, m.MessageID, m.Text, m.Antwort, store.user});
            tx.commit();
            return {};
        });
}

Result<QList<SentMail>> sentMailsOf(const Store& store, const QString& auktionsID) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(
        QStringLiteral("Die gesendeten E-Mails können nicht gelesen werden:"), [&]() -> Result<QList<SentMail>> {
            Database db = store.open();
            return db.allRows(
                QStringLiteral("select Zeit, Weg, An, Betreff, MessageID, Text, Antwort from Gesendet where "
                               "AuktionsID = ? and Standarduser = ? order by Zeit desc, ID desc"),
                {auktionsID, store.user}, [](const DbRow& r) {
                    return SentMail{r.date(0), r.text(1), r.text(2), r.text(3), r.text(4), r.text(5), r.text(6)};
                });
        });
}

}  // namespace gd
