#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <functional>

#include "base/SafeWrite.h"
#include "base/SafeWriteSystem.h"

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

namespace sys {

int replaceFile(const QString& path, const std::function<int(const WriteBytes&)>& fill) {
    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    // An existing file the user made read-only stays so.
    if (existed && ::access(target.constData(), W_OK) != 0) return errno;

    QByteArray tmp;
    int fd = -1;
    // A name another write holds right now: take the next.
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        tmp = QFile::encodeName(path + QLatin1String(kTemporarySuffix) +
                                QString::number(QRandomGenerator::global()->bounded(1000000u)).rightJustified(6, u'0'));
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? (old.st_mode & 07777) : 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return errno;
    if (existed) ::fchmod(fd, old.st_mode & 07777);  // not narrowed by the umask
    int error = fill([fd](const QByteArray& bytes) { return writeAll(fd, bytes) ? 0 : errno; });
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(tmp.constData(), target.constData()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tmp.constData());
        return error;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return 0;
}

int appendFile(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    int error = writeAll(fd, bytes) ? 0 : errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

SourceFile::SourceFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) error_ = errno;
    handle_ = fd;
}

SourceFile::~SourceFile() {
    if (handle_ >= 0) ::close(int(handle_));
}

qint64 SourceFile::read(char* into, qint64 max) {
    for (;;) {
        const ssize_t n = ::read(int(handle_), into, size_t(max));
        if (n >= 0) return n;
        if (errno != EINTR) return -errno;
    }
}

}  // namespace sys

bool beingWritten(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

WritingMark::WritingMark(const QString& path, bool wait) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0 && !wait) {
        ::close(fd);
        return;
    }
    handle_ = fd;
}

WritingMark::~WritingMark() {
    if (handle_ >= 0) ::close(int(handle_));
}

int tightenPermissions(const QString& folder) {
    static const QRegularExpression data(
        QStringLiteral(
            "\\.(mdb|bak|gdsicherung|ini|dat|datV|ERR|csv|pdf|xml|log|gdjournal)$|\\.mdb\\.v[0-9]+\\.bak$|-journal$"),
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

QString sys::networkFileSystem(const QString& path) {
    // The folder answers for a file that is not there yet.
    QString probe = QFileInfo(path).absoluteFilePath();
    while (!probe.isEmpty() && !QFileInfo::exists(probe)) probe = QFileInfo(probe).absolutePath();
    struct statfs fs {};
    if (::statfs(QFile::encodeName(probe).constData(), &fs) != 0) return {};
    QString mountType;
    if (quint64(fs.f_type) == 0x65735546) {
        // The mount table's longest mount point above the file names its FUSE type.
        QFile table(QStringLiteral("/proc/self/mounts"));
        qsizetype longest = -1;
        const QString canonical = QFileInfo(probe).canonicalFilePath();
        if (table.open(QIODevice::ReadOnly))
            for (const QByteArray& line : table.readAll().split('\n')) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() < 3) continue;
                const QString point = QString::fromUtf8(f[1]).replace(QStringLiteral("\\040"), QStringLiteral(" "));
                if ((canonical == point || canonical.startsWith(point + QLatin1Char('/')) ||
                     point == QLatin1String("/")) &&
                    point.size() > longest) {
                    longest = point.size();
                    mountType = QString::fromUtf8(f[2]);
                }
            }
    }
    return networkFileSystemOf(quint64(fs.f_type), mountType);
}

}  // namespace gd
