#include <gtest/gtest.h>

#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

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
        gsEbayName = QStringLiteral("gavel_haendler");
    }
    QString sample(const char* name) {
        return normalizeMailText(*readMailFile(test::dataFile(QStringLiteral("mails/") + QString::fromUtf8(name))));
    }
    void addRules(const QByteArray& rules) {
        app.write(QStringLiteral("bin/gaveldesk.ini"), app.read(QStringLiteral("bin/gaveldesk.ini")) + "\r\n" + rules);
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
    EXPECT_EQ(r.sektion, QStringLiteral("Verkauf Kiezmarkt"));
    EXPECT_EQ(r.erkennung, QStringLiteral("#Erkennung#=Kiezmarkt/hat bei Ihnen gekauft"));
    EXPECT_TRUE(r.acceptable);
    const tKunde& k = r.oKunde;
    EXPECT_EQ(k.ebayName, QStringLiteral("lotte_k"));
    EXPECT_EQ(k.Email, QStringLiteral("lotte.kowalczyk@example.pl"));
    EXPECT_EQ(k.Name, QStringLiteral("Lotte Kowalczyk"));
    EXPECT_EQ(k.Strasse, QStringLiteral("Am Kiez 4"));
    EXPECT_EQ(k.Ort, QStringLiteral("12049 Berlin"));
    const tAuktion& a = r.oAuktion;
    EXPECT_EQ(a.AuktionsNr, QStringLiteral("KM-778812"));
    EXPECT_EQ(a.Titel, QStringLiteral("Bauernschrank, Kiefer massiv"));
    EXPECT_EQ(a.Preis, QStringLiteral("120,00"));
    EXPECT_EQ(a.Betrag, QStringLiteral("159,00"));
    EXPECT_EQ(a.Versandinfos, QStringLiteral("EUR 39,00"));
    EXPECT_EQ(a.Bezahlung, QStringLiteral("Überweisung"));
    // The tester's view: every row in file order, the one without a match among them.
    ASSERT_EQ(r.hits.size(), 15u);
    EXPECT_EQ(r.hits[0].rule, QStringLiteral("Käufer-Login:/=Kunden/ebayName"));
    EXPECT_EQ(r.hits[0].outcome, RuleHit::Outcome::Found);
    EXPECT_EQ(r.hits[0].value, QStringLiteral("lotte_k"));
    EXPECT_EQ(r.hits[13].target, QStringLiteral("Auktionen/Versandversicherung"));
    EXPECT_EQ(r.hits[13].outcome, RuleHit::Outcome::Nothing);
    EXPECT_EQ(r.hits[14].outcome, RuleHit::Outcome::NotUsed);  // sales have no notes field

    // The platform's own mails still go by the built-in phrases.
    ImportRecords own;
    EXPECT_EQ(parseMail(own, sample("verkauf.txt")).kind, MailKind::Verkauf);
    EXPECT_EQ(own.sektion, QStringLiteral("Verkauf"));
    EXPECT_TRUE(own.erkennung.startsWith(QStringLiteral("eingebaut")));
    EXPECT_EQ(own.oKunde.ebayName, QStringLiteral("mueller_hans"));
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
    EXPECT_EQ(gaSektionen[3].name, QStringLiteral("Sofortkauf Zweit"));

    // [Kauf] with a line of its own: "Sie haben am" alone no longer makes a purchase.
    app.write(
        QStringLiteral("bin/gaveldesk.ini"),
        app.read(QStringLiteral("bin/gaveldesk.ini")).replace("[Kauf]", "[Kauf]\r\n#Erkennung#=Sie haben ersteigert"));
    subGetFelder();
    ImportRecords r;
    EXPECT_EQ(parseMail(r, QStringLiteral("Sie haben am 1.1. ... Kontaktinformationen des Käufers:")).kind,
              MailKind::Verkauf);
}

TEST_F(Recognition, FaultyLinesAreNamed) {
    app.write(
        QStringLiteral("bin/gaveldesk.ini"),
        test::ansi(QStringLiteral(
            "[Kauf]\r\n#Erkennung#=\r\nNr:/=Auktionen/ArtikelNr\r\n[Kauf Ohne]\r\nNr:/=Auktionen/ArtikelNr\r\n")));
    const QStringList messages = subGetFelder();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_EQ(messages[0], QStringLiteral("Fehler beim Lesen von: #Erkennung#="));
    EXPECT_TRUE(messages[1].contains(QStringLiteral("[Kauf Ohne]")));
    EXPECT_EQ(gaKauf.size(), 1u);  // the faulty line is no rule row
}

}  // namespace
}  // namespace gd
