#include "base/SafeWrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <functional>

namespace gd {
namespace {

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

}  // namespace

bool renameOver(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

std::optional<FileIdentity> fileIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                        qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

bool writableByUs(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

QString fileErrorReason(int error, const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QString reason;
    switch (error) {
        case ENOSPC:
        case EDQUOT:
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
            reason = QStringLiteral("Der Ordner '%1' existiert nicht.").arg(folder);
            break;
        case EACCES:
        case EPERM:
            if (!QFileInfo(folder).isWritable())
                reason = QStringLiteral("Der Ordner '%1' ist schreibgeschützt.").arg(folder);
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

// The temporary file, its filling, the flush and the rename; fill gives back 0 or an errno.
Status replaceFile(const QString& requested, const std::function<int(int fd)>& fill) {
    // Through a link to the file it names, so the link stays.
    const QFileInfo asked(requested);
    const QString path = asked.isSymLink() ? asked.symLinkTarget() : asked.absoluteFilePath();
    const auto failed = [&](int error) {
        return Error{QStringLiteral("Die Datei '%1' kann nicht geschrieben werden.").arg(requested), 0,
                     fileErrorReason(error, path)};
    };
    if (QFileInfo(path).isDir()) return failed(EISDIR);
    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    // An existing file the user made read-only stays so.
    if (existed && ::access(target.constData(), W_OK) != 0) return failed(errno);

    QByteArray tmp;
    int fd = -1;
    // A name another write holds right now: take the next.
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        tmp = QFile::encodeName(path + QLatin1String(kTemporarySuffix) +
                                QString::number(QRandomGenerator::global()->bounded(1000000u)).rightJustified(6, u'0'));
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? (old.st_mode & 07777) : 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return failed(errno);
    if (existed) ::fchmod(fd, old.st_mode & 07777);  // not narrowed by the umask
    int error = fill(fd);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(tmp.constData(), target.constData()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tmp.constData());
        return failed(error);
    }
    syncFolder(QFileInfo(path).absolutePath());
    return {};
}

}  // namespace

Status writeFileSafely(const QString& requested, const QByteArray& bytes) {
    return replaceFile(requested, [&](int fd) { return writeAll(fd, bytes) ? 0 : errno; });
}

Status writeFileSafely(const QString& requested, const std::function<Status(const ByteSink&)>& produce) {
    Status produced;
    int error = 0;
    const Status written = replaceFile(requested, [&](int fd) {
        // Pieces gathered to a quarter megabyte: a write call per CSV row would cost more than
        // the row, a bigger buffer only memory. One buffer, kept: clear() would free it.
        constexpr qsizetype kGather = 1 << 18;
        QByteArray pending;
        pending.reserve(kGather + (1 << 16));
        const auto flush = [&] {
            if (error == 0 && !writeAll(fd, pending)) error = errno;
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
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Error{QStringLiteral("Die Datei '%1' kann nicht gelesen werden.").arg(from), 0,
                     fileErrorReason(errno, from)};
    // In pieces: a database of 100,000 trades is a few hundred megabytes.
    const Status copied = replaceFile(to, [in](int fd) {
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (;;) {
            const ssize_t n = ::read(in, chunk.data(), size_t(chunk.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return errno;
            if (n == 0) return 0;
            if (!writeAll(fd, QByteArray::fromRawData(chunk.constData(), qsizetype(n)))) return errno;
        }
    });
    ::close(in);
    return copied;
}

bool beingWritten(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void removeStaleTemporaries(const QString& folder) {
    // Ours, and those of the earlier save routine ("config.ini.AbC123").
    static const QRegularExpression ours(QStringLiteral("\\.gdtmp-[0-9]{6}$"));
    static const QRegularExpression earlier(QStringLiteral("\\.(ini|dat|datV|ERR|csv)\\.[A-Za-z0-9]{6}$"),
                                            QRegularExpression::CaseInsensitiveOption);
    // A backup's or a restore's copy, with SQLite's journal beside it: a killed run leaves them.
    static const QRegularExpression copies(QStringLiteral("\\.gdtmp-(wiederherstellen|sicherung)(-journal)?$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : files) {
        const QString path = f.absoluteFilePath();
        if (const QRegularExpressionMatch m = copies.match(f.fileName()); m.hasMatch()) {
            const QString main = m.captured(2).isEmpty() ? path : path.chopped(m.captured(2).size());
            if (!beingWritten(main)) QFile::remove(path);
        } else if ((ours.match(f.fileName()).hasMatch() || earlier.match(f.fileName()).hasMatch()) &&
                   f.lastModified().toUTC() < before) {
            QFile::remove(path);
        }
    }
}

WritingMark::WritingMark(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

WritingMark::~WritingMark() {
    if (fd_ >= 0) ::close(fd_);
}

int tightenPermissions(const QString& folder) {
    static const QRegularExpression data(
        QStringLiteral(
            "\\.(mdb|bak|gdsicherung|ini|dat|datV|ERR|csv|pdf|gdjournal)$|\\.mdb\\.v[0-9]+\\.bak$|-journal$"),
        QRegularExpression::CaseInsensitiveOption);
    int tightened = 0;
    const QByteArray dir = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 077) != 0 &&
        ::chmod(dir.constData(), st.st_mode & 0700) == 0)
        ++tightened;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (f.isSymLink() || !data.match(f.fileName()).hasMatch()) continue;
        const QByteArray file = QFile::encodeName(f.absoluteFilePath());
        if (::stat(file.constData(), &st) == 0 && (st.st_mode & 077) != 0 &&
            ::chmod(file.constData(), st.st_mode & 0600) == 0)
            ++tightened;
    }
    return tightened;
}

bool tightenFile(const QString& path) {
    struct stat st {};
    const QByteArray file = QFile::encodeName(path);
    return ::stat(file.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 &&
           ::chmod(file.constData(), st.st_mode & 0600) == 0;
}

void restrictNewFiles() { ::umask(077); }

bool makePrivateFolder(const QString& folder) {
    if (QFileInfo(folder).isDir()) return true;
    if (!QDir().mkpath(folder)) return false;
    return ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
}

}  // namespace gd
