// A platform's payout report: each sale paid on the day its buyer paid, each fee kept, the payout
// linked to its bank credit; read twice, nothing changes; a hostile file changes nothing.
#include <gtest/gtest.h>

#include <QProcess>

#include "base/Money.h"
#include "base/codepage.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Payouts.h"
#include "domain/bank/StatementZip.h"
#include "domain/books/Datev.h"
#include "support/DbTestShared.h"
#include "support/ShippedProfiles.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QString kHeader =
    u"Typ;Bestellnummer;Artikelnummer;Nutzername des Käufers;Betrag brutto;Verkaufsprovision;"
    "Zahlungsgebühr;Nettobetrag;Auszahlungs-ID;Auszahlungsdatum;Transaktionsdatum\r\n"_s;

// 14 sales: 13 at 29,50 € with 4,42 € fees, one at 28,80 € with 4,38 €; a refund; one sale the
// desk does not know (a 15th line, in another payout).
QString report() {
    QString csv = u"Transaktionsbericht;erstellt am 18.11.2026\r\n\r\n"_s + kHeader;
    for (int i = 1; i <= 14; ++i) {
        const bool last = i == 14;
        csv +=
            u"Bestellung;12-3456-%1;40%2;\"käufer;%1\nzweite Zeile\";%3;%4;-0,42;%5;P-7781;17.11.2026;1%6.11.2026\r\n"_s
                .arg(i, 2, 10, QLatin1Char('0'))
                .arg(i, 2, 10, QLatin1Char('0'))
                .arg(last ? u"28,80"_s : u"29,50"_s, last ? u"-3,96"_s : u"-4,00"_s, last ? u"24,42"_s : u"25,08"_s)
                .arg(i % 5);
    }
    csv += u"Rückerstattung;12-3456-03;4003;käufer;-29,50;;;-29,50;P-7781;17.11.2026;16.11.2026\r\n"_s;
    csv += u"Bestellung;12-9999-01;4999;fremd;10,00;-1,00;;9,00;P-7790;24.11.2026;20.11.2026\r\n"_s;
    return csv;
}

// One camt entry: a booked credit with the bank's reference.
QString camtEntry(const char* ref, const char* amount, const char* day, const char* name, const char* zweck,
                  bool statusAsCode) {
    return u"<Ntry><NtryRef>%1</NtryRef><Amt Ccy=\"EUR\">%2</Amt><CdtDbtInd>CRDT</CdtDbtInd>%3"
           "<BookgDt><Dt>%4</Dt></BookgDt><NtryDtls><TxDtls><RltdPties><Dbtr><Nm>%5</Nm></Dbtr></RltdPties>"
           "<RmtInf><Ustrd>%6</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>"_s.arg(
               QString::fromLatin1(ref), QString::fromLatin1(amount),
               statusAsCode ? u"<Sts><Cd>BOOK</Cd></Sts>"_s : u"<Sts>BOOK</Sts>"_s, QString::fromLatin1(day),
               QString::fromUtf8(name), QString::fromUtf8(zweck));
}

QByteArray camt(const char* version, const QString& entries) {
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document "
           u"xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.%1\">"
           "<BkToCstmrStmt><Stmt>%2</Stmt></BkToCstmrStmt></Document>"_s.arg(QString::fromLatin1(version), entries)
               .toUtf8();
}

// A ZIP of the files, as the bank's download gives it.
void zipFiles(const QString& zip, const QStringList& files) {
    QProcess p;
    p.start(u"/usr/bin/python3"_s, QStringList{u"-c"_s,
                                               u"import sys, zipfile, os\n"
                                               "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                               "    [z.write(f, os.path.basename(f)) for f in sys.argv[2:]]"_s,
                                               zip} +
                                       files);
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

class Payouts : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    void SetUp() override {
        DbTest::SetUp();
        // What the report says each buyer paid: a line pays only the total its sale asks.
        for (int i = 1; i <= 14; ++i) {
            tAuktion a = auktion(u"40%1"_s.arg(i, 2, 10, QLatin1Char('0')), u"kaeufer%1"_s.arg(i));
            a.Betrag = i == 14 ? u"28,80"_s : u"29,50"_s;
            store(a, kunde(u"kaeufer%1"_s.arg(i)));
        }
    }
    int paid() { return count(u"select count(*) as n from Auktionen where Bezahlt <> 0"_s); }
};

