// The advisor's DATEV file read back field by field, and the limits of law at their edges.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "domain/bank/Matching.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"
#include "domain/db/Journal.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/trade/TaxData.h"
#include "support/DbTestShared.h"
#include "support/EInvoiceCheck.h"
#include "support/Rows.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0));
Result<QByteArray> page(const Invoice& inv, const QByteArray&) { return QByteArray("%PDF " + inv.Nummer.toUtf8()); }

// One line of a DATEV file: ";" between fields, text in quotes with quotes doubled.
QStringList fields(const QString& line) {
    QStringList out{QString()};
    bool inQuotes = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                out.last() += c;
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
        } else if (c == QLatin1Char(';') && !inQuotes) {
            out << QString();
        } else {
            out.last() += c;
        }
    }
    return out;
}

class Books : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    InvoiceProfile seller;  // the tax mode as a test sets it
    // The advisor 1001, client 42, on SKR03 with the user's own accounts where given, and the
    // seller's tax mode.
    DatevSetup advisor(const QString& ownAccounts = {}) const {
        DatevSetup setup;
        setup.berater = u"1001"_s;
        setup.mandant = u"42"_s;
        setup.accounts = datevAccounts(u"03"_s, ownAccounts);
        setup.kleinunternehmer = seller.kleinunternehmer;
        setup.steuerart = seller.steuerart;
        return setup;
    }
    void sale(const QString& nr, const QString& ebay, const QString& preis, const QString& ende,
              const QString& name = u"Hans Müller"_s) {
        tAuktion a = auktion(nr, ebay, ende);
        a.Preis = a.Betrag = preis;
        a.Versandkosten.clear();
        store(a, kunde(ebay, name));
    }
    static Credit credit(const QString& day, qint64 cents, const QString& nr) {
        Credit c;
        c.Buchungstag = QDate::fromString(day, Qt::ISODate);
        c.Cent = cents;
        c.Name = u"Hans Müller"_s;
        c.Zweck = u"Rechnung Artikel "_s + nr;
        return c;
    }
    IssuedInvoice issue(const QString& nr) {
        const Result<IssuedInvoice> r = issueInvoice(st(), seller, nr, QString(), kNow, page);
        EXPECT_TRUE(r.ok()) << nr.toStdString() << ": " << (r.ok() ? "" : r.error().message().toStdString());
        return r.ok() ? r.value() : IssuedInvoice{};
    }
};

