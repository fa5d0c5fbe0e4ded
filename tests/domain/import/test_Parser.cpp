#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "domain/db/Trade.h"
#include "domain/import/Accept.h"
#include "domain/import/BatchImport.h"
#include "domain/import/Extract.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::TestApp;

QString mail(const QString& name) {
    const Result<QString> t = readMailFile(test::dataFile(u"mails/"_s + name));
    EXPECT_TRUE(t.ok()) << (t.ok() ? std::string() : t.error().sentence.toStdString());
    return normalizeMailText(t.valueOr(QString()));
}

class Parse : public ::testing::Test {
protected:
    TestApp app{true};
    void SetUp() override {
        subInitApp();
        gsEbayName = u"gavel_haendler"_s;
    }
};

// partner: ebayName|Email|Name|Strasse|Ort|Land
// auction: AuktionsNr|Titel|Preis|Menge|Betrag|EndeDatum|Versandinfos|Bezahlung|Mitteilungen|Hinweise
const char* const kVerkaufPartner =
    "mueller_hans|hans.mueller@example.de|Hans Müller|Hauptstraße 12|10115 Berlin|Deutschland";
const char* const kVerkaufAuction =
    "1234567890|Kaffeemühle Zassenhaus Santiago, Buche|24,50|1|30,90|04.12.2026 20:15:33|"
    "EUR 4,90 Versandversicherung: EUR 1,50|Überweisung, PayPal||";
const char* const kKaufPartner =
    "baerbel_naehstube|b.oeztuerk@example.de|Bärbel Öztürk-D'Amico|Lindenallee 3a|79098 Freiburg im "
    "Breisgau|Deutschland";
const char* const kKaufAuction =
    "3456789012|Nähmaschine Pfaff 260 mit Koffer|1.234,56|1|1.254,46|03.12.2026 18:42:07|EUR 19,90|Überweisung||";

