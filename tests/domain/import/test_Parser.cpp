#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "domain/import/Accept.h"
#include "domain/import/BatchImport.h"
#include "domain/import/Extract.h"
#include "domain/import/Html.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/Trade.h"
#include "support/ResultAssert.h"
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
        gSettings.Username = u"gavel_haendler"_s;
    }
    void addRules(const QByteArray& rules) {
        app.write(u"bin/gaveldesk.ini"_s, app.read(u"bin/gaveldesk.ini"_s) + "\r\n" + rules);
        subGetFelder();
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
    "baerbel_naehstube|b.oeztuerk@example.de|Bärbel Öztürk-D'Amico|Lindenallee 3a|"
    "79098 Freiburg im Breisgau|Deutschland";
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
         "2345678901|Tischlampe Bauhaus-Stil, Messing|89,00|2|185,90|05.12.2026 14:02:51|"
         "DHL Paket, versichert, EUR 7,90|Überweisung|Bitte beide Lampen einzeln verpacken.|"
         "Versand innerhalb von 2 Werktagen nach Zahlungseingang."},
        {"sofortkauf_kauf.txt", MailKind::Sofortkauf, true,
         "plattenkiste_ruhr|kiste@example.net|Jörg Plattner|Zechenweg 44|44787 Bochum|Deutschland",
         "4567890123|Schallplatte Kraftwerk - Autobahn, Erstpressung|45,00|1|49,50|06.12.2026 09:15:00|"
         "Warensendung, EUR 4,50|PayPal||Keine Rücknahme."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ImportRecords r;
        const ParseResult parsed = parseMail(rulesInForce(), r, mail(QString::fromUtf8(c.file)));
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
    const QString sofort = mail(u"sofortkauf_verkauf.txt"_s);
    QString noNames = sofort;
    noNames.replace(u"Verkäufer: gavel_haendler"_s, u"Anbieter: gavel_haendler"_s)
        .replace(u"Käufer: o_neill_77"_s, u"Kunde: o_neill_77"_s);
    const QString notTheUser =
        u"Die Email kann nicht verarbeitet werden.\rVerkäufer- und Käufer-Name aus der Email stimmen "
        "nicht mit dem eingestellten ebay-Namen überein!"_s;
    const struct {
        QString text, ebayName, message;
    } cases[] = {
        {mail(u"keine_ebay_email.txt"_s), u"gavel_haendler"_s, u"Die Zwischenablage enthält keine ebay Email"_s},
        {sofort, u"GAVEL_HAENDLER"_s, notTheUser},  // letter case differs: not the user
        {noNames, u"gavel_haendler"_s, notTheUser},
    };
    for (const auto& c : cases) {
        gSettings.Username = c.ebayName;
        ImportRecords r;
        EXPECT_EQ(parseMail(rulesInForce(), r, c.text).message, c.message);
        EXPECT_FALSE(r.acceptable);
        EXPECT_EQ(r.oAuktion.AuktionsNr, QString());
        EXPECT_EQ(r.oKunde.ebayName, QString());
    }
}

TEST_F(Parse, RecognitionOrder) {
    const struct {
        const char* text;
        MailKind kind;
    } cases[] = {
        {"Sie haben am 1.1. ... Kontaktinformationen des Käufers:", MailKind::Kauf},
        {"Kontaktinformationen des \r\nKäufers:", MailKind::Verkauf},  // broken over two lines
        {"den folgenden Artikel über eBay ... hat am", MailKind::Verkauf},
        {"hat am ... Sofort-Kaufen", MailKind::Sofortkauf},
        {"hat am ... nichts", MailKind::Keine},
        {"Kontaktinformationen des Verkaeufers:", MailKind::Kauf},
    };
    for (const auto& c : cases) EXPECT_EQ(recogniseMail(rulesInForce(), QString::fromUtf8(c.text)), c.kind) << c.text;
}

