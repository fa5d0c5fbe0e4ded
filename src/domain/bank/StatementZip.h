#pragma once
// Statements as banks deliver them since camt replaced MT940: a ZIP of camt.052/053/054 files
// (any version), read as one statement.

#include <QByteArray>

#include "base/Result.h"
#include "domain/bank/Statement.h"

namespace gd {

inline bool isZip(const QByteArray& bytes) { return bytes.startsWith("PK\x03\x04"); }
// Each XML file in the archive, its credits taken once: an entry the bank names by the same
// reference in two files (overlapping downloads) counts once.
Result<BankStatement> parseStatementZip(const QByteArray& zip);

}  // namespace gd
