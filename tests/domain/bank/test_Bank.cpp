#include <gtest/gtest.h>

#include <QStringEncoder>
#include <limits>

#include "domain/bank/GiroCode.h"
#include "domain/bank/Iban.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Statement.h"
#include "support/ResultAssert.h"
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
    const Transfer t{QStringLiteral("Jörg Händler"), QStringLiteral("de89 3704 0044 0532 0130 00"),
                     QStringLiteral("COBADEFFXXX"), 3090, QStringLiteral("1234567890")};
    EXPECT_EQ(epcPayload(t), QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJ\xC3\xB6rg "
                                        "H\xC3\xA4ndler\nDE89370400440532013000\nEUR30.90\n\n\n1234567890"));
    Transfer noBic = t;
    noBic.bic.clear();
    noBic.cents = 5;
    noBic.reference = QStringLiteral("101 - 102\r\nZeile");  // a line break would shift every field
    EXPECT_EQ(
        epcPayload(noBic),
        QByteArray(
            "BCD\n002\n1\nSCT\n\nJ\xC3\xB6rg H\xC3\xA4ndler\nDE89370400440532013000\nEUR0.05\n\n\n101 - 102  Zeile"));
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
    // Letters of four bytes: cut at whole characters, the reference first, never over 331 bytes.
    Transfer wide = t;
    wide.name = QString(69, QLatin1Char('N')) + QStringLiteral("\U0001F600\U0001F600");
    wide.reference = QStringLiteral("\U0001F4E6").repeated(140);
    const QByteArray w = epcPayload(wide);
    EXPECT_LE(w.size(), 331);
    EXPECT_FALSE(w.contains('?'));
    EXPECT_TRUE(QString::fromUtf8(w).contains(QString(69, QLatin1Char('N')) + QStringLiteral("\U0001F600\n")));
    EXPECT_EQ(QString::fromUtf8(w).toUtf8(), w);  // whole UTF-8, no half a character
}

QStringList texts(std::initializer_list<const char*> lines) {
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out;
}

// "line|amount|payer|reason" and "|reference" when there is one.
QStringList listed(const BankStatement& st) {
    QStringList out;
    for (const BankStatement::Skipped& s : st.NichtGelesen)
        out << QStringLiteral("%1|%2|%3|%4").arg(s.Zeile).arg(s.Betrag, s.Name, s.Grund) +
                   (s.Referenz.isEmpty() ? QString() : QString(QLatin1Char('|') + s.Referenz));
    return out;
}

QStringList taken(const BankStatement& st) {
    QStringList out;
    for (const Credit& c : st.Gutschriften)
        out << QStringLiteral("%1|%2|%3|%4")
                   .arg(c.Buchungstag.toString(QStringLiteral("dd.MM.")), euroText(c.Cent), c.Name, c.Zweck);
    return out;
}