// A year with an invoice in every tax mode, a cancellation, a payment and a part payment.
TEST_F(Books, TheDatevFileReadBack) {
    seller.steuernummer = u"21/815/08150"_s;
    const QString hostile = u"Ana; \"die Große\"\nSchmidt "_s + QString(300, u'x');
    sale(u"801"_s, u"ana"_s, u"10,00"_s, u"03.03.2026"_s);
    sale(u"802"_s, u"ben"_s, u"119,00"_s, u"04.03.2026"_s);
    sale(u"803"_s, u"cem"_s, u"107,00"_s, u"05.03.2026"_s);
    sale(u"804"_s, u"dora"_s, u"50,00"_s, u"06.03.2026"_s, hostile);
    ASSERT_TRUE(saveItemRate(st(), u"803"_s, 7).ok());
    seller.kleinunternehmer = true;
    issue(u"801"_s);  // RE-2026-0001
    seller.kleinunternehmer = false;
    seller.steuerart = u"19"_s;
    issue(u"802"_s);  // 0002
    issue(u"803"_s);  // 0003 at 7 %
    seller.steuerart = u"25a"_s;
    issue(u"804"_s);                                                                  // 0004
    ASSERT_TRUE(cancelInvoice(st(), u"RE-2026-0002"_s, QString(), kNow, page).ok());  // 0005
    // Paid after the invoices: 801 whole, 803 in part.
    const QList<Proposal> paid =
        proposalsFor(st(), {credit(u"2026-12-09"_s, 1000, u"801"_s), credit(u"2026-12-10"_s, 5000, u"803"_s)}).value();
    QList<Proposal> confirmed = paid;
    confirmed[1].Teilzahlung = true;
    ASSERT_EQ(applyProposals(st(), confirmed).value(), 1);

    const DatevSetup setup = advisor(u"Erloese7=8310/2"_s);  // a non-automatic account with its key
    const Result<DatevExport> ex = datevExport(st(), setup, QDate(2026, 1, 1), QDate(2026, 12, 31), kNow);
    ASSERT_TRUE(ex.ok()) << ex.error().message().toStdString();
    EXPECT_EQ(ex.value().invoices, 4);
    EXPECT_EQ(ex.value().cancellations, 1);
    EXPECT_EQ(ex.value().payments, 2);
    const QByteArray bytes = ex.value().bytes;
    EXPECT_TRUE(
        bytes.contains("BU-Schl\xfc"
                       "ssel"));  // Windows-1252, not UTF-8
    EXPECT_FALSE(bytes.contains("\xc3\xbc"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const QStringList lines = win::fromAnsi(bytes).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 + 5 + 2);  // header, names, five invoices, two payments

    const QStringList header = fields(lines[0]);
    ASSERT_EQ(header.size(), 31);
    const QStringList want{u"EXTF"_s, u"700"_s, u"21"_s, u"Buchungsstapel"_s, u"13"_s};
    for (int i = 0; i < want.size(); ++i) EXPECT_EQ(header[i], want[i]) << i;
    EXPECT_EQ(header[5], u"20261208100000000"_s);
    EXPECT_EQ(header[10], u"1001"_s);
    EXPECT_EQ(header[11], u"42"_s);
    EXPECT_EQ(header[12], u"20260101"_s);
    EXPECT_EQ(header[13], u"4"_s);
    EXPECT_EQ(header[14], u"20260101"_s);
    EXPECT_EQ(header[15], u"20261231"_s);
    EXPECT_EQ(header[20], u"0"_s);  // not locked unless asked
    EXPECT_EQ(header[21], u"EUR"_s);
    EXPECT_EQ(header[26], u"03"_s);
    EXPECT_TRUE(lines[0].startsWith(u"\"EXTF\";700;21;\"Buchungsstapel\";13;"_s));

    const QStringList names = lines[1].split(u';');
    ASSERT_EQ(names.size(), 125);
    EXPECT_EQ(names[0], u"Umsatz (ohne Soll/Haben-Kz)"_s);
    EXPECT_EQ(names[7], u"Gegenkonto (ohne BU-Schlüssel)"_s);
    EXPECT_EQ(names[113], u"Festschreibung"_s);
    EXPECT_EQ(names[124], u"Abw. Skontokonto"_s);

    // Amount, debit/credit, account, contra account, key, TTMM, document number.
    const struct {
        const char *umsatz, *sh, *konto, *gegen, *bu, *datum, *beleg;
    } rows[] = {
        {"10,00", "S", "10000", "8195", "", "0812", "RE-2026-0001"},       // § 19
        {"119,00", "S", "10000", "8400", "", "0812", "RE-2026-0002"},      // 19 %: automatic account
        {"107,00", "S", "10000", "8310", "0002", "0812", "RE-2026-0003"},  // 7 %: the user's account and key
        {"50,00", "S", "10000", "8193", "", "0812", "RE-2026-0004"},       // § 25a
        {"119,00", "H", "10000", "8400", "", "0812", "RE-2026-0005"},      // the cancellation, credited
        {"10,00", "S", "1200", "10000", "", "0912", "RE-2026-0001"},       // paid: the bank's debit
        {"50,00", "S", "1200", "10000", "", "1012", "RE-2026-0003"},       // the part payment
    };
    QList<QStringList> data;
    for (int i = 2; i < lines.size(); ++i) data << fields(lines[i]);
    ASSERT_EQ(data.size(), int(std::size(rows)));
    for (int i = 0; i < data.size(); ++i) {
        SCOPED_TRACE(i);
        const QStringList& f = data[i];
        ASSERT_EQ(f.size(), 125);
        EXPECT_EQ(f[0], QString::fromLatin1(rows[i].umsatz));
        EXPECT_EQ(f[1], QString::fromLatin1(rows[i].sh));
        EXPECT_EQ(f[2], u"EUR"_s);
        EXPECT_EQ(f[6], QString::fromLatin1(rows[i].konto));
        EXPECT_EQ(f[7], QString::fromLatin1(rows[i].gegen));
        EXPECT_EQ(f[8], QString::fromLatin1(rows[i].bu));
        EXPECT_EQ(f[9], QString::fromLatin1(rows[i].datum));
        EXPECT_EQ(f[10], QString::fromLatin1(rows[i].beleg));
        EXPECT_LE(f[13].size(), 60);
    }
    EXPECT_EQ(data[4][11], u"RE-2026-0002"_s);  // the cancellation names the invoice
    // The hostile name: one field, its quote kept, no line break, cut to 60.
    EXPECT_TRUE(data[3][13].startsWith(u"Rechnung RE-2026-0004 Ana; \"die Große\" Schmidt xxx"_s))
        << data[3][13].toStdString();
    EXPECT_EQ(data[3][13].size(), 60);
    app.write(u"EXTF_Rechnungen.csv"_s, bytes);
    test::expectValidDatev(app.file(u"EXTF_Rechnungen.csv"_s));

    // The rest of 803 written off, 804 paid in cash: the loss and the till reach the advisor too,
    // and the file still passes DATEV's rules.
    {
        Database d = Database::open(db);
        const auto id = [&d](const char* nr) {
            return test::firstText(d, u"select AuktionsID from Auktionen where AuktionsNr = ?"_s,
                                   {QString::fromLatin1(nr)});
        };
        journal::writeOffRest(d, gSettings.StandardUser, {id("803")}, QDate(2026, 12, 11), u"Kulanz"_s);
        journal::payRest(d, gSettings.StandardUser, {id("804")}, QDate(2026, 12, 11), u"Hand"_s);
    }
    const Result<DatevExport> more = datevExport(st(), setup, QDate(2026, 1, 1), QDate(2026, 12, 31), kNow);
    ASSERT_TRUE(more.ok()) << more.error().message().toStdString();
    const QString booked = win::fromAnsi(more.value().bytes);
    EXPECT_TRUE(booked.contains(u";\"S\";\"EUR\";;;;1000;10000;"_s)) << booked.toStdString();          // the till
    EXPECT_TRUE(booked.contains(u";10000;"_s) && booked.contains(u"2400"_s)) << booked.toStdString();  // the loss
    app.write(u"EXTF_Alles.csv"_s, more.value().bytes);
    test::expectValidDatev(app.file(u"EXTF_Alles.csv"_s));
}

// Names beyond Windows-1252 reach the advisor in Latin letters, and the export says how many
// texts were spelt so; the file passes DATEV's rules.
// One month with every kind of booking the desk hands the advisor: an invoice, its cancellation
// and the new one, payments by bank, PayPal with its fee, the platform with its fee, a
// returned debit, an overpayment paid back, a write-off, cash. DATEV's rules hold for the file.
TEST_F(Books, AMonthWithEveryKindOfBookingPassesDatevsRules) {
    seller.steuerart = u"19"_s;
    seller.steuernummer = u"21/815/08150"_s;
    const char* const nrs[] = {"901", "902", "903", "904", "905", "906", "907", "908"};
    for (const char* nr : nrs)
        sale(QString::fromLatin1(nr), u"k"_s + QString::fromLatin1(nr), u"20,00"_s, u"01.12.2026"_s);
    issue(u"901"_s);
    ASSERT_TRUE(cancelInvoice(st(), u"RE-2026-0001"_s, QString(), kNow, page).ok());
    issue(u"901"_s);
    const auto id = [this](const char* nr) {
        Database d = Database::open(db);
        return test::firstText(d, u"select AuktionsID from Auktionen where AuktionsNr = ?"_s,
                               {QString::fromLatin1(nr)});
    };
    const QDate day(2026, 12, 9);  // after the invoices: they carry the revenue
    {
        Database d = Database::open(db);
        const QString u = gSettings.StandardUser;
        const auto pay = [&](const char* nr, qint64 cent, const QString& konto, const QString& quelle) {
            JournalEntry e = makeEntry(id(nr), day, -cent, art::Zahlung, konto, quelle);
            e.Referenz = QString::fromLatin1(nr);
            journal::receive(d, u, {id(nr)}, e);
        };
        pay("901", 2000, konto::Bank, quelle::Kontoauszug);
        pay("902", 2000, konto::Bank, quelle::Kontoauszug);
        pay("903", 2000, konto::PayPal, quelle::PayPal);
        journal::append(d, u, makeEntry(id("903"), day, 88, art::Gebuehr, konto::PayPal, quelle::PayPal));
        EXPECT_EQ(journal::applyPayoutLine(d, u, id("904"), u"P-1"_s, day, 2000, 300), QString());
        pay("905", 2500, konto::Bank, quelle::Kontoauszug);
        pay("906", 2000, konto::Bank, quelle::Kontoauszug);
        journal::append(
            d, u, makeEntry(id("906"), day.addDays(5), 2000, art::Rueckbuchung, konto::Bank, quelle::Kontoauszug));
        pay("907", 1500, konto::Bank, quelle::Kontoauszug);
        journal::payRest(d, u, {id("908")}, day, quelle::Hand);
    }
    ASSERT_TRUE(refundCredit(st(), id("905"), day.addDays(6)).ok());
    ASSERT_TRUE(writeOff(st(), id("907"), day.addDays(6), u"Kulanz"_s).ok());
    const DatevSetup setup = advisor();
    const Result<DatevExport> ex = datevExport(st(), setup, QDate(2026, 12, 1), QDate(2026, 12, 31), kNow);
    ASSERT_TRUE(ex.ok()) << ex.error().message().toStdString();
    EXPECT_EQ(ex.value().invoices, 2);
    EXPECT_EQ(ex.value().cancellations, 1);
    const QString booked = win::fromAnsi(ex.value().bytes);
    // The clearing accounts of PayPal and the platform, the till and the loss (SKR03).
    for (const char* account : {";1201;", ";1360;", ";1000;", ";2400;"})
        EXPECT_TRUE(booked.contains(QString::fromLatin1(account))) << account << "\n" << booked.toStdString();
    app.write(u"EXTF_Dezember.csv"_s, ex.value().bytes);
    test::expectValidDatev(app.file(u"EXTF_Dezember.csv"_s));
}

TEST_F(Books, LettersDatevCannotReadAreSpeltInLatinOnes) {
    seller.kleinunternehmer = true;
    const struct {
        const char *nr, *member, *name, *spelt;
    } buyers[] = {
        {"901", "dimitris", "Δημήτρης Παπαδόπουλος", "Dimitris Papadopoulos"},
        {"902", "lukasz", "Łukasz Wójcik", "Lukasz Wójcik"},
        {"903", "olena", "Олена Шевченко", "Olena Shevchenko"},
        {"904", "jiri", "Jiří Dvořák", "Jirí Dvorák"},
        {"905", "hans", "Hans Müller", "Hans Müller"},
    };
    for (const auto& b : buyers) {
        sale(QString::fromLatin1(b.nr), QString::fromLatin1(b.member), u"20,00"_s, u"03.03.2026"_s,
             QString::fromUtf8(b.name));
        issue(QString::fromLatin1(b.nr));
    }
    const DatevSetup setup = advisor();
    const Result<DatevExport> ex = datevExport(st(), setup, QDate(2026, 1, 1), QDate(2026, 12, 31), kNow);
    ASSERT_TRUE(ex.ok()) << ex.error().message().toStdString();
    EXPECT_EQ(ex.value().transliterated, 4);
    EXPECT_TRUE(datevSummary(ex.value()).contains(u"4 Texte"_s)) << datevSummary(ex.value()).toStdString();
    const QString file = win::fromAnsi(ex.value().bytes);
    for (const auto& b : buyers)
        EXPECT_TRUE(file.contains(QString::fromUtf8(b.spelt) + u"\""_s)) << b.spelt << "\n" << file.toStdString();
    EXPECT_FALSE(file.contains(u'?'));
    app.write(u"EXTF_Namen.csv"_s, ex.value().bytes);
    test::expectValidDatev(app.file(u"EXTF_Namen.csv"_s));
    EXPECT_EQ(lastWholeMonth(QDate(2027, 1, 15)), std::make_pair(QDate(2026, 12, 1), QDate(2026, 12, 31)));
    seller.kleinunternehmer = false;
}

TEST_F(Books, TheRangeStaysInOneFiscalYear) {
    DatevSetup setup;
    setup.berater = u"1001"_s;
    setup.mandant = u"1"_s;
    setup.accounts = datevAccounts(u"04"_s, QString());
    EXPECT_EQ(setup.accounts.value(u"Erloese19"_s).konto, u"4400"_s);
    EXPECT_EQ(setup.accounts.value(u"Bank"_s).konto, u"1800"_s);
    const Result<DatevExport> across = datevExport(st(), setup, QDate(2026, 6, 1), QDate(2027, 1, 31), kNow);
    ASSERT_FALSE(across.ok());
    EXPECT_TRUE(across.error().sentence.contains(u"Wirtschaftsjahr"_s));
    setup.fiscalStart = u"0107"_s;  // a year from 1 July
    const Result<DatevExport> july = datevExport(st(), setup, QDate(2026, 7, 1), QDate(2027, 6, 30), kNow);
    ASSERT_TRUE(july.ok()) << july.error().message().toStdString();
    EXPECT_EQ(fields(win::fromAnsi(july.value().bytes).section(u"\r\n"_s, 0, 0))[12], u"20260701"_s);
    EXPECT_FALSE(datevExport(st(), setup, QDate(2026, 6, 30), QDate(2026, 7, 1), kNow).ok());
    setup.berater = u"12"_s;
    EXPECT_TRUE(datevExport(st(), setup, QDate(2026, 7, 1), QDate(2026, 7, 2), kNow)
                    .error()
                    .sentence.contains(u"Beraternummer"_s));
    EXPECT_EQ(datevOverrides(u"03"_s, datevAccounts(u"03"_s, u"Bank=1210/;Unsinn=1/1;Debitor=abc"_s)), u"Bank=1210/"_s);
}

// The platforms' reporting limit at its edges: the 29th, 30th and 31st sale; 1,999.99 and 2,000.00 €.
TEST(ReportingLimit, CountAndSumAtTheEdges) {
    const ReportLimits limits = reportLimits(u"30;2000;25;1800"_s);
    const struct {
        int sales;
        qint64 cents;
        LimitNote::Level level;
    } cases[] = {{24, 100000, LimitNote::Level::None},  {25, 100000, LimitNote::Level::Quiet},
                 {29, 100000, LimitNote::Level::Quiet}, {30, 100000, LimitNote::Level::Clear},
                 {31, 100000, LimitNote::Level::Clear}, {3, 179999, LimitNote::Level::None},
                 {3, 199999, LimitNote::Level::Quiet},  {3, 200000, LimitNote::Level::Clear}};
    for (const auto& c : cases) {
        PlatformYear p{u"Kiezmarkt"_s};
        p.months[0].sales = c.sales;
        p.months[0].goods = c.cents;
        const LimitNote n = reportingNote({p}, 2026, limits);
        EXPECT_EQ(n.level, c.level) << c.sales << " " << c.cents;
        if (n.level != LimitNote::Level::None) {
            EXPECT_TRUE(n.text.startsWith(u"Kiezmarkt: "_s)) << n.text.toStdString();
        }
    }
    EXPECT_EQ(reportLimits(u"Unsinn"_s).count, 30);  // a broken row keeps the law's figures
    EXPECT_EQ(reportLimits(u"40;3000"_s).cents, 300000);
}

TEST(SmallBusinessLimit, LastAndThisYear) {
    const SmallBusinessLimits l = smallBusinessLimits(QString());
    EXPECT_EQ(smallBusinessNote(1999999, 7999999, 2026, l).level, LimitNote::Level::None);
    EXPECT_EQ(smallBusinessNote(2000000, 0, 2026, l).level, LimitNote::Level::Quiet);
    EXPECT_EQ(smallBusinessNote(2500000, 0, 2026, l).level, LimitNote::Level::Quiet);
    EXPECT_EQ(smallBusinessNote(2500001, 0, 2026, l).level, LimitNote::Level::Clear);
    EXPECT_EQ(smallBusinessNote(0, 8000000, 2026, l).level, LimitNote::Level::Quiet);
    EXPECT_EQ(smallBusinessNote(0, 10000001, 2026, l).level, LimitNote::Level::Clear);
}

// The sale that takes the year past 100,000 € is invoiced with VAT, and only after the switch;
// the figures count per platform and month, and a new year starts from nothing.
TEST_F(Books, TheSaleThatCrossesTheLimitAndTheYearsFigures) {
    seller.steuernummer = u"21/815/08150"_s;
    seller.kleinunternehmer = true;
    sale(u"901"_s, u"ana"_s, u"60000,00"_s, u"10.01.2026"_s);
    sale(u"902"_s, u"ana"_s, u"39999,99"_s, u"10.02.2026"_s);
    sale(u"903"_s, u"ana"_s, u"0,02"_s, u"10.03.2026"_s);
    sale(u"904"_s, u"ana"_s, u"5,00"_s, u"10.04.2026"_s);
    sale(u"905"_s, u"ana"_s, u"5,00"_s, u"02.01.2027"_s);
    sale(u"906"_s, u"ana"_s, u"5,00"_s, u"31.12.2025"_s);
    ASSERT_TRUE(savePlatform(st(), u"904"_s, u"Kiezmarkt"_s).ok());
    EXPECT_EQ(saleCrossing(st(), 2026, 10000000).value(), std::optional<QString>(u"903"_s));
    EXPECT_EQ(issue(u"902"_s).Nummer, u"RE-2026-0001"_s);
    const Result<IssuedInvoice> refused = issueInvoice(st(), seller, u"903"_s, QString(), kNow, page);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().sentence.contains(u"100.000 €"_s)) << refused.error().sentence.toStdString();
    EXPECT_FALSE(issueInvoice(st(), seller, u"904"_s, QString(), kNow, page).ok());
    EXPECT_TRUE(issueInvoice(st(), seller, u"905"_s, QString(), kNow, page).ok());  // 2027 starts anew
    seller.kleinunternehmer = false;
    seller.steuerart = u"19"_s;
    const IssuedInvoice withVat = issue(u"903"_s);
    EXPECT_EQ(issuedInvoice(st(), withVat.Nummer).value().second.Kleinunternehmer, false);

    const QList<PlatformYear> year = yearFigures(st(), 2026, mainPlatform(currentSettings())).value();
    ASSERT_EQ(year.size(), 2);
    EXPECT_EQ(year[0].platform, u"ebay.de"_s);
    EXPECT_EQ(year[0].total().sales, 3);
    EXPECT_EQ(year[0].months[0].goods, 6000000);
    EXPECT_EQ(year[1].platform, u"Kiezmarkt"_s);
    EXPECT_EQ(year[1].months[3].sales, 1);
    EXPECT_EQ(yearTotal(year).gross(), 10000001 + 500);
    EXPECT_EQ(yearTotal(yearFigures(st(), 2025, mainPlatform(currentSettings())).value()).sales, 1);
    EXPECT_EQ(yearTotal(yearFigures(st(), 2027, mainPlatform(currentSettings())).value()).sales, 1);
}

}  // namespace
}  // namespace gd
