#pragma once
// One folding of text for the search, done alike by the database (in its
// triggers, with built-in functions only, so any program that writes the file
// keeps the index right) and by the program for what the user types:
// "Müller", "Mueller" and "MULLER" all become "muller".

#include <QString>
#include <QStringList>

struct sqlite3;

namespace gd {

// The views that fold the text expression `text` of the rows of `source` (which
// has a docid column) into the column Text of `view`, in the order they are made.
QStringList foldViewsSql(const QString& source, const QString& text, const QString& view);
// The same folding as a database server's function `name(text)` (PL/pgSQL).
QString foldFunctionSql(const QString& name);
// The same folding for a text.
QString foldForSearch(const QString& text);
// The folding as the file's function gd_fold(text), the name the server's has: a statement folds
// a column alike on both engines.
void addFoldFunction(sqlite3* db);
// What the user typed as a full-text query: every word folded, as a prefix,
// all of them required. Empty when nothing searchable is left.
QString searchQuery(const QString& typed);

}  // namespace gd
