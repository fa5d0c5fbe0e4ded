#pragma once
// The program's scriptable face: options that run headless on the application folder.

#include <QStringList>
#include <optional>

namespace gd {

// The exit status when the arguments name a headless command; nullopt when the
// window is to start. Needs a QCoreApplication.
std::optional<int> runCommandLine(const QStringList& arguments);

}  // namespace gd