TEST_F(Payouts, FourteenSalesPaidFeesKeptAndTheCreditLinked) {
    for (const bool ansi : {true, false}) {  // as the platform writes it, and as a spreadsheet saved it again
        SCOPED_TRACE(ansi);
        const QByteArray bytes = ansi ? win::toAnsi(report()) : report().toUtf8();
        const Result<PayoutReport> r = parsePayoutReport(bytes, test::shippedProfiles());
        ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
        EXPECT_EQ(r.value().profile, u"Plattform: Transaktionsbericht mit Auszahlungen"_s);
        ASSERT_EQ(r.value().sales.size(), 15);
        EXPECT_EQ(r.value().otherRows, 1);  // the refund
        EXPECT_EQ(r.value().sales[0].buyer, u"käufer;01 zweite Zeile"_s);
        EXPECT_EQ(r.value().sales[13].fees, 438);
        EXPECT_EQ(r.value().sales[0].paidDate, QDate(2026, 11, 11));

        const Result<PayoutOutcome> done = applyPayoutReport(st(), r.value());
        ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
        if (ansi) {
            EXPECT_EQ(done.value().paid, 14);
            EXPECT_EQ(done.value().unknown, QStringList{u"4999"_s});
        } else {  // the same again: nothing new
            EXPECT_EQ(done.value().paid, 0);
            EXPECT_EQ(done.value().known, 15);
        }
        EXPECT_EQ(paid(), 14);
    }
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where BezahltDatum like '2026-11-11%'"_s), 3);

    const QList<PayoutSummary> all = payoutSummaries(st()).value();
    ASSERT_EQ(all.size(), 2);
    const PayoutSummary& p = all[1];
    EXPECT_EQ(p.id, u"P-7781"_s);
    EXPECT_EQ(payoutText(p),
              u"Auszahlung 17.11.: 14 Verkäufe, 412,30 € brutto, 61,84 € Gebühren, 350,46 € "
              "ausgezahlt \u2014 noch nicht auf dem Konto gesehen"_s);
    // The statement as a ZIP of a camt.053.001.08 and an overlapping .02 file: the payout's credit
    // two days later (in both), a credit of the same amount without the ID, and a payout credit
    // the desk has no report for.
    const QString payout = camtEntry("REF-1", "350.46", "2026-11-19", "Plattform GmbH", "Auszahlung P-7781", true);
    app.write(u"auszug-08.xml"_s,
              camt("08", payout + camtEntry("REF-2", "350.46", "2026-11-19", "Hans Müller", "Kaffeemühle", true)));
    app.write(u"auszug-02.xml"_s,
              camt("02", camtEntry("REF-1", "350.46", "2026-11-19", "Plattform GmbH", "Auszahlung P-7781", false) +
                             camtEntry("REF-3", "12.00", "2026-11-26", "Plattform GmbH", "Auszahlung P-8000", false)));
    const QString zip = app.file(u"auszuege.zip"_s);
    zipFiles(zip, {app.file(u"auszug-08.xml"_s), app.file(u"auszug-02.xml"_s)});
    const Result<BankStatement> statement = readStatement(zip);
    ASSERT_TRUE(statement.ok()) << statement.error().message().toStdString();
    EXPECT_EQ(statement.value().Format, u"CAMT (ZIP, 2 Dateien)"_s);
    const QList<Credit> credits = statement.value().Gutschriften;
    ASSERT_EQ(credits.size(), 3);  // REF-1 once
    QStringList unmatched;
    const QList<PayoutSummary> linked = linkPayouts(st(), credits, &unmatched).value();
    ASSERT_EQ(linked.size(), 1);
    EXPECT_TRUE(payoutText(linked[0]).endsWith(u"350,46 € ausgezahlt \u2014 auf dem Konto am 19.11."_s));
    EXPECT_EQ(unmatched, QStringList{u"26.11.2026 12,00 € „Auszahlung P-8000“"_s});
    EXPECT_TRUE(linkPayouts(st(), credits, nullptr).value().isEmpty());  // read again: nothing new
    // Another payout's ID that begins with this one's is not this one's.
    QStringList other;
    const QList<Credit> longer{
        {QDate(2026, 11, 20), 35046, u"Plattform GmbH"_s, u"Auszahlung P-77810"_s, QString(), QString(), QString(), 0}};
    EXPECT_TRUE(linkPayouts(st(), longer, &other).value().isEmpty());
    EXPECT_EQ(other.size(), 1);

    // The advisor's books follow the money: each buyer's payment into the platform's clearing account
    // on the day it was made, its fee out of it, the payout's credit from it into the bank.
    DatevSetup setup;
    setup.berater = u"1001"_s;
    setup.mandant = u"1"_s;
    setup.accounts = datevAccounts(u"03"_s, QString());
    const Result<DatevExport> ex = datevExport(st(), setup, QDate(2026, 1, 1), QDate(2026, 12, 31), QDateTime());
    ASSERT_TRUE(ex.ok());
    EXPECT_EQ(ex.value().fees, 14);  // the line of the sale not yet here waits
    EXPECT_EQ(ex.value().payments, 14);
    EXPECT_EQ(ex.value().payouts, 1);
    const QString file = win::fromAnsi(ex.value().bytes);
    EXPECT_TRUE(file.contains(u"\r\n28,80;\"S\";\"EUR\";;;;1360;10000;;1411;\"4014\";\"4014\""_s))
        << file.toStdString();
    EXPECT_TRUE(file.contains(u"\r\n4,38;\"S\";\"EUR\";;;;4970;1360;;1411;\"P-7781\";\"4014\""_s));
    // The payout's net reaches the bank on the day it was seen there, as the statement says.
    EXPECT_TRUE(file.contains(u"\r\n350,46;\"S\";\"EUR\";;;;1200;1360;;1911;\"P-7781\";"_s));
}

