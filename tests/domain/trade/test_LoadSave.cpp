#include "domain/trade/Accounts.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/Trade.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

TEST_F(DbTest, ContactRoundTripAndNumber) {
    tKunde k = kunde(u"mueller_hans"_s, u"Hans Müller – Möbel €"_s);
    k.KundenNr = funSaveKunde(currentStore(), k, u"1234567890"_s).valueOr(QString());
    EXPECT_EQ(k.KundenNr, u"202612041234567890"_s);  // today + item number
    tKunde back;
    ASSERT_TRUE(test::found(
        test::into(back, funLoadKunde(currentStore(), u"MUELLER_HANS"_s))));  // member names match without case
    for (QString tKunde::*f : {&tKunde::KundenNr, &tKunde::Name, &tKunde::Strasse, &tKunde::Ort, &tKunde::Land,
                               &tKunde::Email, &tKunde::ebayName})
        EXPECT_EQ(back.*f, k.*f);
    EXPECT_TRUE(back.Kunde);
    EXPECT_FALSE(back.Lieferant);
}

// A known member is updated in place and keeps its number; a seller is found by its number.
TEST_F(DbTest, KnownContactsAreUpdatedAndKeepTheirNumber) {
    tKunde k = kunde(u"mueller_hans"_s);
    EXPECT_EQ(funSaveKunde(currentStore(), k, u"111"_s).valueOr(QString()), u"20261204111"_s);
    tKunde again = kunde(u"mueller_hans"_s, u"Hans Müller jun."_s);
    // Now as seller, under the number it has.
    EXPECT_EQ(funSaveLieferant(currentStore(), again, u"222"_s).valueOr(QString()), u"20261204111"_s);
    tKunde back;
    ASSERT_TRUE(test::found(test::into(back, funLoadKunde(currentStore(), u"mueller_hans"_s))));
    EXPECT_EQ(back.KundenNr, u"20261204111"_s);
    EXPECT_EQ(back.Name, u"Hans Müller jun."_s);
    EXPECT_FALSE(back.Kunde);
    EXPECT_TRUE(back.Lieferant);

    tKunde seller = kunde(u"haendler_x"_s);
    seller.Lieferant = true;
    seller.KundenNr = funSaveLieferantupdate(currentStore(), seller, u"999"_s).valueOr(QString());
    EXPECT_EQ(seller.KundenNr, u"20261204999"_s);
    seller.Ort = u"80331 München"_s;
    ASSERT_TRUE(test::ok(funSaveLieferantupdate(currentStore(), seller, u"999"_s)));
    EXPECT_EQ(contacts(), 2);
    ASSERT_TRUE(test::found(test::into(back, funLoadKunde(currentStore(), u"haendler_x"_s))));
    EXPECT_EQ(back.Ort, u"80331 München"_s);
    EXPECT_TRUE(back.Lieferant);
}

TEST_F(DbTest, AuctionRoundTripOfEveryField) {
    tAuktion a = auktion(u"1234567890"_s, u"mueller_hans"_s, u"04.12.2026 20:15:33"_s);
    a.Status = u"Bezahlt"_s;
    a.Versandversicherung = u"1,50 €"_s;
    a.Hinweise = u"Abholung möglich"_s;
    a.Versandinfos = u"EUR 4,90 Versandversicherung: 1,50"_s;
    a.Zahlungshinweise = u"Überweisung"_s;
    a.Bemerkungen = u"Stammkunde"_s;
    a.Mitteilungen = u"Bitte gut verpacken!\r\nDanke"_s;
    a.Bezahlung = u"Überweisung, Barzahlung"_s;
    a.EmailText = QString(1 << 20, QChar(0x00E4));  // 1 MB of "ä"
    const QString id = store(a, kunde(u"mueller_hans"_s));
    EXPECT_EQ(id, u"04.12.2026 08:44:021234567890"_s);
    const tAuktion b = loaded(id);
    EXPECT_EQ(b.KundenNr, u"202612041234567890"_s);
    EXPECT_EQ(b.EndeDatum, u"04.12.2026 20:15:33"_s);
    for (QString tAuktion::*f :
         {&tAuktion::AuktionsNr, &tAuktion::Titel, &tAuktion::Status, &tAuktion::Preis, &tAuktion::Menge,
          &tAuktion::Betrag, &tAuktion::Versandkosten, &tAuktion::Versandversicherung, &tAuktion::Hinweise,
          &tAuktion::Versandinfos, &tAuktion::Zahlungshinweise, &tAuktion::Bemerkungen, &tAuktion::Mitteilungen,
          &tAuktion::Bezahlung, &tAuktion::EmailText, &tAuktion::ebayName})
        EXPECT_EQ(b.*f, a.*f);
    EXPECT_EQ(b.GruppenID, QString());
    EXPECT_EQ(b.AuktionsID, id);
    for (const QDateTime& d : b.Datum) EXPECT_TRUE(isZeroDate(d));
}

