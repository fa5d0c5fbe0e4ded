// Issued invoices: numbered without gaps, kept byte for byte, never changed, undone only by
// a cancellation; two writers at once take consecutive numbers.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <atomic>
#include <thread>

#include "domain/bank/EInvoice.h"
#include "domain/bank/IssuedInvoices.h"
#include "support/DbTestShared.h"
#include "support/EInvoiceCheck.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0));

// A page that differs at every call, as a real PDF does (its time stamp): kept bytes must be the first ones.
std::atomic<int> g_pages{0};
QByteArray page(const Invoice& inv) {
    return "%PDF " + inv.Nummer.toUtf8() + ' ' + QByteArray::number(inv.total()) + ' ' + QByteArray::number(++g_pages);
}

class Issued : public test::DbTest {
protected:
    Store st() const { return Store{db, gsStandardUser}; }
};

// The gross price holds the tax: net + tax is the gross, and the tax is the net's to the cent.
TEST(TaxSplit, GrossIntoNetAndTax) {
    const struct {
        qint64 gross;
        int rate;
        qint64 net, tax;
    } cases[] = {{3090, 19, 2597, 493}, {1740, 7, 1626, 114}, {-3090, 19, -2597, -493},
                 {1, 19, 1, 0},         {4150, 0, 4150, 0},   {100, 19, 84, 16}};
    for (const auto& c : cases) {
        const TaxSplit t = splitGross(c.gross, c.rate);
        EXPECT_EQ(t.net, c.net) << c.gross << " " << c.rate;
        EXPECT_EQ(t.tax, c.tax) << c.gross << " " << c.rate;
    }
}

TEST(InvoiceNumber, PatternYearAndDigits) {
    EXPECT_EQ(invoiceNumber(u"RE-{JJJJ}-{NNNN}"_s, 2026, 7), u"RE-2026-0007"_s);
    EXPECT_EQ(invoiceNumber(u"{JJJJ}/{NN}"_s, 2027, 123), u"2027/123"_s);
    for (const char* bad : {"RE-{JJJJ}", "RE {NNNN}", "{NN}-{NN}"})
        EXPECT_FALSE(validNumberPattern(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(validNumberPattern(u"R{NNNNNN}"_s));
}

TEST_F(Issued, OnceKeptByteForByteAndCancelledByAnInvoiceOfItsOwn) {
    store(auktion(u"101"_s, u"anna"_s), kunde(u"anna"_s));
    store(auktion(u"102"_s, u"bernd"_s), kunde(u"bernd"_s, u"Bernd Brot"_s));
    const Result<IssuedInvoice> first = issueInvoice(st(), u"101"_s, QString(), kNow, page);
    ASSERT_TRUE(first.ok()) << first.error().message().toStdString();
    EXPECT_EQ(first.value().Nummer, u"RE-2026-0001"_s);
    EXPECT_EQ(first.value().Sha256,
              QString::fromLatin1(QCryptographicHash::hash(first.value().Pdf, QCryptographicHash::Sha256).toHex()));
    // Asked again (another day, another series): the same invoice, the same bytes.
    const Result<IssuedInvoice> again = issueInvoice(st(), u"101"_s, u"X{NN}"_s, kNow.addDays(3), page);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value().Nummer, first.value().Nummer);
    EXPECT_EQ(again.value().Pdf, first.value().Pdf);

    // The store itself refuses to change or delete it.
    Database d = Database::open(db);
    for (const QString& sql : {u"update Rechnungen set Cent = 0"_s, u"delete from Rechnungen"_s}) {
        try {
            d.execute(sql);
            ADD_FAILURE() << sql.toStdString();
        } catch (const RunError& e) {
            EXPECT_TRUE(e.description().contains(u"sie kann nur storniert werden"_s)) << e.text().toStdString();
        }
    }
    // A deleted trade keeps its invoice.
    d.execute(u"delete from Auktionen where AuktionsNr = '101'"_s);
    EXPECT_EQ(issuedInvoices(st()).valueOr({}).size(), 1);

    const Result<IssuedInvoice> storno = cancelInvoice(st(), u"RE-2026-0001"_s, QString(), kNow.addDays(1), page);
    ASSERT_TRUE(storno.ok()) << storno.error().message().toStdString();
    EXPECT_EQ(storno.value().Nummer, u"RE-2026-0002"_s);
    EXPECT_EQ(storno.value().Cent, -first.value().Cent);
    EXPECT_EQ(storno.value().Bezug, u"RE-2026-0001"_s);
    EXPECT_FALSE(cancelInvoice(st(), u"RE-2026-0001"_s, QString(), kNow, page).ok());  // only once
    EXPECT_FALSE(cancelInvoice(st(), u"RE-2026-0002"_s, QString(), kNow, page).ok());  // a cancellation stays
    EXPECT_FALSE(cancelInvoice(st(), u"RE-2026-0099"_s, QString(), kNow, page).ok());

    // The next year starts at one; a search finds by buyer.
    const Result<IssuedInvoice> next = issueInvoice(st(), u"102"_s, QString(), QDateTime(QDate(2027, 1, 2), {}), page);
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value().Nummer, u"RE-2027-0001"_s);
    const QList<IssuedInvoice> all = issuedInvoices(st()).valueOr({});
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].Bezug, u"RE-2026-0002"_s);  // the original names its cancellation
    EXPECT_FALSE(all[2].valid());
    EXPECT_EQ(issuedInvoices(st(), 2026).valueOr({}).size(), 2);
    EXPECT_EQ(issuedInvoices(st(), 0, u"bernd"_s).valueOr({}).size(), 1);
    // A purchase or an unknown number gets none, and takes no number.
    EXPECT_FALSE(issueInvoice(st(), u"999"_s, QString(), kNow, page).ok());
    EXPECT_EQ(issuedInvoices(st(), 2026).valueOr({}).size(), 2);
}

