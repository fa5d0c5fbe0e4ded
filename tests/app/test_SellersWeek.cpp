// A seller's month, as the seller does it from the command line: sales by mail, a statement, a
// reminder to a part payer, PayPal, a platform's payout, a returned debit, an overpayment paid
// back, an invoice after payment, and the month for the tax advisor. Journal, status bar, the
// year's figures and DATEV agree to the cent; per sale, the debtor's bookings sum to its balance.
#include <gtest/gtest.h>

#include <QDate>
#include <QHash>
#include <QStringDecoder>

#include "RunCli.h"
#include "base/Money.h"
#include "base/codepage.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "support/EInvoiceCheck.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

struct Sale {
    const char *nr, *member, *name, *total;
};
// Every sale of the month: one alone, a group of two, a part payer, an overpayer, one through the
// platform's payout, one by PayPal, one whose debit comes back, and a business buyer's.
const Sale kSales[] = {
    {"5001", "anna_k", "Anna Kowalczyk", "30,90"},         {"5002", "sean_oneill", "Seán O'Neill", "12,00"},
    {"5003", "sean_oneill", "Seán O'Neill", "18,50"},      {"5004", "dimitris_p", "Δημήτρης Παπαδόπουλος", "35,40"},
    {"5005", "zoe_dupont", "Zoë Dupont", "41,90"},         {"5006", "lukasz_w", "Łukasz Wójcik", "29,40"},
    {"5007", "ines_garcia", "Inés García", "22,00"},       {"5008", "joerg_p", "Jörg Plattner", "29,40"},
    {"5009", "kiel_antik", "Kieler Antik GmbH", "119,00"},
};

QString saleMail(const Sale& s, const QDate& end) {
    const qint64 total = centsOr0(QString::fromLatin1(s.total));
    return u"Betreff: Ihr Artikel wurde verkauft: Kaffeemühle Nr. %1 (%1)\n\nHallo gavel_haendler,\n\n"
           "herzlichen Glückwunsch! Ihr Artikel ist verkauft. Der Käufer %2 hat am %4 den folgenden Artikel über "
           "eBay gekauft:\n\nArtikel: Kaffeemühle Nr. %1\nArtikelnummer: %1\nVerkaufspreis: EUR %5\nMenge: 1\n"
           "Angebotsende: %4 12:00:00\nVersand und Verpackung: EUR 4,90\nGesamtbetrag: EUR %6\n"
           "Zahlungsmethoden: Überweisung, PayPal\n\nKontaktinformationen des Käufers:\nMitgliedsname des Käufers: "
           "%2\nE-Mail: %2@example.eu\nName: %3\nStraße: Hauptstraße 1\nPLZ und Ort: 10115 Berlin\nLand: "
           "Deutschland\n\nMit freundlichen Grüßen\nIhr eBay-Team\n"_s.arg(
               QString::fromLatin1(s.nr), QString::fromLatin1(s.member), QString::fromUtf8(s.name),
               end.toString(u"dd.MM.yyyy"_s), centsText(total - 490), centsText(total));
}

const QString kSparkasse =
    u"\"Auftragskonto\";\"Buchungstag\";\"Valutadatum\";\"Buchungstext\";\"Verwendungszweck\";\"Glaeubiger ID\";"
    "\"Mandatsreferenz\";\"Kundenreferenz (End-to-End)\";\"Sammlerreferenz\";\"Lastschrift Ursprungsbetrag\";"
    "\"Auslagenersatz Ruecklastschrift\";\"Beguenstigter/Zahlungspflichtiger\";\"Kontonummer/IBAN\";"
    "\"BIC (SWIFT-Code)\";\"Betrag\";\"Waehrung\";\"Info\"\r\n"_s;
QString sparkasseLine(const QDate& day, const char* zweck, const char* name, const char* amount) {
    return u"\"DE89370400440532013000\";\"%1\";\"%1\";\"GUTSCHR. UEBERWEISUNG\";\"%2\";\"\";\"\";\"NOTPROVIDED\";\"\";"
           "\"\";\"\";\"%3\";\"DE02120300000000202051\";\"BYLADEM1001\";\"%4\";\"EUR\";\"Umsatz gebucht\"\r\n"_s.arg(
               day.toString(u"dd.MM.yy"_s), QString::fromUtf8(zweck), QString::fromUtf8(name),
               QString::fromLatin1(amount));
}

