#include "base/AppPath.h"

#include <QCoreApplication>
#include <QDir>

namespace gd {

QString AppPath() {
    QString home = qEnvironmentVariable("GAVELDESK_HOME");
    if (home.isEmpty() && QCoreApplication::instance()) home = QCoreApplication::applicationDirPath();
    if (home.isEmpty()) home = QDir::currentPath();
    while (home.size() > 1 && (home.endsWith(QLatin1Char('/')) || home.endsWith(QLatin1Char('\\')))) home.chop(1);
    return home;
}

QString ExeName() { return QStringLiteral("gaveldesk"); }
QString configIniPath() { return AppPath() + QStringLiteral("/bin/config.ini"); }
QString vorlagenIniPath() { return AppPath() + QStringLiteral("/bin/Vorlagen.ini"); }
QString keywordIniPath() { return AppPath() + QStringLiteral("/bin/") + ExeName() + QStringLiteral(".ini"); }
QString defaultDatabasePath() { return AppPath() + QLatin1Char('/') + ExeName() + QStringLiteral(".mdb"); }

}  // namespace gd