// Writers at once: each waits for the other's transaction, the numbers follow each other. (A
// writer opening the file while another committed was once told it is locked.)
TEST_F(Issued, TwoWritersTakeConsecutiveNumbers) {
    Database::setBusyTimeoutMs(10000);
    for (int i = 0; i < 8; ++i) store(auktion(u"20%1"_s.arg(i), u"k%1"_s.arg(i)), kunde(u"k%1"_s.arg(i)));
    std::vector<std::thread> writers;
    std::atomic<int> failed{0};
    // Each writer opens its connection first, as a second program would.
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&, i] {
            (void)issuedInvoices(st());
            const Result<IssuedInvoice> r = issueInvoice(st(), u"20%1"_s.arg(i), QString(), kNow, page);
            if (!r.ok()) {
                ++failed;
                std::fprintf(stderr, "%s\n", qPrintable(r.error().message()));
            }
        });
    for (std::thread& t : writers) t.join();
    EXPECT_EQ(failed, 0);
    QStringList numbers;
    for (const IssuedInvoice& i : issuedInvoices(st()).valueOr({})) numbers << i.Nummer;
    numbers.sort();
    QStringList expected;
    for (int i = 1; i <= 8; ++i) expected << invoiceNumber(u"RE-{JJJJ}-{NNNN}"_s, 2026, i);
    EXPECT_EQ(numbers, expected);
}

// A group's e-invoice in every tax mode: one line per sale and their shipping, the buyer abroad;
// refused without a tax number or without a tax mode.
TEST_F(Issued, AGroupsEInvoicePassesTheRules) {
    gbKleinunternehmer = true;
    gsKontoinhaber = u"Jörg Händler"_s;
    gsAnschrift = u"Lindenweg 3, 24103 Kiel"_s;
    tKunde k = kunde(u"jiri"_s, u"Jiří Dvořák"_s);
    k.Ort = u"110 00 Praha"_s;
    k.Land = u"Tschechien"_s;
    store(auktion(u"301"_s, u"jiri"_s), k);
    store(auktion(u"302"_s, u"jiri"_s), k);
    Database::open(db).execute(u"update Auktionen set GruppenID = 'g1'"_s);
    const Result<IssuedInvoice> issued = issueInvoice(st(), u"302"_s, QString(), kNow, page);
    ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
    EXPECT_EQ(issued.value().Artikel, (QStringList{u"301"_s, u"302"_s}));
    const auto data = issuedInvoice(st(), issued.value().Nummer);
    ASSERT_TRUE(data.ok());
    EXPECT_FALSE(ciiXml(data.value().second).ok());  // no tax number when it was issued
    Invoice inv = data.value().second;
    inv.Steuernummer = u"21/815/08150"_s;
    // Each way of paying VAT: § 19, standard at 19 % and 7 % (the prices hold it), § 25a.
    const struct {
        bool smallBusiness;
        const char* mode;
        const char* category;
        const char* taxTotal;
    } modes[] = {
        {true, "", "E", "0.00"}, {false, "19", "S", "5.56"}, {false, "7", "S", "2.28"}, {false, "25a", "E", "0.00"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        inv.Kleinunternehmer = m.smallBusiness;
        inv.Steuerart = QString::fromLatin1(m.mode);
        const Result<QByteArray> xml = ciiXml(inv);
        ASSERT_TRUE(xml.ok()) << xml.error().message().toStdString();
        EXPECT_TRUE(xml.value().contains("<ram:CountryID>CZ</ram:CountryID>"));
        EXPECT_EQ(xml.value().count("<ram:IncludedSupplyChainTradeLineItem>"), 3);  // two sales, their shipping
        EXPECT_TRUE(xml.value().contains(QByteArray(QByteArray("<ram:CategoryCode>") + m.category)));
        EXPECT_TRUE(
            xml.value().contains(QByteArray(QByteArray("<ram:TaxTotalAmount currencyID=\"EUR\">") + m.taxTotal)))
            << xml.value().toStdString();
        EXPECT_TRUE(xml.value().contains("<ram:GrandTotalAmount>34.80</ram:GrandTotalAmount>"));
        app.write(u"e.xml"_s, xml.value());
        test::expectValidEInvoice(app.file(u"e.xml"_s));
    }
    inv.Kleinunternehmer = false;
    inv.Steuerart.clear();
    EXPECT_FALSE(ciiXml(inv).ok());  // a private sale: no VAT said, no e-invoice
    gbKleinunternehmer = false;
}

}  // namespace
}  // namespace gd
