#include "app/ServerCommands.h"

#include <QCommandLineParser>

#include "app/CliCommon.h"
#include "domain/db/Move.h"
#include "domain/settings/modGlobal.h"

namespace gd {

namespace cli {
QString& databaseOverride() {
    static QString source;
    return source;
}
void useDatabase(const QString& source) { databaseOverride() = source; }
}  // namespace cli

using namespace cli;

void addServerOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("database"),
                      QStringLiteral("Diese Datenbank statt der eingestellten: eine Datei, oder ein Datenbankserver "
                                     "(postgresql://benutzer@server/datenbank; TLS mit Prüfung des Servernamens, das "
                                     "Kennwort aus dem Schlüsselbund oder ~/.pgpass). Die Sicherung des Servers "
                                     "selbst macht pg_dump."),
                      QStringLiteral("quelle")});
    parser.addOption({QStringLiteral("move-to"),
                      QStringLiteral("Kopiert alle Daten in eine leere Serverdatenbank oder eine neue Datei und "
                                     "vergleicht Anzahlen und Summen; die Quelle bleibt unverändert."),
                      QStringLiteral("ziel")});
}

std::optional<int> serverOptions(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("database"))) useDatabase(parser.value(QStringLiteral("database")));
    if (parser.isSet(QStringLiteral("move-to"))) return moveToCommand(parser.value(QStringLiteral("move-to")));
    return std::nullopt;
}

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
