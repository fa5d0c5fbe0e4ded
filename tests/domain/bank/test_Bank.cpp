#include <gtest/gtest.h>

#include <QStringEncoder>

#include "domain/bank/GiroCode.h"
#include "domain/bank/Iban.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Statement.h"
#include "support/ResultAssert.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

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
    EXPECT_EQ(groupedIban(u"de89370400440532013000"_s), u"DE89 3704 0044 0532 0130 00"_s);
    for (const char* bic : {"COBADEFFXXX", "cobadeff"}) EXPECT_TRUE(bicValid(QString::fromLatin1(bic))) << bic;
    for (const char* bic : {"COBADEF", "12BADEFFXXX"}) EXPECT_FALSE(bicValid(QString::fromLatin1(bic))) << bic;
}

TEST(GiroCode, PayloadByteForByte) {
    const Transfer t{u"Jörg Händler"_s, u"de89 3704 0044 0532 0130 00"_s, u"COBADEFFXXX"_s, 3090, u"1234567890"_s};
    EXPECT_EQ(epcPayload(t), QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJ\xC3\xB6rg "
                                        "H\xC3\xA4ndler\nDE89370400440532013000\nEUR30.90\n\n\n1234567890"));
    Transfer noBic = t;
    noBic.bic.clear();
    noBic.cents = 5;
    noBic.reference = u"101 - 102\r\nZeile"_s;  // a line break would shift every field
    EXPECT_EQ(
        epcPayload(noBic),
        QByteArray(
            "BCD\n002\n1\nSCT\n\nJ\xC3\xB6rg H\xC3\xA4ndler\nDE89370400440532013000\nEUR0.05\n\n\n101 - 102  Zeile"));
    Transfer bad = t;
    bad.iban = u"DE89370400440532013001"_s;
    EXPECT_TRUE(epcPayload(bad).isEmpty());
    bad = t;
    bad.name = u"  "_s;
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
    wide.name = QString(69, QLatin1Char('N')) + u"\U0001F600\U0001F600"_s;
    wide.reference = u"\U0001F4E6"_s.repeated(140);
    const QByteArray w = epcPayload(wide);
    EXPECT_LE(w.size(), 331);
    EXPECT_FALSE(w.contains('?'));
    EXPECT_TRUE(QString::fromUtf8(w).contains(QString(69, QLatin1Char('N')) + u"\U0001F600\n"_s));
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
        out << u"%1|%2|%3|%4"_s.arg(s.Zeile).arg(s.Betrag, s.Name, s.Grund) +
                   (s.Referenz.isEmpty() ? QString() : QString(QLatin1Char('|') + s.Referenz));
    return out;
}

QStringList taken(const BankStatement& st) {
    QStringList out;
    for (const Credit& c : st.Gutschriften)
        out << u"%1|%2|%3|%4"_s.arg(c.Buchungstag.toString(u"dd.MM."_s), euroText(c.Cent), c.Name, c.Zweck);
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
            *c.refused ? u"Betrag „%1“ "_s.arg(text.trimmed()) + QString::fromUtf8(c.refused) : QString();
        EXPECT_EQ(test::failure(r), refused) << c.text;
        EXPECT_EQ(r.valueOr(0), c.cents) << c.text;
    }
    for (const char* blank : {"", "   "})
        EXPECT_EQ(test::failure(amountCents(QString::fromUtf8(blank))), u"Betrag fehlt"_s);
}

