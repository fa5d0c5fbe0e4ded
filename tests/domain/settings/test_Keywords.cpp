#include <gtest/gtest.h>

#include <QDir>

#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using test::TestApp;

class Rules : public ::testing::Test {
protected:
    TestApp app{false};
    void load(const QString& ini) {
        app.write(QStringLiteral("bin/gaveldesk.ini"), test::ansi(ini));
        gsKeywordIni = app.file(QStringLiteral("bin/gaveldesk.ini"));
        gaSofortkauf.clear();
        gaKauf.clear();
        gaVerkauf.clear();
        gsVerkaeuferdaten = {};
        gsKaeuferdaten = {};
        messages = subGetFelder();
    }
    QStringList messages;
};

TEST_F(Rules, LoadsMarkersRulesAndSkipsSubjects) {
    load(QStringLiteral(
        "[Sofortkauf]\r\n#Betreff#=Sofort\r\n#Verkäuferdaten1#=Daten des Verkäufers:/Daten des Käufers:\r\n"
        "#Verkäuferdaten2#=A:/B:\r\n#Käuferdaten1#=Daten des Käufers:/Ende\r\n#Käuferdaten2#=C:/D:\r\n"
        "Verkäufer:/=Lieferanten/ebayName\r\nName:/=xxx/Name\r\n"
        "[Kauf]\r\n#Verkäuferdaten1#/Ende=Auktionen/Titel\r\nPreis: "
        "EUR/=Auktionen/Preis\r\nPreis:/EUR=Auktionen/Preis\r\n"
        "[Verkauf]\r\n; Kommentar\r\nKäufer:/=Kunden/ebayName\r\n"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(gsVerkaeuferdaten[1], QStringLiteral("Daten des Verkäufers:"));
    EXPECT_EQ(gsVerkaeuferdaten[2], QStringLiteral("Daten des Käufers:"));
    EXPECT_EQ(gsVerkaeuferdaten[3], QStringLiteral("A:"));
    EXPECT_EQ(gsVerkaeuferdaten[4], QStringLiteral("B:"));
    EXPECT_EQ(gsKaeuferdaten[1], QStringLiteral("Daten des Käufers:"));
    EXPECT_EQ(gsKaeuferdaten[4], QStringLiteral("D:"));
    ASSERT_EQ(gaSofortkauf.size(), 2u);
    EXPECT_EQ(gaSofortkauf[0].sKey, QStringLiteral("Verkäufer:"));
    EXPECT_EQ(gaSofortkauf[0].sEnde, QString());
    EXPECT_EQ(gaSofortkauf[0].sTabelle, QStringLiteral("Lieferanten"));
    EXPECT_EQ(gaSofortkauf[0].sFeld, QStringLiteral("ebayName"));
    EXPECT_EQ(gaSofortkauf[1].sTabelle, QStringLiteral("xxx"));
    // in Kauf a marker line is an ordinary rule row; two rows for one field keep file order
    ASSERT_EQ(gaKauf.size(), 3u);
    EXPECT_EQ(gaKauf[0].sKey, QStringLiteral("#Verkäuferdaten1#"));
    EXPECT_EQ(gaKauf[1].sKey, QStringLiteral("Preis: EUR"));
    EXPECT_EQ(gaKauf[2].sEnde, QStringLiteral("EUR"));
    ASSERT_EQ(gaVerkauf.size(), 1u);
}

TEST_F(Rules, MalformedLinesSayWhichAndKeepWhatWasRead) {
    load(
        QStringLiteral("[Kauf]\r\nOhneGleich\r\nOhneSchraegstrich=Auktionen/Preis\r\nGut:/=Auktionen\r\n"
                       "Richtig:/=Auktionen/Titel\r\n[Sofortkauf]\r\n#Käuferdaten1#=NurStart\r\n"));
    const QStringList& msgs = messages;
    ASSERT_EQ(msgs.size(), 4);  // one message a faulty line
    EXPECT_EQ(msgs[0], QStringLiteral("Fehler beim Lesen von: #Käuferdaten1#=NurStart"));
    EXPECT_EQ(msgs[1], QStringLiteral("Fehler beim Lesen von: OhneGleich"));
    EXPECT_EQ(gsKaeuferdaten[1], QStringLiteral("NurStart"));
    EXPECT_EQ(gsKaeuferdaten[2], QString());
    ASSERT_EQ(gaKauf.size(), 4u);
    EXPECT_EQ(gaKauf[1].sKey, QStringLiteral("OhneSchraegstrich"));
    EXPECT_EQ(gaKauf[1].sTabelle, QStringLiteral("Auktionen"));
    EXPECT_EQ(gaKauf[2].sTabelle, QStringLiteral("Auktionen"));
    EXPECT_EQ(gaKauf[2].sFeld, QString());
    EXPECT_EQ(gaKauf[3].sFeld, QStringLiteral("Titel"));
}

TEST_F(Rules, MissingSectionKeepsTheTableAndMissingFileIsNoError) {
    load(QStringLiteral("[Kauf]\r\nA:/=Auktionen/Titel\r\n"));
    ASSERT_EQ(gaKauf.size(), 1u);
    app.write(QStringLiteral("bin/gaveldesk.ini"), "[Verkauf]\r\nB:/=Kunden/Name\r\n");
    EXPECT_TRUE(subGetFelder().isEmpty());
    EXPECT_EQ(gaKauf.size(), 1u);
    EXPECT_EQ(gaVerkauf.size(), 1u);
}

// Without a usable keyword file nothing is recognised: the user is told which file.
TEST_F(Rules, AMissingHugeOrBrokenKeywordFileIsNamed) {
    gsKeywordIni = app.file(QStringLiteral("bin/fehlt.ini"));
    QStringList m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains(gsKeywordIni)) << m[0].toStdString();
    QDir().mkpath(app.file(QStringLiteral("bin/ordner.ini")));
    gsKeywordIni = app.file(QStringLiteral("bin/ordner.ini"));
    EXPECT_TRUE(subGetFelder().value(0).contains(QStringLiteral("fehlt oder kann nicht gelesen werden")));

    app.write(QStringLiteral("bin/gaveldesk.ini"), "[Kauf]\r\n" + QByteArray(2 * 1024 * 1024, 'x') + "\r\n");
    gsKeywordIni = app.file(QStringLiteral("bin/gaveldesk.ini"));
    m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains(QStringLiteral("größer als 1 MB"))) << m[0].toStdString();

    // A broken line of 500 KB is quoted by its first 200 characters.
    app.write(QStringLiteral("bin/gaveldesk.ini"), "[Kauf]\r\n" + QByteArray(500 * 1024, 'y') + "\r\n");
    m = subGetFelder();
    ASSERT_EQ(m.size(), 1);
    EXPECT_LT(m[0].size(), 260);
    EXPECT_TRUE(m[0].startsWith(QStringLiteral("Fehler beim Lesen von: yyy")));
}