// The parts the rules cut add up to the total the notification names, instant purchases included.
TEST_F(Parse, EverySampleFully) {
    const struct {
        const char* file;
        MailKind kind;
        bool sellerShown;
        const char *partner, *auction;
    } cases[] = {
        {"verkauf.txt", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf_unix.txt", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf_cp1252.txt", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf.eml", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf_200kb.txt", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf_steuerzeichen.txt", MailKind::Verkauf, false, kVerkaufPartner, kVerkaufAuction},
        {"verkauf_ohne_strasse.txt", MailKind::Verkauf, false,
         "mueller_hans|hans.mueller@example.de|Hans Müller||10115 Berlin|[nicht angegeben]", kVerkaufAuction},
        {"kauf.txt", MailKind::Kauf, true, kKaufPartner, kKaufAuction},
        {"kauf.eml", MailKind::Kauf, true, kKaufPartner, kKaufAuction},
        {"sofortkauf_verkauf.txt", MailKind::Sofortkauf, false,
         "o_neill_77|sean.oneill@example.ie|Seán O'Neill|Kölner Straße 7|40211 Düsseldorf|Deutschland",
         "2345678901|Tischlampe Bauhaus-Stil, Messing|89,00|2|185,90|05.12.2026 14:02:51|DHL Paket, versichert, EUR "
         "7,90|"
         "Überweisung|Bitte beide Lampen einzeln verpacken.|Versand innerhalb von 2 Werktagen nach Zahlungseingang."},
        {"sofortkauf_kauf.txt", MailKind::Sofortkauf, true,
         "plattenkiste_ruhr|kiste@example.net|Jörg Plattner|Zechenweg 44|44787 Bochum|Deutschland",
         "4567890123|Schallplatte Kraftwerk - Autobahn, Erstpressung|45,00|1|49,50|06.12.2026 09:15:00|"
         "Warensendung, EUR 4,50|PayPal||Keine Rücknahme."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ImportRecords r;
        const ParseResult parsed = parseMail(r, mail(QString::fromUtf8(c.file)));
        EXPECT_EQ(parsed.kind, c.kind);
        EXPECT_TRUE(parsed.message.isEmpty()) << parsed.message.toStdString();
        EXPECT_TRUE(r.acceptable);
        EXPECT_EQ(r.sellerShown(), c.sellerShown);
        EXPECT_EQ(r.caption(), c.sellerShown ? u"Verkäuferdaten"_s : u"Käufer- / Verkäuferdaten"_s);
        const tKunde& k = r.partner();
        EXPECT_EQ(QStringList({k.ebayName, k.Email, k.Name, k.Strasse, k.Ort, k.Land}).join(u'|'),
                  QString::fromUtf8(c.partner));
        const tAuktion& o = r.oAuktion;
        EXPECT_EQ(QStringList({o.AuktionsNr, o.Titel, o.Preis, o.Menge, o.Betrag, o.EndeDatum, o.Versandinfos,
                               o.Bezahlung, o.Mitteilungen, o.Hinweise})
                      .join(u'|'),
                  QString::fromUtf8(c.auction));
        EXPECT_EQ(funBetrag(o.Preis, o.Menge, o.Versandkosten, o.Versandversicherung).value_or(QString()), o.Betrag);
        EXPECT_TRUE(o.EmailText.contains(u"\r\n"_s));
        EXPECT_FALSE(o.EmailText.contains(QChar(0)));
    }
}

TEST_F(Parse, Refusals) {
    struct Case {
        QString text;
        QString ebayName;
        QString message;
    };
    const QString sofort = mail(u"sofortkauf_verkauf.txt"_s);
    QString noNames = sofort;
    noNames.replace(u"Verkäufer: gavel_haendler"_s, u"Anbieter: gavel_haendler"_s)
        .replace(u"Käufer: o_neill_77"_s, u"Kunde: o_neill_77"_s);
    const QString notTheUser =
        u"Die Email kann nicht verarbeitet werden.\rVerkäufer- und Käufer-Name aus der Email stimmen "
        "nicht mit dem eingestellten ebay-Namen überein!"_s;
    const Case cases[] = {
        {mail(u"keine_ebay_email.txt"_s), u"gavel_haendler"_s, u"Die Zwischenablage enthält keine ebay Email"_s},
        {sofort, u"GAVEL_HAENDLER"_s, notTheUser},  // letter case differs: not the user
        {noNames, u"gavel_haendler"_s, notTheUser},
    };
    for (const Case& c : cases) {
        gsEbayName = c.ebayName;
        ImportRecords r;
        EXPECT_EQ(parseMail(r, c.text).message, c.message);
        EXPECT_FALSE(r.acceptable);
        EXPECT_EQ(r.oAuktion.AuktionsNr, QString());
        EXPECT_EQ(r.oKunde.ebayName, QString());
    }
}

TEST_F(Parse, RecognitionOrder) {
    struct Case {
        const char* text;
        MailKind kind;
    };
    const Case cases[] = {
        {"Sie haben am 1.1. ... Kontaktinformationen des Käufers:", MailKind::Kauf},
        {"Kontaktinformationen des \r\nKäufers:", MailKind::Verkauf},  // broken over two lines
        {"den folgenden Artikel über eBay ... hat am", MailKind::Verkauf},
        {"hat am ... Sofort-Kaufen", MailKind::Sofortkauf},
        {"hat am ... nichts", MailKind::Keine},
        {"Kontaktinformationen des Verkaeufers:", MailKind::Kauf},
    };
    for (const Case& c : cases) EXPECT_EQ(recogniseMail(QString::fromUtf8(c.text)), c.kind) << c.text;
}

TEST_F(Parse, SecondRuleFillsWhatTheFirstMissedAndNoDateMeansToday) {
    app.write(u"bin/gaveldesk.ini"_s,
              test::ansi(u"[Verkauf]\r\nPreisX:/=Auktionen/Preis\r\nPreis:/EUR=Auktionen/Preis\r\n"
                         "Nr:/=Auktionen/ArtikelNr\r\nVersand:/EUR=Auktionen/Versandkosten\r\n"_s));
    subGetFelder();
    ImportRecords r;
    parseMail(r, u"Kontaktinformationen des Käufers:\r\nNr: 77\r\nPreis: 12,50 EUR\r\nVersand: 4,90 EUR\r\n"_s);
    EXPECT_EQ(r.oAuktion.Preis, u"12,50"_s);
    EXPECT_EQ(r.oAuktion.EndeDatum, u"04.12.2026"_s);  // the test clock's today
    EXPECT_EQ(r.oAuktion.Versandinfos, u"EUR 4,90"_s);
}

TEST_F(Parse, BadInputNeverCrashes) {
    QString garbage;
    for (int i = 0; i < 200000; ++i) garbage += QChar(char16_t((i * 7919) % 0xD7FF + 1));
    const QString huge = QString(10 << 20, QLatin1Char('x')) + u"Sofort-Kaufen"_s;
    for (const QString& t : {garbage, huge, QString()}) {
        ImportRecords r;
        parseMail(r, normalizeMailText(t));
        EXPECT_FALSE(r.acceptable);
    }
}

TEST(MailFile, QuotedPrintableAndMime) {
    EXPECT_EQ(decodeQuotedPrintable("Kaffeem=C3=BChle=\r\n Buche=3D=\nx = y"),
              QByteArray("Kaffeem\xC3\xBChle Buche=x = y"));
    EXPECT_EQ(decodeMimeMessage("Content-Type: text/html\r\n\r\n<p>x</p>").valueOr(QString()), u"x"_s);
    const auto latin = decodeMimeMessage("Content-Type: text/plain; charset=iso-8859-15\r\n\r\n\xA4 5");
    ASSERT_TRUE(latin.ok());
    EXPECT_EQ(*latin, u"€ 5"_s);
}

// Each refusal names its cause in German.
TEST(MailFile, RefusalsNameTheCause) {
    QTemporaryDir dir;
    QFile big(dir.filePath(u"gross.txt"_s));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(16 * 1024 * 1024 + 1));
    big.close();
    QDir().mkpath(dir.filePath(u"ordner.txt"_s));
    const std::pair<QString, const char*> cases[] = {
        {u"/nicht/da.txt"_s, "gibt es nicht"},
        {dir.filePath(u"ordner.txt"_s), "ist ein Ordner"},
        {big.fileName(), "größer als 16 MB"},
    };
    for (const auto& [path, cause] : cases) {
        const Result<QString> read = readMailFile(path);
        ASSERT_FALSE(read.ok()) << path.toStdString();
        EXPECT_TRUE(read.error().sentence.contains(QString::fromUtf8(cause))) << read.error().sentence.toStdString();
    }
}

// Values no notification holds: warned in the dialog, refused on the command line.
TEST(ImportLimits, ImplausibleValuesAreNamed) {
    struct Case {
        QString name, mail, nr;
        const char* expect;  // a part of the one warning, or empty for none
        QString street = {}, preis = {}, betrag = {}, menge = {};
    };
    const Case cases[] = {
        {u"kaeufer_1"_s, u"k@example.de"_s, u"1234567890"_s, ""},
        {QString(), u"k@example.de"_s, u"1234567890"_s, "Mitgliedsname des Partners ist leer"},
        {QString(100000, QLatin1Char('n')), QString(), u"1"_s, "länger als 254 Zeichen"},
        {u"k"_s, u"keine-adresse"_s, u"1"_s, "enthält kein"},
        {u"k"_s, QString(), u"12AB"_s, "nicht nur aus Ziffern"},
        {u"k"_s, QString(), u"1"_s, "Die Straße", QString(300, QChar(0x00DF))},
        {u"k"_s, QString(), u"1"_s, "", {}, u"EUR 1.234,56"_s, u"0,00"_s},
        {u"k"_s, QString(), u"1"_s, "Der Preis", {}, u"EUR 92.233.720.368.547.758,07"_s},
        {u"k"_s, QString(), u"1"_s, "Der Betrag", {}, {}, u"-10,00"_s},
        {u"k"_s, QString(), u"1"_s, "Der Betrag", {}, {}, u"1.000.000.000,00 €"_s},
        {u"k"_s, QString(), u"1"_s, "", {}, u"siehe Beschreibung"_s},
        {u"k"_s, QString(), u"1"_s, "Die Menge", {}, {}, {}, u"0"_s},
    };
    for (const Case& c : cases) {
        ImportRecords r;
        r.oKunde.ebayName = c.name;
        r.oKunde.Email = c.mail;
        r.oAuktion.AuktionsNr = c.nr;
        r.oKunde.Strasse = c.street;
        r.oAuktion.Preis = c.preis;
        r.oAuktion.Betrag = c.betrag;
        r.oAuktion.Menge = c.menge;
        const QStringList w = implausibleFields(r);
        if (*c.expect == 0) {
            EXPECT_TRUE(w.isEmpty()) << w.join(QLatin1Char(' ')).toStdString();
            continue;
        }
        ASSERT_EQ(w.size(), 1) << c.expect;
        EXPECT_TRUE(w[0].contains(QString::fromUtf8(c.expect))) << w[0].toStdString();
        EXPECT_LT(w[0].size(), 200);  // a long value is quoted by its start
        cutToColumns(r);
        EXPECT_LE(r.oKunde.ebayName.size(), 254);
        EXPECT_LE(r.oKunde.Strasse.size(), 254);
    }
}

TEST(funGetData, CutsBetweenMarkers) {
    struct Case {
        const char* text;
        const char* key;
        const char* end;
        const char* expected;
    };
    const Case cases[] = {
        {"Name: Hans Müller\r\nStraße: Weg 1", "Name:", "", "Hans Müller"},
        {"Kein Treffer", "Name:", "", ""},
        {"Preis: 1\r\nPreis: 2\r\n", "Preis:", "", "1"},  // the first occurrence
        {"Preis: 12,50 EUR\r\n", "Preis:", "EUR", "12,50"},
        {"name: klein\r\n", "Name:", "", ""},  // case-sensitive
        {"Menge: 3", "Menge:", "", "3"},       // no end marker: to the end
        {"Text\r\n\r\nRest", "", "", "Text"},  // empty key found at the start
        {"Mitteilung: Zeile 1\r\nZeile 2\r\n\r\nAnderes", "Mitteilung:", "Anderes", "Zeile 1\r\nZeile 2"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        QString end = QString::fromUtf8(c.end);
        EXPECT_EQ(funGetData(QString::fromUtf8(c.text), QString::fromUtf8(c.key), end).toStdString(), c.expected)
            << c.text;
        EXPECT_EQ(end, *c.end ? QString::fromUtf8(c.end) : u"\r\n"_s);  // an empty end becomes CR LF for the caller
    }
}

TEST(funTrim, CleansOneValue) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"  abc\t\r\n", "abc"},       {"erste\r\n\r\nzweite", "erste"},
        {"erste\r\rzweite", "erste"}, {"erste\n\nzweite", "erste"},
        {"a\r\nb", "a\r\nb"},         {"[nicht angegeben] und weitere Worte", "[nicht angegeben]"},
        {"   \t\r\n ", ""},           {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(funTrim(QString::fromUtf8(c.text)).toStdString(), c.expected) << c.text;
}

}  // namespace
}  // namespace gd
