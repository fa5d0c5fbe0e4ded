// Issued invoices: numbered without gaps, kept byte for byte, never changed, undone only by
// a cancellation; two writers at once take consecutive numbers.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <atomic>
#include <thread>

#include "domain/invoice/EInvoice.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/trade/TaxData.h"
#include "support/DbTestShared.h"
#include "support/EInvoiceCheck.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0));

// A page that differs at every call, as a real PDF does (its time stamp): kept bytes must be the first ones.
std::atomic<int> g_pages{0};
Result<QByteArray> page(const Invoice& inv, const QByteArray&) {
    return QByteArray("%PDF " + inv.Nummer.toUtf8() + ' ' + QByteArray::number(inv.total()) + ' ' +
                      QByteArray::number(++g_pages));
}

class Issued : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    InvoiceProfile seller;  // as a test sets it: no option of the installation counts
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
    // File names: what a number holds that no file system takes becomes "-".
    for (const auto& [number, name] : {std::pair{"RE-2026-0007", "RE-2026-0007.pdf"},
                                       {"2027/123", "2027-123.pdf"},
                                       {"R:1*?", "R-1--.pdf"},
                                       {"", "Rechnung.pdf"},
                                       {"..", "Rechnung...pdf"}})
        EXPECT_EQ(invoiceFileName(QString::fromLatin1(number), u".pdf"_s), QString::fromLatin1(name)) << number;
}

TEST_F(Issued, OnceKeptByteForByteAndCancelledByAnInvoiceOfItsOwn) {
    store(auktion(u"101"_s, u"anna"_s), kunde(u"anna"_s));
    store(auktion(u"102"_s, u"bernd"_s), kunde(u"bernd"_s, u"Bernd Brot"_s));
    EXPECT_EQ(expectedInvoiceNumber(st(), u"101"_s, QString(), kNow).value(), u"RE-2026-0001"_s);
    const Result<IssuedInvoice> first = issueInvoice(st(), seller, u"101"_s, QString(), kNow, page);
    ASSERT_TRUE(first.ok()) << first.error().message().toStdString();
    // Issued: its own number; the next sale would get the next one.
    EXPECT_EQ(expectedInvoiceNumber(st(), u"101"_s, QString(), kNow).value(), u"RE-2026-0001"_s);
    EXPECT_EQ(expectedInvoiceNumber(st(), u"102"_s, QString(), kNow).value(), u"RE-2026-0002"_s);
    EXPECT_EQ(first.value().Nummer, u"RE-2026-0001"_s);
    EXPECT_EQ(first.value().Sha256,
              QString::fromLatin1(QCryptographicHash::hash(first.value().Pdf, QCryptographicHash::Sha256).toHex()));
    // Asked again (another day, another series): the same invoice, the same bytes.
    const Result<IssuedInvoice> again = issueInvoice(st(), seller, u"101"_s, u"X{NN}"_s, kNow.addDays(3), page);
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
    const Result<IssuedInvoice> next =
        issueInvoice(st(), seller, u"102"_s, QString(), QDateTime(QDate(2027, 1, 2), {}), page);
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value().Nummer, u"RE-2027-0001"_s);
    const QList<IssuedInvoice> all = issuedInvoices(st()).valueOr({});
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].Bezug, u"RE-2026-0002"_s);  // the original names its cancellation
    EXPECT_FALSE(all[2].valid());
    EXPECT_EQ(issuedInvoices(st(), 2026).valueOr({}).size(), 2);
    EXPECT_EQ(issuedInvoices(st(), 0, u"bernd"_s).valueOr({}).size(), 1);
    // A purchase or an unknown number gets none, and takes no number.
    EXPECT_FALSE(issueInvoice(st(), seller, u"999"_s, QString(), kNow, page).ok());
    EXPECT_EQ(issuedInvoices(st(), 2026).valueOr({}).size(), 2);
}

