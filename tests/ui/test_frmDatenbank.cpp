// Options, "Datenbank…": what the user types is checked by connecting, then saved; a server's
// password goes into the keyring and never into the settings file.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "base/AppPath.h"
#include "domain/settings/Keyring.h"
#include "domain/settings/modGlobal.h"
#include "support/DbTestShared.h"
#include "support/GuiApp.h"
#include "ui/frmDatenbank.h"
#include "ui/frmOptionen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Datenbank : public ::testing::Test {
protected:
    test::UiApp app{true};
    QHash<QString, QString> keyring;
    void SetUp() override {
        subInitApp();
        useKeyring({[this](const QString& k) {
                        return KeyringRead{true, keyring.contains(k), keyring.value(k)};
                    },
                    [this](const QString& k, const QString& v) {
                        keyring.insert(k, v);
                        return true;
                    }});
    }
    void TearDown() override {
        useKeyring({});
        gSettings.ServerZertifikat.clear();
    }
    // Opens the options, clicks "Datenbank…", types the three fields and presses the button.
    void choose(const QString& source, const QString& ca, const QString& password, const char* button) {
        frmOptionen options;
        options.show();
        test::whenModal<frmDatenbank>([&](frmDatenbank* d) {
            const auto type = [d](const char* name, const QString& text) {
                auto* e = d->findChild<QLineEdit*>(QString::fromLatin1(name));
                e->selectAll();
                QTest::keyClicks(e, text);
                if (text.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
            };
            type("txtDatenbank", source);
            type("txtZertifikat", ca);
            type("txtKennwort", password);
            QTest::mouseClick(d->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
            if (d->isVisible()) d->reject();
        });
        QTest::mouseClick(options.findChild<QPushButton*>(u"cmdDatenbank"_s), Qt::LeftButton);
    }
    QByteArray config() { return test::fileBytes(configIniPath()); }
};

TEST_F(Datenbank, CheckedThenSavedThePasswordOnlyInTheKeyring) {
    const QString file = app.file(u"gaveldesk.mdb"_s);
    ASSERT_TRUE(createDatabase(file).ok());
    const QString missing = app.file(u"fehlt.mdb"_s);
    choose(missing, QString(), QString(), "cmdOK");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"gibt es nicht"_s));
    EXPECT_FALSE(config().contains("fehlt.mdb"));

    choose(file, QString(), QString(), "cmdOK");
    EXPECT_TRUE(config().contains(QByteArray("Database=" + file.toUtf8()))) << config().toStdString();

    QString skip;
    const QString server = test::serverDatabase(&skip, u"kasse"_s);
    if (server.isEmpty()) GTEST_SKIP() << "Server: " << skip.toStdString();
    // The suite's server takes user "kasse" over TLS only, with the CA of the tests.
    const QString port = QUrl(server).port() > 0 ? QString::number(QUrl(server).port()) : QString();
    const QString kasse = u"postgresql://kasse@localhost:%1%2"_s.arg(port, QUrl(server).path());
    const QString ca = qEnvironmentVariable("GD_TEST_PG") + u"/ca.crt"_s;
    choose(kasse, QString(), u"Kasse-2026"_s, "cmdPruefen");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"verschlüsselte Verbindung"_s))
        << app.platform.messages.last().text.toStdString();
    choose(kasse, ca, u"falsch"_s, "cmdOK");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"Anmeldung abgelehnt"_s));
    EXPECT_TRUE(keyring.isEmpty());
    choose(kasse, ca, u"Kasse-2026"_s, "cmdOK");
    EXPECT_EQ(keyring.value(u"postgresql/kasse@localhost:%1%2"_s.arg(port, QUrl(server).path())), u"Kasse-2026"_s);
    EXPECT_TRUE(config().contains(QByteArray("Database=" + kasse.toUtf8())));
    EXPECT_TRUE(config().contains(QByteArray("ServerZertifikat=" + ca.toUtf8())));
    EXPECT_FALSE(config().contains("Kasse-2026"));
}

}  // namespace
}  // namespace gd
