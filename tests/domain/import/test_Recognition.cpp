#include <gtest/gtest.h>

#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

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

class Recognition : public ::testing::Test {
protected:
    test::TestApp app{true};
    void SetUp() override {
        subInitApp();
        gsEbayName = u"gavel_haendler"_s;
    }
    QString sample(const char* name) {
        return normalizeMailText(*readMailFile(test::dataFile(u"mails/"_s + QString::fromUtf8(name))));
    }
    void addRules(const QByteArray& rules) {
        app.write(u"bin/gaveldesk.ini"_s, app.read(u"bin/gaveldesk.ini"_s) + "\r\n" + rules);
        subGetFelder();
    }
};

// Another platform's mails are read by a section of the keyword file alone.
TEST_F(Recognition, AnotherPlatformByRulesOnly) {
    ImportRecords before;
    EXPECT_EQ(parseMail(before, QString::fromUtf8(kKiezmarktMail)).kind, MailKind::Keine);
    addRules(kKiezmarktRules);
    ImportRecords r;
    const ParseResult p = parseMail(r, QString::fromUtf8(kKiezmarktMail));
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
    EXPECT_EQ(parseMail(own, sample("verkauf.txt")).kind, MailKind::Verkauf);
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
    struct Case {
        const char* text;
        MailKind kind;
        const char* section;
    };
    const Case cases[] = {
        {"Zweitmarkt: Artikel verkauft\r\nNr: 5", MailKind::Sofortkauf, "Sofortkauf Zweit"},
        {"Zweit\r\nmarkt: gekauft\r\nNr: 5", MailKind::Kauf, "Kauf Zweit"},
        {"Sie haben am 1.1. ... Kontaktinformationen des Käufers:", MailKind::Kauf, "Kauf"},
        {"nur Text", MailKind::Keine, ""},
    };
    for (const Case& c : cases) {
        ImportRecords r;
        EXPECT_EQ(parseMail(r, QString::fromUtf8(c.text)).kind, c.kind) << c.text;
        EXPECT_EQ(r.sektion, QString::fromUtf8(c.section)) << c.text;
    }
    ASSERT_EQ(gaSektionen.size(), 6u);
    EXPECT_EQ(gaSektionen[3].name, u"Sofortkauf Zweit"_s);

    // [Kauf] with a line of its own: "Sie haben am" alone no longer makes a purchase.
    app.write(u"bin/gaveldesk.ini"_s,
              app.read(u"bin/gaveldesk.ini"_s).replace("[Kauf]", "[Kauf]\r\n#Erkennung#=Sie haben ersteigert"));
    subGetFelder();
    ImportRecords r;
    EXPECT_EQ(parseMail(r, u"Sie haben am 1.1. ... Kontaktinformationen des Käufers:"_s).kind, MailKind::Verkauf);
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
    EXPECT_EQ(gaKauf.size(), 1u);  // the faulty line is no rule row
}

}  // namespace
}  // namespace gd
