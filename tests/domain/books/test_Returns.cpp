// A buyer's withdrawal from notice to refund: the sale's account back at zero, the invoice
// cancelled by a document the e-invoice rules accept, and the advisor's file with the reversal.
#include <gtest/gtest.h>

#include "domain/bank/Matching.h"
#include "domain/books/Datev.h"
#include "domain/books/RefundMatching.h"
#include "domain/books/Returns.h"
#include "domain/db/Journal.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/trade/AuktionsListe.h"
#include "support/DbTestShared.h"
#include "support/EInvoiceCheck.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kNow(QDate(2026, 12, 10), QTime(16, 0));
const QDateTime kNotice(QDate(2026, 12, 8), QTime(9, 41));
Result<QByteArray> page(const Invoice& inv, const QByteArray&) { return QByteArray("%PDF " + inv.Nummer.toUtf8()); }

// Each DATEV line's effect on an account: debit plus, credit minus.
qint64 accountSum(const QByteArray& file, const QString& account) {
    qint64 sum = 0;
    const QStringList lines = QString::fromLatin1(file).split(u"\r\n"_s, Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.split(u';');
        if (f.size() < 8) continue;
        const qint64 cents = qRound64(QString(f[0]).replace(u',', u'.').toDouble() * 100);
        const bool debit = f[1] == u"\"S\""_s;
        if (f[6] == account) sum += debit ? cents : -cents;
        if (f[7] == account) sum += debit ? -cents : cents;
    }
    return sum;
}

class Returns : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    InvoiceProfile seller;

    void SetUp() override {
        DbTest::SetUp();
        seller.holder = u"Jörg Händler"_s;
        seller.address = u"Lindenweg 3, 24103 Kiel"_s;
        seller.steuerart = u"19"_s;
        seller.ustId = u"DE123456789"_s;
        seller.eInvoiceForAll = true;
    }
    void pay(const QString& nr, qint64 cents, int sales = 1) {
        Credit c;
        c.Buchungstag = QDate(2026, 12, 5);
        c.Cent = cents;
        c.Name = u"Dorota Wiśniewska"_s;
        c.Zweck = u"Artikel "_s + nr;
        const Result<QList<Proposal>> p = proposalsFor(st(), {c});
        ASSERT_TRUE(p.ok());
        ASSERT_EQ(applyProposals(st(), p.value()).value(), sales);
    }
    Result<RefundDone> refund(const QString& nr, qint64 cents) {
        return refundReturn(st(), nr, cents, kNow.date(), kNow, QString(), page);
    }
    qint64 balance(const QString& nr) { return loadAccountByNr(st(), nr).value().Saldo; }
    QStringList entryKinds(const QString& nr) {
        QStringList out;
        for (const JournalEntry& e : loadAccountByNr(st(), nr).value().Buchungen)
            out << e.Art + u' ' + QString::number(e.Cent) + (e.Konto.isEmpty() ? QString() : u' ' + e.Konto);
        return out;
    }
    // December's batch, with every booking kind, checked: debtor, revenue and bank each at zero.
    void expectDecemberBalanced(int cancellations, const QString& file) {
        DatevSetup setup;
        setup.berater = u"1001"_s;
        setup.mandant = u"42"_s;
        setup.accounts = datevAccounts(u"03"_s, QString());
        setup.steuerart = u"19"_s;
        const Result<DatevExport> ex = datevExport(st(), setup, QDate(2026, 12, 1), QDate(2026, 12, 31), kNow);
        ASSERT_TRUE(ex.ok()) << ex.error().message().toStdString();
        EXPECT_EQ(ex.value().cancellations, cancellations);
        for (const char* account : {"Debitor", "Erloese19", "Bank"})
            EXPECT_EQ(accountSum(ex.value().bytes, setup.accounts.value(QString::fromLatin1(account)).konto), 0)
                << account;
        app.write(file, ex.value().bytes);
        test::expectValidDatev(app.file(file));
    }
    QStringList overdue() {
        QStringList nrs;
        (void)forEachListRow(st(), ListChoice(ListFilter::Ueberfaellig, 0),
                             [&nrs](ListRow& r) { nrs << r.AuktionsNr; });
        nrs.sort();
        return nrs;
    }
};

