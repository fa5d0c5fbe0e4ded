#pragma once
// Every row of one database into another, file or server, in one transaction of the target:
// the way from a file to a team's server and back, a server's backup and its restore.

#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

enum class MoveTarget {
    New,      // a file that does not exist yet, or a server database without any trade, contact or invoice
    Replace,  // everything in the target goes (a restore into a server)
};

// Copies `from` into `to`, then compares the row counts, the sums of the amounts and the lengths of
// the texts of both; any difference undoes the copy. The source is only read. Gives back the
// figures compared, one line each.
Result<QStringList> copyDatabase(const QString& from, const QString& to, MoveTarget target = MoveTarget::New);

}  // namespace gd
