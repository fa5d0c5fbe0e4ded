#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/AppPath.h"
#include "base/codepage.h"
#include "domain/settings/Crypt.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"
#include "support/ResultAssert.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::TestApp;

// The stored SMTP password: fixed results both ways, every ANSI text longer than
// the key, and what an unreadable stored one gives.
TEST(Crypt, FixedResultsInverseAndUnreadableTexts) {
    const struct {
        QString plain, scrambled;
    } cases[] = {
        {QString(), QString()},
        {u"geheim"_s, u"36283A454126"_s},
        {u"Passwort€ä"_s, u"012C21535F24242CADBE"_s},
        {u"Q"_s, u"00"_s},  // a character equal to the key's gives 00
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Crypt(c.plain, kPasswordKey, true), c.scrambled) << c.plain.toStdString();
        EXPECT_EQ(Crypt(c.scrambled, kPasswordKey, false), c.plain) << c.plain.toStdString();
    }
    QString all;
    for (int b = 1; b < 256; ++b) all += win::fromAnsi(QByteArray(1, char(b)));
    const QString scrambled = Crypt(all, kPasswordKey, true);
    EXPECT_EQ(scrambled.size(), 2 * all.size());
    EXPECT_EQ(Crypt(scrambled, kPasswordKey, false), all);
    // position 18 uses the key's first character again
    EXPECT_EQ(Crypt(QString(18, QLatin1Char('Q')), kPasswordKey, true).mid(34, 2), u"00"_s);
    EXPECT_EQ(Crypt(u"3G"_s, kPasswordKey, false), kCryptError);
    EXPECT_EQ(Crypt(u"+1"_s, kPasswordKey, false), kCryptError);
    EXPECT_EQ(Crypt(u"36283"_s, kPasswordKey, false), u"ge"_s);  // odd length loses the last character
}

TEST(IniStore, AllKeysOfASectionGrowingTheBuffer) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"config.ini"_s);
    EXPECT_FALSE(funIni_GetAllKeys(ini, u"Kauf"_s, false).has_value());
    QStringList expected;
    for (int i = 0; i < 40; ++i) expected << u"Marke%1:/Ende=Auktionen/Feld%1"_s.arg(i);
    expected << u"Lang:/"_s + QString(600, QLatin1Char('x')) + u"=Auktionen/Titel"_s;
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Leer]\r\n[Kauf]\r\n" + expected.join(u"\r\n"_s).toLatin1() + "\r\n[Danach]\r\nz=1\r\n");
    f.close();
    EXPECT_EQ(funIni_GetAllKeys(ini, u"Kauf"_s, false).value_or(QStringList()), expected);
    EXPECT_FALSE(funIni_GetAllKeys(ini, u"Leer"_s, false).has_value());
}

Settings everyField() {
    Settings s;
    s.Username = u"händler_neu"_s;
    s.Kontoinhaber = u"Gavel Händler GmbH"_s;
    s.Kontonummer = u"1234567890"_s;
    s.BLZ = u"370 501 98"_s;
    s.Bank = u"Sparkasse Köln"_s;
    s.VersicherterVersand = u"6,90 €"_s;
    s.HTTPLink1 = u"http://shop.example.de"_s;
    s.HTTPLink2 = u"Bewertungen"_s;
    s.Prozent20 = s.Nobody = 1;
    s.Standardversandmail = false;
    s.SMTPServer = u"smtp.example.de"_s;
    s.SMTPPort = 587;
    s.Absender = u"shop@gavel.example"_s;
    s.Kopie = 0;
    s.Auth = 1;
    s.Konto = u"haendler"_s;
    s.Kennwort = u"geheim€"_s;
    return s;
}

// The advertising footer: off in a new installation's settings, kept on where an older
// settings file never named it.
TEST(SettingsTable, FooterOffForNewInstallsOnWhereItWas) {
    TestApp fresh(true);
    EXPECT_FALSE(readSettings(configIniPath()).Fusszeile);
    TestApp older(false);
    older.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nKopie=1\r\n");
    EXPECT_TRUE(readSettings(configIniPath()).Fusszeile);
}