TEST_F(Returns, AWithdrawalFromNoticeToRefund) {
    store(auktion(u"3141592601"_s, u"dorota_w"_s, u"01.12.2026"_s), kunde(u"dorota_w"_s, u"Dorota Wiśniewska"_s));
    const Result<IssuedInvoice> invoice =
        issueInvoice(st(), seller, u"3141592601"_s, QString(), kNow.addDays(-9), page);
    ASSERT_TRUE(invoice.ok()) << invoice.error().message().toStdString();
    pay(u"3141592601"_s, 1740);
    Database::open(db).execute(u"update Auktionen set Versendet = 1"_s);
    EXPECT_EQ(balance(u"3141592601"_s), 0);

    // Refused: a refund before the return, a storno after shipping, a notice from tomorrow.
    EXPECT_TRUE(test::failure(refund(u"3141592601"_s, 1740)).contains(u"keine Rückgabe erfasst"_s));
    EXPECT_TRUE(test::failure(recordReturn(st(), {u"3141592601"_s, ReturnKind::Storno, kNotice, {}}, kNow))
                    .contains(u"schon versendet"_s));
    EXPECT_TRUE(test::failure(recordReturn(st(), {u"3141592601"_s, ReturnKind::Widerruf, kNow.addDays(1), {}}, kNow))
                    .contains(u"nach dem heutigen Tag"_s));

    const Result<qint64> id =
        recordReturn(st(), {u"3141592601"_s, ReturnKind::Widerruf, kNotice, u"gefällt nicht"_s}, kNow);
    ASSERT_TRUE(id.ok()) << id.error().message().toStdString();
    EXPECT_FALSE(recordReturn(st(), {u"3141592601"_s, ReturnKind::Mangel, kNotice, {}}, kNow).ok());  // one open
    QList<OpenReturn> open = openReturns(st()).value();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0].eingang, kNotice);
    EXPECT_EQ(open[0].faellig(), QDate(2026, 12, 22));
    EXPECT_TRUE(open[0].unbestaetigt());
    const ListSummary told = loadListSummary(st(), 7).value();  // the status bar
    EXPECT_EQ(told.Rueckgaben, 1);
    EXPECT_EQ(told.RueckgabenUnbestaetigt, 1);
    EXPECT_EQ(told.RueckgabenUeberfaellig, 0);
    ASSERT_TRUE(confirmReturn(st(), id.value(), kNotice.addSecs(600)).ok());
    ASSERT_TRUE(goodsBack(st(), u"3141592601"_s, QDate(2026, 12, 10)).ok());
    open = openReturns(st()).value();
    EXPECT_FALSE(open[0].unbestaetigt());
    EXPECT_EQ(open[0].wareZurueck, QDate(2026, 12, 10));

    // Shipping included: the whole order went back. More than the sale is refused.
    EXPECT_TRUE(test::failure(refund(u"3141592601"_s, 1741)).contains(u"höchstens"_s));
    const Result<RefundDone> done = refund(u"3141592601"_s, 1740);
    ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
    EXPECT_EQ(done.value().erstattet, 1740);
    EXPECT_EQ(done.value().konto, konto::Bank);
    ASSERT_FALSE(done.value().storno.isEmpty());
    EXPECT_EQ(balance(u"3141592601"_s), 0);
    EXPECT_EQ(entryKinds(u"3141592601"_s), (QStringList{u"Forderung 1740"_s, u"Zahlung -1740 Bank"_s,
                                                        u"Rueckgabe -1740"_s, u"Erstattung 1740 Bank"_s}));
    EXPECT_TRUE(openReturns(st()).value().isEmpty());
    EXPECT_FALSE(refund(u"3141592601"_s, 1740).ok());                             // nothing booked twice
    EXPECT_EQ(count(u"select count(*) from Auktionen where Bezahlt <> 0"_s), 0);  // all of it went back
    EXPECT_TRUE(overdue().isEmpty());

    const auto storno = issuedInvoice(st(), done.value().storno).value();
    EXPECT_EQ(storno.first.Bezug, invoice.value().Nummer);
    app.write(u"storno.xml"_s, storno.first.Xml);
    test::expectValidEInvoice(app.file(u"storno.xml"_s));

    expectDecemberBalanced(1, u"EXTF_Buchungsstapel.csv"_s);
}

