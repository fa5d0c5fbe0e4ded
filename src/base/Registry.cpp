#include "base/Registry.h"

#include "base/AppPath.h"
#include "base/profile.h"

namespace gd {

QString registryFile() { return AppPath() + QStringLiteral("/bin/registry.ini"); }

std::optional<QString> regQueryValue(const QString& keyPath, const QString& valueName) {
    // A marker default tells a missing entry from an empty one.
    static const QString missing = QStringLiteral("\x01missing\x01");
    QString out;
    win::GetPrivateProfileString(keyPath, valueName, missing, out, 4096, registryFile());
    if (out == missing) return std::nullopt;
    return out;
}

}  // namespace gd
