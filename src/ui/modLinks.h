#pragma once
// Web links: the companion browser when it answers, else the default browser;
// the about box's links and the program showing the computer's system information.

#include <QString>

namespace gd {

// The link to the companion browser program. This platform has no DDE, so it
// never connects and links go to the default browser, as when that program is absent.
class CompanionBrowserLink {
public:
    // The link mode after asking for an automatic link: 1 when connected.
    int LinkMode() const { return 0; }
    bool LinkExecute(const QString&) { return false; }
};

void OpenLink(const QString& WebSiteStr, bool OpenNew = true);
void subLink(QString sLink);
void StartSysInfo();
// Whether StartSysInfo finds a program to start.
bool hasSystemInformation();

}  // namespace gd
