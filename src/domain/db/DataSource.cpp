#include "domain/db/DataSource.h"

#include <QDir>
#include <QFileInfo>

#include "base/profile.h"
#include "domain/db/Connection.h"
#include "domain/db/Database.h"
#include "domain/db/PgEngine.h"
#include "domain/settings/Keyring.h"

namespace gd {

Status checkDataSource(const DataSourceChoice& c) {
    const QString sentence = QStringLiteral("Die Datenbank lässt sich nicht verwenden:");
    if (!isServerAddress(c.source)) {
        if (!QFileInfo(c.source).isFile())
            return Error{sentence, 3024,
                         QStringLiteral("Die Datei '%1' gibt es nicht.").arg(QDir::toNativeSeparators(c.source))};
        if (const Status share = refuseNetworkShare(c.source); !share.ok()) return share;
        return {};
    }
    // The choice as typed, not yet the settings: nothing of the program's state changes.
    try {
        (void)pgConnect(c.source, PgLogin{c.caFile, c.password});
    } catch (const RunError& e) {
        return Error::from(sentence, e);
    }
    return {};
}

Status saveDataSource(const DataSourceChoice& c, const QString& configIni) {
    if (!c.password.isEmpty()) {
        if (!isServerAddress(c.source))
            return Error::plain(QStringLiteral("Ein Kennwort gehört nur zu einem Datenbankserver."));
        if (!storeSecret(pgKeyringKey(c.source), c.password))
            return Error::plain(QStringLiteral(
                "Das Kennwort des Datenbankservers kann nicht gespeichert werden: Es ist kein Schlüsselbund "
                "erreichbar. Legen Sie es in der Datei ~/.pgpass ab (eine Zeile server:port:datenbank:benutzer:"
                "kennwort, nur für Sie lesbar); Gaveldesk schreibt es in keine eigene Datei."));
    }
    const Status written =
        win::writeProfileStrings({{QStringLiteral("Main"), QStringLiteral("Database"), c.source},
                                  {QStringLiteral("Main"), QStringLiteral("ServerZertifikat"), c.caFile}},
                                 configIni);
    if (!written.ok()) return written;
    if (!c.password.isEmpty()) pgKeepPassword(c.source, c.password);
    return {};
}

}  // namespace gd