TEST_F(Payouts, AHostileReportChangesNothing) {
    const struct {
        QByteArray file;
        const char* said;
    } cases[] = {
        {QByteArray(17 * 1024 * 1024, 'x'), "größer als 16 MB"},
        {"Datum;Betrag\r\n01.01.2026;1,00\r\n", "Kein Profil"},
        {"Typ;Bestellnummer;Artikelnummer;Auszahlungs-ID\r\nBestellung;1;4001;P-1\r\n",
         "Spalten für Brutto, Auszahlungsdatum fehlen"},
    };
    for (const auto& c : cases) {
        const Result<PayoutReport> r = parsePayoutReport(c.file, test::shippedProfiles());
        ASSERT_FALSE(r.ok()) << c.said;
        EXPECT_TRUE(r.error().sentence.contains(QString::fromUtf8(c.said))) << r.error().sentence.toStdString();
    }
    // Cells that read as formulas or as no amount: named, not taken.
    const QString bad = kHeader +
                        u"Bestellung;1;=HYPERLINK(\"x\");k;29,50;-1,00;;28,50;P-1;17.11.2026;16.11.2026\r\n"
                        "Bestellung;2;4002;k;29.400;-1,00;;28,40;P-1;17.11.2026;16.11.2026\r\n"_s;
    const Result<PayoutReport> r = parsePayoutReport(bad.toUtf8(), test::shippedProfiles());
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.value().sales.isEmpty());
    ASSERT_EQ(r.value().notRead.size(), 2);
    EXPECT_TRUE(r.value().notRead[0].Grund.startsWith(u"Artikelnummer"_s));
    EXPECT_TRUE(r.value().notRead[1].Grund.contains(u"mehrdeutig"_s)) << r.value().notRead[1].Grund.toStdString();
    EXPECT_EQ(paid(), 0);
    // Statements that are no ZIP of statements: refused with the reason.
    app.write(u"leer.txt"_s, "kein Auszug");
    zipFiles(app.file(u"ohne.zip"_s), {app.file(u"leer.txt"_s)});
    EXPECT_TRUE(readStatement(app.file(u"ohne.zip"_s)).error().sentence.contains(u"keine XML-Datei"_s));
    QByteArray broken = test::fileBytes(app.file(u"ohne.zip"_s));
    broken.truncate(broken.size() / 2);
    EXPECT_FALSE(parseStatementZip(broken).ok());
    app.write(u"gross.xml"_s, QByteArray(70 * 1024 * 1024, ' '));
    zipFiles(app.file(u"bombe.zip"_s), {app.file(u"gross.xml"_s)});
    const Result<BankStatement> bomb = readStatement(app.file(u"bombe.zip"_s));
    ASSERT_FALSE(bomb.ok());
    EXPECT_TRUE(bomb.error().sentence.contains(u"zu groß"_s)) << bomb.error().sentence.toStdString();
}