// Booked credits in euro only; a batch entry gives one credit a transfer.
TEST(Statement, Camt053) {
    const Result<BankStatement> st = readStatement(test::dataFile(u"bank/camt053.xml"_s));
    ASSERT_TRUE(test::ok(st));
    EXPECT_EQ(st.value().Format, u"CAMT.053"_s);
    EXPECT_EQ(taken(st.value()),
              texts({"05.12.|17,40 €|Müller, Hans|Danke und Gruss", "06.12.|19,90 €|Anna Beispiel|Artikel 102 und 103",
                     "06.12.|30,40 €|Piet de Vries|RF18 106", "06.12.|50,00 €||GUTSCHRIFT MIETE DEZEMBER"}));
    EXPECT_EQ(st.value().Gutschriften[0].Iban, u"DE02120300000000202051"_s);
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

// Windows-1252 and UTF-8 alike; quotes with a separator inside; the pending line left out.
TEST(Statement, BankCsvExports) {
    const struct {
        const char* file;
        QStringList credits;
        int debits, pending;
    } cases[] = {
        {"bank/sparkasse.csv",
         texts({"05.12.|30,90 €|Hans Müller|Kauf 1234567890 Kaffeemühle",
                "06.12.|185,90 €|Seán O'Neill|Danke für die Lampe",
                "07.12.|1.250,00 €|Erika Musterfrau|Geschenk; \"Danke\""}),
         1, 1},
        {"bank/ing.csv",
         texts({"06.12.|185,90 €|Seán O'Neill|Danke für die Lampe", "05.12.|30,90 €|Hans Müller|1234567890"}), 1, 0}};
    for (const auto& c : cases) {
        const Result<BankStatement> st = readStatement(test::dataFile(QString::fromLatin1(c.file)));
        ASSERT_TRUE(test::ok(st)) << c.file;
        EXPECT_EQ(taken(st.value()), c.credits) << c.file;
        EXPECT_EQ(st.value().Lastschriften, c.debits) << c.file;
        EXPECT_EQ(st.value().Vorgemerkt, c.pending) << c.file;
        EXPECT_EQ(listed(st.value()), QStringList()) << c.file;
    }
    const Result<BankStatement> none = parseStatement("Name;Wert\r\nA;1\r\n");
    ASSERT_FALSE(none.ok());
    EXPECT_TRUE(none.error().message().contains(u"Buchungstag"_s));
    EXPECT_FALSE(parseStatement("<Document><Ntry>").ok());
    // A quote left open above the table hides the table: said so, not "no table".
    EXPECT_TRUE(test::failure(parseStatement("\"Konto;Girokonto\r\nBuchungstag;Betrag\r\n05.12.2026;17,40\r\n"))
                    .endsWith(u"Ab Zeile 1 ist ein Anführungszeichen nicht geschlossen."_s));
}

// A cooperative bank's export: each entry is a credit, a debit, pending or listed with its
// reason; balance lines are none of these. The quote left open in line 30 hides the rest of the
// file, which is listed as such rather than read as credits.
TEST(Statement, EveryCsvEntryTakenCountedOrListed) {
    const Result<BankStatement> st = readStatement(test::dataFile(u"bank/volksbank.csv"_s));
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
    const QString text =
        u"Buchungstag;Name;Betrag;Währung\r\n05.12.2026;Jörg Händler;17,40;EUR\r\n06.12.2026;Strom € AG;-3,00;EUR\r\n"_s;
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
        SCOPED_TRACE(testing::Message() << int(c.encoding) << " " << c.bom.size());
        ASSERT_TRUE(test::ok(st));
        EXPECT_EQ(taken(st.value()), texts({"05.12.|17,40 €|Jörg Händler|"}));
        EXPECT_EQ(st.value().Lastschriften, 1);
    }
}

OpenSale sale(const char* nr, const char* member, const char* name, const char* betrag, const char* group = "") {
    OpenSale s;
    s.AuktionsID = u"id"_s + QString::fromLatin1(nr);
    s.AuktionsNr = QString::fromLatin1(nr);
    s.ebayName = QString::fromUtf8(member);
    s.Name = QString::fromUtf8(name);
    s.Betrag = QString::fromUtf8(betrag);
    s.GruppenID = QString::fromLatin1(group);
    return s;
}

Credit credit(const char* name, qint64 cents, const char* zweck, QDate day = QDate(2026, 12, 5)) {
    return Credit{day, cents, QString::fromUtf8(name), QString::fromUtf8(zweck), QString(), QString(), QString(), 0};
}

// "grade:item numbers" of each proposal.
QStringList verdicts(const QList<Proposal>& proposals) {
    QStringList out;
    for (const Proposal& p : proposals) out << gradeText(p.Einstufung) + QLatin1Char(':') + p.AuktionsNrn.join(u',');
    return out;
}