TEST_F(DbTest, LengthLimitedColumnsAreCutAt254) {
    const struct { int length, stored; } cases[] = {{254, 254}, {255, 254}, {300, 254}, {10, 10}};
    int n = 0;
    for (const auto& c : cases) {
        tAuktion a = auktion(QString::number(++n), u"k"_s);
        a.Titel = QString(c.length, QLatin1Char('t'));
        a.Bemerkungen = QString(c.length, QChar(0x20AC));
        a.Preis = QString(c.length, QLatin1Char('p'));  // not a limited column
        const QString id = store(a, kunde(u"k"_s));
        const tAuktion b = loaded(id);
        EXPECT_EQ(b.Titel.size(), c.stored) << c.length;
        EXPECT_EQ(b.Bemerkungen.size(), c.stored) << c.length;
        EXPECT_EQ(b.Preis.size(), c.length);
    }
}

TEST_F(DbTest, RowKeysStayUniqueWithinOneSecond) {
    const QString a = store(auktion(u"42"_s, u"k"_s), kunde(u"k"_s));
    const QString b = store(auktion(u"42"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_EQ(a, u"04.12.2026 08:44:0242"_s);
    EXPECT_EQ(b, u"04.12.2026 08:44:0342"_s);
    EXPECT_EQ(auctions(), 2);
}

TEST_F(DbTest, OpenAuctionsOfAPartner) {
    EXPECT_FALSE(checkkundeStatus(currentStore(), u"k"_s, QString()).value());
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_TRUE(checkkundeStatus(currentStore(), u"K"_s, QString()).value());
    tAuktion a = loaded(id);
    a.Datum[3] = QDateTime(QDate(2026, 12, 5), QTime(0, 0));  // shipped
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 3)));
    EXPECT_FALSE(checkkundeStatus(currentStore(), u"k"_s, QString()).value());
}

// Rows of another owner are neither found nor counted as stored.
TEST_F(DbTest, TwoAccountsShareOneFile) {
    store(auktion(u"1"_s, u"partner"_s), kunde(u"partner"_s, u"A"_s));
    gSettings.StandardUser = u"zweiter"_s;
    const QString id2 = store(auktion(u"2"_s, u"partner"_s), kunde(u"partner"_s, u"B"_s));
    EXPECT_EQ(contacts(), 2);
    tKunde k;
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"partner"_s))));
    EXPECT_EQ(k.Name, u"B"_s);
    tAuktion a = loaded(id2);
    EXPECT_FALSE(checkAuktionnew(currentStore(), auktion(u"2"_s, u"partner"_s)).value());  // stored already
    gSettings.StandardUser = u"haendler"_s;
    EXPECT_TRUE(checkAuktionnew(currentStore(), auktion(u"2"_s, u"partner"_s))
                    .value());  // another owner's number does not count
    EXPECT_FALSE(checkAuktionnew(currentStore(), auktion(u"1"_s, u"partner"_s)).value());
    EXPECT_TRUE(test::missing(test::into(a, funLoadAuktion(currentStore(), id2))));  // another owner's row is not found
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"partner"_s))));
    EXPECT_EQ(k.Name, u"A"_s);
}