// Writers at once: each waits for the other's transaction, the numbers follow each other. (A
// A page that cannot be made says why, and takes no number; an e-invoice's page is handed the
// XML that is kept with it, made once.
TEST_F(Issued, APageThatFailsSaysWhyAndThePageGetsTheKeptXml) {
    store(auktion(u"101"_s, u"anna"_s), kunde(u"anna"_s));
    const auto broken = [](const Invoice&, const QByteArray&) -> Result<QByteArray> {
        return Error{u"Die Rechnung konnte nicht gesetzt werden:"_s, 0,
                     u"Die Seite ist nicht als PDF/A geschrieben."_s};
    };
    const Result<IssuedInvoice> refused = issueInvoice(st(), seller, u"101"_s, QString(), kNow, broken);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message(),
              u"Die Rechnung konnte nicht gesetzt werden:\rDie Seite ist nicht als PDF/A geschrieben."_s);
    seller.kleinunternehmer = true;
    seller.holder = u"Jörg Händler"_s;
    seller.address = u"Lindenweg 3, 24103 Kiel"_s;
    seller.steuernummer = u"21/815/08150"_s;
    seller.eInvoiceForAll = true;
    QByteArray handed;
    const Result<IssuedInvoice> issued =
        issueInvoice(st(), seller, u"101"_s, QString(), kNow, [&handed](const Invoice& inv, const QByteArray& xml) {
            handed = xml;
            return page(inv, xml);
        });
    ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
    EXPECT_EQ(issued.value().Nummer, u"RE-2026-0001"_s);  // the failed one took none
    EXPECT_FALSE(handed.isEmpty());
    EXPECT_EQ(handed, issued.value().Xml);
}

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
            const Result<IssuedInvoice> r = issueInvoice(st(), seller, u"20%1"_s.arg(i), QString(), kNow, page);
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
    seller.kleinunternehmer = true;
    seller.holder = u"Jörg Händler"_s;
    seller.address = u"Lindenweg 3, 24103 Kiel"_s;
    tKunde k = kunde(u"jiri"_s, u"Jiří Dvořák"_s);
    k.Ort = u"110 00 Praha"_s;
    k.Land = u"Tschechien"_s;
    store(auktion(u"301"_s, u"jiri"_s), k);
    store(auktion(u"302"_s, u"jiri"_s), k);
    Database::open(db).execute(u"update Auktionen set GruppenID = 'g1'"_s);
    const Result<IssuedInvoice> issued = issueInvoice(st(), seller, u"302"_s, QString(), kNow, page);
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
}

