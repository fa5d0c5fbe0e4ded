// The day's check of a database file, and the note of the state this program left it in.
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include "base/SafeWrite.h"
#include "domain/db/Connection.h"
#include "domain/db/Database.h"

namespace gd {

namespace {

// The file as it was when it was last found whole: which file, its size and time, and the day.
QByteArray checkNote(const FileIdentity& id, const QDate& day) {
    return QByteArray::number(id.device) + ' ' + QByteArray::number(id.inode) + ' ' +
           day.toString(Qt::ISODate).toLatin1() + ' ' + QByteArray::number(id.size) + ' ' +
           QByteArray::number(id.mtimeNs) + '\n';
}

// The files this process found sound (checked, or as the program left them).
QMutex g_vouchedMutex;
QSet<QString>& vouchedFiles() {
    static QSet<QString> files;
    return files;
}

}  // namespace

Status checkDatabaseDaily(const QString& path, const QString& record, const QDate& day, const CheckLimits& limits) {
    const std::optional<FileIdentity> id = fileIdentity(path);
    if (!id) return checkDatabase(path, limits);  // missing: the check says what the user needs to know
    const QByteArray note = checkNote(*id, day);
    QFile noted(record);
    const bool checkedToday = noted.open(QIODevice::ReadOnly) && noted.read(256) == note;
    const auto vouch = [&] {
        QMutexLocker lock(&g_vouchedMutex);
        vouchedFiles().insert(canonicalDbPath(path));
    };
    if (checkedToday && !QFileInfo::exists(path + QStringLiteral("-journal"))) {
        vouch();
        return {};
    }
    bool finished = false;
    CheckLimits bounded = limits;
    bounded.finished = &finished;
    const Status intact = checkDatabase(path, bounded);
    // Unnoted, the next call checks again; a note that cannot be written costs only that.
    if (intact.ok() && finished) {
        (void)writeFileSafely(record, note);
        vouch();
    }
    if (limits.finished) *limits.finished = finished;
    return intact;
}

void noteDatabaseLeft(const QString& path, const QString& record, const QDate& day) {
    if (path.isEmpty() || isServerAddress(path) || isMarkedDamaged(path)) return;
    {
        QMutexLocker lock(&g_vouchedMutex);
        if (!vouchedFiles().contains(canonicalDbPath(path))) return;
    }
    const std::optional<FileIdentity> id = fileIdentity(path);
    if (!id || QFileInfo::exists(path + QStringLiteral("-journal"))) return;
    QFile noted(record);
    const QByteArray note = checkNote(*id, day);
    if (noted.open(QIODevice::ReadOnly) && noted.read(256) == note) return;
    noted.close();
    (void)writeFileSafely(record, note);
}

}  // namespace gd