// A platform of our own invention; its mails share no phrase with the built-in recognition.
const char* const kKiezmarktRules =
    "[Verkauf Kiezmarkt]\r\n"
    "#Erkennung#=Kiezmarkt/hat bei Ihnen gekauft\r\n"
    "#Erkennung#=Kiezmarkt/Verkaufsbest\xE4tigung\r\n"
    "K\xE4ufer-Login:/=Kunden/ebayName\r\n"
    "Mail:/=Kunden/Email\r\n"
    "Lieferung an:/,=Kunden/Name\r\n"
    "Hausnummer und Stra\xDF\x65:/=Kunden/Strasse\r\n"
    "Wohnort:/=Kunden/Ort\r\n"
    "Angebot Nr.:/=Auktionen/ArtikelNr\r\n"
    "Was:/=Auktionen/Titel\r\n"
    "Preis je St\xFC\x63k:/\x80=Auktionen/Preis\r\n"
    "Anzahl:/=Auktionen/Menge\r\n"
    "Versand:/\x80=Auktionen/Versandkosten\r\n"
    "Zu zahlen:/\x80=Auktionen/Betrag\r\n"
    "Verkauft am:/=Auktionen/EndeDatum\r\n"
    "Bezahlart:/=Auktionen/Bezahlung\r\n"
    "Versicherung:/=Auktionen/Versandversicherung\r\n"
    "Gutschein:/=Auktionen/Hinweise\r\n";

const char* const kKiezmarktMail =
    "Kiezmarkt \xE2\x80\x93 Verkaufsbest\xC3\xA4tigung\r\n\r\n"
    "Gute Nachricht: lotte_k hat bei Ihnen gekauft.\r\n\r\n"
    "Angebot Nr.: KM-778812\r\nWas: Bauernschrank, Kiefer massiv\r\nPreis je St\xC3\xBC\x63k: 120,00 \xE2\x82\xAC\r\n"
    "Anzahl: 1\r\nVersand: 39,00 \xE2\x82\xAC\r\nZu zahlen: 159,00 \xE2\x82\xAC\r\nVerkauft am: 06.12.2026 11:30\r\n"
    "Bezahlart: \xC3\x9C\x62\x65rweisung\r\n\r\n"
    "K\xC3\xA4ufer-Login: lotte_k\r\nMail: lotte.kowalczyk@example.pl\r\n"
    "Lieferung an: Lotte Kowalczyk, bitte klingeln\r\nHausnummer und Stra\xC3\x9F\x65: Am Kiez 4\r\n"
    "Wohnort: 12049 Berlin\r\n";

using Recognition = Parse;

