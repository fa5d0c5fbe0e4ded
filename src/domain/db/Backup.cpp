#include "domain/db/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

#include "base/AppPath.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "domain/db/Database.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

const QString kFilesTable = QStringLiteral("Sicherung_Dateien");

QString cannotBackUp(const QString& target) {
    return QStringLiteral("Die Datensicherung '%1' konnte nicht geschrieben werden:").arg(QDir::toNativeSeparators(target));
}

// The settings: the files directly in bin/ (INI files and templates).
QStringList settingsFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.ini"), QStringLiteral("*.dat"), QStringLiteral("*.datV")}, QDir::Files,
                                  QDir::Name);
}

// Every page in one step: a reader's snapshot of the file, whatever writers do meanwhile.
// A writer in the middle of its commit holds the file for a moment: try again.
void copyPages(sqlite3* from, sqlite3* to) {
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) throw DbError(3001, QString::fromUtf8(sqlite3_errmsg(to)));
    int rc = SQLITE_OK;
    for (int tries = 0; tries < 200; ++tries) {
        rc = sqlite3_backup_step(b, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
        QThread::msleep(50);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) throw DbError(3001, QString::fromUtf8(sqlite3_errstr(rc)));
}

// POSIX rename: the target is replaced in one step or not at all.
bool replaceFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

QString backupFolder() { return AppPath() + QStringLiteral("/Sicherungen"); }

Status writeBackup(const QString& dbPath, const QString& settingsFolder, const QString& target) {
    const QString temp = target + QString::fromLatin1(kTemporarySuffix) + QStringLiteral("sicherung");
    QFile::remove(temp);
    try {
        if (!QFileInfo(QFileInfo(target).absolutePath()).isDir() && !QDir().mkpath(QFileInfo(target).absolutePath()))
            return Error::plain(cannotBackUp(target) + QStringLiteral(" Der Ordner fehlt und kann nicht angelegt werden."));
        Database::create(temp);
        {
            Database source = Database::open(dbPath);
            Database copy = Database::open(temp);
            copyPages(source.handle(), copy.handle());
            Transaction tx(temp);
            Database files = Database::open(temp);
            files.execute(QStringLiteral("CREATE TABLE ") + kFilesTable + QStringLiteral(" (Datei TEXT PRIMARY KEY, Inhalt BLOB)"));
            for (const QString& name : settingsFiles(settingsFolder)) {
                QFile f(settingsFolder + QLatin1Char('/') + name);
                if (!f.open(QIODevice::ReadOnly))
                    throw DbError(3043, QStringLiteral("Die Datei '%1' kann nicht gelesen werden.").arg(f.fileName()));
                files.execute(QStringLiteral("INSERT INTO ") + kFilesTable + QStringLiteral(" VALUES (?, ?)"), {name, f.readAll()});
            }
            tx.commit();
        }
        // The copy's connections are closed before it takes the target's place.
        Database::open(temp).Close();
        if (!replaceFile(temp, target)) {
            QFile::remove(temp);
            return Error::plain(cannotBackUp(target) + QLatin1Char(' ') + fileErrorReason(errno, target));
        }
        return {};
    } catch (const RunError& e) {
        QFile::remove(temp);
        return Error::from(cannotBackUp(target), e);
    }
}