QString camtEntry(const QDate& day, const char* ref, const char* amount, const char* dir, const char* extra,
                  const char* name, const char* zweck) {
    return u"<Ntry><NtryRef>%1</NtryRef><Amt Ccy=\"EUR\">%2</Amt><CdtDbtInd>%3</CdtDbtInd>%4<Sts><Cd>BOOK</Cd></Sts>"
           "<BookgDt><Dt>%5</Dt></BookgDt><NtryDtls><TxDtls><RltdPties><Dbtr><Nm>%6</Nm></Dbtr></RltdPties><RmtInf>"
           "<Ustrd>%7</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>"_s.arg(
               QString::fromLatin1(ref), QString::fromLatin1(amount), QString::fromLatin1(dir),
               QString::fromLatin1(extra), day.toString(Qt::ISODate), QString::fromUtf8(name),
               QString::fromUtf8(zweck));
}

// The balance an account printed by --konto had at the end of `day`: its entries up to then.
qint64 balanceOn(const QString& konto, const QDate& day) {
    qint64 sum = 0;
    for (const QString& line : konto.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.simplified().split(u' ');
        // "[5002] 02.11.2026 Forderung 12,00 € …": the group's lines start with the item number.
        const int at = f.value(0).contains(u'.') ? 0 : 1;
        const QDate d = QDate::fromString(f.value(at), u"dd.MM.yyyy"_s);
        if (!d.isValid() || d > day || f.value(at + 1) == u"Gebühr"_s) continue;
        sum += centsOr0(f.value(at + 2));
    }
    return sum;
}

// DATEV's fields of one line, the quotes taken off.
QStringList datevFields(const QString& line) {
    QStringList out;
    for (QString f : line.split(u';')) out << f.remove(u'"');
    return out;
}

