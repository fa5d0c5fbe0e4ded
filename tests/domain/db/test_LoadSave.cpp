#include "support/DbTestShared.h"

namespace gd {
namespace {

using test::DbTest;

TEST_F(DbTest, ContactRoundTripAndNumber) {
    tKunde k = kunde(QStringLiteral("mueller_hans"), QStringLiteral("Hans Müller – Möbel €"));
    ASSERT_TRUE(test::ok(funSaveKunde(k, QStringLiteral("1234567890"))));
    EXPECT_EQ(k.KundenNr, QStringLiteral("202612041234567890"));  // today + item number
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, QStringLiteral("MUELLER_HANS"))));  // member names match without case
    EXPECT_EQ(back.KundenNr, k.KundenNr);
    EXPECT_EQ(back.Name, k.Name);
    EXPECT_EQ(back.Strasse, k.Strasse);
    EXPECT_EQ(back.Ort, k.Ort);
    EXPECT_EQ(back.Land, k.Land);
    EXPECT_EQ(back.Email, k.Email);
    EXPECT_EQ(back.ebayName, k.ebayName);
    EXPECT_TRUE(back.Kunde);
    EXPECT_FALSE(back.Lieferant);
}

TEST_F(DbTest, KnownMemberIsUpdatedAndKeepsItsNumber) {
    tKunde k = kunde(QStringLiteral("mueller_hans"));
    ASSERT_TRUE(test::ok(funSaveKunde(k, QStringLiteral("111"))));
    tKunde again = kunde(QStringLiteral("mueller_hans"), QStringLiteral("Hans Müller jun."));
    ASSERT_TRUE(test::ok(funSaveLieferant(again, QStringLiteral("222"))));  // now as seller
    EXPECT_EQ(again.KundenNr, QString());                                   // not read back
    EXPECT_EQ(contacts(), 1);
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, QStringLiteral("mueller_hans"))));
    EXPECT_EQ(back.KundenNr, QStringLiteral("20261204111"));
    EXPECT_EQ(back.Name, QStringLiteral("Hans Müller jun."));
    EXPECT_FALSE(back.Kunde);
    EXPECT_TRUE(back.Lieferant);
}

TEST_F(DbTest, SellerUpdateByNumber) {
    tKunde k = kunde(QStringLiteral("haendler_x"));
    k.Lieferant = true;
    ASSERT_TRUE(test::ok(funSaveLieferantupdate(k, QStringLiteral("999"))));
    EXPECT_EQ(k.KundenNr, QStringLiteral("20261204999"));
    k.Ort = QStringLiteral("80331 München");
    ASSERT_TRUE(test::ok(funSaveLieferantupdate(k, QStringLiteral("999"))));
    EXPECT_EQ(contacts(), 1);
    tKunde back;
    ASSERT_TRUE(test::found(funLoadKunde(back, QStringLiteral("haendler_x"))));
    EXPECT_EQ(back.Ort, QStringLiteral("80331 München"));
    EXPECT_TRUE(back.Lieferant);
}

TEST_F(DbTest, AuctionRoundTripOfEveryField) {
    tAuktion a =
        auktion(QStringLiteral("1234567890"), QStringLiteral("mueller_hans"), QStringLiteral("04.12.2026 20:15:33"));
    a.Status = QStringLiteral("Bezahlt");
    a.Versandversicherung = QStringLiteral("1,50 €");
    a.Hinweise = QStringLiteral("Abholung möglich");
    a.Versandinfos = QStringLiteral("EUR 4,90 Versandversicherung: 1,50");
    a.Zahlungshinweise = QStringLiteral("Überweisung");
    a.Bemerkungen = QStringLiteral("Stammkunde");
    a.Mitteilungen = QStringLiteral("Bitte gut verpacken!\r\nDanke");
    a.Bezahlung = QStringLiteral("Überweisung, Barzahlung");
    a.EmailText = QString(1 << 20, QChar(0x00E4));  // 1 MB of "ä"
    const QString id = store(a, kunde(QStringLiteral("mueller_hans")));
    EXPECT_EQ(id, QStringLiteral("04.12.2026 08:44:021234567890"));
    tAuktion b;
    ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
    EXPECT_EQ(b.KundenNr, QStringLiteral("202612041234567890"));
    EXPECT_EQ(b.AuktionsNr, a.AuktionsNr);
    EXPECT_EQ(b.Titel, a.Titel);
    EXPECT_EQ(b.EndeDatum, QStringLiteral("04.12.2026 20:15:33"));
    EXPECT_EQ(b.Status, a.Status);
    EXPECT_EQ(b.Preis, a.Preis);
    EXPECT_EQ(b.Menge, a.Menge);
    EXPECT_EQ(b.Betrag, a.Betrag);
    EXPECT_EQ(b.Versandkosten, a.Versandkosten);
    EXPECT_EQ(b.Versandversicherung, a.Versandversicherung);
    EXPECT_EQ(b.Hinweise, a.Hinweise);
    EXPECT_EQ(b.Versandinfos, a.Versandinfos);
    EXPECT_EQ(b.Zahlungshinweise, a.Zahlungshinweise);
    EXPECT_EQ(b.Bemerkungen, a.Bemerkungen);
    EXPECT_EQ(b.Mitteilungen, a.Mitteilungen);
    EXPECT_EQ(b.Bezahlung, a.Bezahlung);
    EXPECT_EQ(b.EmailText, a.EmailText);
    EXPECT_EQ(b.ebayName, a.ebayName);
    EXPECT_EQ(b.GruppenID, QString());
    EXPECT_EQ(b.AuktionsID, id);
    for (const QDateTime& d : b.Datum) EXPECT_TRUE(isZeroDate(d));
    EXPECT_EQ(b.EndeDatum, QStringLiteral("04.12.2026 20:15:33"));
}

