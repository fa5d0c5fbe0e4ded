#pragma once
// The auctions of one list filter with their partner's contact, as CSV for a
// German spreadsheet: semicolons, UTF-8 with BOM, every field quoted.

#include <QByteArray>
#include <QString>

#include "base/SafeWrite.h"
#include "domain/trade/AuktionsListe.h"

namespace gd {

// Row by row into the sink: memory stays that of a row. A sink that refuses ends it
// without an error here (its owner knows why).
Status exportCsv(const Store& store, const ListChoice& choice, const ByteSink& sink, int* rows = nullptr);
Result<QByteArray> exportCsv(const Store& store, const ListChoice& choice, int* rows = nullptr);

}  // namespace gd
