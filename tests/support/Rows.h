#pragma once
// What a test reads back from the tables: the first row's column, or a column of every row.

#include <QString>
#include <QStringList>

#include "domain/db/Database.h"

namespace gd::test {

inline QString firstText(Database& d, const QString& sql, const Params& p = {}, int column = 0) {
    return d.firstRow(sql, p, [column](const DbRow& r) { return r.text(column); }).value_or(QString());
}

inline qint64 firstNumber(Database& d, const QString& sql, const Params& p = {}, int column = 0) {
    return d.firstRow(sql, p, [column](const DbRow& r) { return r.int64(column); }).value_or(-1);
}

inline QStringList columnOf(Database& d, const QString& sql, const Params& p = {}) {
    return d.allRows(sql, p, [](const DbRow& r) { return r.text(0); });
}

}  // namespace gd::test