// Another platform's mails are read by a section of the keyword file alone.
TEST_F(Recognition, AnotherPlatformByRulesOnly) {
    ImportRecords before;
    EXPECT_EQ(parseMail(rulesInForce(), before, QString::fromUtf8(kKiezmarktMail)).kind, MailKind::Keine);
    addRules(kKiezmarktRules);
    ImportRecords r;
    const ParseResult p = parseMail(rulesInForce(), r, QString::fromUtf8(kKiezmarktMail));
    EXPECT_EQ(p.kind, MailKind::Verkauf);
    EXPECT_TRUE(p.message.isEmpty());
    EXPECT_EQ(r.sektion, u"Verkauf Kiezmarkt"_s);
    EXPECT_EQ(r.erkennung, u"#Erkennung#=Kiezmarkt/hat bei Ihnen gekauft"_s);
    EXPECT_TRUE(r.acceptable);
    const tKunde& k = r.oKunde;
    EXPECT_EQ(QStringList({k.ebayName, k.Email, k.Name, k.Strasse, k.Ort}).join(u'|'),
              u"lotte_k|lotte.kowalczyk@example.pl|Lotte Kowalczyk|Am Kiez 4|12049 Berlin"_s);
    const tAuktion& a = r.oAuktion;
    EXPECT_EQ(QStringList({a.AuktionsNr, a.Titel, a.Preis, a.Betrag, a.Versandinfos, a.Bezahlung}).join(u'|'),
              u"KM-778812|Bauernschrank, Kiefer massiv|120,00|159,00|EUR 39,00|Überweisung"_s);
    // The tester's view: every row in file order, the one without a match among them.
    ASSERT_EQ(r.hits.size(), 15u);
    EXPECT_EQ(r.hits[0].rule, u"Käufer-Login:/=Kunden/ebayName"_s);
    EXPECT_EQ(r.hits[0].outcome, RuleHit::Outcome::Found);
    EXPECT_EQ(r.hits[0].value, u"lotte_k"_s);
    EXPECT_EQ(r.hits[13].target, u"Auktionen/Versandversicherung"_s);
    EXPECT_EQ(r.hits[13].outcome, RuleHit::Outcome::Nothing);
    EXPECT_EQ(r.hits[14].outcome, RuleHit::Outcome::NotUsed);  // sales have no notes field

    // The platform's own mails still go by the built-in phrases.
    ImportRecords own;
    EXPECT_EQ(parseMail(rulesInForce(), own, mail(u"verkauf.txt"_s)).kind, MailKind::Verkauf);
    EXPECT_EQ(own.sektion, u"Verkauf"_s);
    EXPECT_TRUE(own.erkennung.startsWith(u"eingebaut"_s));
    EXPECT_EQ(own.oKunde.ebayName, u"mueller_hans"_s);
}

// Recognition lines decide in file order; a section with lines no longer uses the
// built-in phrases; every phrase of a line must occur, joined across line breaks.
TEST_F(Recognition, LinesInFileOrder) {
    addRules(
        "[Sofortkauf Zweit]\r\n#Erkennung#=Zweitmarkt/verkauft\r\nNr:/=Auktionen/ArtikelNr\r\n"
        "[Kauf Zweit]\r\n#Erkennung#=Zweitmarkt\r\nNr:/=Auktionen/ArtikelNr\r\n"
        "[Sofortkauf Leer]\r\nNr:/=Auktionen/ArtikelNr\r\n");
    const struct {
        const char* text;
        MailKind kind;
        const char* section;
    } cases[] = {
        {"Zweitmarkt: Artikel verkauft\r\nNr: 5", MailKind::Sofortkauf, "Sofortkauf Zweit"},
        {"Zweit\r\nmarkt: gekauft\r\nNr: 5", MailKind::Kauf, "Kauf Zweit"},
        {"Sie haben am 1.1. ... Kontaktinformationen des Käufers:", MailKind::Kauf, "Kauf"},
        {"nur Text", MailKind::Keine, ""},
    };
    for (const auto& c : cases) {
        ImportRecords r;
        EXPECT_EQ(parseMail(rulesInForce(), r, QString::fromUtf8(c.text)).kind, c.kind) << c.text;
        EXPECT_EQ(r.sektion, QString::fromUtf8(c.section)) << c.text;
    }
    ASSERT_EQ(gRules.sections.size(), 6u);
    EXPECT_EQ(gRules.sections[3].name, u"Sofortkauf Zweit"_s);

    // [Kauf] with a line of its own: "Sie haben am" alone no longer makes a purchase.
    app.write(u"bin/gaveldesk.ini"_s,
              app.read(u"bin/gaveldesk.ini"_s).replace("[Kauf]", "[Kauf]\r\n#Erkennung#=Sie haben ersteigert"));
    subGetFelder();
    ImportRecords r;
    EXPECT_EQ(parseMail(rulesInForce(), r, u"Sie haben am 1.1. ... Kontaktinformationen des Käufers:"_s).kind,
              MailKind::Verkauf);
}

