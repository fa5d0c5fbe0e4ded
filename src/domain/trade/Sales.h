#pragma once
// The buyers' sales of a year as the books count them: amounts in cents, read once.

#include <QList>
#include <QString>
#include <functional>

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

// The sales whose auction ended in `year`, one by one (the year is not held), in the order of their
// end (and entry) when asked, until `take` says false.
void forEachSaleOfYear(Database& db, const QString& user, int year, bool byEnd,
                       const std::function<bool(const SaleRow&)>& take);

}  // namespace gd
