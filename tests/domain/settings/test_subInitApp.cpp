#include <gtest/gtest.h>

#include "base/modFunktions.h"
#include "domain/settings/Crypt.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using test::TestApp;

const QString kItemPath = QStringLiteral("/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1");
const QString kFeedbackPath = QStringLiteral("/ws1/eBayISAPI.dll?GetAndShowTransactions%26item=0%26page=1%26nflw=1");

// A settings file of megabytes is no one's typing: refused, the defaults used, the start not slowed.
TEST(subInitApp, ASettingsFileAboveOneMegabyteIsRefused) {
    TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"),
              "[Konto]\r\nSMTPServer=smtp.example.de\r\n[Rest]\r\n" + QByteArray(1024 * 1024, 'x') + "\r\n");
    const QStringList messages = subInitApp();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(app.file(QStringLiteral("bin/config.ini"))));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("größer als 1 MB")));
    EXPECT_EQ(gsSMTPServer, QString());
    app.write(QStringLiteral("bin/config.ini"), "[Konto]\r\nSMTPServer=smtp.example.de\r\n");
    EXPECT_TRUE(subInitApp().isEmpty());
    EXPECT_EQ(gsSMTPServer, QStringLiteral("smtp.example.de"));
}

TEST(subInitApp, HandWrittenFileInMixedCase) {
    TestApp app(false);
    app.write(QStringLiteral("bin/config.ini"),
              test::ansi(QStringLiteral("[USER]\r\nUSERNAME = händler_01 \r\n"
                                        "[main]\r\nHTTPLink2=x\r\ngavelbrowser=Falsch\r\nPlattform=ebay.at\r\n"
                                        "Database=/daten/auktionen.mdb\r\n"
                                        "[Konto]\r\nProzent20=1\r\nNOBODY=1\r\nStandardversandmail=0\r\n"
                                        "smtpserver=mail.example.de\r\nSMTPPort=587\r\nKopie=0\r\nAuth=1\r\n"
                                        "Konto=haendler\r\nKennwort=") +
                         Crypt(QStringLiteral("geheim"), kPasswordKey, true) +
                         QStringLiteral("\r\nStandardBank=Sparkasse Köln\r\nversicherterVersand=6,90 €\r\n")));
    subInitApp();
    EXPECT_EQ(gsEbayName, QStringLiteral("händler_01"));
    EXPECT_EQ(gsStandardUser, QStringLiteral("händler_01"));
    EXPECT_EQ(gsHTTPLink2, QStringLiteral("x"));
    EXPECT_FALSE(gbBrowser);
    EXPECT_EQ(glProzent20, 1);
    EXPECT_EQ(glNobody, 1);
    EXPECT_FALSE(gbStandardversandmail);
    EXPECT_EQ(gsSMTPServer, QStringLiteral("mail.example.de"));
    EXPECT_EQ(glSMTPPort, 587);
    EXPECT_EQ(glKopie, 0);
    EXPECT_EQ(glAuth, 1);
    EXPECT_EQ(gsSMTPUser, QStringLiteral("haendler"));
    EXPECT_EQ(gsKennwort, QStringLiteral("geheim"));
    EXPECT_EQ(gsBank, QStringLiteral("Sparkasse Köln"));
    EXPECT_EQ(gsVersicherterVersand, QStringLiteral("6,90 €"));
    EXPECT_EQ(gsDataSource, QStringLiteral("/daten/auktionen.mdb"));  // used even though it does not exist
    // the domain moves both hosts and nothing else
    EXPECT_TRUE(gsItemLink.endsWith(QStringLiteral("&loc=http://cgi.ebay.at") + kItemPath));
    EXPECT_TRUE(gsFeedbackLink.endsWith(QStringLiteral("&loc=http://feedback.ebay.at") + kFeedbackPath));
    EXPECT_TRUE(gsItemLink.startsWith(QString::fromLatin1(kClickPrefix)));
}

TEST(subInitApp, EmptyValuesAndUnreadableTexts) {
    TestApp app(false);
    app.write(QStringLiteral("bin/config.ini"),
              "[Konto]\r\nSMTPPort=\r\nKopie=abc\r\nStandardversandmail=vielleicht\r\nprozent20=ja\r\n"
              "Kennwort=nicht hex\r\n[Main]\r\nGavelBrowser=\r\n");
    subInitApp();
    EXPECT_EQ(glSMTPPort, 0);  // present and empty: not the default; funCLng gives 0
    EXPECT_EQ(glKopie, 0);
    EXPECT_TRUE(gbStandardversandmail);  // neither Boolean nor number: the default holds
    EXPECT_TRUE(gbBrowser);
    EXPECT_EQ(glProzent20, 0);
    EXPECT_EQ(gsKennwort, kCryptError);
}

TEST(subInitApp, ReloadSeesNewValuesAndRules) {
    TestApp app(true);
    subInitApp();
    EXPECT_EQ(glSMTPPort, 25);
    EXPECT_FALSE(gaVerkauf.empty());
    app.write(QStringLiteral("bin/config.ini"), "[Konto]\r\nSMTPServer=neu.example.de\r\n");
    app.write(QStringLiteral("bin/gaveldesk.ini"), "[Verkauf]\r\nNur:/=Kunden/Name\r\n");
    subInitApp();
    EXPECT_EQ(gsSMTPServer, QStringLiteral("neu.example.de"));
    ASSERT_EQ(gaVerkauf.size(), 1u);
    EXPECT_EQ(gaVerkauf[0].sKey, QStringLiteral("Nur:"));
}

TEST(funcGetDataSource, ConfiguredPathElseTheFileNextToTheProgram) {
    TestApp app(false);
    EXPECT_EQ(funcGetDataSource(), QString());
    app.write(QStringLiteral("gaveldesk.mdb"), "x");
    EXPECT_EQ(funcGetDataSource(), app.file(QStringLiteral("gaveldesk.mdb")));
    app.write(QStringLiteral("bin/config.ini"), "[Main]\r\nDatabase=/nirgends/db.mdb\r\n");
    EXPECT_EQ(funcGetDataSource(), QStringLiteral("/nirgends/db.mdb"));
}

TEST(subInitApp, BinaryConfigFileDoesNotCrash) {
    TestApp app(false);
    QByteArray junk;
    for (int i = 0; i < 100000; ++i) junk.append(char((i * 131 + 7) & 0xFF));
    app.write(QStringLiteral("bin/config.ini"), junk);
    app.write(QStringLiteral("bin/gaveldesk.ini"), junk);
    subInitApp();
    SUCCEED();
}

}  // namespace
}  // namespace gd