TEST_F(DbTest, QuotesAreMatchedLiterally) {
    store(auktion(u"1"_s, u"o'neill"_s), kunde(u"o'neill"_s, u"O'Neill"_s));
    tKunde k;
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"o'neill"_s))));
    EXPECT_EQ(k.Name, u"O'Neill"_s);
    EXPECT_TRUE(test::missing(test::into(k, funLoadKunde(currentStore(), u"' or '1'='1"_s))));
    tAuktion a;
    EXPECT_TRUE(test::missing(test::into(a, funLoadAuktion(currentStore(), u"' or '1'='1"_s))));
    EXPECT_FALSE(checkkundeStatus(currentStore(), u"' or '1'='1"_s, QString()).value());
    EXPECT_EQ(kundenNrOf(currentStore(), u"' or '1'='1"_s).value(), QString());
    EXPECT_TRUE(test::ok(saveGruppenID(currentStore(), u"x"_s, u"' or '1'='1"_s)));
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID <> ''"_s), 0);
}

TEST_F(DbTest, DeleteOneAuction) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    store(auktion(u"2"_s, u"k"_s), kunde(u"k"_s));
    const tAuktion a = loaded(id);
    EXPECT_TRUE(test::ok(subDeleteAuktion(currentStore(), a)));
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(test::failure(subDeleteAuktion(currentStore(), a)),  // no longer there
              u"Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r3021: Kein aktueller "
              "Datensatz."_s);
}

TEST_F(DbTest, MainWindowSaveEditsAndKeepsFirstSaveColumns) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    tAuktion a = loaded(id);
    a.Titel = u"Neuer Titel"_s;
    a.Versandinfos = u"geändert"_s;  // only written for a new row
    QString nr = a.KundenNr;
    ASSERT_TRUE(test::ok(funSaveAuktion(currentStore(), a, nr)));
    EXPECT_EQ(loaded(id).Titel, u"Neuer Titel"_s);
    EXPECT_EQ(loaded(id).Versandinfos, QString());
    // an unknown key inserts a row that can be loaded again
    tAuktion fresh = auktion(u"3"_s, u"k"_s);
    nr = u"x"_s;
    ASSERT_TRUE(test::ok(funSaveAuktion(currentStore(), fresh, nr)));
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where AuktionsID = ?"_s, {u"04.12.2026 08:44:023"_s}), 1);
}

// A transaction is held by the caller and passed on in the store: what its
// operations write stands or falls together, a nested one is a savepoint of it.
TEST_F(DbTest, TransactionLeavesNothingHalfWritten) {
    const Store store = currentStore();
    {
        Transaction tx(store);
        const Store in = store.within(tx);
        tKunde k = kunde(u"neu"_s);
        ASSERT_TRUE(test::ok(funSaveKunde(in, k, u"5"_s)));
        tAuktion bad = auktion(u"5"_s, u"neu"_s, u"kein Datum"_s);
        QString nr = k.KundenNr;
        EXPECT_FALSE(funSaveAuktionnew(in, bad, nr).ok());
        // not committed
    }
    EXPECT_EQ(contacts(), 0);
    EXPECT_EQ(auctions(), 0);
    {
        Transaction tx(store);
        const Store in = store.within(tx);
        tKunde k = kunde(u"neu"_s);
        ASSERT_TRUE(test::ok(funSaveKunde(in, k, u"5"_s)));
        QString nr = k.KundenNr;
        ASSERT_TRUE(test::ok(funSaveAuktionnew(in, auktion(u"5"_s, u"neu"_s), nr)));
        EXPECT_TRUE(test::ok(saveGruppenID(in, nr, u"neu"_s)));  // a savepoint inside
        tx.commit();
    }
    EXPECT_EQ(contacts(), 1);
    EXPECT_EQ(auctions(), 1);
}

