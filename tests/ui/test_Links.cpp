#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "base/Product.h"
#include "domain/settings/modGlobal.h"
#include "support/GuiApp.h"
#include "ui/frmAbout.h"
#include "ui/modLinks.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(Links, OpenLinkWithAndWithoutABrowser) {
    test::UiApp t(false);
    gSettings.GavelBrowser = true;  // the companion browser never answers here: the default browser is used
    t.platform.executableFound = u"/usr/bin/xdg-open"_s;
    OpenLink(u"http://cgi.ebay.de/item"_s, true);
    OpenLink(u"http://cgi.ebay.de/item"_s, false);
    ASSERT_EQ(t.platform.shellCalls.size(), 2);
    EXPECT_EQ(t.platform.shellCalls[0].file, u"/usr/bin/xdg-open http://cgi.ebay.de/item"_s);
    EXPECT_EQ(t.platform.shellCalls[1].file, u"http://cgi.ebay.de/item"_s);  // the address itself
    t.platform.executableFound.clear();
    OpenLink(u"http://x.de"_s);
    t.platform.executableFound = u"/usr/bin/xdg-open"_s;
    t.platform.shellSucceeds = false;
    OpenLink(u"http://x.de"_s, false);
    EXPECT_EQ(t.platform.messageTexts(), (QStringList{u"Der StandardBrowser kann nicht geöffnet werden"_s,
                                                      u"Webseite konnte nicht geladen werden!"_s}));
    EXPECT_FALSE(QFile::exists(t.file(u"we.htm"_s)));
}

TEST(Links, SystemInformationFromTheRegistryFileOrAMessage) {
    test::UiApp t(false);
    t.write(u"bin/msinfo"_s, "#!/bin/sh\n");
    t.write(u"bin/registry.ini"_s, (u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\nPATH="_s +
                                    t.file(u"bin/msinfo"_s) + u"\r\n"_s)
                                       .toLatin1());
    StartSysInfo();
    ASSERT_EQ(t.platform.shellCalls.size(), 1);
    EXPECT_TRUE(t.platform.shellCalls[0].file.startsWith(t.file(u"bin/msinfo"_s)));
    QFile::remove(t.file(u"bin/registry.ini"_s));
    t.platform.shellSucceeds = false;  // no program can be started
    StartSysInfo();
    EXPECT_EQ(t.platform.messageTexts(), QStringList{u"Systeminformationsprogramm zur Zeit nicht verfügbar."_s});
}

// Every entry of the about box does something, or it is not offered.
TEST(Links, AboutBoxOffersWhatWorksHere) {
    test::UiApp t(false);
    for (const bool there : {false, true}) {
        t.platform.linksOpen = there;
        t.platform.programs = there ? QStringList{u"gnome-system-monitor"_s} : QStringList();
        frmAbout box;
        box.show();
        EXPECT_EQ(box.findChild<QPushButton*>(u"cmdInfo"_s)->isVisible(), there);
        EXPECT_EQ(box.findChild<QPushButton*>(u"cmdSysInfo"_s)->isVisible(), there);
        t.platform.shellCalls.clear();
        QTest::mouseClick(box.findChild<QPushButton*>(u"Picture1"_s), Qt::LeftButton);
        EXPECT_EQ(t.platform.shellCalls.size(), there ? 1 : 0);
        if (there) {
            EXPECT_EQ(t.platform.shellCalls.value(0).file, QString::fromLatin1(kMakerSite));
            QTest::mouseClick(box.findChild<QPushButton*>(u"cmdSysInfo"_s), Qt::LeftButton);
            EXPECT_EQ(t.platform.shellCalls.last().file, u"gnome-system-monitor "_s);
        }
        // The libraries it is built on and where their licence texts lie.
        const QString libraries = box.findChild<QLabel*>(u"lblBibliotheken"_s)->text();
        for (const char* name : {"Qt 6 (LGPL-3)", "OpenSSL", "SQLCipher", "qpdf", "libzip", "libjpeg-turbo",
                                 "libqrencode", "LIZENZEN.txt"})
            EXPECT_TRUE(libraries.contains(QString::fromLatin1(name))) << name << ": " << libraries.toStdString();
    }
}

// Qt's own texts are German as the program's are: dialog buttons, a text field's menu, shortcuts.
TEST(Links, QtsOwnWordsAreGerman) {
    test::guiApp();
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText), u"Strg+O"_s);
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), u"Abbrechen"_s);
    EXPECT_EQ(box.button(QDialogButtonBox::Open)->text().remove(u'&'), u"Öffnen"_s);
    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList entries;
    for (const QAction* a : menu->actions()) entries << a->text().remove(u'&').section(u'\t', 0, 0);
    EXPECT_TRUE(entries.contains(u"Einfügen"_s)) << entries.join(u'|').toStdString();
}

}  // namespace
}  // namespace gd
