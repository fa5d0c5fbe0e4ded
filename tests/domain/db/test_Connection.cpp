// The kept connection must behave as if the file were opened per operation:
// what another program writes, or a file put in its place, is seen at once,
// and nothing stays locked between two operations.

#include <QElapsedTimer>
#include <QProcess>

#include "domain/db/Connection.h"
#include "domain/trade/AuktionsListe.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"
#include "support/Sqlcipher.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;
using test::sqlcipher;

class Connection : public DbTest {
protected:
    QString first;
    void SetUp() override {
        DbTest::SetUp();
        first = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    }
    QString titleOf(const QString& id) {
        tAuktion a;
        const Result<bool> r = test::into(a, funLoadAuktion(currentStore(), id));
        if (!r.ok()) return u"Fehler: "_s + r.error().text();
        return r.value() ? a.Titel : u"nicht da"_s;
    }
    QStringList listed() {
        QStringList nrs;
        for (const ListRow& r : loadAuktionsListe(Store{db, gSettings.StandardUser}, ListFilter::Alle).value())
            nrs << r.AuktionsNr;
        return nrs;
    }
    // Every kind of read this process does, so that each could leave a lock behind.
    void readAllWays() {
        EXPECT_EQ(titleOf(first), u"Kaffeemühle 1"_s);
        EXPECT_FALSE(listed().isEmpty());
        tAuktion dup = auktion(u"1"_s, u"k"_s);
        EXPECT_TRUE(checkAuktionnew(currentStore(), dup).ok());
        EXPECT_TRUE(checkgruppierteMails(currentStore(), u"k"_s).ok());
    }
    // A second database, as another installation would have made it: its own salt.
    QString otherFile(const QString& name, const QString& title) {
        const QString other = app.file(name);
        const QString out =
            sqlcipher(db, "ATTACH DATABASE '" + other.toUtf8() +
                              "' AS n KEY 'kaltwind';\nPRAGMA n.kdf_iter = " + QByteArray::number(GD_KDF_ROUNDS) +
                              ";\n"
                              "SELECT sqlcipher_export('n');\n"
                              "UPDATE n.Auktionen SET Titel='" +
                              title.toUtf8() + "';\nDETACH n;");
        EXPECT_TRUE(QFile::exists(other)) << out.toStdString();
        return other;
    }
};

TEST_F(Connection, AnotherProgramWritesBetweenTwoOperations) {
    readAllWays();
    const QString out = sqlcipher(db,
                                  "UPDATE Auktionen SET Titel='Teekanne';\n"
                                  "INSERT INTO Auktionen (AuktionsID, AuktionsNr, ebayName, Standarduser, EndeDatum) "
                                  "VALUES ('fremd', '77', 'k', 'haendler', '2026-12-05 10:00:00');");
    EXPECT_FALSE(out.contains(u"locked"_s)) << out.toStdString();  // we held no lock
    EXPECT_EQ(titleOf(first), u"Teekanne"_s);
    EXPECT_EQ(listed(), (QStringList{u"77"_s, u"1"_s}));
    // ... and our own write goes on after theirs.
    EXPECT_TRUE(SaveStatusMail(currentStore(), first, QDateTime(QDate(2026, 12, 6), QTime(9, 0)), 2).ok());
    EXPECT_TRUE(sqlcipher(db, "SELECT Bezahlt FROM Auktionen WHERE AuktionsNr='1';").startsWith(QLatin1Char('1')));
}

TEST_F(Connection, AFilePutInItsPlaceOrRemovedIsSeen) {
    struct Case {
        const char* how;
        bool rename;  // a new file moved over, or the bytes copied into the old one
    };
    for (const Case c : {Case{"moved over", true}, Case{"copied into", false}}) {
        SCOPED_TRACE(c.how);
        const QString title = u"Wiederhergestellt "_s + QString::fromLatin1(c.how);
        const QString other = otherFile(u"andere.mdb"_s, title);
        readAllWays();
        if (c.rename) {
            ASSERT_TRUE(QFile::remove(db));
            ASSERT_TRUE(QFile::rename(other, db));
        } else {
            QFile from(other), to(db);
            ASSERT_TRUE(from.open(QIODevice::ReadOnly));
            ASSERT_TRUE(to.open(QIODevice::ReadWrite));  // same inode, new bytes and salt
            ASSERT_TRUE(to.resize(0));
            ASSERT_EQ(to.write(from.readAll()), from.size());
            to.close();
            QFile::remove(other);
        }
        EXPECT_EQ(titleOf(first), title);
        // The write lands in the new file.
        EXPECT_TRUE(SaveStatusMail(currentStore(), first, QDateTime(QDate(2026, 12, 6), QTime(9, 0)), 2).ok());
        EXPECT_TRUE(sqlcipher(db, "SELECT Bezahlt FROM Auktionen;").startsWith(QLatin1Char('1')));
        ASSERT_TRUE(QFile::remove(db));
        ASSERT_TRUE(QFile::copy(test::emptyDatabaseTemplate(), db));
        first = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    }
    // A file removed is missing, and not made anew.
    readAllWays();
    ASSERT_TRUE(QFile::remove(db));
    EXPECT_TRUE(titleOf(first).contains(u"wurde nicht gefunden"_s)) << titleOf(first).toStdString();
    EXPECT_FALSE(QFile::exists(db));
}

