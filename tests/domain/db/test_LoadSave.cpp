#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

TEST_F(DbTest, ContactRoundTripAndNumber) {
    tKunde k = kunde(u"mueller_hans"_s, u"Hans Müller – Möbel €"_s);
    ASSERT_TRUE(test::ok(funSaveKunde(k, u"1234567890"_s)));
    EXPECT_EQ(k.KundenNr, u"202612041234567890"_s);  // today + item number
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, u"MUELLER_HANS"_s)));  // member names match without case
    for (QString tKunde::*f : {&tKunde::KundenNr, &tKunde::Name, &tKunde::Strasse, &tKunde::Ort, &tKunde::Land,
                               &tKunde::Email, &tKunde::ebayName})
        EXPECT_EQ(back.*f, k.*f);
    EXPECT_TRUE(back.Kunde);
    EXPECT_FALSE(back.Lieferant);
}

TEST_F(DbTest, KnownMemberIsUpdatedAndKeepsItsNumber) {
    tKunde k = kunde(u"mueller_hans"_s);
    ASSERT_TRUE(test::ok(funSaveKunde(k, u"111"_s)));
    tKunde again = kunde(u"mueller_hans"_s, u"Hans Müller jun."_s);
    ASSERT_TRUE(test::ok(funSaveLieferant(again, u"222"_s)));  // now as seller
    EXPECT_EQ(again.KundenNr, QString());                      // not read back
    EXPECT_EQ(contacts(), 1);
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, u"mueller_hans"_s)));
    EXPECT_EQ(back.KundenNr, u"20261204111"_s);
    EXPECT_EQ(back.Name, u"Hans Müller jun."_s);
    EXPECT_FALSE(back.Kunde);
    EXPECT_TRUE(back.Lieferant);
}

TEST_F(DbTest, SellerUpdateByNumber) {
    tKunde k = kunde(u"haendler_x"_s);
    k.Lieferant = true;
    ASSERT_TRUE(test::ok(funSaveLieferantupdate(k, u"999"_s)));
    EXPECT_EQ(k.KundenNr, u"20261204999"_s);
    k.Ort = u"80331 München"_s;
    ASSERT_TRUE(test::ok(funSaveLieferantupdate(k, u"999"_s)));
    EXPECT_EQ(contacts(), 1);
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, u"haendler_x"_s)));
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
    tAuktion b;
    ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
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
    struct Case {
        int length, stored;
    };
    const Case cases[] = {{254, 254}, {255, 254}, {300, 254}, {10, 10}};
    int n = 0;
    for (const Case& c : cases) {
        tAuktion a = auktion(QString::number(++n), u"k"_s);
        a.Titel = QString(c.length, QLatin1Char('t'));
        a.Bemerkungen = QString(c.length, QChar(0x20AC));
        a.Preis = QString(c.length, QLatin1Char('p'));  // not a limited column
        const QString id = store(a, kunde(u"k"_s));
        tAuktion b;
        ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
        EXPECT_EQ(b.Titel.size(), c.stored) << c.length;
        EXPECT_EQ(b.Bemerkungen.size(), c.stored) << c.length;
        EXPECT_EQ(b.Preis.size(), c.length);
    }
    EXPECT_EQ(checklaenge(QString(255, QLatin1Char('x'))).size(), 254);
}

TEST_F(DbTest, GroupIdBecomesTheContactNumber) {
    tAuktion a = auktion(u"77"_s, u"k"_s);
    a.GruppenID = u"2026120111"_s;
    QString nr = u"2026120477"_s;
    ASSERT_TRUE(test::ok(funSaveAuktionnew(a, nr)));
    EXPECT_EQ(nr, u"2026120111"_s);
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where KundenNr = ? and GruppenID = ?"_s,
                    {u"2026120111"_s, u"2026120111"_s}),
              1);
}

