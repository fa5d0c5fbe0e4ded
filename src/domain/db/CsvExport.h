#pragma once
// The auctions of one list filter with their partner's contact, as CSV for a
// German spreadsheet: semicolons, UTF-8 with BOM, every field quoted.

#include <QByteArray>
#include <QString>

#include "domain/db/AuktionsListe.h"

namespace gd {

Result<QByteArray> exportCsv(const QString& dataSource, const QString& standardUser, ListFilter filter,
                             int* rows = nullptr);

}  // namespace gd
