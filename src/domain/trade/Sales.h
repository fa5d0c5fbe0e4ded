#pragma once
// The buyers' sales of a year as the books count them: amounts in cents, read once.

#include <QList>
#include <QString>

namespace gd {

class Database;

struct SaleRow {
    qint64 row = 0;  // the order of entry: the tie-break of sales that ended together
    QString auktionsNr, auktionsId;
    QString ende;  // as stored, "yyyy-MM-dd hh:mm:ss"
    qint64 goods = 0, shipping = 0;
    bool paid = false;
    QString platform;  // empty: the program's main platform
    qint64 gross() const { return goods + shipping; }
};

// The sales whose auction ended in `year`, in the order of their end (and entry) when asked.
QList<SaleRow> salesOfYear(Database& db, const QString& user, int year, bool byEnd = false);

}  // namespace gd