TEST(SellersWeek, JournalStatusBarYearAndDatevAgree) {
    test::TestApp app;
    makeDatabase(app, shopConfig() + "[DATEV]\r\nBeraternummer=1001\r\nMandantennummer=42\r\n");
    // The last whole month: the advisor's period, and the month everything happened in.
    const QDate first = QDate::currentDate().addMonths(-1).addDays(1 - QDate::currentDate().day());
    const QDate last = first.addMonths(1).addDays(-1);
    const auto day = [&first](int d) { return first.addDays(d - 1); };
    QStringList files;
    for (const Sale& s : kSales) {
        app.write(u"mail-%1.txt"_s.arg(QString::fromLatin1(s.nr)), saleMail(s, day(2)).toUtf8());
        files << app.file(u"mail-%1.txt"_s.arg(QString::fromLatin1(s.nr)));
    }
    Outcome r = run(app, QStringList{u"--import"_s} + files);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // The group of Seán's two sales, as the window groups them.
    {
        Database d = Database::open(app.file(u"gaveldesk.mdb"_s));
        d.execute(u"update Auktionen set GruppenID = KundenNr where AuktionsNr in ('5002', '5003')"_s);
        d.execute(
            u"update Auktionen set KundenNr = (select KundenNr from Auktionen where AuktionsNr = '5002'), "
            "GruppenID = (select KundenNr from Auktionen where AuktionsNr = '5002') where AuktionsNr = '5003'"_s);
    }

    // The statement of the 5th: exact, the group's transfer, a part, too much, two that come back or stay.
    app.write(u"auszug1.csv"_s,
              win::toAnsi(kSparkasse + sparkasseLine(day(5), "Kauf 5001", "Anna Kowalczyk", "30,90") +
                          sparkasseLine(day(5), "5002 5003 Teekanne", "Sean ONeill", "30,50") +
                          sparkasseLine(day(5), "Artikel 5004 Teil 1", "Dimitris Papadopoulos", "20,00") +
                          sparkasseLine(day(5), "5005 Lampe", "Zoe Dupont", "50,00") +
                          sparkasseLine(day(5), "5008 Kaffeemuehle", "Joerg Plattner", "29,40") +
                          sparkasseLine(day(5), "RE 5009", "Kieler Antik GmbH", "119,00")));
    r = run(app, {u"--bank-import"_s, app.file(u"auszug1.csv"_s), u"--apply"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Guthaben von zoe_dupont"_s)) << r.err.toStdString();

    // The reminder to the part payer asks for the rest, and so does its payment code.
    r = run(app, {u"--mail"_s, u"Zahlungserinnerung"_s, u"5004"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"Noch offen:    15,40 EUR"_s)) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"die noch offenen 15,40 EUR"_s));
    EXPECT_TRUE(r.out.contains(u"\nEUR15.4"_s)) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(u"EUR35.4"_s));

    // PayPal, and the platform's payout report.
    app.write(
        u"paypal.csv"_s,
        u"\"Datum\",\"Uhrzeit\",\"Zeitzone\",\"Name\",\"Typ\",\"Status\",\"Währung\",\"Brutto\",\"Gebühr\","
        "\"Netto\",\"Absender E-Mail-Adresse\",\"Transaktionscode\",\"Artikelnummer\",\"Hinweis\"\n\"%1\","
        "\"10:00:00\",\"MEZ\",\"Inés García\",\"Zahlung erhalten\",\"Abgeschlossen\",\"EUR\",\"22,00\",\"-0,77\","
        "\"21,23\",\"ines_garcia@example.eu\",\"9PP12345AB\",\"5007\",\"\"\n"_s.arg(day(6).toString(u"dd.MM.yyyy"_s))
            .toUtf8());
    r = run(app, {u"--bank-import"_s, app.file(u"paypal.csv"_s), u"--apply"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    app.write(u"auszahlung.csv"_s,
              u"Typ;Bestellnummer;Artikelnummer;Nutzername des Käufers;Betrag brutto;Verkaufsprovision;"
              "Zahlungsgebühr;Nettobetrag;Auszahlungs-ID;Auszahlungsdatum;Transaktionsdatum\r\nBestellung;12-1;5006;"
              "lukasz_w;29,40;-3,70;-0,42;25,28;P-501;%1;%2\r\n"_s
                  .arg(day(7).toString(u"dd.MM.yyyy"_s), day(4).toString(u"dd.MM.yyyy"_s))
                  .toUtf8());
    r = run(app, {u"--payouts"_s, app.file(u"auszahlung.csv"_s)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    // The statement of the 12th: the rest, the payout's credit, a returned debit.
    app.write(u"auszug2.xml"_s,
              (u"<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
               "<BkToCstmrStmt><Stmt>"_s +
               camtEntry(day(12), "E-1", "15.40", "CRDT", "", "Dimitris Papadopoulos", "Rest 5004") +
               camtEntry(day(12), "E-2", "25.28", "CRDT", "", "Plattform GmbH", "Auszahlung P-501") +
               camtEntry(day(12), "E-3", "29.40", "DBIT", "<RvslInd>true</RvslInd>", "Joerg Plattner",
                         "RUECKLASTSCHRIFT 5008 Kaffeemuehle") +
               u"</Stmt></BkToCstmrStmt></Document>"_s)
                  .toUtf8());
    r = run(app, {u"--bank-import"_s, app.file(u"auszug2.xml"_s), u"--apply"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Rücklastschrift 29,40 € für 5008 (joerg_p): wieder offen 29,40 €"_s))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"auf dem Konto am"_s) || r.out.contains(u"auf dem Konto am"_s))
        << r.out.toStdString() << r.err.toStdString();

    // Every statement read again: everything booked is known, nothing booked twice.
    for (const char* f : {"auszug1.csv", "auszug2.xml", "paypal.csv"}) {
        r = run(app, {u"--bank-import"_s, app.file(QString::fromLatin1(f))});
        for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
            EXPECT_TRUE(line.startsWith(u"bereits erfasst"_s)) << f << ": " << line.toStdString();
    }

    // The overpayment paid back; the invoice after payment asks for nothing.
    r = run(app, {u"--erstatten"_s, u"5005"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = run(app, {u"--invoice-xml"_s, u"5009"_s, app.file(u"re.xml"_s)});
    ASSERT_EQ(r.code, 1);  // not issued yet
    r = run(app, {u"--invoice"_s, u"5009"_s, app.file(u"re.pdf"_s)}, {u"QT_QPA_PLATFORM=offscreen"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = run(app, {u"--invoice-xml"_s, u"5009"_s, app.file(u"re.xml"_s)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray xml = app.read(u"re.xml"_s);
    EXPECT_TRUE(xml.contains("<ram:TotalPrepaidAmount>119.00</ram:TotalPrepaidAmount>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<ram:DuePayableAmount>0.00</ram:DuePayableAmount>"));
    test::expectValidEInvoice(app.file(u"re.xml"_s));

    // Each sale's account, as --konto prints it.
    const struct {
        const char* nr;
        const char* now;  // the last line
    } accounts[] = {{"5001", "Ausgeglichen"},   {"5002", "Ausgeglichen"}, {"5004", "Ausgeglichen"},
                    {"5005", "Ausgeglichen"},   {"5006", "Ausgeglichen"}, {"5007", "Ausgeglichen"},
                    {"5008", "Offen: 29,40 €"}, {"5009", "Ausgeglichen"}};
    QHash<QString, qint64> atMonthEnd;
    for (const auto& a : accounts) {
        r = run(app, {u"--konto"_s, QString::fromLatin1(a.nr)});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed().split(u'\n').last(), QString::fromUtf8(a.now)) << a.nr << "\n" << r.out.toStdString();
        atMonthEnd.insert(QString::fromLatin1(a.nr), balanceOn(r.out, last));
    }
    EXPECT_EQ(atMonthEnd.value(u"5005"_s), -810);  // the credit until it was paid back

    // The status bar and the year's figures: 5008 is all that is owed.
    gSettings.StandardUser = u"gavel_haendler"_s;
    gSettings.MahnTage = 7;
    const ListSummary bar = loadListSummary(Store{app.file(u"gaveldesk.mdb"_s), gSettings.StandardUser}, 7).value();
    EXPECT_EQ(bar.Unbezahlt, 1);
    EXPECT_EQ(bar.UnbezahltSumme, 2940);
    r = run(app, {u"--jahr"_s, QString::number(first.year())});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"Gesamt\tJahr\t"_s)) << r.out.toStdString();
    const QString gesamt = r.out.section(u"Gesamt\tJahr\t"_s, 1).section(u'\n', 0, 0);
    EXPECT_EQ(gesamt.split(u'\t').last(), u"29,40"_s) << gesamt.toStdString();

    // The month for the advisor: the checker's rules hold, and per sale the debtor's bookings
    // sum to what its account said at the month's end.
    const QString extf = app.file(u"EXTF_Buchungsstapel.csv"_s);
    r = run(app, {u"--datev"_s, first.toString(Qt::ISODate), last.toString(Qt::ISODate), extf});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    test::expectValidDatev(extf);
    const QStringList lines =
        win::fromAnsi(app.read(u"EXTF_Buchungsstapel.csv"_s)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QHash<QString, qint64> debtor, byAccount;
    for (const QString& line : lines.mid(2)) {
        const QStringList f = datevFields(line);
        const qint64 cents = centsOr0(f[0]) * (f[1] == u"S"_s ? 1 : -1);
        byAccount[f[6]] += cents;
        byAccount[f[7]] -= cents;
        if (f[6] == u"10000"_s) debtor[f[11]] += cents;
        if (f[7] == u"10000"_s) debtor[f[11]] -= cents;
    }
    for (const auto& a : accounts) {
        const QString nr = QString::fromLatin1(a.nr);
        qint64 want = atMonthEnd.value(nr);
        if (nr == u"5002"_s) debtor[nr] += debtor.take(u"5003"_s);  // the group: one account
        EXPECT_EQ(debtor.value(nr), want) << a.nr;
    }
    EXPECT_EQ(byAccount.value(u"1360"_s), 0);     // the platform's transit account: in and out again
    EXPECT_EQ(byAccount.value(u"1201"_s), 2123);  // PayPal holds the payment less its fee
    // The bank: every credit and debit of the two statements of the month.
    EXPECT_EQ(byAccount.value(u"1200"_s), 3090 + 3050 + 2000 + 5000 + 2940 + 11900 + 1540 + 2528 - 2940);
}

}  // namespace
}  // namespace gd
