#pragma once
// What the safe write asks of the system; SafeWritePosix.cpp and SafeWriteWindows.cpp
// answer it, SafeWrite.cpp builds the rest on it.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace gd::sys {

// Hands bytes to the open temporary file: 0, or the cause as an errno value.
using WriteBytes = std::function<int(const QByteArray&)>;

// A temporary file beside `path` (a file, never a link) is filled by `fill` (0 or an
// errno), flushed to the disk and put in the file's place in one step. On any failure
// the old file stays, the temporary one is gone and the cause comes back as an errno.
int replaceFile(const QString& path, const std::function<int(const WriteBytes&)>& fill);

// Appends `bytes` to the file (made 0600 when missing) and flushes it to the disk: 0 or an errno.
int appendFile(const QString& path, const QByteArray& bytes);

// A file read in pieces.
class SourceFile {
public:
    explicit SourceFile(const QString& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    int error() const { return error_; }  // why it did not open (errno), else 0
    // Bytes read into `into`, 0 at the end; -errno on failure.
    qint64 read(char* into, qint64 max);

private:
    std::intptr_t handle_ = -1;
    int error_ = 0;
};

// The network file system the path lies on, in words; empty for a local disk.
QString networkFileSystem(const QString& path);

}  // namespace gd::sys
