#include <windows.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

#include "base/SafeWrite.h"
#include "base/SafeWriteSystem.h"

namespace gd {
namespace {

const wchar_t* wide(const QString& path) { return reinterpret_cast<const wchar_t*>(path.utf16()); }
QString native(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

// The system's reason as the errno value the German sentences are keyed on.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

bool writeAll(HANDLE h, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD piece = DWORD(qMin<qsizetype>(left, 1 << 30));
        if (!WriteFile(h, p, piece, &written, nullptr)) return false;
        p += written;
        left -= qsizetype(written);
    }
    return true;
}

// SQLite locks bytes near one gigabyte; the mark sits far beyond them, so that the
// mandatory byte locks of Windows never stand in a reader's way.
constexpr DWORD kMarkOffsetHigh = 0x40000000;

HANDLE openShared(const QString& path) {
    return CreateFileW(wide(native(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

OVERLAPPED markAt() {
    OVERLAPPED at{};
    at.OffsetHigh = kMarkOffsetHigh;
    return at;
}

bool lockMark(HANDLE h, bool wait) {
    OVERLAPPED at = markAt();
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0, &at) != 0;
}

}  // namespace

bool renameOver(const QString& from, const QString& to) {
    if (MoveFileExW(wide(native(from)), wide(native(to)), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = errnoOf(GetLastError());
    return false;
}

std::optional<FileIdentity> fileIdentity(const QString& path) {
    const HANDLE h =
        CreateFileW(wide(native(path)), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    const bool ok =
        GetFileInformationByHandle(h, &info) && GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    // 100-ns steps; the change time moves with every write, as ctime does elsewhere.
    return FileIdentity{quint64(info.dwVolumeSerialNumber), (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                        (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow, basic.LastWriteTime.QuadPart * 100,
                        basic.ChangeTime.QuadPart * 100};
}

bool writableByUs(const QString& path) {
    const DWORD attributes = GetFileAttributesW(wide(native(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    const HANDLE h =
        CreateFileW(wide(native(path)), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return true;
}

// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk.
void syncFolder(const QString&) {}

namespace sys {

int replaceFile(const QString& path, const std::function<int(const WriteBytes&)>& fill) {
    // An existing file the user made read-only stays so.
    const DWORD attributes = GetFileAttributesW(wide(native(path)));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return EACCES;

    QString tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD why = 0;
    for (int attempt = 0; attempt < 8 && h == INVALID_HANDLE_VALUE; ++attempt) {
        tmp = native(path + QLatin1String(kTemporarySuffix) +
                     QString::number(QRandomGenerator::global()->bounded(1000000u)).rightJustified(6, u'0'));
        h = CreateFileW(wide(tmp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        why = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (why != 0 && why != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) return errnoOf(why);
    int error = fill([h](const QByteArray& bytes) { return writeAll(h, bytes) ? 0 : errnoOf(GetLastError()); });
    if (error == 0 && !FlushFileBuffers(h)) error = errnoOf(GetLastError());
    CloseHandle(h);
    if (error == 0 && !MoveFileExW(wide(tmp), wide(native(path)), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = errnoOf(GetLastError());
    if (error != 0) DeleteFileW(wide(tmp));
    return error;
}

int appendFile(const QString& path, const QByteArray& bytes) {
    const HANDLE h = CreateFileW(wide(native(path)), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errnoOf(GetLastError());
    int error = writeAll(h, bytes) ? 0 : errnoOf(GetLastError());
    if (error == 0 && !FlushFileBuffers(h)) error = errnoOf(GetLastError());
    CloseHandle(h);
    return error;
}

SourceFile::SourceFile(const QString& path) {
    const HANDLE h = CreateFileW(wide(native(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) error_ = errnoOf(GetLastError());
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

SourceFile::~SourceFile() {
    if (error_ == 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

qint64 SourceFile::read(char* into, qint64 max) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into, DWORD(qMin<qint64>(max, 1 << 30)), &got, nullptr))
        return -errnoOf(GetLastError());
    return qint64(got);
}

}  // namespace sys

bool beingWritten(const QString& path) {
    const HANDLE h = openShared(path);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool free = lockMark(h, false);
    if (free) {
        OVERLAPPED at = markAt();
        UnlockFileEx(h, 0, 1, 0, &at);
    }
    CloseHandle(h);
    return !free;
}

WritingMark::WritingMark(const QString& path, bool wait) {
    const HANDLE h = openShared(path);
    if (h == INVALID_HANDLE_VALUE) return;
    if (!lockMark(h, wait)) {
        CloseHandle(h);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

// Closing the handle gives the lock back, as the end of the process does.
WritingMark::~WritingMark() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The user's profile folder (%APPDATA%) is theirs alone by its inherited access list; a
// portable folder keeps the rights its owner gave it. Nothing to tighten here.
int tightenPermissions(const QString&) { return 0; }
bool tightenFile(const QString&) { return false; }
void restrictNewFiles() {}

bool makePrivateFolder(const QString& folder) { return QFileInfo(folder).isDir() || QDir().mkpath(folder); }

QString sys::networkFileSystem(const QString& path) {
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(QLatin1String("\\\\"))) return QStringLiteral("Freigabe");
    const std::wstring root = (native.left(3)).toStdWString();
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE ? QStringLiteral("Windows-Netzlaufwerk") : QString();
}

}  // namespace gd
