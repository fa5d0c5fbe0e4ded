#pragma once
// Files from outside read whole only when they are small enough to be what they claim:
// the size is checked before reading, and no more than the bound is read if it grows.

#include <QByteArray>
#include <QString>

#include "base/Result.h"

namespace gd {

// The file's bytes, or a German sentence: it cannot be read, or it is larger than `most`.
Result<QByteArray> readBoundedFile(const QString& path, qint64 most);

}  // namespace gd
