#pragma once
// Every mail sent from the desk, kept with its trade: what the seller told the buyer, and when.

#include <QDateTime>
#include <QList>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct SentMail {
    QDateTime Zeit;
    QString Weg;  // "SMTP" or "E-Mail-Programm"
    QString An;
    QString Betreff;
    QString MessageID;  // empty when the mail program made it
    QString Text;
    QString Antwort;  // the server's last reply
};

// One entry for each trade of the mail (a group's mail belongs to all of them), all or none.
Status recordSentMail(const Store& store, const QStringList& auktionsIDs, const SentMail& mail);
// Those of the trade, newest first.
Result<QList<SentMail>> sentMailsOf(const Store& store, const QString& auktionsID);

}  // namespace gd