// One table reads and writes: what is written reads back the same, under the
// key spellings existing config.ini files hold, and keys the dialog does not own stay.
TEST(SettingsTable, WrittenValuesReadBackAndForeignKeysStay) {
    TestApp app(false);
    app.write(u"bin/config.ini"_s,
              "[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nGavelBrowser=Falsch\r\nDatabase=/daten/a.mdb\r\n"
              "[Fenster]\r\nSpalten=1,2,3\r\n");
    Settings s = everyField();
    s.Fusszeile = false;
    ASSERT_TRUE(test::ok(saveOptions(s)));
    const QByteArray file = app.read(u"bin/config.ini"_s);
    for (const char* line : {"Username=h\xE4ndler_neu\r\n", "GavelBrowser=Falsch\r\n", "Fusszeile=Falsch\r\n",
                             "Database=/daten/a.mdb\r\n", "Spalten=1,2,3\r\n", "HTTPLink2=Bewertungen\r\n",
                             "Prozent20=1\r\n", "nobody=1\r\n", "Standardversandmail=Falsch\r\n", "SMTPPort=587\r\n",
                             "Kopie=0\r\n", "Standardbank=Sparkasse K\xF6ln\r\n", "versicherterversand=6,90 \x80\r\n"})
        EXPECT_TRUE(file.contains(line)) << line;
    EXPECT_FALSE(file.contains("geheim"));  // scrambled

    const Settings back = readSettings(configIniPath());
    const Settings want = everyField();
    EXPECT_EQ(back.Username, u"händler_neu"_s);
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
    EXPECT_EQ(gSettings.Username, u"händler_neu"_s);
    EXPECT_EQ(gSettings.StandardUser, u"händler_neu"_s);
    EXPECT_EQ(gSettings.SMTPPort, 587);
    EXPECT_EQ(currentSettings().Kennwort, u"geheim€"_s);
}

TEST(SettingsTable, PortTextAndAnUnwritableFile) {
    TestApp app(false);
    EXPECT_EQ(parsePort(u" 465 "_s).value(), 465);
    for (const char* bad : {"0", "65536", "fünfundzwanzig", ""})
        EXPECT_EQ(test::failure(parsePort(QString::fromUtf8(bad))),
                  u"Der Postausgangsport muss eine Zahl von 1 bis 65535 sein (meist 587 oder 465)."_s);
    EXPECT_TRUE(test::failure(writeSettings(everyField(), app.file(u"fehlt/config.ini"_s)))
                    .startsWith(u"Die Einstellungen können nicht gespeichert werden: Die Datei '"_s));
}

// A settings file of megabytes is no one's typing: refused, the defaults used, the
// start not slowed. A reload sees new values and rules.
TEST(subInitApp, ASettingsFileAboveOneMegabyteIsRefusedAndAReloadSeesNewValues) {
    TestApp app(true);
    app.write(u"bin/config.ini"_s,
              "[Konto]\r\nSMTPServer=smtp.example.de\r\n[Rest]\r\n" + QByteArray(1024 * 1024, 'x') + "\r\n");
    const QStringList messages = subInitApp();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(app.file(u"bin/config.ini"_s)));
    EXPECT_TRUE(messages[0].contains(u"größer als 1 MB"_s));
    EXPECT_EQ(gSettings.SMTPServer, QString());
    EXPECT_FALSE(gRules.verkauf.empty());
    app.write(u"bin/config.ini"_s, "[Konto]\r\nSMTPServer=smtp.example.de\r\n");
    app.write(u"bin/gaveldesk.ini"_s, "[Verkauf]\r\nNur:/=Kunden/Name\r\n");
    EXPECT_TRUE(subInitApp().isEmpty());
    EXPECT_EQ(gSettings.SMTPServer, u"smtp.example.de"_s);
    ASSERT_EQ(gRules.verkauf.size(), 1u);
    EXPECT_EQ(gRules.verkauf[0].sKey, u"Nur:"_s);
}

TEST(subInitApp, HandWrittenFileInMixedCase) {
    TestApp app(false);
    app.write(u"bin/config.ini"_s, test::ansi(u"[USER]\r\nUSERNAME = händler_01 \r\n"
                                              "[main]\r\nHTTPLink2=x\r\ngavelbrowser=Falsch\r\nPlattform=ebay.at\r\n"
                                              "Database=/daten/auktionen.mdb\r\n"
                                              "[Konto]\r\nProzent20=1\r\nNOBODY=1\r\nStandardversandmail=0\r\n"
                                              "smtpserver=mail.example.de\r\nSMTPPort=587\r\nKopie=0\r\nAuth=1\r\n"
                                              "Konto=haendler\r\nKennwort="_s +
                                              Crypt(u"geheim"_s, kPasswordKey, true) +
                                              u"\r\nStandardBank=Sparkasse Köln\r\nversicherterVersand=6,90 €\r\n"_s));
    subInitApp();
    EXPECT_EQ(QStringList({gSettings.Username, gSettings.StandardUser, gSettings.HTTPLink2, gSettings.SMTPServer,
                           gSettings.Konto, gSettings.Kennwort, gSettings.Bank, gSettings.VersicherterVersand})
                  .join(u'|'),
              u"händler_01|händler_01|x|mail.example.de|haendler|geheim|Sparkasse Köln|6,90 €"_s);
    EXPECT_EQ((QList<qint32>{gSettings.Prozent20, gSettings.Nobody, gSettings.SMTPPort, gSettings.Kopie, gSettings.Auth,
                             gSettings.GavelBrowser, gSettings.Standardversandmail}),
              (QList<qint32>{1, 1, 587, 0, 1, 0, 0}));
    EXPECT_EQ(gsDataSource, u"/daten/auktionen.mdb"_s);  // used even though it does not exist
    // the domain moves both hosts and nothing else
    EXPECT_TRUE(gsItemLink.endsWith(u"&loc=http://cgi.ebay.at/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1"_s));
    EXPECT_TRUE(gsFeedbackLink.endsWith(
        u"&loc=http://feedback.ebay.at/ws1/eBayISAPI.dll?GetAndShowTransactions%26item=0%26page=1%26nflw=1"_s));
    EXPECT_TRUE(gsItemLink.startsWith(QString::fromLatin1(kClickPrefix)));
}

