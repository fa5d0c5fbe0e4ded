#pragma once
// Inside the database layer only: a migration step's fill (the journal's opening entries, the
// documents' chain), written once for both engines, run on the file's connection.

#include <functional>

#include "domain/db/Journal.h"

struct sqlite3;

namespace gd {

// Runs `fill` with statements prepared once each on `db`; throws DbError.
void withStatements(sqlite3* db, const std::function<void(const OpeningRows&, const OpeningExec&)>& fill);

}  // namespace gd
