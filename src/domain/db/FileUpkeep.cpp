// What opening a file may do for it besides reading: bring an earlier version's encryption up to
// SQLCipher 4, and keep the planner's statistics in step with the file's size.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <cerrno>
#include <optional>

#include "base/SafeWrite.h"
#include "domain/db/Connection.h"
#include "domain/db/Schema.h"
#include "domain/db/SqliteError.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {

namespace {

QMutex g_noticeMutex;
QStringList g_notices;  // what the user is told once the window or the command is there

// The first integer a statement returns; nullopt when it fails or gives no row.
std::optional<qint64> firstInteger(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::optional<qint64> out;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
        sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return out;
}

// The statement's text with the path quoted for SQL.
QByteArray quotedPath(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\''), QStringLiteral("''"));
    return "'" + p.toUtf8() + "'";
}

// Where the file as it was is kept: beside it, never over an earlier copy.
QString keptAs(const QString& path) {
    QString kept = path + QStringLiteral(".sqlcipher3.bak");
    if (QFileInfo::exists(kept))
        kept =
            path + QStringLiteral(".sqlcipher3-%1.bak").arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"));
    return kept;
}

}  // namespace

// Without statistics SQLite takes "Standarduser = ?" for selective and walks every trade by date
// to spare a sort of the few a number or group names (0.1-0.6 s a look-up at 100,000 trades).
// Measured once the file has grown: a file that only grew keeps the shape its statistics show.
void keepStatisticsCurrent(Database::Impl& impl) {
    constexpr qint64 kWorthIt = 2000;
    // The highest row number is read at once; the count only when it hints at growth.
    const qint64 highest = firstInteger(impl.db, "select max(rowid) from Auktionen").value_or(0);
    const qint64 measured =
        firstInteger(impl.db, "select cast(stat as integer) from sqlite_stat1 where idx = 'Auktionen_AuktionsID'")
            .value_or(0);
    if (highest < kWorthIt || measured * 4 >= highest) return;
    const qint64 trades = firstInteger(impl.db, "select count(*) from Auktionen").value_or(0);
    if (trades < kWorthIt || measured * 4 >= trades) return;
    // Only when nobody writes: a start does not wait for it, and a failure (a full disk) changes nothing.
    sqlite3_busy_timeout(impl.db, 0);
    sqlite3_exec(impl.db, "ANALYZE;", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(impl.db, busyTimeout());
}

void upgradeCipher(Database::Impl& impl) {
    const QString path = impl.path;
    const QString shown = QDir::toNativeSeparators(path);
    const auto refused = [&](const QString& cause) {
        return DbError(3043, QStringLiteral("Die Datenbank '%1' ist im Format einer früheren Version (SQLCipher 3) und "
                                            "konnte nicht in das neue übertragen werden: %2 Sie ist unverändert.")
                                 .arg(shown, cause));
    };
    // A copy the program made for itself (a restore's) needs no copy: its source is the backup.
    const bool ownCopy = QFileInfo(path).fileName().contains(QStringLiteral(".gdtmp-"));
    const QString kept = ownCopy ? QString() : keptAs(path);
    if (!ownCopy) {
        const Status copied = copyFileSafely(path, kept);
        if (!copied.ok())
            throw refused(copied.error().description.isEmpty() ? copied.error().sentence : copied.error().description);
    }
    // Written beside the file and put in its place in one step: a kill leaves the old file or the new one.
    const QString fresh = path + QStringLiteral(".gdtmp-sqlcipher4");
    QFile::remove(fresh);
    QFile::remove(fresh + QStringLiteral("-journal"));
    {
        // The connection was opened without the right to create files: ATTACH needs the file to exist.
        QFile empty(fresh);
        if (!empty.open(QIODevice::WriteOnly) ||
            !empty.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            if (!ownCopy) QFile::remove(kept);
            throw refused(fileErrorReason(int(empty.error()) == 0 ? EACCES : errno, fresh));
        }
    }
    QByteArray salt(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), 4);
    const QByteArray key = "x'" + fileKey(salt, Cipher::V4).toHex() + salt.toHex() + "'";
    try {
        const int version = schemaVersion(impl.db);
        const QByteArray attach = "ATTACH DATABASE " + quotedPath(fresh) + " AS neu KEY \"" + key + "\";";
        execOn(impl, attach.constData());
        execOn(impl, "PRAGMA neu.cipher_compatibility = 4;");
        // Nobody writes to the old file while it is copied.
        execOn(impl, "BEGIN EXCLUSIVE;");
        execOn(impl, "SELECT sqlcipher_export('neu');");
        const QByteArray versioned = "PRAGMA neu.user_version = " + QByteArray::number(version) + ";";
        execOn(impl, versioned.constData());
        execOn(impl, "COMMIT;");
        execOn(impl, "DETACH DATABASE neu;");
    } catch (const RunError& e) {
        sqlite3_exec(impl.db, "ROLLBACK;", nullptr, nullptr, nullptr);
        sqlite3_exec(impl.db, "DETACH DATABASE neu;", nullptr, nullptr, nullptr);
        QFile::remove(fresh);
        QFile::remove(fresh + QStringLiteral("-journal"));
        if (!ownCopy) QFile::remove(kept);
        throw refused(e.description());
    }
    sqlite3_close_v2(impl.db);
    impl.db = nullptr;
    // The first open of a start does this, before other threads hold the file; where one still does
    // (Windows renames no open file), the rename fails, the file stays as it was and the next start tries again.
    if (!renameOver(fresh, path)) {
        const int error = errno;
        QFile::remove(fresh);
        if (!ownCopy) QFile::remove(kept);
        throw refused(fileErrorReason(error, path));
    }
    syncFolder(QFileInfo(path).absolutePath());
    if (ownCopy) return;
    const QMutexLocker lock(&g_noticeMutex);
    g_notices << QStringLiteral(
                     "Die Datenbank '%1' wurde in das Verschlüsselungsformat von SQLCipher 4 übertragen "
                     "(stärkere Schlüsselableitung). Die Datei im früheren Format liegt unverändert als "
                     "'%2' daneben; Sie können sie löschen, sobald alles stimmt.")
                     .arg(shown, QDir::toNativeSeparators(kept));
}

QStringList Database::takeUpgradeNotices() {
    const QMutexLocker lock(&g_noticeMutex);
    return std::exchange(g_notices, {});
}

}  // namespace gd
