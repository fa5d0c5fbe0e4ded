#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTest>

#include "domain/settings/modGlobal.h"
#include "support/GuiApp.h"
#include "ui/frmAbout.h"
#include "ui/modLinks.h"

namespace gd {
namespace {

TEST(Links, subLinkAddsTheSchemeWhereMissing) {
    test::UiApp t(false);
    subLink(QStringLiteral("www.gavelmail.de"));
    subLink(QStringLiteral("mailto:info@gavelmail.de"));
    subLink(QStringLiteral("http://x.de"));
    ASSERT_EQ(t.platform.shellCalls.size(), 3);
    EXPECT_EQ(t.platform.shellCalls[0].file, QStringLiteral("http://www.gavelmail.de"));
    EXPECT_EQ(t.platform.shellCalls[1].file, QStringLiteral("mailto:info@gavelmail.de"));
    EXPECT_EQ(t.platform.shellCalls[2].file, QStringLiteral("http://x.de"));
}

TEST(Links, OpenLinkWithAndWithoutABrowser) {
    test::UiApp t(false);
    gbBrowser = true;  // the companion browser never answers here: the default browser is used
    t.platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    OpenLink(QStringLiteral("http://cgi.ebay.de/item"), true);
    OpenLink(QStringLiteral("http://cgi.ebay.de/item"), false);
    ASSERT_EQ(t.platform.shellCalls.size(), 2);
    EXPECT_EQ(t.platform.shellCalls[0].verb, QStringLiteral("Start"));
    EXPECT_EQ(t.platform.shellCalls[0].file, QStringLiteral("/usr/bin/xdg-open http://cgi.ebay.de/item"));
    EXPECT_EQ(t.platform.shellCalls[1].file, QStringLiteral("http://cgi.ebay.de/item"));  // the address itself
    EXPECT_FALSE(QFile::exists(t.file(QStringLiteral("we.htm"))));

    t.platform.executableFound.clear();
    OpenLink(QStringLiteral("http://x.de"));
    ASSERT_EQ(t.platform.messages.size(), 1);
    EXPECT_EQ(t.platform.messages[0].title, QStringLiteral("Browser nicht gefunden..."));
    EXPECT_EQ(t.platform.messages[0].text, QStringLiteral("Der StandardBrowser kann nicht geöffnet werden"));
    EXPECT_FALSE(QFile::exists(t.file(QStringLiteral("we.htm"))));

    t.platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    t.platform.shellSucceeds = false;
    OpenLink(QStringLiteral("http://x.de"), false);
    EXPECT_EQ(t.platform.messages.last().text, QStringLiteral("Webseite konnte nicht geladen werden!"));
    EXPECT_EQ(t.platform.messages.last().title, QStringLiteral("Error"));
}

TEST(Links, SystemInformationFromTheRegistryFileOrAMessage) {
    test::UiApp t(false);
    t.write(QStringLiteral("bin/msinfo"), "#!/bin/sh\n");
    t.write(QStringLiteral("bin/registry.ini"),
            (QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\nPATH=") +
             t.file(QStringLiteral("bin/msinfo")) + QStringLiteral("\r\n"))
                .toLatin1());
    StartSysInfo();
    ASSERT_EQ(t.platform.shellCalls.size(), 1);
    EXPECT_TRUE(t.platform.shellCalls[0].file.startsWith(t.file(QStringLiteral("bin/msinfo"))));
    QFile::remove(t.file(QStringLiteral("bin/registry.ini")));
    t.platform.shellSucceeds = false;  // no program can be started
    StartSysInfo();
    ASSERT_EQ(t.platform.messages.size(), 1);
    EXPECT_EQ(t.platform.messages[0].text, QStringLiteral("Systeminformationsprogramm zur Zeit nicht verfügbar."));
}

// Every entry of the about box does something, or it is not offered.
TEST(Links, AboutBoxOffersWhatWorksHere) {
    test::UiApp t(false);
    for (const bool there : {false, true}) {
        t.platform.linksOpen = there;
        t.platform.programs = there ? QStringList{QStringLiteral("gnome-system-monitor")} : QStringList();
        frmAbout box;
        box.show();
        EXPECT_EQ(box.findChild<QPushButton*>(QStringLiteral("cmdInfo"))->isVisible(), there);
        EXPECT_EQ(box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->isVisible(), there);
        t.platform.shellCalls.clear();
        QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("Picture1")), Qt::LeftButton);
        EXPECT_EQ(t.platform.shellCalls.size(), there ? 1 : 0);
        if (there) {
            QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
            EXPECT_EQ(t.platform.shellCalls.last().file, QStringLiteral("gnome-system-monitor "));
        }
    }
}

}  // namespace
}  // namespace gd