// Called off before shipping, nothing paid: the claim falls to zero, nothing is paid back, the sale
// is not "paid", and no reminder asks for it. Part paid: only what came in goes back.
TEST_F(Returns, CalledOffBeforeShipping) {
    store(auktion(u"3141592602"_s, u"jan_novak"_s, u"20.11.2026"_s), kunde(u"jan_novak"_s, u"Jan Novák"_s));
    store(auktion(u"3141592603"_s, u"eva_k"_s, u"20.11.2026"_s), kunde(u"eva_k"_s, u"Eva Kovács"_s));
    Credit part;
    part.Buchungstag = QDate(2026, 12, 2);
    part.Cent = 500;
    part.Name = u"Eva Kovács"_s;
    part.Zweck = u"Artikel 3141592603"_s;
    QList<Proposal> p = proposalsFor(st(), {part}).value();
    ASSERT_EQ(p.size(), 1);
    p[0].Teilzahlung = true;
    int parts = 0;
    ASSERT_TRUE(applyProposals(st(), p, &parts).ok());
    ASSERT_EQ(parts, 1);
    EXPECT_EQ(overdue(), (QStringList{u"3141592602"_s, u"3141592603"_s}));

    const struct {
        const char* nr;
        qint64 erstattet;
    } cases[] = {{"3141592602", 0}, {"3141592603", 500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nr);
        const QString nr = QString::fromLatin1(c.nr);
        ASSERT_TRUE(recordReturn(st(), {nr, ReturnKind::Storno, kNotice, {}}, kNow).ok());
        const Result<RefundDone> done = refund(nr, 1740);
        ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
        EXPECT_EQ(done.value().erstattet, c.erstattet);
        EXPECT_TRUE(done.value().storno.isEmpty());
        EXPECT_EQ(balance(nr), 0);
        EXPECT_EQ(count(u"select count(*) from Auktionen where AuktionsNr = ? and Bezahlt <> 0"_s, {nr}), 0);
    }
    EXPECT_TRUE(overdue().isEmpty());
    const ListSummary told = loadListSummary(st(), 0).value();
    EXPECT_EQ(told.Unbezahlt, 0);
    EXPECT_EQ(told.Ueberfaellig, 0);
    EXPECT_EQ(told.Rueckgaben, 0);
}

