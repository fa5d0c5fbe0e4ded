// The journal's rules, each as a table: what a credit, a payout line, the paid tick and a
// corrected total write, and what the balance and "Bezahlt" then say. Run on the file and, in the
// suite's second pass, on the server.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "base/SafeWrite.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Payouts.h"
#include "domain/bank/Statement.h"
#include "domain/db/Journal.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(JournalRules, APaymentIsSplitOverAGroupOldestFirst) {
    const struct {
        qint64 amount;
        QList<qint64> open, split;
    } cases[] = {
        {3050, {1200, 1850}, {1200, 1850}},  // exactly
        {1000, {1200, 1850}, {1000, 0}},     // short: the oldest first
        {2000, {1200, 1850}, {1200, 800}},   //
        {4000, {1200, 1850}, {1200, 2800}},  // over: the credit on the last
        {500, {0, 1850}, {0, 500}},          // a paid one takes nothing
        {999, {}, {}},                       // no sale
        {0, {1200}, {0}},                    //
        {-300, {1200, 100}, {0, -300}},      // a counter-entry goes whole to the last
        {1, {1, 1, 1}, {1, 0, 0}},           //
    };
    for (const auto& c : cases) EXPECT_EQ(allocate(c.amount, c.open), c.split) << c.amount;
}

TEST(JournalRules, BalanceAsTheUserReadsIt) {
    const struct {
        qint64 cents;
        const char *line, *pane;
    } cases[] = {
        {940, "Offen: 9,40 €", "offen 9,40 €"},
        {-2060, "Guthaben: 20,60 €", "Guthaben 20,60 €"},
        {0, "Ausgeglichen", "bezahlt"},
        {123456789, "Offen: 1.234.567,89 €", "offen 1.234.567,89 €"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(balanceText(c.cents), QString::fromUtf8(c.line));
        EXPECT_EQ(balanceShort(c.cents), QString::fromUtf8(c.pane));
    }
}

// What the files before the journal kept becomes entries whose balance is what they showed.
TEST(JournalRules, AnEarlierFilesMoneyAsEntries) {
    const auto row = [](const char* betrag, bool paid, QList<std::pair<QString, qint64>> parts = {}) {
        OpeningRow r;
        r.AuktionsID = u"id"_s;
        r.Betrag = QString::fromUtf8(betrag);
        r.EndeDatum = u"2026-12-01 10:00:00"_s;
        r.Bezahlt = paid;
        r.BezahltDatum = paid ? u"2026-12-05 00:00:00"_s : u"1899-12-30 00:00:00"_s;
        r.Teilzahlungen = std::move(parts);
        return r;
    };
    OpeningRow payout = row("29,40", true);
    payout.AuszahlungsID = u"P-1"_s;
    payout.AuszahlungsTag = u"2026-12-03"_s;
    payout.AuszahlungBrutto = 2940;
    payout.AuszahlungGebuehren = 412;
    OpeningRow paypal = row("22,00", true);
    paypal.PayPalGebuehren = {{u"9PP"_s, 77}};
    const struct {
        const char* what;
        OpeningRow r;
        qint64 balance;
        QStringList accounts;  // of the entries, in order
    } cases[] = {
        {"unpaid", row("35,40", false), 3540, {u""_s}},
        {"paid", row("30,90", true), 0, {u""_s, u"Bank"_s}},
        {"part paid", row("35,40", false, {{u"2026-12-06 00:00:00"_s, 2000}}), 1540, {u""_s, u"Bank"_s}},
        {"part paid, then paid", row("35,40", true, {{u"2026-12-06"_s, 2000}}), 0, {u""_s, u"Bank"_s, u"Bank"_s}},
        {"paid more in parts than asked", row("10,00", true, {{u"2026-12-06"_s, 1500}}), -500, {u""_s, u"Bank"_s}},
        {"through a payout", payout, 0, {u""_s, u"Plattform"_s, u"Plattform"_s}},
        {"through PayPal", paypal, 0, {u""_s, u"PayPal"_s, u"PayPal"_s}},
        {"paid without an amount", row("", true), 0, {u"Bank"_s}},  // still paid: a payment of 0
        {"an amount no one can read", row("viel", false), 0, {}},
    };
    for (const auto& c : cases) {
        const QList<JournalEntry> e = openingEntries(c.r);
        EXPECT_EQ(balanceOf(e), c.balance) << c.what;
        QStringList accounts;
        for (const JournalEntry& x : e) accounts << x.Konto;
        EXPECT_EQ(accounts, c.accounts) << c.what;
    }
    const QList<JournalEntry> viaPayout = openingEntries(payout);
    EXPECT_EQ(viaPayout[1].Tag, QDate(2026, 12, 3));  // the day the buyer paid the platform
    EXPECT_EQ(viaPayout[2].Art, art::Gebuehr);
    EXPECT_EQ(viaPayout[2].Cent, 412);
}

class Journal : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    // A sale of `betrag` to a buyer of its own.
    QString sale(const QString& nr, const QString& betrag, const QString& buyer = QString()) {
        tAuktion a = auktion(nr, buyer.isEmpty() ? u"kaeufer_"_s + nr : buyer);
        a.Betrag = betrag;
        return store(a, kunde(a.ebayName, u"Käufer "_s + nr));
    }
    TradeAccount account(const QString& id) { return loadAccount(st(), id).value(); }
    bool paid(const QString& id) { return loaded(id).Datum[2] != zeroDate(); }
    static Credit credit(qint64 cents, const QString& ref, const QString& zweck) {
        Credit c;
        c.Buchungstag = QDate(2026, 12, 4);
        c.Cent = cents;
        c.Name = u"Käufer"_s;
        c.Zweck = zweck;
        c.Referenz = ref;
        return c;
    }
    static Proposal confirmed(const Credit& c, const QString& id, const QString& nr, bool part) {
        Proposal p;
        p.Gutschrift = c;
        p.Einstufung = Grade::Sicher;
        p.AuktionsIDs = {id};
        p.AuktionsNrn = {nr};
        p.Teilzahlung = part;
        return p;
    }
};