// An amount read one way when the bank meant another is a payment booked wrong: anything
// not plainly a German amount is refused with the reason the user is shown.
TEST(Statement, AmountsAsBanksWriteThem) {
    const char* const noGerman = "ist keine Zahl in deutscher Schreibweise";
    const struct {
        const char* text;
        qint64 cents;
        const char* refused;  // the reason after „text“; empty when read
    } cases[] = {
        {"17,40", 1740, ""},
        {"1.234,56", 123456, ""},
        {"-12,5", -1250, ""},
        {"+29,40", 2940, ""},
        {"12,40-", -1240, ""},     // sign behind
        {"\u22123,00", -300, ""},  // typographic minus
        {"30,90 €", 3090, ""},
        {"EUR 5", 500, ""},
        {" 0,05 ", 5, ""},
        {"17.40", 1740, ""},           // a point with two decimals and no sign
        {"1.234.567", 123456700, ""},  // two points can only group thousands
        {"1 234,56", 123456, ""},
        {"999.999.999,99", 99999999999, ""},
        {"-999.999.999,99", -99999999999, ""},
        {"29.400", 0, "ist mehrdeutig (Punkt als Tausender- oder Dezimaltrennzeichen)"},
        {"-1.234", 0, "ist mehrdeutig (Punkt als Tausender- oder Dezimaltrennzeichen)"},
        {"+29.40", 0, noGerman},
        {"17.40-", 0, noGerman},
        {"2.94E1", 0, noGerman},
        {"NaN", 0, noGerman},
        {"inf", 0, noGerman},
        {"1.2.3", 0, noGerman},
        {"12,345", 0, noGerman},
        {"-12,40-", 0, noGerman},
        {"12,40 USD", 0, noGerman},
        {"abc", 0, noGerman},
        {"\u0661\u0662,\u0665\u0660", 0, noGerman},  // digits of another script
        {"1.000.000.000,00", 0, "ist zu groß (mehr als 999.999.999,99 €)"},
        {"12345678901234567890", 0, "ist zu groß (mehr als 999.999.999,99 €)"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const Result<qint64> r = amountCents(text);
        const QString refused =
            *c.refused ? QStringLiteral("Betrag „%1“ ").arg(text.trimmed()) + QString::fromUtf8(c.refused) : QString();
        EXPECT_EQ(test::failure(r), refused) << c.text;
        if (r.ok()) {
            EXPECT_EQ(r.value(), c.cents) << c.text;
        }
        EXPECT_EQ(centsOf(text), refused.isEmpty() ? std::optional<qint64>(c.cents) : std::nullopt) << c.text;
    }
    for (const char* blank : {"", "   "})
        EXPECT_EQ(test::failure(amountCents(QString::fromUtf8(blank))), QStringLiteral("Betrag fehlt"));
}

TEST(Statement, EuroText) {
    const struct {
        qint64 cents;
        const char* text;
    } cases[] = {
        {0, "0,00 €"},
        {5, "0,05 €"},
        {-5, "-0,05 €"},
        {123456, "1.234,56 €"},
        {-100000000, "-1.000.000,00 €"},
        {std::numeric_limits<qint64>::max(), "92.233.720.368.547.758,07 €"},
        {std::numeric_limits<qint64>::min(), "-92.233.720.368.547.758,08 €"},
    };
    for (const auto& c : cases) EXPECT_EQ(euroText(c.cents), QString::fromUtf8(c.text)) << c.cents;
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
    EXPECT_EQ(st.value().Lastschriften, 1);
    EXPECT_EQ(st.value().Vorgemerkt, 1);
    EXPECT_EQ(listed(st.value()), texts({"5|44.44||Währung „USD“ statt EUR"}));
}

// A credit the reader cannot take is listed under its position and reference, not left out.
TEST(Statement, Camt053EntriesItCannotTake) {
    const auto entry = [](const char* ref, const char* amt,
                          const char* rest = "<CdtDbtInd>CRDT</CdtDbtInd><Sts>BOOK</Sts>") -> QByteArray {
        return QByteArray("<Ntry>") + ref + amt + rest +
               "<BookgDt><Dt>2026-12-05</Dt></BookgDt><NtryDtls><TxDtls><RltdPties><Dbtr><Nm>Hans Müller</Nm></Dbtr>"
               "</RltdPties></TxDtls></NtryDtls></Ntry>\n";
    };
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document><BkToCstmrStmt><Stmt>\n" +
                           entry("<NtryRef>R1</NtryRef>", "<Amt Ccy=\"EUR\">17,40</Amt>") +
                           entry("<NtryRef>R2</NtryRef>", "<Amt Ccy=\"USD\">25.00</Amt>") +
                           entry("<NtryRef>R3</NtryRef>", "<Amt>12.00</Amt>") +
                           entry("<AcctSvcrRef>A4</AcctSvcrRef>", "<Amt Ccy=\"EUR\">17.405</Amt>") +
                           entry("<NtryRef>R5</NtryRef>", "<Amt Ccy=\"EUR\">30.90</Amt>",
                                 "<CdtDbtInd>CRDT</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>") +
                           entry("<NtryRef>R6</NtryRef>", "<Amt Ccy=\"EUR\">62.00</Amt>",
                                 "<CdtDbtInd>DBIT</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>") +
                           entry("<NtryRef>R7</NtryRef>", "<Amt Ccy=\"EUR\">50.00</Amt>",
                                 "<CdtDbtInd>CRDT</CdtDbtInd><Sts><Cd>PDNG</Cd></Sts>") +
                           entry("<NtryRef>R8</NtryRef>", "<Amt Ccy=\"eur\">5.00</Amt>") +
                           entry("", "<Amt Ccy=\"EUR\">17.400</Amt>") +
                           entry("<NtryRef>R10</NtryRef>", "<Amt Ccy=\"EUR\">9.99</Amt>", "<Sts>BOOK</Sts>") +
                           "</Stmt></BkToCstmrStmt></Document>\n";
    const Result<BankStatement> st = parseStatement(xml);
    ASSERT_TRUE(test::ok(st));
    EXPECT_EQ(taken(st.value()), texts({"05.12.|30,90 €|Hans Müller|", "05.12.|17,40 €|Hans Müller|"}));
    EXPECT_EQ(st.value().Lastschriften, 1);
    EXPECT_EQ(st.value().Vorgemerkt, 1);
    EXPECT_EQ(listed(st.value()),
              texts({"1|17,40|Hans Müller|Betrag „17,40“ ist keine Zahl mit Dezimalpunkt und höchstens zwei "
                     "Nachkommastellen|R1",
                     "2|25.00|Hans Müller|Währung „USD“ statt EUR|R2", "3|12.00|Hans Müller|Währung fehlt|R3",
                     "4|17.405|Hans Müller|Betrag „17.405“ ist keine Zahl mit Dezimalpunkt und höchstens zwei "
                     "Nachkommastellen|A4",
                     "8|5.00|Hans Müller|Währung „eur“ statt EUR|R8",
                     "10|9.99|Hans Müller|Soll/Haben-Kennzeichen (CdtDbtInd) fehlt|R10"}));
}

TEST(Statement, BankCsvExports) {
    const struct {
        const char* file;
        int credits, debits, pending;
    } cases[] = {{"bank/sparkasse.csv", 3, 1, 1}, {"bank/ing.csv", 2, 1, 0}};
    for (const auto& c : cases) {
        const Result<BankStatement> st = readStatement(test::dataFile(QString::fromLatin1(c.file)));
        ASSERT_TRUE(st.ok()) << c.file << ": " << st.error().text().toStdString();
        const QList<Credit>& g = st.value().Gutschriften;
        ASSERT_EQ(g.size(), c.credits) << c.file;
        EXPECT_EQ(st.value().Lastschriften, c.debits) << c.file;
        EXPECT_EQ(st.value().Vorgemerkt, c.pending) << c.file;
        EXPECT_EQ(listed(st.value()), QStringList()) << c.file;
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
    // A quote left open above the table hides the table: said so, not "no table".
    EXPECT_TRUE(test::failure(parseStatement("\"Konto;Girokonto\r\nBuchungstag;Betrag\r\n05.12.2026;17,40\r\n"))
                    .endsWith(QStringLiteral("Ab Zeile 1 ist ein Anführungszeichen nicht geschlossen.")));
}

// A cooperative bank's export: each entry is a credit, a debit, pending or listed with its
// reason; balance lines are none of these. The quote left open in line 30 hides the rest of the
// file, which is listed as such rather than read as credits.
TEST(Statement, EveryCsvEntryTakenCountedOrListed) {
    const Result<BankStatement> st = readStatement(test::dataFile(QStringLiteral("bank/volksbank.csv")));
    ASSERT_TRUE(test::ok(st));
    EXPECT_EQ(taken(st.value()),
              texts({"01.12.|17,40 €|Hans Müller|Artikel 101", "02.12.|1.234,56 €|Piet de Vries|RF18 106",
                     "04.12.|185,90 €|Seán O'Neill|Danke für die Lampe",
                     "06.12.|30,90 €|Marta Mehrzeil|Artikel 113 und 114"}));
    EXPECT_EQ(st.value().Lastschriften, 3);  // one of them a refund: unsigned, marked S
    EXPECT_EQ(st.value().Vorgemerkt, 1);
    EXPECT_EQ(
        listed(st.value()),
        texts({"13|29.400|Zita Zinn|Betrag „29.400“ ist mehrdeutig (Punkt als Tausender- oder Dezimaltrennzeichen)",
               "14|+29.40|Olaf Ohm|Betrag „+29.40“ ist keine Zahl in deutscher Schreibweise",
               "15|2.94E1|Lone Dahl|Betrag „2.94E1“ ist keine Zahl in deutscher Schreibweise",
               "16||Paul Bezahlt|Betrag fehlt", "17|17,40|Carla Clausen|Währung „eur“ statt EUR",
               "18|25,00|John Smith|Währung „USD“ statt EUR", "19|12,00|Bernd Brot|Währung fehlt",
               "21|9,99|Karl Kurz|Soll/Haben-Kennzeichen „X“ ist weder S noch H",
               "22|9,99|Greta Groß|Soll/Haben-Kennzeichen fehlt",
               "23|-5,00|Ida Irrtum|Betrag „-5,00“ ist negativ, das Kennzeichen sagt aber H (Haben)",
               "24|1.000.000.000,00|Fritz Fehler|Betrag „1.000.000.000,00“ ist zu groß (mehr als 999.999.999,99 €)",
               "27|0,00|Nina Null|Betrag ist 0,00 €, keine Zahlung",
               "28|10,00|Tom Termin|Buchungstag „32.12.2026“ ist kein Datum",
               "30||Quentin Quote|Anführungszeichen nicht geschlossen (ab Zeile 30), der Rest der Datei ist nicht "
               "gelesen"}));
}

// The direction column under each heading banks use, or under none: S is money out.
TEST(Statement, DirectionBesideTheAmount) {
    const char* const headings[] = {"Soll/Haben", "S/H", "Soll-Haben", "Soll/Haben-Kennzeichen", "", nullptr};
    for (const char* heading : headings) {
        const QByteArray csv = QByteArray("Buchungstag;Name;Umsatz") +
                               (heading ? QByteArray(QByteArray(";") + heading) : QByteArray()) +
                               "\r\n05.12.2026;Anna Beispiel;19,90;S\r\n06.12.2026;Hans Müller;17,40;H\r\n";
        const Result<BankStatement> st = parseStatement(csv);
        ASSERT_TRUE(test::ok(st)) << csv.constData();
        EXPECT_EQ(taken(st.value()), texts({"06.12.|17,40 €|Hans Müller|"})) << csv.constData();
        EXPECT_EQ(st.value().Lastschriften, 1) << csv.constData();
        EXPECT_EQ(listed(st.value()), QStringList()) << csv.constData();
    }
}

TEST(Statement, Utf16Csv) {
    const QString text = QStringLiteral(
        "Buchungstag;Name;Betrag;Währung\r\n05.12.2026;Jörg Händler;17,40;EUR\r\n"
        "06.12.2026;Strom € AG;-3,00;EUR\r\n");
    const struct {
        QStringConverter::Encoding encoding;
        QByteArray bom;
    } cases[] = {{QStringConverter::Utf16LE, "\xFF\xFE"},
                 {QStringConverter::Utf16BE, "\xFE\xFF"},
                 {QStringConverter::Utf16LE, ""},
                 {QStringConverter::Utf16BE, ""}};
    for (const auto& c : cases) {
        QStringEncoder encode(c.encoding);
        const QByteArray body = encode(text);
        const Result<BankStatement> st = parseStatement(c.bom + body);
        ASSERT_TRUE(test::ok(st)) << int(c.encoding) << c.bom.size();
        EXPECT_EQ(taken(st.value()), texts({"05.12.|17,40 €|Jörg Händler|"})) << int(c.encoding) << c.bom.size();
        EXPECT_EQ(st.value().Lastschriften, 1) << int(c.encoding) << c.bom.size();
    }
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
        // One transfer for the group: the sum of its totals, as its mail asks.
        {credit("Anna Beispiel", 2480, "Artikel 102 und 103"), Grade::Sicher, "102,103"},
        {credit("Z. Zinn", 1740, "Auktion 104"), Grade::Sicher, "104"},
        {credit("P. de Vries", 3040, "RF18 106"), Grade::Wahrscheinlich, "106"},  // the number, not the amount
        {credit("Jemand", 4444, "Danke"), Grade::Wahrscheinlich, "107"},          // the amount of one sale alone
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
    const QList<Proposal> two =
        matchCredits({credit("Olaf Ohm", 1200, "Danke"), credit("Olaf Ohm", 1200, "201")}, twice);
    EXPECT_EQ(two[0].Einstufung, Grade::Wahrscheinlich);
    EXPECT_EQ(two[0].AuktionsNrn, QStringList{QStringLiteral("202")});
    EXPECT_EQ(two[1].Einstufung, Grade::Sicher);
    EXPECT_EQ(two[1].AuktionsNrn, QStringList{QStringLiteral("201")});
}

// The ways an unpaid sale was marked paid, each a credit that must not pay it.
TEST(Matching, NothingPaidThatWasNotPaid) {
    const auto credit = [](const char* name, qint64 cents, const char* zweck, QDate day = QDate(2026, 12, 5)) {
        return Credit{day, cents, QString::fromUtf8(name), QString::fromUtf8(zweck), QString()};
    };
    // (a) Read twice: the credit names 301, which it paid; 302 of the same buyer asks the same.
    QList<OpenSale> sales = {sale("301", "olga", "Olga Orth", "17,40"), sale("302", "olga", "Olga Orth", "17,40")};
    sales[0].Bezahlt = true;
    sales[0].BezahltAm = QDate(2026, 12, 5);
    Proposal p = matchCredits({credit("Olga Orth", 1740, "Artikel 301")}, sales).front();
    EXPECT_EQ(p.Einstufung, Grade::Erfasst);
    EXPECT_EQ(p.AuktionsNrn, QStringList{QStringLiteral("301")});
    // (b) A member name inside another word is no name: "anna" in "Johanna".
    p = matchCredits({credit("Hausverwaltung", 1740, "Miete Johanna Weber")},
                     {sale("401", "anna", "Anna Lind", "17,40"), sale("402", "xy", "Xaver Yilmaz", "17,40")})
            .front();
    EXPECT_NE(p.Einstufung, Grade::Sicher) << p.Grund.toStdString();
    EXPECT_EQ(matchCredits({credit("Jemand", 1740, "fuer anna danke")}, {sale("401", "anna", "Anna Lind", "17,40")})
                  .front()
                  .Einstufung,
              Grade::Sicher);
    // (d) A credit naming one sale of a group, short of the group's total: probable, with what is missing.
    const QList<OpenSale> group = {sale("501", "grete", "Grete Groß", "30,90", "9"),
                                   sale("502", "grete", "Grete Groß", "12,40", "9")};
    p = matchCredits({credit("Grete Groß", 3090, "501")}, group).front();
    EXPECT_EQ(p.Einstufung, Grade::Wahrscheinlich);
    EXPECT_EQ(p.Erwartet, 4330);
    EXPECT_EQ(p.fehlt(), 1240);
    // Kept as a part payment: the rest pays the group surely, and the part read again is known.
    QList<OpenSale> partly = group;
    partly[0].Teilzahlungen.append({QDate(2026, 12, 5), 3090});
    const QList<Proposal> again = matchCredits(
        {credit("Grete Groß", 3090, "501"), credit("Grete Groß", 1240, "502", QDate(2026, 12, 9))}, partly);
    EXPECT_EQ(again[0].Einstufung, Grade::Erfasst) << again[0].Grund.toStdString();
    EXPECT_EQ(again[1].Einstufung, Grade::Sicher) << again[1].Grund.toStdString();
    EXPECT_EQ(again[1].AuktionsNrn, (QStringList{QStringLiteral("501"), QStringLiteral("502")}));
    EXPECT_EQ(again[1].fehlt(), 0);
    // A group paid by one transfer is known whole when the statement is read again.
    QList<OpenSale> paidGroup = group;
    for (OpenSale& s : paidGroup) {
        s.Bezahlt = true;
        s.BezahltAm = QDate(2026, 12, 5);
    }
    paidGroup << sale("503", "grete", "Grete Groß", "43,30");
    EXPECT_EQ(matchCredits({credit("Grete Groß", 4330, "501 502")}, paidGroup).front().Einstufung, Grade::Erfasst);
}

}  // namespace
}  // namespace gd