TEST_F(Recognition, FaultyLinesAreNamed) {
    app.write(
        u"bin/gaveldesk.ini"_s,
        test::ansi(
            u"[Kauf]\r\n#Erkennung#=\r\nNr:/=Auktionen/ArtikelNr\r\n[Kauf Ohne]\r\nNr:/=Auktionen/ArtikelNr\r\n"_s));
    const QStringList messages = subGetFelder();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_EQ(messages[0], u"Fehler beim Lesen von: #Erkennung#="_s);
    EXPECT_TRUE(messages[1].contains(u"[Kauf Ohne]"_s));
    EXPECT_EQ(gRules.kauf.size(), 1u);  // the faulty line is no rule row
}

TEST_F(Parse, SecondRuleFillsWhatTheFirstMissedAndNoDateMeansToday) {
    app.write(u"bin/gaveldesk.ini"_s,
              test::ansi(u"[Verkauf]\r\nPreisX:/=Auktionen/Preis\r\nPreis:/EUR=Auktionen/Preis\r\n"
                         "Nr:/=Auktionen/ArtikelNr\r\nVersand:/EUR=Auktionen/Versandkosten\r\n"_s));
    subGetFelder();
    ImportRecords r;
    parseMail(rulesInForce(), r,
              u"Kontaktinformationen des Käufers:\r\nNr: 77\r\nPreis: 12,50 EUR\r\nVersand: 4,90 EUR\r\n"_s);
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
        parseMail(rulesInForce(), r, normalizeMailText(t));
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
    // A mail with both parts is read from its text part, as before.
    const QByteArray both =
        "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<p>aus HTML</p>\r\n--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\naus Text\r\n--b--\r\n";
    EXPECT_EQ(decodeMimeMessage(both).valueOr(QString()).trimmed(), u"aus Text"_s);
    EXPECT_TRUE(
        test::failure(decodeMimeMessage("Content-Type: image/png\r\n\r\nxx")).contains(u"text/plain oder text/html"_s));
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
    const struct {
        QString name, mail, nr;
        const char* expect;  // a part of the one warning, or empty for none
        QString street = {}, preis = {}, betrag = {}, menge = {};
    } cases[] = {
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
    for (const auto& c : cases) {
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
    const struct {
        const char* text;
        const char* key;
        const char* end;
        const char* expected;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(
            funGetData(QString::fromUtf8(c.text), QString::fromUtf8(c.key), QString::fromUtf8(c.end)).toStdString(),
            c.expected)
            << c.text;
    }
}

TEST(funTrim, CleansOneValue) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"  abc\t\r\n", "abc"},       {"erste\r\n\r\nzweite", "erste"},
        {"erste\r\rzweite", "erste"}, {"erste\n\nzweite", "erste"},
        {"a\r\nb", "a\r\nb"},         {"[nicht angegeben] und weitere Worte", "[nicht angegeben]"},
        {"   \t\r\n ", ""},           {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(funTrim(QString::fromUtf8(c.text)).toStdString(), c.expected) << c.text;
}

TEST(HtmlToText, WhatAMailProgramShows) {
    const struct {
        const char* html;
        const char* text;
    } cases[] = {
        {"<p>Hallo</p><p>Welt</p>", "Hallo\r\n\r\nWelt"},
        {"<div>eins</div><div>zwei</div>", "eins\r\nzwei"},
        {"Name: Hans<br>Ort:  Berlin<BR/>", "Name: Hans\r\nOrt: Berlin"},
        {"<table><tr><td>Preis:</td>\n  <td>EUR 24,50</td></tr><tr><th>Menge:</th><td>1</td></tr></table>",
         "Preis: EUR 24,50\r\nMenge: 1"},
        {"M&uuml;ller &amp; S&ouml;hne &#8211; &#x20AC;&nbsp;5 &lt;b&gt;", "Müller & Söhne – € 5 <b>"},
        {"Ma&lstrok;gorzata Wi&sacute;niewska, &Scaron;koda", "Małgorzata Wiśniewska, Škoda"},
        {"&unbekannt; &#0; &amp", "&unbekannt; \uFFFD &amp"},
        {"<head><title>Betreff</title><style>p{color:red}</style></head><body>Text</body>", "Text"},
        {"a<script>Artikelnummer: 666</script>b<SCRIPT type=x>if (a<b) {}</SCRIPT >c", "abc"},
        {"<!-- Artikelnummer: 1 -->x<!DOCTYPE html>y", "xy"},
        {"<pre>  zwei  Blanks\n  und Zeile</pre>danach", "  zwei  Blanks\r\n  und Zeile\r\ndanach"},
        {"<a href=\"x>y\" title='>'>Link</a> text", "Link text"},
        {"3 < 4 und 5 > 2", "3 < 4 und 5 > 2"},
        {"offen <b", "offen"},
        {"  viel \n\t Raum  ", "viel Raum"},
    };
    for (const auto& c : cases) EXPECT_EQ(htmlToText(QString::fromUtf8(c.html)), QString::fromUtf8(c.text)) << c.html;
    EXPECT_EQ(
        htmlMetaCharset("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1252\">"),
        QByteArray("windows-1252"));
    EXPECT_EQ(htmlMetaCharset("<meta charset='utf-8'>"), QByteArray("utf-8"));
}

// Hostile HTML: nothing it does may crash or stall the window.
TEST(HtmlToText, HostileInputStaysQuick) {
    const QString deep = QString(u"<div><span><table><tr><td>"_s).repeated(400000) + u"x"_s;
    const QString unclosedComment = u"a<!--"_s + QString(10 << 20, QLatin1Char('-'));
    const QString manyEntities = u"&auml;&#12345678;&"_s.repeated(500000);
    const QString unclosedScript = u"<script>"_s + u"</scrip"_s.repeated(1500000);
    const QString quoteForever = u"<a title=\""_s + QString(10 << 20, QLatin1Char('<'));
    for (const QString* html : {&deep, &unclosedComment, &manyEntities, &unclosedScript, &quoteForever}) {
        QElapsedTimer t;
        t.start();
        const QString text = htmlToText(*html);
        // A hang guard, not a speed claim: ten times the slowest measured (0.37 s under ASan).
        EXPECT_LT(t.elapsed(), 4000) << html->left(40).toStdString();
        EXPECT_LE(text.size(), html->size());
    }
}

QString escaped(QString s) {
    return s.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'ä', u"&auml;"_s).replace(u'ü', u"&#252;"_s);
}