Result<QString> restoreBackup(const QString& backupFile, const QString& dbPath, const QString& settingsFolder,
                              const QString& keepFolder, const QString& backupPassword, bool* wrongPassword) {
    if (wrongPassword) *wrongPassword = false;
    const QString temp = dbPath + QString::fromLatin1(kTemporarySuffix) + QStringLiteral("wiederherstellen");
    const QString refused = QStringLiteral("Die Datensicherung '%1' wurde nicht eingespielt:").arg(QDir::toNativeSeparators(backupFile));
    QFile::remove(temp);
    if (!QFileInfo(backupFile).isFile()) return Error{refused, 0, QStringLiteral("Die Datei gibt es nicht.")};
    const Status copied = copyFileSafely(backupFile, temp);
    if (!copied.ok()) return Error{refused, 0, copied.error().description.isEmpty() ? copied.error().sentence : copied.error().description};
    QList<std::pair<QString, QByteArray>> files;
    const QString present = databasePassphrase();
    const bool other = !backupPassword.isEmpty() && backupPassword != present;
    if (other) setDatabasePassphrase(backupPassword);
    try {
        // Opening checks the password, the tables and the version; then every page.
        clearDamaged(temp);
        Database::open(temp).Close();
        const Status whole = checkDatabase(temp, {60000, nullptr, 1LL << 40});
        clearDamaged(temp);  // the temporary copy's mark: it is removed below either way
        if (!whole.ok()) throw DbError(3049, whole.error().description);
        Database db = Database::open(temp);
        if (!db.exists(QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ?"), {kFilesTable}))
            throw DbError(3078, QStringLiteral("Die Datei ist eine Datenbank, aber keine Datensicherung von Gaveldesk."));
        Recordset rs = db.OpenRecordset(QStringLiteral("select Datei, Inhalt from ") + kFilesTable);
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            const QString name = QFileInfo(rs.text(QStringLiteral("Datei"))).fileName();  // never a path outside bin/
            if (!name.isEmpty()) files.append({name, rs.value(QStringLiteral("Inhalt")).toByteArray()});
        }
        db.execute(QStringLiteral("DROP TABLE ") + kFilesTable);
        db.Close();
    } catch (const RunError& e) {
        if (other) setDatabasePassphrase(present);
        QFile::remove(temp);
        if (wrongPassword) *wrongPassword = e.number() == 3031;
        return Error::from(refused, e);
    }
    // Made under another password: the copy takes the present one, so the program opens it as before.
    if (other) {
        const Status rekeyed = changeDatabasePassphrase(temp, present);
        setDatabasePassphrase(present);
        if (!rekeyed.ok()) {
            QFile::remove(temp);
            return Error{refused, 0, rekeyed.error().message()};
        }
    }
    // The present state first, as a backup of its own: nothing is lost if the user chose the wrong file.
    QString kept;
    if (QFileInfo::exists(dbPath)) {
        kept = keepFolder + QStringLiteral("/vor-Wiederherstellung-") + now().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
               QString::fromLatin1(kBackupSuffix);
        const Status saved = writeBackup(dbPath, settingsFolder, kept);
        if (!saved.ok()) {
            QFile::remove(temp);
            return Error{refused, 0, QStringLiteral("Der jetzige Stand ließ sich nicht sichern: ") + saved.error().message()};
        }
    }
    if (!replaceFile(temp, dbPath)) {
        const int why = errno;
        QFile::remove(temp);
        return Error{refused, 0, fileErrorReason(why, dbPath)};
    }
    const QString partly = QStringLiteral("Die Datenbank ist wiederhergestellt, die Einstellungen nicht vollständig (der alte "
                                          "Stand liegt in '%1'):")
                               .arg(kept);
    for (const auto& [name, bytes] : files) {
        const Status w = writeFileSafely(settingsFolder + QLatin1Char('/') + name, bytes);
        if (!w.ok()) return Error{partly, 0, w.error().description};
    }
    // The restored settings say what the file is under now, not what it was under then.
    if (!rememberPassphraseKind(settingsFolder + QStringLiteral("/config.ini")))
        return Error{partly, 0, QStringLiteral("config.ini kann nicht geschrieben werden.")};
    return kept;
}

Result<QString> dailyBackup(const QString& dbPath, const QString& settingsFolder, const QString& folder, const QDate& today,
                            int keep) {
    const QString name = QStringLiteral("gaveldesk-") + today.toString(Qt::ISODate) + QString::fromLatin1(kBackupSuffix);
    const QString target = folder + QLatin1Char('/') + name;
    QString written;
    if (!QFileInfo::exists(target)) {
        const Status s = writeBackup(dbPath, settingsFolder, target);
        if (!s.ok()) return s.error();
        written = target;
    }
    // Names sort by their dates; the states a restore replaced are never removed here.
    QStringList daily = QDir(folder).entryList({QStringLiteral("gaveldesk-[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]") + QString::fromLatin1(kBackupSuffix)},
                                               QDir::Files, QDir::Name);
    while (daily.size() > keep) QFile::remove(folder + QLatin1Char('/') + daily.takeFirst());
    return written;
}

}  // namespace gd