// A group invoiced together comes back a piece at a time: each piece its own partial cancellation
// (the price, no shipping), the invoice valid for the rest; the last piece cancels the rest with all
// the shipping, and every sale gives back what it still claims.
TEST_F(Returns, AGroupReturnedPieceByPiece) {
    const struct {
        const char *nr, *preis, *betrag;
    } sales[] = {{"401", "12,50", "17,40"}, {"402", "30,00", "34,90"}, {"403", "8,00", "12,90"}};
    for (const auto& s : sales) {
        tAuktion a = auktion(QString::fromLatin1(s.nr), u"buchladen"_s, u"01.12.2026"_s);
        a.Preis = QString::fromLatin1(s.preis);
        a.Betrag = QString::fromLatin1(s.betrag);
        store(a, kunde(u"buchladen"_s, u"Ilse Ødegård"_s));
    }
    Database::open(db).execute(u"update Auktionen set GruppenID = 'g4'"_s);
    const Result<IssuedInvoice> invoice = issueInvoice(st(), seller, u"401"_s, QString(), kNow.addDays(-9), page);
    ASSERT_TRUE(invoice.ok()) << invoice.error().message().toStdString();
    EXPECT_EQ(invoice.value().Cent, 6520);
    pay(u"401"_s, 6520, 3);
    QStringList xmls;
    const auto validXml = [&](const QString& nummer) {
        const auto doc = issuedInvoice(st(), nummer).value();
        EXPECT_EQ(doc.first.Bezug, invoice.value().Nummer);
        const QString name = nummer + u".xml"_s;
        app.write(name, doc.first.Xml);
        xmls << app.file(name);
        return doc;
    };

    // 402 back: its price alone; an amount with its shipping is refused, nothing booked.
    ASSERT_TRUE(recordReturn(st(), {u"402"_s, ReturnKind::Widerruf, kNotice, {}}, kNow).ok());
    EXPECT_TRUE(test::failure(refund(u"402"_s, 3490)).contains(u"Teilstornierung des Artikels 402 über 30,00 €"_s));
    EXPECT_EQ(count(u"select count(*) from Rechnungen"_s), 1);
    Result<RefundDone> done = refund(u"402"_s, 3000);
    ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
    EXPECT_EQ(done.value().erstattet, 3000);
    const auto part = validXml(done.value().storno);
    EXPECT_EQ(part.first.Art, u"Teilstorno"_s);
    EXPECT_EQ(part.first.Cent, -3000);
    EXPECT_EQ(part.first.Artikel, QStringList{u"402"_s});
    EXPECT_EQ(invoiceOfSale(st(), u"401"_s).value()->Nummer, invoice.value().Nummer);  // valid for the rest
    EXPECT_EQ(entryKinds(u"402"_s), (QStringList{u"Forderung 3490"_s, u"Zahlung -3490 Bank"_s, u"Rueckgabe -3000"_s,
                                                 u"Erstattung 3000 Bank"_s}));
    // Taken once: a second return of it finds its line cancelled.
    ASSERT_TRUE(recordReturn(st(), {u"402"_s, ReturnKind::Mangel, kNotice, {}}, kNow).ok());
    EXPECT_TRUE(test::failure(refund(u"402"_s, 0)).contains(u"schon storniert"_s));
    Database::open(db).execute(u"delete from Rueckgaben where Erledigt = ''"_s);

    ASSERT_TRUE(recordReturn(st(), {u"401"_s, ReturnKind::Widerruf, kNotice, {}}, kNow).ok());
    done = refund(u"401"_s, 1250);
    ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
    validXml(done.value().storno);

    // The last piece: its price and every shipping that is still claimed (4,90 each).
    ASSERT_TRUE(recordReturn(st(), {u"403"_s, ReturnKind::Widerruf, kNotice, {}}, kNow).ok());
    EXPECT_TRUE(test::failure(refund(u"403"_s, 800)).contains(u"über 22,70 €"_s));
    done = refund(u"403"_s, 2270);
    ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
    EXPECT_EQ(done.value().erstattet, 2270);
    const auto rest = validXml(done.value().storno);
    EXPECT_EQ(rest.first.Art, u"Storno"_s);
    EXPECT_EQ(rest.first.Cent, -2270);
    EXPECT_EQ(rest.second.Versand, -1470);
    EXPECT_FALSE(invoiceOfSale(st(), u"401"_s).value().has_value());  // cancelled now
    EXPECT_EQ(stateText(issuedInvoices(st()).value().last()), u"storniert durch "_s + done.value().storno);
    for (const char* nr : {"401", "402", "403"}) EXPECT_EQ(balance(QString::fromLatin1(nr)), 0) << nr;
    EXPECT_EQ(count(u"select sum(Cent) from Rechnungen"_s), 0);
    EXPECT_EQ(count(u"select count(*) from Auktionen where Bezahlt <> 0"_s), 0);
    EXPECT_TRUE(openReturns(st()).value().isEmpty());
    for (const QString& xml : std::as_const(xmls)) test::expectValidEInvoice(xml);

    expectDecemberBalanced(3, u"EXTF_Gruppe.csv"_s);
}

