#include "base/SafeWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <cerrno>
#include <cstring>

#include "base/SafeWriteSystem.h"

namespace gd {

QString fileErrorReason(int error, const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QString reason;
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT  // a quota: not on every system
        case EDQUOT:
#endif
            reason = QStringLiteral("Der Datenträger ist voll.");
            break;
        case EROFS:
            reason = QStringLiteral("Der Datenträger ist schreibgeschützt.");
            break;
        case EISDIR:
            reason = QStringLiteral("Unter diesem Namen gibt es einen Ordner.");
            break;
        case ENOENT:
        case ENOTDIR:
            reason = QStringLiteral("Der Ordner '%1' existiert nicht.").arg(QDir::toNativeSeparators(folder));
            break;
        case EACCES:
        case EPERM:
            if (!QFileInfo(folder).isWritable())
                reason = QStringLiteral("Der Ordner '%1' ist schreibgeschützt.").arg(QDir::toNativeSeparators(folder));
            else
                reason = QStringLiteral("Es fehlt die Berechtigung, die Datei zu schreiben.");
            break;
        case ENAMETOOLONG:
            reason = QStringLiteral("Der Dateiname ist zu lang.");
            break;
        default:
            reason = QStringLiteral("Fehler beim Schreiben (%1).").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (info.isDir() && error != EISDIR) reason = QStringLiteral("Unter diesem Namen gibt es einen Ordner.");
    return reason;
}

namespace {

// Once per folder and run: a kill between writing and renaming left "<name>.gdtmp-NNNNNN" there.
void removeLeftoversOnce(const QString& folder) {
    static QMutex guard;
    static QSet<QString> done;
    {
        const QMutexLocker lock(&guard);
        if (done.contains(folder)) return;
        done.insert(folder);
    }
    removeStaleTemporaries(folder, false);
}

Status replaceFile(const QString& requested, const std::function<int(const sys::WriteBytes&)>& fill) {
    // Through a link to the file it names, so the link stays.
    const QFileInfo asked(requested);
    const QString path = asked.isSymLink() ? asked.symLinkTarget() : asked.absoluteFilePath();
    removeLeftoversOnce(QFileInfo(path).absolutePath());
    const int error = QFileInfo(path).isDir() ? EISDIR : sys::replaceFile(path, fill);
    if (error == 0) return {};
    return Error{
        QStringLiteral("Die Datei '%1' kann nicht geschrieben werden.").arg(QDir::toNativeSeparators(requested)), 0,
        fileErrorReason(error, path)};
}

}  // namespace

Status appendFileDurably(const QString& path, const QByteArray& bytes) {
    const int error = QFileInfo(path).isDir() ? EISDIR : sys::appendFile(path, bytes);
    if (error == 0) return {};
    return Error{QStringLiteral("Die Datei '%1' kann nicht geschrieben werden.").arg(QDir::toNativeSeparators(path)), 0,
                 fileErrorReason(error, path)};
}

Status writeFileSafely(const QString& requested, const QByteArray& bytes) {
    return replaceFile(requested, [&](const sys::WriteBytes& write) { return write(bytes); });
}

Status writeFileSafely(const QString& requested, const std::function<Status(const ByteSink&)>& produce) {
    Status produced;
    int error = 0;
    const Status written = replaceFile(requested, [&](const sys::WriteBytes& write) {
        // Pieces gathered to a quarter megabyte: a write call per CSV row would cost more than
        // the row, a bigger buffer only memory. One buffer, kept: clear() would free it.
        constexpr qsizetype kGather = 1 << 18;
        QByteArray pending;
        pending.reserve(kGather + (1 << 16));
        const auto flush = [&] {
            if (error == 0) error = write(pending);
            pending.resize(0);
            return error == 0;
        };
        produced = produce([&](const QByteArray& piece) {
            pending += piece;
            return pending.size() < kGather || flush();
        });
        if (error == 0 && produced.ok()) flush();
        if (error != 0) return error;
        return produced.ok() ? 0 : ECANCELED;
    });
    // The disk's reason first: a produce stopped by the sink fails only because of it.
    if (error == 0 && !produced.ok()) return produced;
    return written;
}

Status copyFileSafely(const QString& from, const QString& to) {
    sys::SourceFile in(from);
    if (in.error() != 0)
        return Error{QStringLiteral("Die Datei '%1' kann nicht gelesen werden.").arg(QDir::toNativeSeparators(from)), 0,
                     fileErrorReason(in.error(), from)};
    // In pieces: a database of 100,000 trades is a few hundred megabytes.
    return replaceFile(to, [&in](const sys::WriteBytes& write) {
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qint64 n = in.read(chunk.data(), chunk.size());
            if (n < 0) return int(-n);
            if (n == 0) return 0;
            if (const int error = write(QByteArray::fromRawData(chunk.constData(), qsizetype(n)))) return error;
        }
    });
}

