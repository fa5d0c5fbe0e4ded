#pragma once
// Every file the program writes goes through here: the bytes reach a temporary
// file beside the target, are flushed to the disk, and only then replace the
// old file. On any failure the old file stays as it was, the temporary file is
// removed, and the reason comes back in German.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "base/Result.h"

namespace gd {

// Error::sentence "Die Datei '…' kann nicht geschrieben werden.", description the cause.
Status writeFileSafely(const QString& path, const QByteArray& bytes);

// The same for bytes too many to hold at once: `produce` hands them to the sink piece by
// piece. A sink that returns false (the disk is full) asks it to stop; a failure of either
// keeps the old file, and the produce's own failure comes back as it is.
using ByteSink = std::function<bool(const QByteArray&)>;
Status writeFileSafely(const QString& path, const std::function<Status(const ByteSink&)>& produce);

// For files that only ever grow (a log kept for audits): the bytes go to the end and reach the
// disk before it returns. A kill in between may leave a torn last line; the reader knows.
Status appendFileDurably(const QString& path, const QByteArray& bytes);

// The same for a copy of a file, read in pieces.
Status copyFileSafely(const QString& from, const QString& to);

// The German cause of a failed file operation (errno); an errno without a German
// sentence of its own gives a general one with strerror's text in brackets.
QString fileErrorReason(int error, const QString& path);

// A rename into the folder is durable only once the folder itself is on the disk.
void syncFolder(const QString& folder);
// Replaces `to` by `from` in one step; false with errno set.
bool renameOver(const QString& from, const QString& to);

// What identifies a file on disk: a replaced file has another inode, a file written
// by anyone another change time.
struct FileIdentity {
    quint64 device = 0, inode = 0;
    qint64 size = 0, mtimeNs = 0, ctimeNs = 0;
    bool sameFile(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
    bool operator==(const FileIdentity& o) const {
        return sameFile(o) && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs;
    }
};
std::optional<FileIdentity> fileIdentity(const QString& path);
// Whether this process may write the file.
bool writableByUs(const QString& path);

// The kind of network file system the path lies on ("NFS", "SMB/CIFS", "SSHFS", …), empty for a
// local disk: SQLite's locks do not hold there, and two seats writing damage the file.
QString networkFileSystem(const QString& path);
// The same from what the system says of the file system: its magic number (statfs), and for
// FUSE the type the mount table names ("fuse.sshfs").
QString networkFileSystemOf(quint64 magic, const QString& mountType);
// Tests put a file system of their choosing under every path; an empty function undoes it.
void setFileSystemProbe(std::function<QString(const QString& path)> probe);

// Temporary files that a killed write left in the folder: those of a backup or a
// restore as soon as no process marks them as being written (WritingMark), the others
// once older than a minute (a second instance may be writing right now).
void removeStaleTemporaries(const QString& folder);
// In a folder of the user's (an export's): only our own "<name>.gdtmp-NNNNNN" older than a minute.
// Every safe write does this once per folder and run.
void removeStaleTemporaries(const QString& folder, bool programFolder);

// Marks a file as being written by this process while it lives, so that a start in
// between leaves it alone; the mark ends with the process, however it ends.
class WritingMark {
public:
    explicit WritingMark(const QString& path) : WritingMark(path, true) {}
    // Without `wait`, a mark another process holds is not waited for: held() says whether it was taken.
    WritingMark(const QString& path, bool wait);
    ~WritingMark();
    bool held() const { return handle_ != -1; }
    WritingMark(const WritingMark&) = delete;
    WritingMark& operator=(const WritingMark&) = delete;

private:
    std::intptr_t handle_ = -1;  // a descriptor, or on Windows a handle
};

// Whether a process holds a WritingMark on the file.
bool beingWritten(const QString& path);

// Folders 0700 and the program's files 0600 (a database, a backup, settings,
// templates, protocols): the folder's own files only, never a program. Gives back how
// many it had to tighten.
int tightenPermissions(const QString& folder);
// The same for one file the user placed elsewhere (the folder stays as the user keeps it).
bool tightenFile(const QString& path);
// A new folder as only its owner may enter it.
bool makePrivateFolder(const QString& folder);
// Files and folders this process creates (SQLite's included) are its user's alone.
void restrictNewFiles();

// The suffix of our temporary files: "<name>.gdtmp-XXXXXX".
inline constexpr const char* kTemporarySuffix = ".gdtmp-";

}  // namespace gd
