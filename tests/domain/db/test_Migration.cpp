// A file of the first version, as the program made it before parcels and
// reminders, is brought up to date on its first open: all of it kept, a copy of
// the old file beside it, and any failure leaves it as it was.
#include <QCryptographicHash>
#include <QProcess>
#include <thread>

#include "domain/db/Documents.h"
#include "domain/db/Journal.h"
#include "domain/db/Schema.h"
#include "domain/trade/AuktionsListe.h"
#include "support/DbTestShared.h"
#include "support/FullDisk.h"
#include "support/Sqlcipher.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;
using test::sqlcipher;

// Every row of both tables, as the cipher tool prints them.
QString contents(const QString& file) {
    return sqlcipher(file, "SELECT * FROM Kunden ORDER BY KundenNr;\nSELECT * FROM Auktionen ORDER BY AuktionsID;");
}

class Migration : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QFile::remove(db);
        ASSERT_TRUE(QFile::copy(QStringLiteral(GD_TEST_DATA_DIR "/db/version1.mdb"), db));
        QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_TRUE(test::toSqlcipher4(db));
        ASSERT_EQ(sqlcipher(db, "PRAGMA user_version;"), u"1"_s);
    }
    QString bak() const { return db + u".v1.bak"_s; }
    Result<bool> load(tAuktion& a) {
        return test::into(a, funLoadAuktion(currentStore(), u"07.12.2026 05:44:271234567890"_s));
    }
    // Why the first open failed; the file is checked to be as it was.
    QString refusedAndUnchanged(const QString& file) {
        const QByteArray before = test::fileBytes(file);
        tAuktion a;
        const QString text = test::failure(load(a));
        EXPECT_EQ(test::fileBytes(file), before);
        return text;
    }
};