// The HTML a platform would send for a text mail: "Label: value" paragraphs as a
// two-column table or as one <div> per line, the rest as paragraphs with <br>.
QString asHtml(const QString& text, bool table) {
    static const QRegularExpression label(u"^([^:]{1,40}:) (.+)$"_s);
    QString html = u"<html><head><style>td{padding:2px}</style><title>x</title></head>\n<body>\n"_s;
    for (const QString& para : text.split(u"\r\n\r\n"_s, Qt::SkipEmptyParts)) {
        const QStringList lines = para.split(u"\r\n"_s);
        const bool labels =
            std::all_of(lines.begin(), lines.end(), [](const QString& l) { return label.match(l).hasMatch(); });
        if (!labels) {
            QStringList escapedLines;
            for (const QString& l : lines) escapedLines << escaped(l);
            html += u"<p>"_s + escapedLines.join(u"<br>\n"_s) + u"</p>\n"_s;
            continue;
        }
        html += table ? u"<table>\n"_s : u"<div class=\"block\">\n"_s;
        for (const QString& l : lines) {
            const auto m = label.match(l);
            html += table
                        ? u"  <tr><td>"_s + escaped(m.captured(1)) + u"</td>\n      <td>"_s + escaped(m.captured(2)) +
                              u"</td></tr>\n"_s
                        : u"  <div>"_s + escaped(m.captured(1)) + u"&nbsp;"_s + escaped(m.captured(2)) + u"</div>\n"_s;
        }
        html += table ? u"</table>\n"_s : u"</div>\n"_s;
    }
    return html + u"<script>document.write('Artikelnummer: 999')</script></body></html>\n"_s;
}

