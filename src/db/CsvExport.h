#pragma once
// The auctions of one list filter with their partner's contact, as CSV for a
// German spreadsheet: semicolons, UTF-8 with BOM, every field quoted.

#include <QByteArray>
#include <QString>

#include "db/AuktionsListe.h"

namespace gd {

// Throws DbError.
QByteArray exportCsv(const QString& dataSource, const QString& standardUser, ListFilter filter, int* rows = nullptr);

}  // namespace gd
