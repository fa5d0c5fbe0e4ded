#pragma once
// Every file the program writes goes through here: the bytes reach a temporary
// file beside the target, are flushed to the disk, and only then replace the
// old file. On any failure the old file stays as it was, the temporary file is
// removed, and the reason comes back in German.

#include <QByteArray>
#include <QString>

#include "base/Result.h"

namespace gd {

// Error::sentence "Die Datei '…' kann nicht geschrieben werden.", description the cause.
Status writeFileSafely(const QString& path, const QByteArray& bytes);

// The same for a copy of a file, read in pieces.
Status copyFileSafely(const QString& from, const QString& to);

// The German cause of a failed file operation (errno), the system's own text in
// brackets behind it when it adds something.
QString fileErrorReason(int error, const QString& path);

// Temporary files that a killed write left in the folder; those older than a
// minute (a second instance may be writing right now) are removed.
void removeStaleTemporaries(const QString& folder);

// The suffix of our temporary files: "<name>.gdtmp-XXXXXX".
inline constexpr const char* kTemporarySuffix = ".gdtmp-";

}  // namespace gd
