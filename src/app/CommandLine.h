#pragma once
// The program's scriptable face: options that run headless on the application folder.

#include <QStringList>
#include <optional>

namespace gd {

QString productName();     // "Orvo Gaveldesk 2005"
QString productVersion();  // "1.0.0"

// The exit status when the arguments name a headless command; nullopt when the
// window is to start. Needs a QCoreApplication.
std::optional<int> runCommandLine(const QStringList& arguments);

}  // namespace gd