TEST(Matching, CertainProbableNoneAndKnown) {
    QList<OpenSale> sales = {
        sale("101", "mueller_hans", "Hans Müller", "17,40"),
        sale("102", "anna_b", "Anna Beispiel", "14,90", "7"),  // a group: its stored totals together
        sale("103", "anna_b", "Anna Beispiel", "9,90", "7"),
        sale("104", "zinn", "Zita Zinn", "17,40"),
        sale("106", "piet", "Piet de Vries", "33,00"),
        sale("107", "lone", "Lone Dahl", "44,44"),
        sale("105", "paid", "Paul Bezahlt", "20,00"),
    };
    sales.back().Bezahlt = true;
    sales.back().BezahltAm = QDate(2026, 12, 1);
    const QList<Credit> credits = {
        credit("MUELLER, HANS", 1740, "Danke"),  // name and amount; 104 asks the same but is someone else's
        credit("Anna Beispiel", 2480, "Artikel 102 und 103"),  // the group's totals summed, as its mail asks
        credit("Z. Zinn", 1740, "Auktion 104"),
        credit("P. de Vries", 3040, "RF18 106"),  // the number, not the amount
        credit("Jemand", 4444, "Danke"),          // the amount of one sale alone
        credit("Paul Bezahlt", 2000, "105"),
        credit("Erika Musterfrau", 5000, "Miete"),
        credit("Hans Müller", 1740, "Danke"),  // 101 is taken by the first credit
    };
    EXPECT_EQ(verdicts(matchCredits(credits, sales)),
              texts({"sicher:101", "sicher:102,103", "sicher:104", "wahrscheinlich:106", "wahrscheinlich:107",
                     "bereits erfasst:105", "keine:", "keine:"}));
    // A guess never takes the sale that a later credit surely pays: the sure ones are matched first.
    const QList<OpenSale> twice = {sale("201", "olaf", "Olaf Ohm", "12,00"), sale("202", "olaf", "Olaf Ohm", "12,00")};
    EXPECT_EQ(verdicts(matchCredits({credit("Olaf Ohm", 1200, "Danke"), credit("Olaf Ohm", 1200, "201")}, twice)),
              texts({"wahrscheinlich:202", "sicher:201"}));
}

// The ways an unpaid sale was marked paid, each a credit that must not pay it.
TEST(Matching, NothingPaidThatWasNotPaid) {
    // (a) Read twice: the credit names 301, which it paid; 302 of the same buyer asks the same.
    QList<OpenSale> sales = {sale("301", "olga", "Olga Orth", "17,40"), sale("302", "olga", "Olga Orth", "17,40")};
    sales[0].Bezahlt = true;
    sales[0].BezahltAm = QDate(2026, 12, 5);
    EXPECT_EQ(verdicts(matchCredits({credit("Olga Orth", 1740, "Artikel 301")}, sales)),
              texts({"bereits erfasst:301"}));
    // (b) A member name inside another word is no name: "anna" in "Johanna".
    const QList<OpenSale> anna = {sale("401", "anna", "Anna Lind", "17,40"),
                                  sale("402", "xy", "Xaver Yilmaz", "17,40")};
    EXPECT_NE(matchCredits({credit("Hausverwaltung", 1740, "Miete Johanna Weber")}, anna).front().Einstufung,
              Grade::Sicher);
    EXPECT_EQ(verdicts(matchCredits({credit("Jemand", 1740, "fuer anna danke")}, anna.mid(0, 1))),
              texts({"sicher:401"}));
    // (d) A credit naming one sale of a group, short of the group's total: probable, with what is missing.
    const QList<OpenSale> group = {sale("501", "grete", "Grete Groß", "30,90", "9"),
                                   sale("502", "grete", "Grete Groß", "12,40", "9")};
    const Proposal p = matchCredits({credit("Grete Groß", 3090, "501")}, group).front();
    EXPECT_EQ(p.Einstufung, Grade::Wahrscheinlich);
    EXPECT_EQ(p.Erwartet, 4330);
    EXPECT_EQ(p.fehlt(), 1240);
    // Kept as a part payment: the rest pays the group surely, and the part read again is known.
    QList<OpenSale> partly = group;
    partly[0].Teilzahlungen.append({QDate(2026, 12, 5), 3090});
    const QList<Proposal> again = matchCredits(
        {credit("Grete Groß", 3090, "501"), credit("Grete Groß", 1240, "502", QDate(2026, 12, 9))}, partly);
    EXPECT_EQ(verdicts(again), texts({"bereits erfasst:501,502", "sicher:501,502"}));
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