TEST_F(DbTest, LengthLimitedColumnsAreCutAt254) {
    struct Case {
        int length, stored;
    };
    const Case cases[] = {{254, 254}, {255, 254}, {300, 254}, {10, 10}};
    int n = 0;
    for (const Case& c : cases) {
        tAuktion a = auktion(QString::number(++n), QStringLiteral("k"));
        a.Titel = QString(c.length, QLatin1Char('t'));
        a.Bemerkungen = QString(c.length, QChar(0x20AC));
        a.Preis = QString(c.length, QLatin1Char('p'));  // not a limited column
        const QString id = store(a, kunde(QStringLiteral("k")));
        tAuktion b;
        ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
        EXPECT_EQ(b.Titel.size(), c.stored) << c.length;
        EXPECT_EQ(b.Bemerkungen.size(), c.stored) << c.length;
        EXPECT_EQ(b.Preis.size(), c.length);
    }
    EXPECT_EQ(checklaenge(QString(255, QLatin1Char('x'))).size(), 254);
}

TEST_F(DbTest, BadEndDateStoresNothing) {
    tAuktion a = auktion(QStringLiteral("55"), QStringLiteral("k"), QStringLiteral("morgen"));
    QString nr = QStringLiteral("1");
    EXPECT_EQ(test::failure(funSaveAuktionnew(a, nr)),
              QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r13: Typen unverträglich"));
    EXPECT_EQ(auctions(), 0);
}

TEST_F(DbTest, GroupIdBecomesTheContactNumber) {
    tAuktion a = auktion(QStringLiteral("77"), QStringLiteral("k"));
    a.GruppenID = QStringLiteral("2026120111");
    QString nr = QStringLiteral("2026120477");
    ASSERT_TRUE(test::ok(funSaveAuktionnew(a, nr)));
    EXPECT_EQ(nr, QStringLiteral("2026120111"));
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Auktionen where KundenNr = ? and GruppenID = ?"),
                    {QStringLiteral("2026120111"), QStringLiteral("2026120111")}),
              1);
}