// Every byte escaped, a soft line break after each 24: quoted-printable at its most awkward.
QByteArray qpEncoded(const QByteArray& bytes) {
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 24 == 0) out += "=\r\n";
        out += "=" + bytes.mid(i, 1).toHex().toUpper();
    }
    return out;
}

class HtmlMail : public Parse {
protected:
    QByteArray parsed(const QString& path) {
        ImportRecords r;
        QStringList messages;
        const FileImport f = importMailFile(rulesInForce(), path, nullptr, &r, &messages);
        return QJsonDocument(recordsToJson(f.kind, r, messages)).toJson();
    }
};

// An HTML-only .eml in either transfer encoding and charset, in table or line
// layout, cuts to exactly what its text version cuts.
TEST_F(HtmlMail, CutToTheValuesOfTheTextVersion) {
    for (const char* name : {"verkauf.txt", "kauf.txt", "sofortkauf_verkauf.txt", "sofortkauf_kauf.txt"}) {
        const QString text = mail(QString::fromUtf8(name));
        app.write(u"text.txt"_s, text.toUtf8());
        const QByteArray expected = parsed(app.file(u"text.txt"_s));
        ASSERT_TRUE(expected.contains("\"acceptable\": true")) << expected.toStdString();
        for (const bool table : {true, false}) {
            const QString html = asHtml(text, table);
            QStringEncoder cp1252("windows-1252");
            const QByteArray qp =
                "MIME-Version: 1.0\r\nContent-Type: text/html; charset=\"UTF-8\"\r\n"
                "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                qpEncoded(html.toUtf8());
            const QByteArray b64 =
                "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"g\"\r\n\r\n"
                "--g\r\nContent-Type: text/html; charset=windows-1252\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n" +
                QByteArray(cp1252.encode(html)).toBase64() + "\r\n--g--\r\n";
            for (const auto& [file, bytes] : {std::pair{u"qp.eml"_s, qp}, std::pair{u"b64.eml"_s, b64}}) {
                SCOPED_TRACE(std::string(name) + (table ? " Tabelle " : " Zeilen ") + file.toStdString());
                app.write(file, bytes);
                EXPECT_EQ(parsed(app.file(file)).toStdString(), expected.toStdString());
            }
        }
    }
}

using Mailbox = Parse;

TEST_F(Mailbox, EachMessageOneMail) {
    app.write(u"Posteingang"_s,
              "From haendler@example.de Mon Dec  7 10:00:00 2026\n"
              "Subject: eins\nContent-Type: text/plain; charset=utf-8\n\nErste M\xC3\xBChle\n>From here on\n\n"
              "From x@example.de Mon Dec  7 10:01:00 2026\n"
              "Subject: zwei\nContent-Type: text/html; charset=utf-8\n\n<p>Zweite &amp; HTML</p>\n\n"
              "From y@example.de Mon Dec  7 10:02:00 2026\n"
              "Subject: drei\nContent-Type: image/png\n\nxx\n");
    const Result<QList<MailText>> mails = readMails(app.file(u"Posteingang"_s));
    ASSERT_TRUE(mails.ok());
    ASSERT_EQ(mails->size(), 3);
    EXPECT_EQ((*mails)[0].text, u"Erste Mühle\nFrom here on\n\n"_s);
    EXPECT_EQ((*mails)[1].text, u"Zweite & HTML"_s);
    EXPECT_TRUE((*mails)[2].text.isEmpty());
    EXPECT_FALSE((*mails)[2].error.isEmpty());
    EXPECT_EQ((*mails)[1].label, u"E-Mail 2 von 3"_s);
}

}  // namespace
}  // namespace gd