TEST(subInitApp, EmptyValuesAndUnreadableTexts) {
    TestApp app(false);
    app.write(u"bin/config.ini"_s,
              "[Konto]\r\nSMTPPort=\r\nKopie=abc\r\nStandardversandmail=vielleicht\r\nprozent20=ja\r\n"
              "Kennwort=nicht hex\r\n[Main]\r\nGavelBrowser=\r\n");
    subInitApp();
    EXPECT_EQ(gSettings.SMTPPort, 0);  // present and empty: not the default; funCLng gives 0
    EXPECT_EQ(gSettings.Kopie, 0);
    EXPECT_TRUE(gSettings.Standardversandmail);  // neither Boolean nor number: the default holds
    EXPECT_TRUE(gSettings.GavelBrowser);
    EXPECT_EQ(gSettings.Prozent20, 0);
    EXPECT_EQ(gSettings.Kennwort, kCryptError);
}

TEST(funcGetDataSource, ConfiguredPathElseTheFileNextToTheProgram) {
    TestApp app(false);
    EXPECT_EQ(funcGetDataSource(), QString());
    app.write(u"gaveldesk.mdb"_s, "x");
    EXPECT_EQ(funcGetDataSource(), app.file(u"gaveldesk.mdb"_s));
    app.write(u"bin/config.ini"_s, "[Main]\r\nDatabase=/nirgends/db.mdb\r\n");
    EXPECT_EQ(funcGetDataSource(), u"/nirgends/db.mdb"_s);
}

TEST(subInitApp, BinaryConfigFileDoesNotCrash) {
    TestApp app(false);
    QByteArray junk;
    for (int i = 0; i < 100000; ++i) junk.append(char((i * 131 + 7) & 0xFF));
    app.write(u"bin/config.ini"_s, junk);
    app.write(u"bin/gaveldesk.ini"_s, junk);
    subInitApp();
}

class Rules : public ::testing::Test {
protected:
    TestApp app{false};
    void load(const QString& ini) {
        app.write(u"bin/gaveldesk.ini"_s, test::ansi(ini));
        gsKeywordIni = app.file(u"bin/gaveldesk.ini"_s);
        gRules.sofortkauf.clear();
        gRules.kauf.clear();
        gRules.verkauf.clear();
        gRules.verkaeuferdaten = {};
        gRules.kaeuferdaten = {};
        messages = subGetFelder();
    }
    QStringList messages;
};

// "key|end|table|field" of each row.
QStringList rows(const std::vector<tFeld>& table) {
    QStringList out;
    for (const tFeld& f : table) out << QStringList({f.sKey, f.sEnde, f.sTabelle, f.sFeld}).join(u'|');
    return out;
}
QString markers(const std::array<QString, 5>& m) { return QStringList({m[1], m[2], m[3], m[4]}).join(u'|'); }

TEST_F(Rules, LoadsMarkersRulesAndSkipsSubjects) {
    load(
        u"[Sofortkauf]\r\n#Betreff#=Sofort\r\n#Verkäuferdaten1#=Daten des Verkäufers:/Daten des Käufers:\r\n"
        "#Verkäuferdaten2#=A:/B:\r\n#Käuferdaten1#=Daten des Käufers:/Ende\r\n#Käuferdaten2#=C:/D:\r\n"
        "Verkäufer:/=Lieferanten/ebayName\r\nName:/=xxx/Name\r\n"
        "[Kauf]\r\n#Verkäuferdaten1#/Ende=Auktionen/Titel\r\nPreis: "
        "EUR/=Auktionen/Preis\r\nPreis:/EUR=Auktionen/Preis\r\n"
        "[Verkauf]\r\n; Kommentar\r\nKäufer:/=Kunden/ebayName\r\n"_s);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(markers(gRules.verkaeuferdaten), u"Daten des Verkäufers:|Daten des Käufers:|A:|B:"_s);
    EXPECT_EQ(markers(gRules.kaeuferdaten), u"Daten des Käufers:|Ende|C:|D:"_s);
    EXPECT_EQ(rows(gRules.sofortkauf), (QStringList{u"Verkäufer:||Lieferanten|ebayName"_s, u"Name:||xxx|Name"_s}));
    // in Kauf a marker line is an ordinary rule row; two rows for one field keep file order
    EXPECT_EQ(rows(gRules.kauf), (QStringList{u"#Verkäuferdaten1#|Ende|Auktionen|Titel"_s,
                                              u"Preis: EUR||Auktionen|Preis"_s, u"Preis:|EUR|Auktionen|Preis"_s}));
    EXPECT_EQ(rows(gRules.verkauf), QStringList{u"Käufer:||Kunden|ebayName"_s});
}

