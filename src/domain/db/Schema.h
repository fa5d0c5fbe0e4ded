#pragma once
// The two tables, their indexes and the schema version.

struct sqlite3;

namespace gd {

inline constexpr int kSchemaVersion = 1;

// Creates tables and indexes in one transaction and marks the version.
void createSchema(sqlite3* db);
// Reads the schema: throws DbError for a wrong key, a foreign file, a file
// without our tables or one from a newer program; migrates older versions.
void checkSchema(sqlite3* db);
// Files of earlier builds have a list index without the total; the list then
// reads every row from the table. Renewing it changes no data.
bool listIndexCurrent(sqlite3* db);
void renewListIndex(sqlite3* db);  // one transaction; throws DbError

}  // namespace gd