TEST_F(DbTest, RowKeysStayUniqueWithinOneSecond) {
    const QString a = store(auktion(QStringLiteral("42"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    const QString b = store(auktion(QStringLiteral("42"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    EXPECT_EQ(a, QStringLiteral("04.12.2026 08:44:0242"));
    EXPECT_EQ(b, QStringLiteral("04.12.2026 08:44:0342"));
    EXPECT_EQ(auctions(), 2);
}

TEST_F(DbTest, StoredItemNumberAndOtherOwnersDoNotCount) {
    store(auktion(QStringLiteral("1234"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    EXPECT_TRUE(checkAuktionnew(auktion(QStringLiteral("9999"), QStringLiteral("k"))).value());
    EXPECT_FALSE(checkAuktionnew(auktion(QStringLiteral("1234"), QStringLiteral("k"))).value());
    gsStandardUser = QStringLiteral("anderer");
    EXPECT_TRUE(checkAuktionnew(auktion(QStringLiteral("1234"), QStringLiteral("k"))).value());
}

TEST_F(DbTest, OpenAuctionsOfAPartner) {
    EXPECT_FALSE(checkkundeStatus(QStringLiteral("k"), QString()).value());
    const QString id = store(auktion(QStringLiteral("1"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    EXPECT_TRUE(checkkundeStatus(QStringLiteral("K"), QString()).value());
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    a.Datum[3] = QDateTime(QDate(2026, 12, 5), QTime(0, 0));  // shipped
    ASSERT_TRUE(test::ok(SaveStatus(a, 3)));
    EXPECT_FALSE(checkkundeStatus(QStringLiteral("k"), QString()).value());
}

TEST_F(DbTest, TwoAccountsShareOneFile) {
    store(auktion(QStringLiteral("1"), QStringLiteral("partner")),
          kunde(QStringLiteral("partner"), QStringLiteral("A")));
    gsStandardUser = QStringLiteral("zweiter");
    const QString id2 = store(auktion(QStringLiteral("2"), QStringLiteral("partner")),
                              kunde(QStringLiteral("partner"), QStringLiteral("B")));
    EXPECT_EQ(contacts(), 2);
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("partner"))));
    EXPECT_EQ(k.Name, QStringLiteral("B"));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id2)));
    EXPECT_FALSE(checkAuktionnew(auktion(QStringLiteral("2"), QStringLiteral("partner"))).value());
    gsStandardUser = QStringLiteral("haendler");
    EXPECT_TRUE(test::missing(funLoadAuktion(a, id2)));  // another owner's row is not found
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("partner"))));
    EXPECT_EQ(k.Name, QStringLiteral("A"));
}

TEST_F(DbTest, QuotesAreMatchedLiterally) {
    store(auktion(QStringLiteral("1"), QStringLiteral("o'neill")),
          kunde(QStringLiteral("o'neill"), QStringLiteral("O'Neill")));
    tKunde k;
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("o'neill"))));
    EXPECT_EQ(k.Name, QStringLiteral("O'Neill"));
    EXPECT_TRUE(test::missing(funLoadKunde(k, QStringLiteral("' or '1'='1"))));
    tAuktion a;
    EXPECT_TRUE(test::missing(funLoadAuktion(a, QStringLiteral("' or '1'='1"))));
    EXPECT_FALSE(checkkundeStatus(QStringLiteral("' or '1'='1"), QString()).value());
    EXPECT_EQ(LoadMaxGruppenID(QStringLiteral("' or '1'='1")).value(), QString());
    EXPECT_TRUE(test::ok(saveGruppenID(QStringLiteral("x"), QStringLiteral("' or '1'='1"))));
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Auktionen where GruppenID <> ''")), 0);
}

TEST_F(DbTest, DeleteOneAuction) {
    const QString id = store(auktion(QStringLiteral("1"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    store(auktion(QStringLiteral("2"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    EXPECT_TRUE(test::ok(subDeleteAuktion(a)));
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(test::failure(subDeleteAuktion(a)),  // no longer there
              QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r3021: Kein aktueller "
                             "Datensatz."));
}

TEST_F(DbTest, MainWindowSaveEditsAndKeepsFirstSaveColumns) {
    const QString id = store(auktion(QStringLiteral("1"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    a.Titel = QStringLiteral("Neuer Titel");
    a.Versandinfos = QStringLiteral("geändert");  // only written for a new row
    QString nr = a.KundenNr;
    ASSERT_TRUE(test::ok(funSaveAuktion(a, nr)));
    tAuktion b;
    ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
    EXPECT_EQ(b.Titel, QStringLiteral("Neuer Titel"));
    EXPECT_EQ(b.Versandinfos, QString());
    // an unknown key inserts a row that can be loaded again
    tAuktion fresh = auktion(QStringLiteral("3"), QStringLiteral("k"));
    nr = QStringLiteral("x");
    ASSERT_TRUE(test::ok(funSaveAuktion(fresh, nr)));
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Auktionen where AuktionsID = ?"),
                    {QStringLiteral("04.12.2026 08:44:023")}),
              1);
}

// A transaction is held by the caller and passed on in the store: what its
// operations write stands or falls together, a nested one is a savepoint of it.
TEST_F(DbTest, TransactionLeavesNothingHalfWritten) {
    const Store store = currentStore();
    {
        Transaction tx(store);
        const Store in = store.within(tx);
        tKunde k = kunde(QStringLiteral("neu"));
        ASSERT_TRUE(test::ok(funSaveKunde(in, k, QStringLiteral("5"))));
        tAuktion bad = auktion(QStringLiteral("5"), QStringLiteral("neu"), QStringLiteral("kein Datum"));
        QString nr = k.KundenNr;
        EXPECT_FALSE(funSaveAuktionnew(in, bad, nr).ok());
        // not committed
    }
    EXPECT_EQ(contacts(), 0);
    EXPECT_EQ(auctions(), 0);
    {
        Transaction tx(store);
        const Store in = store.within(tx);
        tKunde k = kunde(QStringLiteral("neu"));
        ASSERT_TRUE(test::ok(funSaveKunde(in, k, QStringLiteral("5"))));
        QString nr = k.KundenNr;
        ASSERT_TRUE(test::ok(funSaveAuktionnew(in, auktion(QStringLiteral("5"), QStringLiteral("neu")), nr)));
        EXPECT_TRUE(test::ok(saveGruppenID(in, nr, QStringLiteral("neu"))));  // a savepoint inside
        tx.commit();
    }
    EXPECT_EQ(contacts(), 1);
    EXPECT_EQ(auctions(), 1);
}

}  // namespace
}  // namespace gd