void removeStaleTemporaries(const QString& folder) { removeStaleTemporaries(folder, true); }

void removeStaleTemporaries(const QString& folder, bool programFolder) {
    // Ours, and those of the earlier save routine ("config.ini.AbC123").
    static const QRegularExpression ours(QStringLiteral("\\.gdtmp-[0-9]{6}$"));
    static const QRegularExpression earlier(QStringLiteral("\\.(ini|dat|datV|ERR|csv)\\.[A-Za-z0-9]{6}$"),
                                            QRegularExpression::CaseInsensitiveOption);
    // A backup's or a restore's copy, with SQLite's journal beside it: a killed run leaves them.
    static const QRegularExpression copies(QStringLiteral("\\.gdtmp-(wiederherstellen|sicherung|umzug)(-journal)?$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : files) {
        const QString path = f.absoluteFilePath();
        if (const QRegularExpressionMatch m = copies.match(f.fileName()); programFolder && m.hasMatch()) {
            const QString main = m.captured(2).isEmpty() ? path : path.chopped(m.captured(2).size());
            if (!beingWritten(main)) QFile::remove(path);
        } else if ((ours.match(f.fileName()).hasMatch() || (programFolder && earlier.match(f.fileName()).hasMatch())) &&
                   f.lastModified().toUTC() < before) {
            QFile::remove(path);
        }
    }
}

namespace {
std::function<QString(const QString&)>& probeForTests() {
    static std::function<QString(const QString&)> probe;
    return probe;
}
}  // namespace

void setFileSystemProbe(std::function<QString(const QString& path)> probe) { probeForTests() = std::move(probe); }

QString networkFileSystem(const QString& path) {
    if (probeForTests()) return probeForTests()(path);
    return sys::networkFileSystem(path);
}

QString networkFileSystemOf(quint64 magic, const QString& mountType) {
    // The numbers Linux gives these file systems (linux/magic.h and the file systems' own).
    switch (magic) {
        case 0x6969:
            return QStringLiteral("NFS");
        case 0x517B:
        case 0xFF534D42:
        case 0xFE534D42:
            return QStringLiteral("SMB/CIFS");
        case 0x564C:
            return QStringLiteral("NCP");
        case 0x5346414F:
            return QStringLiteral("AFS");
        case 0x65735546:  // FUSE: what it is the mount table says
            if (mountType == QLatin1String("fuse.sshfs")) return QStringLiteral("SSHFS");
            if (mountType.startsWith(QLatin1String("fuse.")) &&
                (mountType.contains(QLatin1String("smb")) || mountType.contains(QLatin1String("nfs")) ||
                 mountType.contains(QLatin1String("gvfs")) || mountType.contains(QLatin1String("rclone")) ||
                 mountType.contains(QLatin1String("davfs"))))
                return mountType.mid(5);
            return {};
        default:
            return {};
    }
}

}  // namespace gd
