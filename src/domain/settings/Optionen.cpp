#include "domain/settings/Optionen.h"

#include "base/AppPath.h"
#include "base/CallStack.h"

namespace gd {

Result<qint32> parsePort(const QString& text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return Error::plain(
            QStringLiteral("Der Postausgangsport muss eine Zahl von 1 bis 65535 sein (meist 587 oder 465)."));
    return qint32(port);
}

Status saveOptions(const Settings& s) {
    CALLSTACK();
    return writeSettings(s, configIniPath());
}

}  // namespace gd