TEST_F(Rules, ManyLinesAndManyFaultsStayBounded) {
    QString ini = QStringLiteral("[Verkauf]\r\n");
    for (int i = 0; i < 10000; ++i) ini += QStringLiteral("Marke%1:/=Auktionen/Titel\r\n").arg(i);
    ini += QStringLiteral("[Kauf]\r\n");
    for (int i = 0; i < 500; ++i) ini += QStringLiteral("kaputt%1\r\n").arg(i);
    load(ini);
    EXPECT_EQ(gaVerkauf.size(), 10000u);
    EXPECT_EQ(gaKauf.size(), 500u);
    EXPECT_LE(messages.size(), 10);  // not five hundred boxes
}

TEST_F(Rules, ShippedKeywordFileLoadsCleanly) {
    TestApp shipped(true);
    gsKeywordIni = shipped.file(QStringLiteral("bin/gaveldesk.ini"));
    EXPECT_TRUE(subGetFelder().isEmpty());
    EXPECT_FALSE(gsVerkaeuferdaten[1].isEmpty());
    EXPECT_FALSE(gsKaeuferdaten[3].isEmpty());
    EXPECT_GT(gaSofortkauf.size(), 10u);
    EXPECT_GT(gaKauf.size(), 10u);
    EXPECT_GT(gaVerkauf.size(), 10u);
    // the member names stand before the first address row
    std::size_t firstXxx = gaSofortkauf.size(), lastName = 0;
    for (std::size_t i = 0; i < gaSofortkauf.size(); ++i) {
        if (gaSofortkauf[i].sTabelle == QStringLiteral("xxx")) firstXxx = std::min(firstXxx, i);
        if (gaSofortkauf[i].sFeld == QStringLiteral("ebayName")) lastName = i;
    }
    EXPECT_LT(lastName, firstXxx);
}

}  // namespace
}  // namespace gd
