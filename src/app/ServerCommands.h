#pragma once
// The commands of a team's database server.
#include <QString>

namespace gd {

// --move-to: every row of the data source into an empty server database or a new file, compared.
int moveToCommand(const QString& target);

}  // namespace gd
