#pragma once
// The server's schema: the file's tables and indexes in the server's dialect, and the rules the
// file keeps in triggers (search index, cascades, unchangeable invoices, row versions) as its own.

namespace gd {

struct PgConnection;

// Creates the schema in an empty database, brings an earlier one up to date, refuses a newer one or a
// database of another program; gives back the version. Throws DbError.
int pgPrepareSchema(PgConnection& c);

}  // namespace gd
