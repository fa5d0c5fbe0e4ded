#include "base/AppPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/Launch.h"
#include "base/SafeWrite.h"

namespace gd {

namespace {

QString trimmed(QString path) {
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))) path.chop(1);
    return path;
}

// A folder with the program's files that this user may change: root may write to /usr/bin,
// but an installed program has no bin/ there. Writable means a file can be made there: the
// permission bits Qt reads say nothing of Windows' access lists. Installed programs' folders
// never hold data, whoever may write into them.
bool ownFolder(const QString& dir) {
    if (!QFileInfo(dir + QStringLiteral("/bin")).isDir() || inProgramsFolder(dir)) return false;
    QFile probe(dir + QStringLiteral("/bin/.gaveldesk-schreibprobe-") +
                QString::number(QCoreApplication::applicationPid()));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    probe.close();
    return probe.remove();
}

// Asked once a run: the program's folder does not move, and the probe writes a file.
bool ownProgramFolder(const QString& exe) {
    static const bool own = ownFolder(exe);
    return own;
}

// Copies what is missing below `from` into `to`, keeping what is there.
Status copyMissing(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (QFileInfo::exists(target)) continue;
        if (!QDir().mkpath(QFileInfo(target).absolutePath()))
            return Error::plain(QStringLiteral("Der Ordner '%1' kann nicht angelegt werden.")
                                    .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath())));
        const Status copied = copyFileSafely(source, target);
        if (!copied.ok()) return copied;
    }
    return {};
}

}  // namespace

QString shippedDefaultsFolder() {
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    // The window program sits one folder deeper, in lib/gaveldesk.
    const QString beside = QDir::cleanPath(exe + QStringLiteral("/../share/gaveldesk"));
    const QString deeper = QDir::cleanPath(exe + QStringLiteral("/../../share/gaveldesk"));
    if (QFileInfo(beside).isDir() || QFileInfo(deeper).isDir()) return QFileInfo(beside).isDir() ? beside : deeper;
    // Installed into one folder, defaults beside the program (as on Windows).
    return QFileInfo(exe + QStringLiteral("/bin")).isDir() ? exe : beside;
}

Status prepareAppFolder() {
    const QString app = AppPath();
    if (app != userDataFolder()) return {};
    if (!QDir().mkpath(app))
        return Error::plain(
            QStringLiteral("Der Datenordner '%1' kann nicht angelegt werden.").arg(QDir::toNativeSeparators(app)));
    const QString shipped = shippedDefaultsFolder();
    Status done;
    for (const char* sub : {"bin", "Help"}) {
        const QString from = shipped + QLatin1Char('/') + QString::fromLatin1(sub);
        if (QFileInfo(from).isDir()) done = copyMissing(from, app + QLatin1Char('/') + QString::fromLatin1(sub));
        if (!done.ok()) return done;
    }
    return {};
}

QString AppPath() {
    QString home = qEnvironmentVariable("GAVELDESK_HOME");
    if (home.isEmpty() && QCoreApplication::instance()) {
        const QString exe = QCoreApplication::applicationDirPath();
        home = ownProgramFolder(exe) ? exe : userDataFolder();
    }
    if (home.isEmpty()) home = QDir::currentPath();
    return trimmed(home);
}

QString ExeName() { return QStringLiteral("gaveldesk"); }
QString configIniPath() { return AppPath() + QStringLiteral("/bin/config.ini"); }
QString vorlagenIniPath() { return AppPath() + QStringLiteral("/bin/Vorlagen.ini"); }
QString keywordIniPath() { return AppPath() + QStringLiteral("/bin/") + ExeName() + QStringLiteral(".ini"); }
QString defaultDatabasePath() { return AppPath() + QLatin1Char('/') + ExeName() + QStringLiteral(".mdb"); }

QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

}  // namespace gd