// Refunds the seller made in the online banking, read back from the statement: a transfer out
// that names an open return's item is its refund, on the bank's day; the same file read again
// books nothing twice; the rest of the money out stays none of ours.
TEST_F(Returns, RefundsFoundInAStatement) {
    const char* const nrs[] = {"3141592611", "3141592612", "3141592613"};
    for (const char* nr : nrs) {
        store(auktion(QString::fromLatin1(nr), u"dorota_w"_s, u"01.12.2026"_s),
              kunde(u"dorota_w"_s, u"Dorota Wiśniewska"_s));
        pay(QString::fromLatin1(nr), 1740);
        ASSERT_TRUE(recordReturn(st(), {QString::fromLatin1(nr), ReturnKind::Widerruf, kNotice, {}}, kNow).ok());
    }
    // 611 invoiced: its refund cancels the invoice as a refund by hand does.
    ASSERT_TRUE(issueInvoice(st(), seller, u"3141592611"_s, QString(), kNow, page).ok());

    const auto entry = [](const char* amount, const char* name, const char* text, const char* ref) {
        return QStringLiteral(
                   "<Ntry><NtryRef>%4</NtryRef><Amt Ccy=\"EUR\">%1</Amt><CdtDbtInd>DBIT</CdtDbtInd>"
                   "<Sts>BOOK</Sts><BookgDt><Dt>2026-12-09</Dt></BookgDt><NtryDtls><TxDtls><RltdPties>"
                   "<Cdtr><Nm>%2</Nm></Cdtr></RltdPties><RmtInf><Ustrd>%3</Ustrd></RmtInf></TxDtls>"
                   "</NtryDtls></Ntry>")
            .arg(QString::fromLatin1(amount), QString::fromUtf8(name), QString::fromUtf8(text),
                 QString::fromLatin1(ref));
    };
    const QString camt =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
        "<BkToCstmrStmt><Stmt><Id>1</Id>"_s +
        entry("17.40", "Dorota Wiśniewska", "Erstattung Widerruf 3141592611", "R1") +
        entry("15.00", "Dorota Wiśniewska", "Rückzahlung 3141592612 abzgl. Wertersatz", "R2") +
        entry("20.00", "Dorota Wiśniewska", "3141592613 Erstattung", "R3") +
        entry("850.00", "Hausverwaltung Nord", "Miete Dezember 314159261", "R4") +
        u"</Stmt></BkToCstmrStmt></Document>"_s;
    const Result<BankStatement> read = parseStatement(camt.toUtf8());
    ASSERT_TRUE(read.ok()) << read.error().message().toStdString();
    ASSERT_EQ(read.value().Ausgaenge.size(), 4);
    EXPECT_EQ(read.value().Lastschriften, 4);
    EXPECT_EQ(read.value().Ausgaenge[0].Name, u"Dorota Wiśniewska"_s);

    QList<RefundProposal> found = refundsFor(st(), read.value().Ausgaenge).value();
    ASSERT_EQ(found.size(), 3);  // not the rent
    const struct {
        const char* nr;
        qint64 zurueck;
        const char* grund;
    } expected[] = {{"3141592611", 1740, "Artikelnummer und Betrag"},
                    {"3141592612", 1500, "2,40 € einbehalten"},
                    {"3141592613", 0, "mehr als gezahlt"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].nr);
        EXPECT_EQ(found[i].AuktionsNr, QString::fromLatin1(expected[i].nr));
        EXPECT_EQ(found[i].Zurueck, expected[i].zurueck);
        EXPECT_TRUE(found[i].Grund.contains(QString::fromUtf8(expected[i].grund))) << found[i].Grund.toStdString();
    }
    QStringList notes;
    EXPECT_EQ(applyRefunds(st(), found, kNow, QString(), page, &notes).value(), 2);
    ASSERT_EQ(notes.size(), 3);
    EXPECT_TRUE(notes[0].contains(u"für 3141592611 gebucht, Stornorechnung RE-2026-0002"_s)) << notes[0].toStdString();
    EXPECT_TRUE(notes[2].contains(u"mehr als gezahlt"_s));
    EXPECT_EQ(entryKinds(u"3141592611"_s), (QStringList{u"Forderung 1740"_s, u"Zahlung -1740 Bank"_s,
                                                        u"Rueckgabe -1740"_s, u"Erstattung 1740 Bank"_s}));
    EXPECT_EQ(entryKinds(u"3141592612"_s), (QStringList{u"Forderung 1740"_s, u"Zahlung -1740 Bank"_s,
                                                        u"Rueckgabe -1500"_s, u"Erstattung 1500 Bank"_s}));
    EXPECT_EQ(count(u"select count(*) from Buchungen where Art = 'Erstattung' and Tag = '2026-12-09' and Quelle = "
                    "'Kontoauszug'"_s),
              2);
    ASSERT_EQ(openReturns(st()).value().size(), 1);  // 613 waits for the seller

    // Read again, as a CSV of the same days: known, nothing booked twice.
    const QByteArray csv = QStringLiteral(
                               "\"Buchungstag\";\"Verwendungszweck\";\"Beguenstigter/Zahlungspflichtiger\";\"Betrag\";"
                               "\"Waehrung\"\r\n\"09.12.26\";\"Erstattung Widerruf 3141592611\";\"Dorota "
                               "Wiśniewska\";\"-17,40\";\"EUR\"\r\n")
                               .toLatin1();
    const Result<BankStatement> again = parseStatement(csv);
    ASSERT_TRUE(again.ok()) << again.error().message().toStdString();
    ASSERT_EQ(again.value().Ausgaenge.size(), 1);
    found = refundsFor(st(), read.value().Ausgaenge).value();
    EXPECT_EQ(std::count_if(found.begin(), found.end(), [](const RefundProposal& p) { return p.Erfasst; }), 2);
    EXPECT_EQ(applyRefunds(st(), found, kNow, QString(), page).value(), 0);
    // The CSV's line has no bank reference: read by its text, it names a return no longer open.
    EXPECT_TRUE(refundsFor(st(), again.value().Ausgaenge).value().isEmpty());
    EXPECT_EQ(count(u"select count(*) from Buchungen where Art = 'Erstattung'"_s), 2);
}

}  // namespace
}  // namespace gd
