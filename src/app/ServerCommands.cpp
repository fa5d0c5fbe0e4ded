#include "app/ServerCommands.h"

#include "app/CliCommon.h"
#include "domain/db/Move.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

int moveToCommand(const QString& target) {
    if (!initApp()) return 1;
    if (gsDataSource.isEmpty()) return fail(QStringLiteral("Es gibt keine Datenbank, deren Daten übertragen würden."));
    if (target == gsDataSource) return fail(QStringLiteral("Quelle und Ziel sind dieselbe Datenbank."));
    const Result<QStringList> moved = copyDatabase(gsDataSource, target);
    if (!moved.ok()) return fail(oneLine(moved.error()));
    for (const QString& line : moved.value()) out() << line << "\n";
    out().flush();
    err() << "Alle Daten sind übertragen und verglichen; die Quelle ist unverändert. Damit das Programm das Ziel "
             "verwendet, tragen Sie es in den Optionen als Datenbank ein.\n";
    err().flush();
    return 0;
}

}  // namespace gd