// An invoice asks only for what is still owed: one issued after payment says when it was paid and
// asks for nothing; its XML gives what was paid and what is due, and passes the rules either way.
TEST_F(Issued, AnInvoiceAsksOnlyForWhatIsOwed) {
    seller.kleinunternehmer = true;
    seller.holder = u"Jörg Händler"_s;
    seller.address = u"Lindenweg 3, 24103 Kiel"_s;
    seller.iban = u"DE89370400440532013000"_s;
    seller.steuernummer = u"21/815/08150"_s;
    const struct {
        const char* nr;
        qint64 paid;
        const char *prepaid, *due;
        bool meansOfPayment;
    } cases[] = {
        {"401", 0, nullptr, "17.40", true},
        {"402", 1000, "10.00", "7.40", true},
        {"403", 1740, "17.40", "0.00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nr);
        const QString nr = QString::fromLatin1(c.nr);
        const QString id = store(auktion(nr, u"kunde_"_s + nr), kunde(u"kunde_"_s + nr));
        if (c.paid > 0) {
            Database d = Database::open(db);
            d.execute(
                u"insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle) values "
                "('haendler', ?, '2026-12-06', ?, 'Zahlung', 'Bank', 'Kontoauszug')"_s,
                {id, -c.paid});
        }
        const Result<IssuedInvoice> issued = issueInvoice(st(), seller, nr, QString(), kNow, page);
        ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
        const Invoice inv = issuedInvoice(st(), issued.value().Nummer).value().second;
        EXPECT_EQ(inv.Bezahlt, c.paid);
        EXPECT_EQ(inv.paid(), c.paid == 1740);
        const QByteArray xml = ciiXml(inv).value();
        const auto element = [](const char* name, const char* value) -> QByteArray {
            return QByteArray("<ram:") + name + ">" + value + "</ram:" + name + ">";
        };
        EXPECT_TRUE(xml.contains(QByteArray(element("DuePayableAmount", c.due))));
        EXPECT_EQ(xml.contains("<ram:TotalPrepaidAmount>"), c.prepaid != nullptr);
        if (c.prepaid) {
            EXPECT_TRUE(xml.contains(QByteArray(element("TotalPrepaidAmount", c.prepaid))));
        }
        EXPECT_EQ(xml.contains("<ram:IBANID>"), c.meansOfPayment);
        if (!c.meansOfPayment) {
            EXPECT_TRUE(xml.contains("Bezahlt am 06.12.2026.")) << xml.toStdString();
        }
        app.write(u"e.xml"_s, xml);
        test::expectValidEInvoice(app.file(u"e.xml"_s));
    }
}

// Shipping follows the goods: with two rates it is shared in the ratio of their prices, to the
// cent, and a cancellation's shares mirror the invoice's.
TEST(TaxLines, ShippingSharedByTheGoodsRates) {
    Invoice inv;
    inv.Steuerart = u"19"_s;
    inv.Posten = {{u"1"_s, u"Buch"_s, 1, 3000, 7, {}}, {u"2"_s, u"Lampe"_s, 1, 1000, 0, {}}};
    inv.Versand = 499;
    inv.Versicherung = 101;
    const struct {
        int rate;
        qint64 goods, shipping, insurance, net, tax;
    } want[] = {{19, 1000, 124, 25, 966, 183}, {7, 3000, 375, 76, 3225, 226}};
    for (const qint64 sign : {1, -1}) {
        const QList<TaxLine> lines = taxLines(inv);
        ASSERT_EQ(lines.size(), 2);
        qint64 sum = 0;
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(lines[i].rate, want[i].rate);
            EXPECT_EQ(lines[i].goods, sign * want[i].goods);
            EXPECT_EQ(lines[i].shipping, sign * want[i].shipping);
            EXPECT_EQ(lines[i].insurance, sign * want[i].insurance);
            EXPECT_EQ(lines[i].split().net, sign * want[i].net);
            EXPECT_EQ(lines[i].split().tax, sign * want[i].tax);
            sum += lines[i].gross();
        }
        EXPECT_EQ(sum, inv.total());
        for (InvoiceItem& it : inv.Posten) it.Einzelpreis = -it.Einzelpreis;
        inv.Versand = -inv.Versand;
        inv.Versicherung = -inv.Versicherung;
    }
    inv.Steuerart = u"25a"_s;  // no VAT shown: one line, no rate
    ASSERT_EQ(taxLines(inv).size(), 1);
    EXPECT_EQ(taxLines(inv)[0].rate, 0);
    EXPECT_EQ(taxLines(inv)[0].split().tax, 0);
}