TEST_F(DbTest, RowKeysStayUniqueWithinOneSecond) {
    const QString a = store(auktion(u"42"_s, u"k"_s), kunde(u"k"_s));
    const QString b = store(auktion(u"42"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_EQ(a, u"04.12.2026 08:44:0242"_s);
    EXPECT_EQ(b, u"04.12.2026 08:44:0342"_s);
    EXPECT_EQ(auctions(), 2);
}

TEST_F(DbTest, StoredItemNumberAndOtherOwnersDoNotCount) {
    store(auktion(u"1234"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_TRUE(checkAuktionnew(auktion(u"9999"_s, u"k"_s)).value());
    EXPECT_FALSE(checkAuktionnew(auktion(u"1234"_s, u"k"_s)).value());
    gsStandardUser = u"anderer"_s;
    EXPECT_TRUE(checkAuktionnew(auktion(u"1234"_s, u"k"_s)).value());
}

TEST_F(DbTest, OpenAuctionsOfAPartner) {
    EXPECT_FALSE(checkkundeStatus(u"k"_s, QString()).value());
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_TRUE(checkkundeStatus(u"K"_s, QString()).value());
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    a.Datum[3] = QDateTime(QDate(2026, 12, 5), QTime(0, 0));  // shipped
    ASSERT_TRUE(test::ok(SaveStatus(a, 3)));
    EXPECT_FALSE(checkkundeStatus(u"k"_s, QString()).value());
}

TEST_F(DbTest, TwoAccountsShareOneFile) {
    store(auktion(u"1"_s, u"partner"_s), kunde(u"partner"_s, u"A"_s));
    gsStandardUser = u"zweiter"_s;
    const QString id2 = store(auktion(u"2"_s, u"partner"_s), kunde(u"partner"_s, u"B"_s));
    EXPECT_EQ(contacts(), 2);
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, u"partner"_s)));
    EXPECT_EQ(k.Name, u"B"_s);
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id2)));
    EXPECT_FALSE(checkAuktionnew(auktion(u"2"_s, u"partner"_s)).value());
    gsStandardUser = u"haendler"_s;
    EXPECT_TRUE(test::missing(funLoadAuktion(a, id2)));  // another owner's row is not found
    ASSERT_TRUE(test::found(funLoadKunde(k, u"partner"_s)));
    EXPECT_EQ(k.Name, u"A"_s);
}

TEST_F(DbTest, QuotesAreMatchedLiterally) {
    store(auktion(u"1"_s, u"o'neill"_s), kunde(u"o'neill"_s, u"O'Neill"_s));
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, u"o'neill"_s)));
    EXPECT_EQ(k.Name, u"O'Neill"_s);
    EXPECT_TRUE(test::missing(funLoadKunde(k, u"' or '1'='1"_s)));
    tAuktion a;
    EXPECT_TRUE(test::missing(funLoadAuktion(a, u"' or '1'='1"_s)));
    EXPECT_FALSE(checkkundeStatus(u"' or '1'='1"_s, QString()).value());
    EXPECT_EQ(LoadMaxGruppenID(u"' or '1'='1"_s).value(), QString());
    EXPECT_TRUE(test::ok(saveGruppenID(u"x"_s, u"' or '1'='1"_s)));
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID <> ''"_s), 0);
}

TEST_F(DbTest, DeleteOneAuction) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    store(auktion(u"2"_s, u"k"_s), kunde(u"k"_s));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    EXPECT_TRUE(test::ok(subDeleteAuktion(a)));
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(test::failure(subDeleteAuktion(a)),  // no longer there
              u"Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r3021: Kein aktueller "
              "Datensatz."_s);
}

TEST_F(DbTest, MainWindowSaveEditsAndKeepsFirstSaveColumns) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    a.Titel = u"Neuer Titel"_s;
    a.Versandinfos = u"geändert"_s;  // only written for a new row
    QString nr = a.KundenNr;
    ASSERT_TRUE(test::ok(funSaveAuktion(a, nr)));
    tAuktion b;
    ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
    EXPECT_EQ(b.Titel, u"Neuer Titel"_s);
    EXPECT_EQ(b.Versandinfos, QString());
    // an unknown key inserts a row that can be loaded again
    tAuktion fresh = auktion(u"3"_s, u"k"_s);
    nr = u"x"_s;
    ASSERT_TRUE(test::ok(funSaveAuktion(fresh, nr)));
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

}  // namespace
}  // namespace gd
