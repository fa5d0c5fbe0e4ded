#include "domain/db/SentMails.h"

#include "base/CallStack.h"
#include "domain/db/Database.h"

namespace gd {

Status recordSentMail(const Store& store, const QStringList& auktionsIDs, const SentMail& m) {
    CALLSTACK_MODULE("modGlobal");
    try {
        Transaction tx(store);
        Database db = tx.database();
        for (const QString& id : auktionsIDs)
            db.execute(QStringLiteral("insert into Gesendet (AuktionsID, Zeit, Weg, An, Betreff, MessageID, Text, "
                                      "Antwort, Standarduser) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                       {id, toDbDate(m.Zeit), m.Weg, m.An, m.Betreff, m.MessageID, m.Text, m.Antwort, store.user});
        tx.commit();
        return {};
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die E-Mail wurde versendet, konnte aber nicht beim Verkauf aufbewahrt "
                                          "werden:"),
                           e);
    }
}

Result<QList<SentMail>> sentMailsOf(const Store& store, const QString& auktionsID) {
    CALLSTACK_MODULE("modGlobal");
    try {
        Database db = store.open();
        QList<SentMail> out;
        Recordset rs = db.OpenRecordset(QStringLiteral("select * from Gesendet where AuktionsID = ? and Standarduser = "
                                                       "? order by Zeit desc, ID desc"),
                                        {auktionsID, store.user});
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            out << SentMail{rs.date(QStringLiteral("Zeit")),      rs.text(QStringLiteral("Weg")),
                            rs.text(QStringLiteral("An")),        rs.text(QStringLiteral("Betreff")),
                            rs.text(QStringLiteral("MessageID")), rs.text(QStringLiteral("Text")),
                            rs.text(QStringLiteral("Antwort"))};
        return out;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die gesendeten E-Mails können nicht gelesen werden:"), e);
    }
}

}  // namespace gd
