#include <gtest/gtest.h>

#include "base/AppPath.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "support/ResultAssert.h"
#include "support/TestApp.h"

namespace gd {
namespace {

Settings everyField() {
    Settings s;
    s.Username = QStringLiteral("händler_neu");
    s.Kontoinhaber = QStringLiteral("Gavel Händler GmbH");
    s.Kontonummer = QStringLiteral("1234567890");
    s.BLZ = QStringLiteral("370 501 98");
    s.Bank = QStringLiteral("Sparkasse Köln");
    s.VersicherterVersand = QStringLiteral("6,90 €");
    s.HTTPLink1 = QStringLiteral("http://shop.example.de");
    s.HTTPLink2 = QStringLiteral("Bewertungen");
    s.Prozent20 = 1;
    s.Nobody = 1;
    s.Standardversandmail = false;
    s.SMTPServer = QStringLiteral("smtp.example.de");
    s.SMTPPort = 587;
    s.Absender = QStringLiteral("shop@gavel.example");
    s.Kopie = 0;
    s.Auth = 1;
    s.Konto = QStringLiteral("haendler");
    s.Kennwort = QStringLiteral("geheim€");
    return s;
}

// One table reads and writes: what is written reads back the same, under the
// key spellings existing config.ini files hold, and keys the dialog does not own stay.
TEST(SettingsTable, WrittenValuesReadBackAndForeignKeysStay) {
    test::TestApp app(false);
    app.write(QStringLiteral("bin/config.ini"),
              "[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nGavelBrowser=Falsch\r\nDatabase=/daten/a.mdb\r\n"
              "[Fenster]\r\nSpalten=1,2,3\r\n");
    Settings s = everyField();
    s.Fusszeile = false;
    ASSERT_TRUE(test::ok(saveOptions(s)));
    const QByteArray file = app.read(QStringLiteral("bin/config.ini"));
    for (const char* line : {"Username=h\xE4ndler_neu\r\n", "GavelBrowser=Falsch\r\n", "Fusszeile=Falsch\r\n",
                             "Database=/daten/a.mdb\r\n", "Spalten=1,2,3\r\n", "HTTPLink2=Bewertungen\r\n",
                             "Prozent20=1\r\n", "nobody=1\r\n", "Standardversandmail=Falsch\r\n", "SMTPPort=587\r\n",
                             "Kopie=0\r\n", "Standardbank=Sparkasse K\xF6ln\r\n", "versicherterversand=6,90 \x80\r\n"})
        EXPECT_TRUE(file.contains(line)) << line;
    EXPECT_FALSE(file.contains("geheim"));  // scrambled

    const Settings back = readSettings(configIniPath());
    const Settings want = everyField();
    EXPECT_EQ(back.Username, QStringLiteral("händler_neu"));
    EXPECT_FALSE(back.GavelBrowser);
    EXPECT_FALSE(back.Fusszeile);
    for (auto m : {&Settings::Kontoinhaber, &Settings::Kontonummer, &Settings::BLZ, &Settings::Bank,
                   &Settings::VersicherterVersand, &Settings::HTTPLink1, &Settings::HTTPLink2, &Settings::SMTPServer,
                   &Settings::Absender, &Settings::Konto, &Settings::Kennwort})
        EXPECT_EQ(back.*m, want.*m);
    for (auto m : {&Settings::Prozent20, &Settings::Nobody, &Settings::SMTPPort, &Settings::Kopie, &Settings::Auth})
        EXPECT_EQ(back.*m, want.*m);
    EXPECT_EQ(back.Standardversandmail, want.Standardversandmail);

    setSettings(back);
    EXPECT_EQ(gsEbayName, QStringLiteral("händler_neu"));
    EXPECT_EQ(gsStandardUser, QStringLiteral("händler_neu"));
    EXPECT_EQ(glSMTPPort, 587);
    EXPECT_EQ(currentSettings().Kennwort, QStringLiteral("geheim€"));
}

TEST(SettingsTable, PortTextAndAnUnwritableFile) {
    test::TestApp app(false);
    EXPECT_EQ(parsePort(QStringLiteral(" 465 ")).value(), 465);
    for (const char* bad : {"0", "65536", "fünfundzwanzig", ""})
        EXPECT_EQ(test::failure(parsePort(QString::fromUtf8(bad))),
                  QStringLiteral("Der Postausgangsport muss eine Zahl von 1 bis 65535 sein (Standard = 25)."));
    const QString missing = app.file(QStringLiteral("fehlt/config.ini"));
    EXPECT_TRUE(test::failure(writeSettings(everyField(), missing))
                    .startsWith(QStringLiteral("Die Einstellungen können nicht gespeichert werden: Die Datei '")));
}

}  // namespace
}  // namespace gd