// Rows of one member name given to another: every auction moves, and a partner
// both names know stays one contact row, so the list shows each auction once.
TEST_F(DbTest, MovingRowsKeepsOneContactAPartner) {
    gSettings.StandardUser = QString();
    store(auktion(u"1"_s, u"anna"_s), kunde(u"anna"_s, u"Anna Alt"_s));
    store(auktion(u"2"_s, u"bernd"_s), kunde(u"bernd"_s));
    gSettings.StandardUser = u"haendler"_s;
    store(auktion(u"3"_s, u"anna"_s), kunde(u"anna"_s, u"Anna Neu"_s));
    gSettings.StandardUser = u"drittes_konto"_s;
    store(auktion(u"4"_s, u"anna"_s), kunde(u"anna"_s));

    EXPECT_EQ(countTrades(currentStore(), QString()).value(), 2);
    EXPECT_EQ(moveTrades(currentStore(), QString(), u"haendler"_s).value(), 2);
    EXPECT_EQ(countTrades(currentStore(), QString()).value(), 0);
    EXPECT_EQ(countTrades(currentStore(), u"haendler"_s).value(), 3);
    EXPECT_EQ(countTrades(currentStore(), u"drittes_konto"_s).value(), 1);  // other accounts stay apart
    EXPECT_EQ(count(u"select count(*) as n from Kunden where Standarduser = 'haendler' and ebayName = 'anna'"_s), 1);
    const QList<ListRow> rows = loadAuktionsListe(Store{db, u"haendler"_s}, ListFilter::Alle).value();
    EXPECT_EQ(rows.size(), 3);
    for (const ListRow& r : rows)
        EXPECT_TRUE(r.ebayName != u"anna"_s || r.Name == u"Anna Neu"_s) << r.Name.toStdString();
    EXPECT_EQ(moveTrades(currentStore(), u"haendler"_s, u"HAENDLER"_s).value(), 0);  // the same name
    gsDataSource = app.file(u"fehlt.mdb"_s);
    EXPECT_TRUE(test::failure(moveTrades(currentStore(), u"a"_s, u"b"_s))
                    .startsWith(u"Beim Übernehmen der Auktionen ist ein Fehler aufgetreten:"_s));
}

TEST(Trade, TotalOfThePane) {
    const struct {
        const char *preis, *menge, *versand, *total;
    } cases[] = {{"EUR 12,50", "2", "EUR 4,90", "29,90"},
                 {"0,25", "2", "0", ",50"},
                 {"1.000,00", "3", "EUR 6,90", "3.006,90"},
                 {"-0,50", "1", "", "-,50"},
                 {"12,50", " 1 ", "", "12,50"}};
    for (const auto& c : cases)
        EXPECT_EQ(funBetrag(QString::fromUtf8(c.preis), QString::fromUtf8(c.menge), QString::fromUtf8(c.versand))
                      .value_or(u"-"_s)
                      .toStdString(),
                  c.total)
            << c.preis;
    EXPECT_FALSE(funBetrag(u"12,50"_s, u"zwei"_s, u"4,90"_s).has_value());
    EXPECT_FALSE(funBetrag(u"12,50"_s, u"1,5"_s, u"4,90"_s).has_value());
}

TEST(Trade, AgeOfTheItemPageAndItsAddress) {
    const QDate today(2026, 12, 4);
    EXPECT_EQ(daysSinceEnd(u"04.09.2026 23:59:59"_s, today), 91);
    EXPECT_EQ(daysSinceEnd(u"05.09.2026"_s, today), 90);
    EXPECT_EQ(daysSinceEnd(u"kein Datum"_s, today), 0);
    gsItemLink = u"http://cgi.ebay.de/ViewItem%26item=[#Artikel#]%26rd=1"_s;
    EXPECT_EQ(itemLink(gsItemLink, u" 1234567890) "_s), u"http://cgi.ebay.de/ViewItem%26item=1234567890%26rd=1"_s);
}

}  // namespace
}  // namespace gd
