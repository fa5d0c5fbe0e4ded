#pragma once
// SQLite result codes as the program's German run-time errors.

struct sqlite3;

namespace gd {

[[noreturn]] void throwSqlite(sqlite3* db, int rc);

}  // namespace gd
