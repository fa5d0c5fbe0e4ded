#pragma once
// The file layouts as the program ships them in bin/Dateiformate.ini.
#include <QFile>

#include "domain/bank/Profiles.h"

namespace gd::test {

inline QList<FileProfile> shippedProfiles() {
    QFile f(QStringLiteral(GD_RESOURCES_DIR "/bin/Dateiformate.ini"));
    return f.open(QIODevice::ReadOnly) ? parseProfiles(decoded(f.readAll())) : QList<FileProfile>();
}

}  // namespace gd::test