TEST_F(Migration, TheFirstOpenBringsAVersion1FileUpToDateWithEverythingKept) {
    const QString before = contents(db);
    const QByteArray original = test::fileBytes(db);
    ASSERT_TRUE(before.contains(u"Bärbel Öztürk-D'Amico"_s));

    const QByteArray listIndex = "SELECT sql FROM sqlite_master WHERE name='Auktionen_Liste';";
    ASSERT_FALSE(sqlcipher(db, listIndex).contains(u"Betrag"_s));

    tAuktion a;
    ASSERT_TRUE(test::found(load(a)));
    // The list index of the earlier build gains the total, so the list reads no table row.
    EXPECT_TRUE(sqlcipher(db, listIndex).contains(u"Betrag"_s));
    EXPECT_TRUE(sqlcipher(db, "PRAGMA integrity_check;").startsWith(u"ok"_s));
    EXPECT_EQ(a.BezahltDatum(), QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
    EXPECT_EQ(sqlcipher(db, "PRAGMA user_version;"), QString::number(kSchemaVersion));
    EXPECT_FALSE(sqlcipher(db, "SELECT docid FROM Suche WHERE Suche MATCH 'barbel*';").isEmpty());  // folded anew
    EXPECT_EQ(
        sqlcipher(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('Versand', 'Mahnungen', 'Teilzahlungen');"),
        u"3"_s);
    EXPECT_EQ(contents(db), before);  // every row, milestone and group as it was
    // The index made by the program folds exactly as the database's own views do.
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM Suche;"), u"4"_s);
    EXPECT_EQ(
        sqlcipher(db, "SELECT count(*) FROM Suche s JOIN SuchQuelle q ON q.docid = s.docid WHERE s.Text = q.Text;"),
        u"4"_s);
    EXPECT_EQ(test::fileBytes(bak()), original);  // the copy is the old file, byte for byte
    EXPECT_EQ(sqlcipher(bak(), "PRAGMA user_version;"), u"1"_s);

    // Another connection (another window, another start) finds nothing to do.
    ASSERT_TRUE(QFile::remove(bak()));
    std::thread second([&] {
        tAuktion b;
        EXPECT_TRUE(test::found(load(b)));
    });
    second.join();
    EXPECT_FALSE(QFile::exists(bak()));
    // A deleted trade takes its parcel along.
    ASSERT_TRUE(sqlcipher(db,
                          "INSERT INTO Versand (AuktionsID, Sendungsnummer) VALUES "
                          "('07.12.2026 05:44:271234567890', '00340434161094042557');")
                    .isEmpty());
    ASSERT_TRUE(subDeleteAuktion(currentStore(), a).ok());
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM Versand;"), u"0"_s);
}

// A file of version 3 folds again only its trades with Greek or Cyrillic letters (a whole new
// index took half a minute at the first start with 100,000 trades).
TEST_F(Migration, AVersion3FileRefoldsOnlyTradesInGreekOrCyrillic) {
    tAuktion a;
    ASSERT_TRUE(test::found(load(a)));
    tAuktion greek = auktion(u"555"_s, u"dimitris"_s);
    greek.Titel = u"ΔΗΜΉΤΡΗΣ Αθήνα"_s;
    store(greek, kunde(u"dimitris"_s));
    ASSERT_TRUE(sqlcipher(db,
                          "UPDATE Suche SET Text = 'alt' WHERE docid IN (SELECT rowid FROM Auktionen WHERE AuktionsNr "
                          "IN ('555', '1234567890')); PRAGMA user_version = 3;")
                    .isEmpty());
    std::thread([&] { EXPECT_TRUE(test::found(load(a))); }).join();                      // a new connection migrates
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM Suche WHERE Text = 'alt';"), u"1"_s);  // the Latin one left
    EXPECT_FALSE(sqlcipher(db, "SELECT docid FROM Suche WHERE Suche MATCH 'δημητρησ';").isEmpty());
}

// Invoices issued by the version before the chain become its first links in the order they were
// issued (the file's hash of their data the program's own, umlauts included); the archive is made
// from them.
TEST_F(Migration, IssuedInvoicesOfVersion8AreChained) {
    tAuktion a;
    ASSERT_TRUE(test::found(load(a)));
    const auto hex = [](const QByteArray& b) {
        return QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex();
    };
    ASSERT_TRUE(
        sqlcipher(db,
                  "DROP TABLE Belegkette; DROP TRIGGER Rechnungen_Einmalig; DROP TRIGGER RechnungenXml_Einmalig; "
                  "INSERT INTO Rechnungen (Nummer, Jahr, Lfd, Art, Artikel, Ausgestellt, Kaeufer, Cent, Daten, Pdf, "
                  "Sha256, Standarduser) VALUES ('RE-2026-0002', 2026, 2, 'Rechnung', ' 2 ', '2026-12-06 09:00:00', "
                  "'jörg', 1740, '{\"Kaeufer\":[\"Jörg Müller\"]}', X'25504446', '" +
                      hex("%PDF") +
                      "', 'haendler'); INSERT INTO Rechnungen (Nummer, Jahr, Lfd, Art, Artikel, Ausgestellt, Kaeufer, "
                      "Cent, Daten, Pdf, Sha256, Standarduser) VALUES ('RE-2026-0001', 2026, 1, 'Rechnung', ' 1 ', "
                      "'2026-12-05 09:00:00', 'anna', 990, '{}', X'2550444631', '" +
                      hex("%PDF1") +
                      "', 'haendler'); INSERT INTO RechnungenXml (Nummer, Xml) VALUES ('RE-2026-0001', X'3C782F3E'); "
                      "PRAGMA user_version = 8;")
            .isEmpty());
    std::thread([&] { EXPECT_TRUE(test::found(load(a))); }).join();  // a new connection migrates
    EXPECT_EQ(sqlcipher(db, "SELECT group_concat(Nummer, ', ') FROM (SELECT Nummer FROM Belegkette ORDER BY Pos);"),
              u"RE-2026-0001, RE-2026-0002"_s);
    const Result<DocumentCheck> checked = checkDocuments(db);
    ASSERT_TRUE(checked.ok()) << checked.error().message().toStdString();
    EXPECT_TRUE(checked.value().ok()) << checked.value().findings.join(u"\n"_s).toStdString();
    EXPECT_EQ(checked.value().documents, 2);
    ASSERT_EQ(checked.value().notes.size(), 1);
    EXPECT_TRUE(checked.value().notes[0].contains(u"angelegt: 2 Belege"_s)) << checked.value().notes[0].toStdString();
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM sqlite_master WHERE name = 'Rechnungen_Einmalig';"), u"1"_s);
}

// The money of the earlier versions comes into the journal: every balance is what that program
// showed (the status bar's unpaid sum included), paid sales stay paid on their day.
TEST(JournalMigration, EachBalanceIsWhatTheEarlierProgramShowed) {
    // The versions between: the version 7 file without what came later, as those programs left it.
    const char* const v6 = "DROP TRIGGER Auktionen_Stand; DROP TRIGGER Auktionen_Geloescht_Stand; DROP TABLE Stand;";
    const QByteArray v5 = QByteArray(v6) +
                          "DROP TABLE Firmen; DROP TABLE Steuersaetze; DROP TABLE RechnungenXml; DROP TABLE Herkunft; "
                          "DROP TABLE Auszahlungen; DROP TABLE AuszahlungsPosten; DROP TABLE Gebuehren; DROP TABLE "
                          "Bestellungen; DROP TABLE EingangsRechnungen;";
    const QByteArray v4 = v5 + "DROP TABLE Rechnungen;";
    const QByteArray v3 = v4 + "DROP TABLE Gesendet; DROP TRIGGER Auktionen_Geloescht_Gesendet;";
    const QList<std::pair<const char*, const char*>> v7Balances{
        {"1001", "Ausgeglichen"},   {"1002", "Offen: 15,40 €"}, {"1003", "Ausgeglichen"}, {"1004", "Offen: 20,50 €"},
        {"1005", "Offen: 20,50 €"}, {"1006", "Ausgeglichen"},   {"1008", "Ausgeglichen"}};
    const struct {
        const char* file;
        QList<std::pair<const char*, const char*>> balances;  // item number, its sale's (or group's) balance
        int unpaid;
        qint64 unpaidSum;
        int version = 0;  // made from the file by `drop`
        QByteArray drop = {};
    } cases[] = {
        // Three sales marked as one group under another contact number, so three units, the first paid.
        {"version1.mdb", {{"1234567890", "Ausgeglichen"}, {"1234567892", "Offen: 30,90 €"}}, 2, 6180},
        // Paid by statement, by payout (fee kept), by PayPal (fee kept) and by the tick; a part payment;
        // a group with a part payment; a purchase, which has no journal.
        {"version7.mdb",
         {{"1001", "Ausgeglichen"},
          {"1002", "Offen: 15,40 €"},
          {"1003", "Ausgeglichen"},
          {"1004", "Offen: 20,50 €"},
          {"1005", "Offen: 20,50 €"},
          {"1006", "Ausgeglichen"},
          {"1008", "Ausgeglichen"}},
         3,
         3590},
        {"version7.mdb", v7Balances, 3, 3590, 6, v6},
        {"version7.mdb", v7Balances, 3, 3590, 5, v5},
        {"version7.mdb", v7Balances, 3, 3590, 4, v4},
        {"version7.mdb", v7Balances, 3, 3590, 3, v3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::TestApp app(false);
        const QString db = app.file(u"gaveldesk.mdb"_s);
        ASSERT_TRUE(QFile::copy(QStringLiteral(GD_TEST_DATA_DIR "/db/") + QString::fromLatin1(c.file), db));
        QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_TRUE(test::toSqlcipher4(db));
        if (c.version > 0) {
            sqlcipher(db, c.drop + "PRAGMA user_version = " + QByteArray::number(c.version) + ";");
            ASSERT_EQ(sqlcipher(db, "PRAGMA user_version;"), QString::number(c.version));
        }
        SCOPED_TRACE(c.version);
        const QString user = sqlcipher(db, "SELECT Standarduser FROM Auktionen LIMIT 1;");
        const Store store{db, user};
        std::thread([&] {  // a connection of its own: the file is brought up to date
            for (const auto& [nr, text] : c.balances) {
                const Result<TradeAccount> a = loadAccountByNr(store, QString::fromLatin1(nr));
                ASSERT_TRUE(a.ok()) << a.error().message().toStdString();
                EXPECT_EQ(balanceText(a.value().Saldo), QString::fromUtf8(text)) << nr;
            }
            gSettings.StandardUser = user;
            const Result<ListSummary> sum = loadListSummary(Store{db, user}, 7);
            ASSERT_TRUE(sum.ok());
            EXPECT_EQ(sum.value().Unbezahlt, c.unpaid);
            EXPECT_EQ(sum.value().UnbezahltSumme, c.unpaidSum);
        })
            .join();
        EXPECT_EQ(sqlcipher(db, "PRAGMA user_version;"), QString::number(kSchemaVersion));
        // Nothing in the journal for a purchase; the paid days kept.
        EXPECT_EQ(sqlcipher(db,
                            "SELECT count(*) FROM Buchungen b JOIN Auktionen a ON a.AuktionsID = b.AuktionsID "
                            "WHERE a.AuktionsNr = '3456789012';"),
                  u"0"_s);
    }
    test::TestApp app(false);
    const QString db = app.file(u"v7.mdb"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(GD_TEST_DATA_DIR "/db/version7.mdb"), db));
    QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    std::thread([&] { EXPECT_TRUE(loadAccountByNr(Store{db, u"gavel_haendler"_s}, u"1003"_s).ok()); }).join();
    EXPECT_EQ(sqlcipher(db,
                        "SELECT b.Tag || ' ' || b.Konto || ' ' || b.Cent FROM Buchungen b JOIN Auktionen a ON "
                        "a.AuktionsID = b.AuktionsID WHERE a.AuktionsNr = '1003' AND b.Art = 'Gebuehr';"),
              u"2026-12-03 Plattform 412"_s);
    EXPECT_EQ(sqlcipher(db, "SELECT BezahltDatum FROM Auktionen WHERE AuktionsNr = '1006';"), u"2026-12-07 00:00:00"_s);
}

TEST_F(Migration, AFileHeldByAnotherProgramIsLeftAsItWasAndNotCalledDamaged) {
    const QByteArray before = test::fileBytes(db);
    QProcess holder;
    holder.start(u"sqlcipher"_s, {db});
    ASSERT_TRUE(holder.waitForStarted(5000));
    holder.write(test::keyed() + "\nBEGIN EXCLUSIVE;\nSELECT 'gesperrt';\n");
    ASSERT_TRUE(test::waitForOutput(holder, "gesperrt"));
    tAuktion a;
    const QString text = test::failure(load(a));
    const Status checked = checkDatabase(db);  // the check at start meets the same lock
    holder.write("ROLLBACK;\n.quit\n");
    holder.closeWriteChannel();
    holder.waitForFinished(5000);
    EXPECT_TRUE(text.contains(u"gesperrt"_s)) << text.toStdString();
    EXPECT_TRUE(checked.ok());  // not checked is not damaged
    EXPECT_FALSE(isMarkedDamaged(db));
    EXPECT_EQ(test::fileBytes(db), before);
    EXPECT_FALSE(QFile::exists(bak()));
    ASSERT_TRUE(test::found(load(a)));  // the next open, with the lock gone, brings it up to date
    EXPECT_EQ(sqlcipher(db, "PRAGMA user_version;"), QString::number(kSchemaVersion));
}

TEST_F(Migration, ANewerFileIsRefusedAndLeftUntouched) {
    static_assert(kSchemaVersion < 14, "the version this build does not know yet");
    sqlcipher(db, "PRAGMA user_version = 14;");
    const QString text = refusedAndUnchanged(db);
    EXPECT_TRUE(text.contains(u"neueren Programmversion (Version 14)"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"unverändert"_s)) << text.toStdString();
    EXPECT_FALSE(QFile::exists(db + u".v11.bak"_s));
}

TEST_F(Migration, ADamagedVersion1FileIsNotChanged) {
    {
        // The trades' own page: the schema still reads, the check before the change fails.
        const qint64 page = sqlcipher(db, "SELECT rootpage FROM sqlite_master WHERE name = 'Auktionen';").toLongLong();
        ASSERT_GT(page, 1);
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek((page - 1) * test::kPageSize + 300);
        f.write(QByteArray(64, '\x5A'));
    }
    const QString text = refusedAndUnchanged(db);
    EXPECT_TRUE(text.contains(u"nicht gelungen"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"beschädigt"_s)) << text.toStdString();
    EXPECT_FALSE(QFile::exists(bak()));
    clearDamaged(db);
}

TEST_F(Migration, NoRoomForTheCopyLeavesTheFileAsItWas) {
    test::FullDisk disk(160);
    if (!disk.mounted) GTEST_SKIP() << disk.why.toStdString();
    const QString file = disk.path() + u"/gaveldesk.mdb"_s;
    ASSERT_TRUE(QFile::copy(db, file));
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    disk.fill();
    gsDataSource = file;
    const QString text = refusedAndUnchanged(file);
    EXPECT_TRUE(text.contains(u"Der Datenträger ist voll."_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"unverändert"_s)) << text.toStdString();
    EXPECT_EQ(sqlcipher(file, "PRAGMA user_version;"), u"1"_s);
    EXPECT_TRUE(disk.temporaries().isEmpty()) << disk.temporaries().join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(QFile::exists(file + u".v1.bak"_s));
}

}  // namespace
}  // namespace gd