TEST(FileProfiles, WhatAProfileFileMaySay) {
    QStringList errors;
    const QList<FileProfile> p = parseProfiles(
        u"; Kommentar\n[Bank A]\nArt=Bank\nQuelle=https://example.de/hilfe\nErkennung=Datum;Betrag\nTrenner=Tab\n"
        "Buchungstag=Datum|Tag\nGebuehren=A+B\nkeine Zeile\n[Ohne Erkennung]\nArt=Bank\n"_s,
        &errors);
    ASSERT_EQ(p.size(), 1);
    EXPECT_EQ(p[0].trenner, QLatin1Char('\t'));
    EXPECT_TRUE(p[0].verified());
    EXPECT_EQ(p[0].headings(u"Buchungstag"_s), (QStringList{u"Datum"_s, u"Tag"_s}));
    EXPECT_TRUE(p[0].sums(u"Gebuehren"_s));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains(u"Zeile 9"_s));
    EXPECT_TRUE(errors[1].contains(u"[Ohne Erkennung]"_s));
    // Every shipped profile can be read, and one that cannot name its source says so.
    QFile shipped(QStringLiteral(GD_RESOURCES_DIR "/bin/Dateiformate.ini"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    errors.clear();
    const QList<FileProfile> all = parseProfiles(decoded(shipped.readAll()), &errors);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    EXPECT_GE(all.size(), 6);
    for (const FileProfile& f : all) EXPECT_FALSE(f.quelle.isEmpty()) << f.name.toStdString();
}

// PayPal's activity report: the completed payment matched to its sale by item number or by the
// buyer's e-mail address, paid on its day, its fee kept and handed to the advisor.
TEST_F(Payouts, PayPalPaymentsLikeBankCredits) {
    const QString csv =
        u"\"Datum\",\"Uhrzeit\",\"Zeitzone\",\"Name\",\"Typ\",\"Status\",\"Währung\",\"Brutto\",\"Gebühr\","
        "\"Netto\",\"Absender E-Mail-Adresse\",\"Transaktionscode\",\"Artikelnummer\",\"Hinweis\"\n"
        "\"03.12.2026\",\"10:00:00\",\"CET\",\"Kaeufer Eins\",\"Zahlung erhalten\",\"Abgeschlossen\",\"EUR\",\"29,50\","
        "\"-0,95\",\"28,55\",\"kaeufer1@example.de\",\"5TY05013RG002845M\",\"4001\",\"Danke, \"\"super\"\"\"\n"
        "\"03.12.2026\",\"11:00:00\",\"CET\",\"Anonym\",\"Zahlung erhalten\",\"Abgeschlossen\",\"EUR\",\"29,50\","
        "\"-0,95\",\"28,55\",\"kaeufer2@example.de\",\"6TY05013RG002845N\",\"\",\"\"\n"
        "\"04.12.2026\",\"09:00:00\",\"CET\",\"Kaeufer Drei\",\"Zahlung erhalten\",\"Ausstehend\",\"EUR\",\"17,40\","
        "\"-0,95\",\"16,45\",\"kaeufer3@example.de\",\"7TY\",\"4003\",\"\"\n"
        "\"05.12.2026\",\"09:00:00\",\"CET\",\"Bank\",\"Abbuchung\",\"Abgeschlossen\",\"EUR\",\"-100,00\",\"0,00\","
        "\"-100,00\",\"\",\"8TY\",\"\",\"\"\n"_s;
    const Result<BankStatement> report = parsePayPal(csv.toUtf8(), test::shippedProfiles());
    ASSERT_TRUE(report.ok()) << report.error().message().toStdString();
    EXPECT_EQ(report.value().Format, u"PayPal"_s);
    ASSERT_EQ(report.value().Gutschriften.size(), 2);
    EXPECT_EQ(report.value().Vorgemerkt, 1);
    EXPECT_EQ(report.value().Lastschriften, 1);
    const Credit& first = report.value().Gutschriften[0];
    EXPECT_EQ(first.Gebuehr, 95);
    EXPECT_EQ(first.Email, u"kaeufer1@example.de"_s);
    EXPECT_EQ(first.Zweck, u"4001 Danke, \"super\""_s);
    const QList<Proposal> p = proposalsFor(st(), report.value().Gutschriften).value();
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(p[0].Einstufung, Grade::Sicher);
    EXPECT_EQ(p[0].AuktionsNrn, QStringList{u"4001"_s});
    EXPECT_EQ(p[1].Einstufung, Grade::Sicher);  // by the buyer's e-mail address and the amount
    EXPECT_EQ(p[1].AuktionsNrn, QStringList{u"4002"_s});
    ASSERT_EQ(applyProposals(st(), p).value(), 2);
    ASSERT_EQ(applyProposals(st(), p).value(), 0);  // read again: nothing new
    EXPECT_EQ(count(u"select count(*) as n from Buchungen where Art = 'Gebuehr' and Konto = 'PayPal' and Cent = 95"_s),
              2);
    DatevSetup setup;
    setup.berater = u"1001"_s;
    setup.mandant = u"1"_s;
    setup.accounts = datevAccounts(u"03"_s, QString());
    const QString file =
        win::fromAnsi(datevExport(st(), setup, QDate(2026, 1, 1), QDate(2026, 12, 31), QDateTime()).value().bytes);
    // PayPal is an account of its own: the buyer's whole payment into it, the fee out of it; the
    // bank sees PayPal's money only when it is transferred.
    EXPECT_TRUE(file.contains(u"\r\n0,95;\"S\";\"EUR\";;;;4970;1201;;0312;\"5TY05013RG002845M\";\"4001\""_s))
        << file.toStdString();
    EXPECT_TRUE(file.contains(u"\r\n29,50;\"S\";\"EUR\";;;;1201;10000;;0312;\"4001\""_s)) << file.toStdString();
    EXPECT_FALSE(file.contains(u";1200;10000;"_s));
}

// Every camt message that carries booked credits, in the versions banks deliver.
TEST(CamtVersions, ReportStatementAndNotification) {
    const struct {
        const char *message, *container, *item;
        bool code;
    } cases[] = {{"camt.052.001.02", "BkToCstmrAcctRpt", "Rpt", false},
                 {"camt.052.001.08", "BkToCstmrAcctRpt", "Rpt", true},
                 {"camt.053.001.02", "BkToCstmrStmt", "Stmt", false},
                 {"camt.053.001.04", "BkToCstmrStmt", "Stmt", false},
                 {"camt.053.001.08", "BkToCstmrStmt", "Stmt", true},
                 {"camt.054.001.08", "BkToCstmrDbtCdtNtfctn", "Ntfctn", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const QByteArray xml =
            u"<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:%1\"><%2><%3>%4</%3></%2></Document>"_s
                .arg(QString::fromLatin1(c.message), QString::fromLatin1(c.container), QString::fromLatin1(c.item),
                     camtEntry("R1", "30.90", "2026-12-05", "Zoë Ørsted", "Kauf 4711", c.code))
                .toUtf8();
        const Result<BankStatement> st = parseStatement(xml);
        ASSERT_TRUE(st.ok()) << st.error().message().toStdString();
        ASSERT_EQ(st.value().Gutschriften.size(), 1);
        EXPECT_EQ(st.value().Gutschriften[0].Cent, 3090);
        EXPECT_EQ(st.value().Gutschriften[0].Referenz, u"R1"_s);
        EXPECT_EQ(st.value().Gutschriften[0].Name, u"Zoë Ørsted"_s);
    }
}

// The totals as the matching reads them, quickly or by the full parser: the same cents.
TEST_F(Payouts, StoredTotalsReadAsTheParserReadsThem) {
    const QStringList totals{u"30,90"_s,        u"1.234,56"_s,      u"-5,00"_s, u"7"_s,        u"12,5"_s,
                             u"999999999,99"_s, u"1234567890,00"_s, u"0,07"_s,  u"EUR 3,10"_s, u""_s};
    Database d = Database::open(db);
    for (int i = 0; i < totals.size(); ++i)
        d.execute(u"update Auktionen set Betrag = ? where AuktionsNr = ?"_s,
                  {totals[i], u"40%1"_s.arg(i + 1, 2, 10, QLatin1Char('0'))});
    const QList<OpenSale> sales = loadSalesForMatching(st()).value();
    ASSERT_EQ(sales.size(), 14);
    for (const OpenSale& s : sales) {
        const int i = s.AuktionsNr.right(2).toInt() - 1;
        const QString stored = i < totals.size() ? totals[i] : i == 13 ? u"28,80"_s : u"29,50"_s;
        EXPECT_EQ(s.Cent ? *s.Cent : centsOr0(s.Betrag), centsOr0(stored)) << stored.toStdString();
    }
}

}  // namespace
}  // namespace gd
