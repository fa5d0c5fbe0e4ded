#include <gtest/gtest.h>

#include <QCoreApplication>

#include "base/AppPath.h"
#include "domain/settings/DesktopKeyring.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

// Saved settings keep the SMTP password in the Secret Service when the session has one
// (the suite runs this once in a session with a keyring daemon), else scrambled in the file.
TEST(Keyring, PasswordWhereTheDesktopKeepsIt) {
    const bool service = qEnvironmentVariable("GD_KEYRING") == QLatin1String("1");
    // The plain run stands for a desktop without a Secret Service, even on a developer's desktop.
    if (!service) qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    static int argc = 1;
    static char name[] = "test_settings";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* qapp = new QCoreApplication(argc, argv);  // D-Bus needs one
    (void)qapp;
    test::TestApp app(true);
    useKeyring(desktopKeyring());
    subInitApp();
    Settings s = currentSettings();
    s.Kennwort = u"Brötchen 42"_s;
    ASSERT_TRUE(writeSettings(s, configIniPath()).ok());
    const QByteArray file = app.read(u"bin/config.ini"_s);
    EXPECT_EQ(file.contains("KennwortImSchluesselbund=Wahr"), service) << file.toStdString();
    EXPECT_EQ(readSmtpPassword().found, service);
    gSettings.Kennwort.clear();
    subInitApp();
    EXPECT_EQ(gSettings.Kennwort, u"Brötchen 42"_s);  // from the keyring or from the file
    if (service) {
        // The file keeps an empty password line and nothing scrambled.
        EXPECT_TRUE(file.contains("\r\nKennwort=\r\n") || file.contains("\nKennwort=\n")) << file.toStdString();
        // No password any more: the keyring's entry goes too.
        s.Kennwort.clear();
        s.KennwortImSchluesselbund = true;
        ASSERT_TRUE(writeSettings(s, configIniPath()).ok());
        EXPECT_FALSE(readSmtpPassword().found);
    } else {
        // Saved on a desktop with a keyring, started without one: the user is told, and
        // saving other options keeps the pointer to the keyring.
        s.Kennwort.clear();
        s.KennwortImSchluesselbund = true;
        ASSERT_TRUE(writeSettings(s, configIniPath()).ok());
        EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("KennwortImSchluesselbund=Wahr"));
        const QStringList messages = subInitApp();
        EXPECT_TRUE(messages.join(u' ').contains(u"Schlüsselbund"_s)) << messages.join(u' ').toStdString();
        EXPECT_TRUE(gSettings.Kennwort.isEmpty());
    }
    // A program without the keyring (the light command line) neither asks nor loses it.
    useKeyring({});
    s.Kennwort.clear();
    s.KennwortImSchluesselbund = true;
    ASSERT_TRUE(writeSettings(s, configIniPath()).ok());
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("KennwortImSchluesselbund=Wahr"));
    EXPECT_TRUE(subInitApp().join(u' ').indexOf(u"Schlüsselbund"_s) < 0);
    useKeyring(desktopKeyring());
    if (service) {
        EXPECT_FALSE(readSmtpPassword().found);  // removed above, not written since
    }
}

}  // namespace
}  // namespace gd
