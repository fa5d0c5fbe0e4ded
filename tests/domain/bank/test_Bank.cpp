#include <gtest/gtest.h>

#include "domain/bank/GiroCode.h"
#include "domain/bank/Iban.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Statement.h"
#include "support/TestApp.h"

namespace gd {
namespace {

TEST(Iban, CheckDigitsAndShape) {
    const struct {
        const char* typed;
        bool valid;
    } cases[] = {
        {"DE89370400440532013000", true},
        {"DE89 3704 0044 0532 0130 00", true},  // as printed
        {"de89 3704 0044 0532 0130 00", true},  // typed in lower case
        {"DE89370400440532013001", false},      // one digit wrong
        {"DE98370400440532013000", false},      // check digits swapped
        {"DE8937040044053201300", false},       // a digit short
        {"AT611904300234573201", true},
        {"AT61190430023457320", false},
        {"GB82WEST12345698765432", true},
        {"NL91ABNA0417164300", true},
        {"DE89-3704-0044-0532-0130-00", false},
        {"", false},
        {"1234567890", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ibanValid(QString::fromUtf8(c.typed)), c.valid) << c.typed;
    EXPECT_EQ(groupedIban(QStringLiteral("de89370400440532013000")), QStringLiteral("DE89 3704 0044 0532 0130 00"));
    EXPECT_TRUE(bicValid(QStringLiteral("COBADEFFXXX")));
    EXPECT_TRUE(bicValid(QStringLiteral("cobadeff")));
    EXPECT_FALSE(bicValid(QStringLiteral("COBADEF")));
    EXPECT_FALSE(bicValid(QStringLiteral("12BADEFFXXX")));
}

TEST(GiroCode, PayloadByteForByte) {
    const Transfer t{QStringLiteral("Jörg Händler"), QStringLiteral("de89 3704 0044 0532 0130 00"), QStringLiteral("COBADEFFXXX"),
                     3090, QStringLiteral("1234567890")};
    EXPECT_EQ(epcPayload(t),
              QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJ\xC3\xB6rg H\xC3\xA4ndler\nDE89370400440532013000\nEUR30.90\n\n\n1234567890"));
    Transfer noBic = t;
    noBic.bic.clear();
    noBic.cents = 5;
    noBic.reference = QStringLiteral("101 - 102\r\nZeile");  // a line break would shift every field
    EXPECT_EQ(epcPayload(noBic),
              QByteArray("BCD\n002\n1\nSCT\n\nJ\xC3\xB6rg H\xC3\xA4ndler\nDE89370400440532013000\nEUR0.05\n\n\n101 - 102  Zeile"));
    Transfer bad = t;
    bad.iban = QStringLiteral("DE89370400440532013001");
    EXPECT_TRUE(epcPayload(bad).isEmpty());
    bad = t;
    bad.name = QStringLiteral("  ");
    EXPECT_TRUE(epcPayload(bad).isEmpty());
    // The longest fields still fit the code's 331 bytes.
    Transfer longest = t;
    longest.name = QString(80, QLatin1Char('N'));
    longest.reference = QString(200, QLatin1Char('R'));
    const QByteArray p = epcPayload(longest);
    EXPECT_LE(p.size(), 331);
    EXPECT_FALSE(qrMatrix(p).isNull());
}

TEST(Statement, AmountsAsBanksWriteThem) {
    const struct {
        const char* text;
        std::optional<qint64> cents;
    } cases[] = {{"17,40", 1740}, {"1.234,56", 123456}, {"-12,5", -1250}, {"30,90 €", 3090}, {"EUR 5", 500},
                 {"17.40", 1740}, {"12,40-", -1240}, {"1.2.3", std::nullopt}, {"", std::nullopt}, {"abc", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(centsOf(QString::fromUtf8(c.text)), c.cents) << c.text;
    EXPECT_EQ(euroText(123456), QStringLiteral("1.234,56 €"));
}

// Booked credits in euro only; a batch entry gives one credit a transfer.
TEST(Statement, Camt053) {
    const Result<BankStatement> st = readStatement(test::dataFile(QStringLiteral("bank/camt053.xml")));
    ASSERT_TRUE(st.ok()) << st.error().text().toStdString();
    EXPECT_EQ(st.value().Format, QStringLiteral("CAMT.053"));
    const QList<Credit>& c = st.value().Gutschriften;
    ASSERT_EQ(c.size(), 4);
    EXPECT_EQ(c[0].Name, QStringLiteral("Müller, Hans"));
    EXPECT_EQ(c[0].Cent, 1740);
    EXPECT_EQ(c[0].Buchungstag, QDate(2026, 12, 5));
    EXPECT_EQ(c[0].Iban, QStringLiteral("DE02120300000000202051"));
    EXPECT_EQ(c[1].Name, QStringLiteral("Anna Beispiel"));
    EXPECT_EQ(c[1].Zweck, QStringLiteral("Artikel 102 und 103"));
    EXPECT_EQ(c[1].Cent, 1990);
    EXPECT_EQ(c[1].Buchungstag, QDate(2026, 12, 6));
    EXPECT_EQ(c[2].Cent, 3040);
    EXPECT_EQ(c[2].Zweck, QStringLiteral("RF18 106"));
    EXPECT_EQ(c[3].Zweck, QStringLiteral("GUTSCHRIFT MIETE DEZEMBER"));
}

TEST(Statement, BankCsvExports) {
    const struct {
        const char* file;
        int credits;
    } cases[] = {{"bank/sparkasse.csv", 3}, {"bank/ing.csv", 2}};
    for (const auto& c : cases) {
        const Result<BankStatement> st = readStatement(test::dataFile(QString::fromLatin1(c.file)));
        ASSERT_TRUE(st.ok()) << c.file << ": " << st.error().text().toStdString();
        const QList<Credit>& g = st.value().Gutschriften;
        ASSERT_EQ(g.size(), c.credits) << c.file;
        const Credit& lamp = *std::find_if(g.begin(), g.end(), [](const Credit& x) { return x.Cent == 18590; });
        EXPECT_EQ(lamp.Name, QStringLiteral("Seán O'Neill")) << c.file;  // Windows-1252 and UTF-8 alike
        EXPECT_EQ(lamp.Zweck, QStringLiteral("Danke für die Lampe")) << c.file;
        EXPECT_EQ(lamp.Buchungstag, QDate(2026, 12, 6)) << c.file;
    }
    // Quotes with a separator inside; the pending line is left out, the booked one kept.
    const QList<Credit> spk = readStatement(test::dataFile(QStringLiteral("bank/sparkasse.csv"))).value().Gutschriften;
    EXPECT_EQ(spk.back().Zweck, QStringLiteral("Geschenk; \"Danke\""));
    EXPECT_EQ(spk.back().Cent, 125000);
    const Result<BankStatement> none = parseStatement("Name;Wert\r\nA;1\r\n");
    ASSERT_FALSE(none.ok());
    EXPECT_TRUE(none.error().message().contains(QStringLiteral("Buchungstag")));
    EXPECT_FALSE(parseStatement("<Document><Ntry>").ok());
}

OpenSale sale(const char* nr, const char* member, const char* name, const char* betrag, const char* group = "",
              const char* preis = "", const char* versand = "4,90") {
    OpenSale s;
    s.AuktionsID = QStringLiteral("id") + QString::fromLatin1(nr);
    s.AuktionsNr = QString::fromLatin1(nr);
    s.ebayName = QString::fromUtf8(member);
    s.Name = QString::fromUtf8(name);
    s.Betrag = QString::fromUtf8(betrag);
    s.GruppenID = QString::fromLatin1(group);
    s.Preis = QString::fromUtf8(preis);
    s.Menge = QStringLiteral("1");
    s.Versandkosten = QString::fromUtf8(versand);
    return s;
}

TEST(Matching, CertainProbableNoneAndKnown) {
    QList<OpenSale> sales = {
        sale("101", "mueller_hans", "Hans Müller", "17,40"),
        sale("102", "anna_b", "Anna Beispiel", "14,90", "7", "10,00"),  // a group: 10 + 5 + one shipping 4,90
        sale("103", "anna_b", "Anna Beispiel", "9,90", "7", "5,00"),
        sale("104", "zinn", "Zita Zinn", "17,40"),
        sale("106", "piet", "Piet de Vries", "33,00"),
        sale("107", "lone", "Lone Dahl", "44,44"),
        sale("105", "paid", "Paul Bezahlt", "20,00"),
    };
    sales.back().Bezahlt = true;
    sales.back().BezahltAm = QDate(2026, 12, 1);
    const auto credit = [](const char* name, qint64 cents, const char* zweck) {
        return Credit{QDate(2026, 12, 5), cents, QString::fromUtf8(name), QString::fromUtf8(zweck), QString()};
    };
    const struct {
        Credit c;
        Grade grade;
        const char* nrs;
    } cases[] = {
        // Name and amount; 104 asks the same amount but is someone else's.
        {credit("MUELLER, HANS", 1740, "Danke"), Grade::Sicher, "101"},
        // One transfer for the group's items and one shipping.
        {credit("Anna Beispiel", 1990, "Artikel 102 und 103"), Grade::Sicher, "102,103"},
        {credit("Z. Zinn", 1740, "Auktion 104"), Grade::Sicher, "104"},
        {credit("P. de Vries", 3040, "RF18 106"), Grade::Wahrscheinlich, "106"},  // the number, not the amount
        {credit("Jemand", 4444, "Danke"), Grade::Wahrscheinlich, "107"},        // the amount of one sale alone
        {credit("Paul Bezahlt", 2000, "105"), Grade::Erfasst, "105"},
        {credit("Erika Musterfrau", 5000, "Miete"), Grade::Keine, ""},
        // 101 is taken by the first credit: a second one of the same kind proposes nothing.
        {credit("Hans Müller", 1740, "Danke"), Grade::Keine, ""},
    };
    QList<Credit> credits;
    for (const auto& c : cases) credits << c.c;
    const QList<Proposal> p = matchCredits(credits, sales);
    ASSERT_EQ(p.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(p[qsizetype(i)].Einstufung, cases[i].grade) << i << " " << p[qsizetype(i)].Grund.toStdString();
        EXPECT_EQ(p[qsizetype(i)].AuktionsNrn.join(QLatin1Char(',')), QString::fromLatin1(cases[i].nrs)) << i;
    }
    // A guess never takes the sale that a later credit surely pays: the sure ones are matched first.
    const QList<OpenSale> twice = {sale("201", "olaf", "Olaf Ohm", "12,00"), sale("202", "olaf", "Olaf Ohm", "12,00")};
    const QList<Proposal> two = matchCredits({credit("Olaf Ohm", 1200, "Danke"), credit("Olaf Ohm", 1200, "201")}, twice);
    EXPECT_EQ(two[0].Einstufung, Grade::Wahrscheinlich);
    EXPECT_EQ(two[0].AuktionsNrn, QStringList{QStringLiteral("202")});
    EXPECT_EQ(two[1].Einstufung, Grade::Sicher);
    EXPECT_EQ(two[1].AuktionsNrn, QStringList{QStringLiteral("201")});
    // The group paid as the sum of its totals counts too.
    EXPECT_EQ(matchCredits({credit("Anna Beispiel", 2480, "")}, sales).front().AuktionsNrn,
              (QStringList{QStringLiteral("102"), QStringLiteral("103")}));
}

}  // namespace
}  // namespace gd
