#pragma once
// What the command-line commands share: their streams, the one-line failure, the start on
// the data folder, the page cache of a one-pass command, the file check.
#include <QString>
#include <QTextStream>
#include <optional>

#include "base/Result.h"

namespace gd::cli {

QTextStream& out();
QTextStream& err();
// "gaveldesk: message" on stderr; the exit status 1.
int fail(const QString& message);
QString oneLine(QString text);
QString oneLine(const Error& e);
// A cell of tab-separated output: no tab or line break inside.
QString tsvField(QString s);
// False when the database keeps a password of its own and none given opens it.
bool initApp();
// --database: the data source of this run instead of the settings' (a file or "postgresql://...").
void useDatabase(const QString& source);
QString& databaseOverride();
void readOnce(int cacheKiB = 512);
// The exit status when no member name is set: rows stored without one would vanish from view once it is.
std::optional<int> refuseWithoutMemberName();
// The exit status when the file is damaged and must not be written.
std::optional<int> refuseDamaged();
void warnIfDamaged();

}  // namespace gd::cli