// A credit is booked with the amount it has: short it stays open (or is written off when the user
// settles it), over it is the buyer's credit; and read again it is known.
TEST_F(Journal, ACreditIsBookedWithTheAmountItHas) {
    const struct {
        const char* what;
        qint64 credit;
        bool part;
        qint64 balance;
        bool paid;
        const char *note, *lastArt;
    } cases[] = {
        {"exact", 3540, false, 0, true, "", "Zahlung"},
        {"short, kept as a part payment", 2000, true, 1540, false, "Teilzahlung 20,00 €, offen 15,40 €", "Zahlung"},
        {"short, settled by the user", 2000, false, 0, true, "", "Abschreibung"},
        {"over", 5000, false, -1460, true, "14,60 € zu viel gezahlt", "Zahlung"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString nr = u"77%1"_s.arg(++n);
        const QString id = sale(nr, u"35,40"_s);
        const Credit cr = credit(c.credit, u"REF-"_s + nr, u"Kauf "_s + nr);
        QStringList notes;
        int parts = 0;
        ASSERT_TRUE(applyProposals(st(), {confirmed(cr, id, nr, c.part)}, &parts, &notes).ok());
        const TradeAccount a = account(id);
        EXPECT_EQ(a.Saldo, c.balance);
        EXPECT_EQ(paid(id), c.paid);
        EXPECT_EQ(a.Buchungen.back().Art, QString::fromUtf8(c.lastArt));
        EXPECT_EQ(parts, c.balance > 0 ? 1 : 0);
        EXPECT_TRUE(notes.join(u'|').contains(QString::fromUtf8(c.note))) << notes.join(u'|').toStdString();
        // Booked once: confirmed again it changes nothing, read again it is known with its sale.
        ASSERT_TRUE(applyProposals(st(), {confirmed(cr, id, nr, c.part)}).ok());
        EXPECT_EQ(account(id).Buchungen.size(), a.Buchungen.size());
        const QList<Proposal> again = proposalsFor(st(), {cr}).value();
        EXPECT_EQ(again[0].Einstufung, Grade::Erfasst);
        EXPECT_EQ(again[0].AuktionsNrn, QStringList{nr});
    }
    // A credit without the bank's reference is known by what it says.
    const QString id = sale(u"7800"_s, u"12,00"_s);
    const Credit plain = credit(1200, QString(), u"Artikel 7800"_s);
    ASSERT_TRUE(applyProposals(st(), {confirmed(plain, id, u"7800"_s, false)}).ok());
    EXPECT_EQ(proposalsFor(st(), {plain}).value()[0].Einstufung, Grade::Erfasst);
    Credit other = plain;
    other.Buchungstag = other.Buchungstag.addDays(1);  // the same amount a day later is another credit
    EXPECT_NE(creditKey(other), creditKey(plain));
}

// A payout line pays a sale only when its gross is what the sale owes and its fee lies between 0
// and the gross; anything else is listed with its reason and pays nothing.
TEST_F(Journal, APayoutLinePaysOnlyWhatIsOwed) {
    const struct {
        const char* what;
        qint64 gross, fees;
        bool pays;
        const char* reason;
    } cases[] = {
        {"as owed", 2940, 412, true, ""},
        {"a cent", 1, 0, false, "offen sind aber 29,40 €"},
        {"nothing", 0, 0, false, "keine Zahlung"},
        {"a refund", -2940, 0, false, "keine Zahlung"},
        {"a fee above the gross", 2940, 9900, false, "Gebühr 99,00 €"},
        {"more than owed", 3000, 100, false, "Brutto 30,00 €, offen sind aber 29,40 €"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString nr = u"55%1"_s.arg(++n);
        const QString id = sale(nr, u"29,40"_s);
        PayoutReport r;
        r.sales << PayoutLine{
            n, u"P-%1"_s.arg(n), QDate(2026, 12, 5), QDate(2026, 12, 4), nr, u"O-1"_s, QString(), c.gross, c.fees};
        const PayoutOutcome out = applyPayoutReport(st(), r).value();
        EXPECT_EQ(out.paid, c.pays ? 1 : 0);
        EXPECT_EQ(paid(id), c.pays);
        EXPECT_EQ(account(id).Saldo, c.pays ? 0 : 2940);
        if (!c.pays) {
            ASSERT_EQ(out.refused.size(), 1);
            EXPECT_TRUE(out.refused[0].contains(QString::fromUtf8(c.reason))) << out.refused[0].toStdString();
        }
        // A refused line is not kept: the payout's sums do not count it.
        EXPECT_EQ(count(u"select count(*) as n from AuszahlungsPosten where AuktionsNr = ?"_s, {nr}), c.pays ? 1 : 0);
    }
    const TradeAccount booked = account(loadAccountByNr(st(), u"551"_s).value().AuktionsIDs.front());
    ASSERT_EQ(booked.Buchungen.size(), 3);
    EXPECT_EQ(booked.Buchungen[1].Konto, konto::Plattform);
    EXPECT_EQ(booked.Buchungen[1].Tag, QDate(2026, 12, 4));  // the day the buyer paid the platform
    EXPECT_EQ(booked.Buchungen[2].Art, art::Gebuehr);
    EXPECT_EQ(booked.Buchungen[2].Cent, 412);
}

// A line for a sale whose mail has not come waits, and pays the sale when it arrives.
TEST_F(Journal, APayoutLineWaitsForItsSale) {
    PayoutReport r;
    r.sales << PayoutLine{1,    u"P-9"_s, QDate(2026, 12, 5), QDate(2026, 12, 4), u"6001"_s, u"O-9"_s, QString(),
                          2940, 300};
    EXPECT_EQ(applyPayoutReport(st(), r).value().unknown, QStringList{u"6001"_s});
    const QString id = sale(u"6001"_s, u"29,40"_s);
    EXPECT_TRUE(paid(id));
    const TradeAccount a = account(id);
    EXPECT_EQ(a.Saldo, 0);
    EXPECT_EQ(a.Buchungen[1].Text, u"Auszahlung vor dem Verkauf gelesen"_s);
    EXPECT_EQ(applyPayoutReport(st(), r).value().known, 1);  // read again: nothing twice
    EXPECT_EQ(account(id).Buchungen.size(), a.Buchungen.size());
}

// The tick pays what is open by hand on the picker's day; taken away it writes a counter-entry.
// A corrected total corrects the claim, and "Bezahlt" follows the balance.
TEST_F(Journal, TheTickAndACorrectedTotal) {
    const QString id = sale(u"8001"_s, u"35,40"_s);
    ASSERT_TRUE(applyProposals(st(), {confirmed(credit(2000, u"R1"_s, u"8001"_s), id, u"8001"_s, true)}).ok());
    tAuktion a = loaded(id);
    a.Datum[2] = QDateTime(QDate(2026, 12, 4), QTime(0, 0));
    ASSERT_TRUE(SaveStatus(currentStore(), a, 2).ok());
    TradeAccount acc = account(id);
    EXPECT_EQ(acc.Saldo, 0);
    EXPECT_EQ(acc.Buchungen.back().Cent, -1540);
    EXPECT_EQ(acc.Buchungen.back().Konto, konto::Kasse);
    EXPECT_EQ(acc.Buchungen.back().Tag, QDate(2026, 12, 4));
    // Not paid after all: what came in is undone by one entry, the whole total open again.
    a = loaded(id);
    a.Datum[2] = zeroDate();
    ASSERT_TRUE(SaveStatus(currentStore(), a, 2).ok());
    acc = account(id);
    EXPECT_EQ(acc.Saldo, 3540);
    EXPECT_EQ(acc.Buchungen.back().Art, art::Storno);
    EXPECT_FALSE(paid(id));
    // Paid, then the total corrected upwards: the rest is open and the sale unpaid again.
    a = loaded(id);
    a.Datum[2] = QDateTime(QDate(2026, 12, 4), QTime(0, 0));
    ASSERT_TRUE(SaveStatus(currentStore(), a, 2).ok());
    a = loaded(id);
    a.Betrag = u"40,40"_s;
    QString kundennr = a.KundenNr;
    ASSERT_TRUE(funSaveAuktion(currentStore(), a, kundennr).ok());
    acc = account(id);
    EXPECT_EQ(acc.Saldo, 500);
    EXPECT_EQ(acc.Buchungen.back().Art, art::Forderung);
    EXPECT_FALSE(paid(id));
    EXPECT_EQ(loaded(id).Status, QString());  // no milestone left
    // Written off: paid although the difference stays.
    ASSERT_TRUE(writeOff(st(), id, QDate(2026, 12, 4), u"Kulanz"_s).ok());
    EXPECT_TRUE(paid(id));
    EXPECT_EQ(account(id).Buchungen.back().Text, u"Kulanz"_s);
}

// A group pays as one: a transfer of its total pays every sale of it, a short one the oldest first.
TEST_F(Journal, AGroupPaysAsOne) {
    const QString first = sale(u"9001"_s, u"12,00"_s, u"sean_oneill"_s);
    const QString second = sale(u"9002"_s, u"18,50"_s, u"sean_oneill"_s);
    const QString k = loaded(first).KundenNr;
    Database::open(db).execute(
        u"update Auktionen set KundenNr = ?, GruppenID = ? where AuktionsNr in ('9001', '9002')"_s, {k, k});
    Proposal p = confirmed(credit(2000, u"G1"_s, u"9001 9002"_s), first, u"9001"_s, true);
    p.AuktionsIDs = {first, second};
    ASSERT_TRUE(applyProposals(st(), {p}).ok());
    EXPECT_TRUE(paid(first));
    EXPECT_FALSE(paid(second));
    EXPECT_EQ(account(second).Saldo, 1050);  // the group's rest, from either of its sales
    p.Gutschrift = credit(1050, u"G2"_s, u"Rest"_s);
    ASSERT_TRUE(applyProposals(st(), {p}).ok());
    EXPECT_TRUE(paid(second));
    EXPECT_EQ(account(first).Saldo, 0);
}

// What a statement's entries are: money received, money taken back, or neither; never a guess.
TEST(StatementReturns, WhatEachEntryIs) {
    const auto camt = [](const char* entry) {
        return (u"<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
                "<BkToCstmrStmt><Stmt>"_s +
                QString::fromUtf8(entry) + u"</Stmt></BkToCstmrStmt></Document>"_s)
            .toUtf8();
    };
    const auto tx = [](const char* amount, const char* dir, const char* name, const char* zweck) {
        return QStringLiteral(
                   "<TxDtls>%1%2<RltdPties><Dbtr><Nm>%3</Nm></Dbtr></RltdPties><RmtInf><Ustrd>%4</Ustrd>"
                   "</RmtInf></TxDtls>")
            .arg(*amount ? QStringLiteral("<Amt Ccy=\"EUR\">%1</Amt>").arg(QString::fromLatin1(amount)) : QString(),
                 *dir ? QStringLiteral("<CdtDbtInd>%1</CdtDbtInd>").arg(QString::fromLatin1(dir)) : QString(),
                 QString::fromUtf8(name), QString::fromUtf8(zweck));
    };
    const auto entry = [](const char* amount, const char* dir, const char* extra, const QString& txs) {
        return QStringLiteral(
                   "<Ntry><NtryRef>E1</NtryRef><Amt Ccy=\"EUR\">%1</Amt><CdtDbtInd>%2</CdtDbtInd>%3"
                   "<Sts><Cd>BOOK</Cd></Sts><BookgDt><Dt>2026-12-08</Dt></BookgDt><NtryDtls>%4</NtryDtls>"
                   "</Ntry>")
            .arg(QString::fromLatin1(amount), QString::fromLatin1(dir), QString::fromLatin1(extra), txs)
            .toUtf8();
    };
    const struct {
        const char* what;
        QByteArray entry;
        int credits, returns, debits, listed;
    } cases[] = {
        {"a credit", entry("29.40", "CRDT", "", tx("", "", "Jörg", "4711")), 1, 0, 0, 0},
        {"a direct debit of ours", entry("62.00", "DBIT", "", tx("", "", "Stadtwerke", "Strom")), 0, 0, 1, 0},
        {"a returned debit, marked", entry("29.40", "DBIT", "<RvslInd>true</RvslInd>", tx("", "", "Jörg", "4711")), 0,
         1, 0, 0},
        {"a returned debit, by its words", entry("29.40", "DBIT", "", tx("", "", "Jörg", "RUECKLASTSCHRIFT 4711")), 0,
         1, 0, 0},
        {"a credit marked as a reversal", entry("29.40", "CRDT", "<RvslInd>true</RvslInd>", tx("", "", "Jörg", "4711")),
         0, 0, 0, 1},
        {"a debit inside a credit entry",
         entry("10.00", "CRDT", "", tx("39.40", "CRDT", "Anna", "4712") + tx("29.40", "DBIT", "Jörg", "4711")), 1, 1, 0,
         0},
        {"a batch with each amount",
         entry("50.00", "CRDT", "", tx("20.00", "", "Anna", "4712") + tx("30.00", "", "Ben", "4713")), 2, 0, 0, 0},
        {"a batch without its parts' amounts",
         entry("50.00", "CRDT", "", tx("", "", "Anna", "4712") + tx("", "", "Ben", "4713")), 0, 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<BankStatement> st = parseStatement(camt(c.entry.constData()));
        ASSERT_TRUE(st.ok()) << st.error().message().toStdString();
        EXPECT_EQ(st.value().Gutschriften.size(), c.credits);
        EXPECT_EQ(st.value().Rueckbuchungen.size(), c.returns);
        EXPECT_EQ(st.value().Lastschriften, c.debits);
        EXPECT_EQ(st.value().NichtGelesen.size(), c.listed);
    }
    // A CSV line of money out with the bank's word for it.
    const QByteArray csv =
        "Buchung;Auftraggeber/Empf\xe4nger;Verwendungszweck;Betrag;W\xe4hrung\r\n"
        "08.12.2026;J\xf6rg Plattner;RUECKLASTSCHRIFT Artikel 4711;-29,40;EUR\r\n"
        "08.12.2026;Stadtwerke;Strom;-62,00;EUR\r\n";
    const Result<BankStatement> st = parseBankCsv(csv, {});
    ASSERT_TRUE(st.ok());
    ASSERT_EQ(st.value().Rueckbuchungen.size(), 1);
    EXPECT_EQ(st.value().Rueckbuchungen[0].Cent, 2940);
    EXPECT_EQ(st.value().Lastschriften, 1);
    // A download of daily files in a ZIP: the return of the second day counts as in a file of its own.
    QTemporaryDir dir;
    const QString day1 = dir.filePath(u"tag1.xml"_s), day2 = dir.filePath(u"tag2.xml"_s),
                  zip = dir.filePath(u"auszuege.zip"_s);
    ASSERT_TRUE(writeFileSafely(day1, camt(cases[0].entry.constData())).ok());
    ASSERT_TRUE(writeFileSafely(day2, camt(cases[2].entry.constData())).ok());
    QProcess p;
    p.start(u"python3"_s, {u"-c"_s,
                           u"import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                           "    [z.write(f, f.split('/')[-1]) for f in sys.argv[2:]]"_s,
                           zip, day1, day2});
    ASSERT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    const Result<BankStatement> zipped = readStatement(zip);
    ASSERT_TRUE(zipped.ok()) << zipped.error().message().toStdString();
    EXPECT_EQ(zipped.value().Gutschriften.size(), 1);
    ASSERT_EQ(zipped.value().Rueckbuchungen.size(), 1);
    EXPECT_EQ(zipped.value().Rueckbuchungen[0].Cent, 2940);
}

// A returned payment reopens the sale it paid, once, and pays nothing.
TEST_F(Journal, AReturnedDebitReopensItsSale) {
    const QString id = sale(u"4711"_s, u"29,40"_s, u"joerg"_s);
    ASSERT_EQ(applyProposals(st(), {confirmed(credit(2940, u"IN-1"_s, u"4711"_s), id, u"4711"_s, false)}).value(), 1);
    Credit back = credit(2940, u"BACK-1"_s, u"RUECKLASTSCHRIFT 4711"_s);
    back.Name = u"Jörg Plattner"_s;
    const QList<ReturnProposal> found = returnsFor(st(), {back}).value();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].AuktionsNr, u"4711"_s);
    QStringList notes;
    ASSERT_EQ(applyReturns(st(), found, &notes).value(), 1);
    EXPECT_FALSE(paid(id));
    EXPECT_EQ(account(id).Saldo, 2940);
    EXPECT_EQ(account(id).Buchungen.back().Art, art::Rueckbuchung);
    EXPECT_TRUE(notes.join(u'|').contains(u"wieder offen 29,40 €"_s)) << notes.join(u'|').toStdString();
    // Read again: known, nothing twice.
    const QList<ReturnProposal> again = returnsFor(st(), {back}).value();
    EXPECT_TRUE(again[0].Erfasst);
    ASSERT_EQ(applyReturns(st(), again).value(), 0);
    EXPECT_EQ(account(id).Saldo, 2940);
    // A return no payment fits is named, and changes nothing.
    Credit stranger = credit(1234, u"BACK-2"_s, u"RUECKLASTSCHRIFT"_s);
    notes.clear();
    ASSERT_EQ(applyReturns(st(), returnsFor(st(), {stranger}).value(), &notes).value(), 0);
    EXPECT_TRUE(notes.join(u'|').contains(u"bitte selbst prüfen"_s));
}

TEST_F(Journal, ACreditPaidBack) {
    const QString id = sale(u"4720"_s, u"41,90"_s);
    ASSERT_TRUE(applyProposals(st(), {confirmed(credit(5000, u"OV-1"_s, u"4720"_s), id, u"4720"_s, false)}).ok());
    EXPECT_EQ(balanceText(account(id).Saldo), u"Guthaben: 8,10 €"_s);
    ASSERT_TRUE(refundCredit(st(), id, QDate(2026, 12, 4)).ok());
    EXPECT_EQ(account(id).Saldo, 0);
    EXPECT_EQ(account(id).Buchungen.back().Art, art::Erstattung);
    EXPECT_TRUE(paid(id));
    EXPECT_FALSE(refundCredit(st(), id, QDate(2026, 12, 4)).ok());  // nothing left to pay back
}

TEST_F(Journal, AnEntryIsNeverChanged) {
    const QString id = sale(u"9101"_s, u"10,00"_s);
    Database d = Database::open(db);
    try {
        d.execute(u"update Buchungen set Cent = 1 where AuktionsID = ?"_s, {id});
        ADD_FAILURE() << "changed";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.description().contains(u"Gegenbuchung"_s)) << e.description().toStdString();
    }
    EXPECT_EQ(account(id).Saldo, 1000);
    // Gone with its sale, as its parcel and mails are.
    ASSERT_TRUE(subDeleteAuktion(st(), loaded(id)).ok());
    EXPECT_EQ(count(u"select count(*) as n from Buchungen where AuktionsID = ?"_s, {id}), 0);
}

}  // namespace
}  // namespace gd
