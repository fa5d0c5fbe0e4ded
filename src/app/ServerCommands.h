#pragma once
// The commands of a team's database server.
#include <QString>
#include <optional>

class QCommandLineParser;

namespace gd {

// --move-to: every row of the data source into an empty server database or a new file, compared.
int moveToCommand(const QString& target);
// --database and --move-to on the parser; after parsing, the source of this run set and a move done
// (its exit status), or nothing to do.
void addServerOptions(QCommandLineParser& parser);
std::optional<int> serverOptions(const QCommandLineParser& parser);

}  // namespace gd