// A business buyer with goods at 19 % and 7 %: the XML names the company and its VAT ID, gives
// each rate its own tax and shipping line, is kept as issued, and passes the rules.
TEST_F(Issued, ABusinessBuyerAtTwoRates) {
    seller.holder = u"Jörg Händler"_s;
    seller.address = u"Lindenweg 3, 24103 Kiel"_s;
    seller.steuerart = u"19"_s;
    seller.ustId = u"DE123456789"_s;
    store(auktion(u"401"_s, u"buchladen"_s), kunde(u"buchladen"_s, u"Ilse Ødegård"_s));
    store(auktion(u"402"_s, u"buchladen"_s), kunde(u"buchladen"_s, u"Ilse Ødegård"_s));
    Database::open(db).execute(u"update Auktionen set GruppenID = 'g4'"_s);
    ASSERT_TRUE(saveItemRate(st(), u"402"_s, 7).ok());
    EXPECT_FALSE(saveItemRate(st(), u"402"_s, 16).ok());
    ASSERT_TRUE(saveBusiness(st(), u"buchladen"_s, {u"Antiquariat Ødegård GmbH"_s, u"de 811 234 567"_s}).ok());
    EXPECT_EQ(loadBusiness(st(), u"buchladen"_s).value().UstId, u"DE811234567"_s);

    const Result<IssuedInvoice> issued = issueInvoice(st(), seller, u"401"_s, QString(), kNow, page);
    ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
    const auto data = issuedInvoice(st(), issued.value().Nummer).value();
    EXPECT_TRUE(data.second.ERechnung);  // a business gets the e-invoice
    EXPECT_EQ(data.second.Posten[1].Steuersatz, 7);
    const QByteArray xml = data.first.Xml;
    EXPECT_EQ(invoiceXml(data.first, data.second).value(), xml);
    EXPECT_TRUE(xml.contains("<ram:Name>Antiquariat Ødegård GmbH</ram:Name>"));
    EXPECT_TRUE(xml.contains("<ram:ID schemeID=\"VA\">DE811234567</ram:ID>"));
    EXPECT_EQ(xml.count("<ram:RateApplicablePercent>7</ram:RateApplicablePercent>"), 3);  // item, shipping, header
    EXPECT_TRUE(xml.contains("<ram:Name>Versand (7 %)</ram:Name>"));
    app.write(u"b.xml"_s, xml);
    test::expectValidEInvoice(app.file(u"b.xml"_s));

    // The rate and the company changed later: the issued invoice stays as it was.
    ASSERT_TRUE(saveItemRate(st(), u"402"_s, 0).ok());
    ASSERT_TRUE(saveBusiness(st(), u"buchladen"_s, {}).ok());
    EXPECT_FALSE(loadBusiness(st(), u"buchladen"_s).value().isBusiness());
    EXPECT_EQ(issuedInvoice(st(), issued.value().Nummer).value().first.Xml, xml);
    const Result<IssuedInvoice> storno = cancelInvoice(st(), issued.value().Nummer, QString(), kNow, page);
    ASSERT_TRUE(storno.ok());
    EXPECT_TRUE(storno.value().Xml.contains("<ram:TypeCode>381</ram:TypeCode>"));
    app.write(u"s.xml"_s, storno.value().Xml);
    test::expectValidEInvoice(app.file(u"s.xml"_s));
}

// Above 250 € gross the buyer's full address is required: the invoice is refused and no number
// is used until it is there; up to 250 € the short form is enough.
TEST_F(Issued, AboveTwoHundredFiftyEurosTheFullAddress) {
    tKunde k = kunde(u"olek"_s, u"Aleksander Wróbel"_s);
    k.Strasse.clear();
    tAuktion small = auktion(u"501"_s, u"olek"_s), big = auktion(u"502"_s, u"olek"_s);
    small.Preis = u"245,10"_s;  // with 4,90 shipping: 250,00
    big.Preis = u"245,11"_s;
    store(small, k);
    store(big, k);
    const Result<IssuedInvoice> refused = issueInvoice(st(), seller, u"502"_s, QString(), kNow, page);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().sentence.contains(u"§ 33 UStDV"_s));
    EXPECT_TRUE(refused.error().sentence.contains(u"fehlt: Straße."_s)) << refused.error().sentence.toStdString();
    ASSERT_TRUE(issueInvoice(st(), seller, u"501"_s, QString(), kNow, page).ok());
    EXPECT_EQ(issuedInvoices(st()).value().size(), 1);
    Database::open(db).execute(u"update Kunden set Strasse = 'ul. Długa 5' where ebayName = 'olek'"_s);
    const Result<IssuedInvoice> issued = issueInvoice(st(), seller, u"502"_s, QString(), kNow, page);
    ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
    EXPECT_EQ(issued.value().Nummer, u"RE-2026-0002"_s);
}

}  // namespace
}  // namespace gd