// A file that grew to thousands of trades (filled outside the program, or never measured) finds a trade
// by its number through the number's index, not by walking every trade in date order; a file another
// program is writing to is measured at a later start, and the start does not wait for it.
TEST_F(Connection, AGrownFileFindsATradeByItsNumberWithoutWalkingAll) {
    const QByteArray fill =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO Auktionen (AuktionsID, AuktionsNr, ebayName, Standarduser, EndeDatum) "
        "SELECT 'v' || i, 5000000 + i, 'k', 'haendler', '2026-11-01 10:00:00' FROM n;";
    const QByteArray plan =
        "EXPLAIN QUERY PLAN SELECT AuktionsID FROM Auktionen WHERE Standarduser = 'haendler' AND "
        "AuktionsNr = '5000007' ORDER BY EndeDatum DESC LIMIT 1;";
    ASSERT_TRUE(sqlcipher(db, fill).isEmpty());
    ASSERT_TRUE(sqlcipher(db, plan).contains(u"Auktionen_Ende"_s));  // the walk, as SQLite guesses
    QProcess writer;                                                 // another program in the middle of a write
    writer.start(u"sqlcipher"_s, {db});
    ASSERT_TRUE(writer.waitForStarted(5000));
    writer.write(test::keyed() + "\nBEGIN IMMEDIATE;\nUPDATE Kunden SET Ort = 'Graz';\nSELECT 'gesperrt';\n");
    ASSERT_TRUE(test::waitForOutput(writer, "gesperrt"));
    Database::setBusyTimeoutMs(60000);  // a wait for the lock would be a minute
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(titleOf(first), u"Kaffeemühle 1"_s);
    EXPECT_LT(t.elapsed(), 30000);
    Database::setBusyTimeoutMs(3000);
    writer.closeWriteChannel();
    ASSERT_TRUE(writer.waitForFinished(5000));
    EXPECT_TRUE(sqlcipher(db, plan).contains(u"Auktionen_Ende"_s));
    // The next start measures it.
    releaseConnections(db);
    EXPECT_EQ(titleOf(first), u"Kaffeemühle 1"_s);
    const QString measured = sqlcipher(db, plan);
    EXPECT_TRUE(measured.contains(u"Auktionen_User_AuktionsNr"_s)) << measured.toStdString();
}

// An edit writes only the columns that change: an unchanged save rewrites no index entry.
TEST_F(Connection, AnEditWritesOnlyWhatChanged) {
    const struct {
        const char* column;
        QVariant value;
        bool written;
        const char* stored;
    } cases[] = {
        {"Name", u"Hans Müller"_s, false, "Hans Müller"},
        {"Name", u"hans müller"_s, true, "hans müller"},  // the case the user typed counts
        {"Kunde", QVariant(1), false, "1"},               // an int, stored as a whole number
        {"Kunde", QVariant(true), false, "1"},
        {"Lieferant", QVariant(true), true, "1"},
        {"Ort", QString(), true, ""},  // emptied
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        Database d = Database::open(db);
        d.execute(
            u"update Kunden set Name = 'Hans Müller', Ort = '12345 Berlin', Kunde = 1, "
            "Lieferant = 0 where ebayName = 'k'"_s);
        const qint64 row = test::firstNumber(d, u"select rowid from Kunden where ebayName = 'k'"_s);
        const int before = sqlite3_total_changes(d.handle());
        RowValues v;
        v.add(c.column, c.value);
        updateRow(d, u"Kunden"_s, row, v);
        EXPECT_EQ(sqlite3_total_changes(d.handle()) - before > 0, c.written);  // triggers may add their own
        EXPECT_EQ(test::firstText(d, u"select \"%1\" from Kunden where ebayName = 'k'"_s.arg(QLatin1String(c.column))),
                  QString::fromUtf8(c.stored));
    }
}

}  // namespace
}  // namespace gd