TEST_F(Rules, MalformedLinesSayWhichAndKeepWhatWasRead) {
    load(
        u"[Kauf]\r\nOhneGleich\r\nOhneSchraegstrich=Auktionen/Preis\r\nGut:/=Auktionen\r\n"
        "Richtig:/=Auktionen/Titel\r\n[Sofortkauf]\r\n#Käuferdaten1#=NurStart\r\n"_s);
    ASSERT_EQ(messages.size(), 4);  // one message a faulty line
    EXPECT_EQ(messages[0], u"Fehler beim Lesen von: #Käuferdaten1#=NurStart"_s);
    EXPECT_EQ(messages[1], u"Fehler beim Lesen von: OhneGleich"_s);
    EXPECT_EQ(markers(gRules.kaeuferdaten), u"NurStart|||"_s);
    ASSERT_EQ(gRules.kauf.size(), 4u);
    EXPECT_EQ(gRules.kauf[1].sKey, u"OhneSchraegstrich"_s);
    EXPECT_EQ(gRules.kauf[1].sTabelle, u"Auktionen"_s);
    EXPECT_EQ(rows(gRules.kauf).mid(2), (QStringList{u"Gut:||Auktionen|"_s, u"Richtig:||Auktionen|Titel"_s}));
}

TEST_F(Rules, MissingSectionKeepsTheTableAndMissingFileIsNoError) {
    load(u"[Kauf]\r\nA:/=Auktionen/Titel\r\n"_s);
    ASSERT_EQ(gRules.kauf.size(), 1u);
    app.write(u"bin/gaveldesk.ini"_s, "[Verkauf]\r\nB:/=Kunden/Name\r\n");
    EXPECT_TRUE(subGetFelder().isEmpty());
    EXPECT_EQ(gRules.kauf.size(), 1u);
    EXPECT_EQ(gRules.verkauf.size(), 1u);
}

// Without a usable keyword file nothing is recognised: the user is told which file.
TEST_F(Rules, AMissingHugeOrBrokenKeywordFileIsNamed) {
    gsKeywordIni = app.file(u"bin/fehlt.ini"_s);
    QStringList m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains(gsKeywordIni)) << m[0].toStdString();
    QDir().mkpath(app.file(u"bin/ordner.ini"_s));
    gsKeywordIni = app.file(u"bin/ordner.ini"_s);
    EXPECT_TRUE(subGetFelder().value(0).contains(u"fehlt oder kann nicht gelesen werden"_s));

    app.write(u"bin/gaveldesk.ini"_s, "[Kauf]\r\n" + QByteArray(2 * 1024 * 1024, 'x') + "\r\n");
    gsKeywordIni = app.file(u"bin/gaveldesk.ini"_s);
    m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains(u"größer als 1 MB"_s)) << m[0].toStdString();

    // A broken line of 500 KB is quoted by its first 200 characters.
    app.write(u"bin/gaveldesk.ini"_s, "[Kauf]\r\n" + QByteArray(500 * 1024, 'y') + "\r\n");
    m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_LT(m[0].size(), 260);
    EXPECT_TRUE(m[0].startsWith(u"Fehler beim Lesen von: yyy"_s));
}

TEST_F(Rules, ManyLinesAndManyFaultsStayBounded) {
    QString ini = u"[Verkauf]\r\n"_s;
    for (int i = 0; i < 10000; ++i) ini += u"Marke%1:/=Auktionen/Titel\r\n"_s.arg(i);
    ini += u"[Kauf]\r\n"_s;
    for (int i = 0; i < 500; ++i) ini += u"kaputt%1\r\n"_s.arg(i);
    load(ini);
    EXPECT_EQ(gRules.verkauf.size(), 10000u);
    EXPECT_EQ(gRules.kauf.size(), 500u);
    EXPECT_LE(messages.size(), 10);  // not five hundred boxes
}

// What the rules cut from each sample mail is proved by the import's tests.
TEST_F(Rules, ShippedKeywordFileLoadsCleanly) {
    TestApp shipped(true);
    gsKeywordIni = shipped.file(u"bin/gaveldesk.ini"_s);
    EXPECT_TRUE(subGetFelder().isEmpty());
}

}  // namespace
}  // namespace gd
