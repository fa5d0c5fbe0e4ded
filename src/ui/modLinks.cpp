#include "ui/modLinks.h"

#include <QFile>
#include <QFileInfo>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Registry.h"
#include "domain/settings/modGlobal.h"
#include "ui/Platform.h"

namespace gd {

void OpenLink(const QString& WebSiteStr, bool OpenNew) {
    CALLSTACK_MODULE("modGlobal");
    if (gSettings.GavelBrowser) {
        CompanionBrowserLink link;
        if (link.LinkMode() == 1) {
            link.LinkExecute(QStringLiteral("AWBR:") + WebSiteStr);
            return;
        }
    }
    const QString probe = AppPath() + QStringLiteral("/we.htm");
    {
        QFile f(probe);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write("<HTML> <\\HTML>\r\n");
    }
    const QString browser = platform().findExecutable(probe).trimmed();
    if (browser.isEmpty()) {
        platform().msgBox(QStringLiteral("Der StandardBrowser kann nicht geöffnet werden"), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, QStringLiteral("Browser nicht gefunden..."));
    } else {
        const bool ok = OpenNew ? platform().startProgram(browser, {WebSiteStr})
                                : platform().shellExecute(QStringLiteral("Open"), WebSiteStr);
        if (!ok)
            platform().msgBox(QStringLiteral("Webseite konnte nicht geladen werden!"), Platform::Buttons::Ok,
                              Platform::Icon::Exclamation, QStringLiteral("Error"));
    }
    QFile::remove(probe);
}

void subLink(QString sLink) {
    CALLSTACK_MODULE("frmAbout");
    if (!sLink.startsWith(QStringLiteral("mailto:")) && !sLink.startsWith(QStringLiteral("http://")))
        sLink = QStringLiteral("http://") + sLink;
    platform().shellExecute(QStringLiteral("Open"), sLink);
}

namespace {

const char* const kSystemMonitors[] = {"gnome-system-monitor", "kinfocenter", "hardinfo", "mate-system-monitor",
                                       "xfce4-taskmanager"};

// The program showing the computer's system information: MSINFO32 through the registry
// keys first, then the first of kSystemMonitors this platform has.
QString systemInformationProgram() {
    if (const auto path = regQueryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                        QStringLiteral("PATH"));
        path && QFileInfo::exists(*path))
        return *path;
    if (const auto folder =
            regQueryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location"),
                          QStringLiteral("MSINFO"))) {
        const QString exe = *folder + QStringLiteral("/MSINFO32.EXE");
        if (QFileInfo::exists(exe)) return exe;
    }
    for (const char* name : kSystemMonitors)
        if (platform().hasProgram(QString::fromLatin1(name))) return QString::fromLatin1(name);
    return QString();
}

}  // namespace

bool hasSystemInformation() { return !systemInformationProgram().isEmpty(); }

void StartSysInfo() {
    CALLSTACK_MODULE("frmAbout");
    const QString program = systemInformationProgram();
    if (!program.isEmpty() && platform().startProgram(program, {})) return;
    platform().msgBox(QStringLiteral("Systeminformationsprogramm zur Zeit nicht verfügbar."), Platform::Buttons::Ok,
                      Platform::Icon::None, QString());
}

}  // namespace gd
