#pragma once
// The two tables, their indexes and the schema version.

#include <QString>
#include <vector>

struct sqlite3;

namespace gd {

inline constexpr int kSchemaVersion = 13;

// Creates tables and indexes in one transaction and marks the version.
void createSchema(sqlite3* db);
// Reads the schema: throws DbError for a wrong key, a foreign file, a file
// without our tables or one from a newer program; gives back its version.
int checkSchema(sqlite3* db);
int schemaVersion(sqlite3* db);
// The steps from an older version to the current one, in the caller's transaction.
void migrateSchema(sqlite3* db, int from);
// The current schema's statements one by one, in the file's dialect: the server's schema is made from them.
std::vector<QString> schemaStatements();
// The search text of a trade "a", as the search views fold it.
QString searchTextSql();

}  // namespace gd
