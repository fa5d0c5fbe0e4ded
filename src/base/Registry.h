#pragma once
// Registry reads over a settings file of ours (bin/registry.ini): the key path is
// the section, the value name the key. A missing entry behaves as a missing key.

#include <QString>
#include <optional>

namespace gd {

std::optional<QString> regQueryValue(const QString& keyPath, const QString& valueName);
QString registryFile();

}  // namespace gd
