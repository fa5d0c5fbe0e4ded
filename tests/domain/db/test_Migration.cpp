// A file of the first version, as the program made it before parcels and
// reminders, is brought up to date on its first open: all of it kept, a copy of
// the old file beside it, and any failure leaves it as it was.
#include <QCryptographicHash>
#include <QProcess>
#include <thread>

#include "support/DbTestShared.h"
#include "support/FullDisk.h"
#include "support/Sqlcipher.h"

namespace gd {
namespace {

using test::DbTest;
using test::sqlcipher;

// Every row of both tables, as the cipher tool prints them.
QString contents(const QString& file) {
    return sqlcipher(file, "SELECT * FROM Kunden ORDER BY KundenNr;\nSELECT * FROM Auktionen ORDER BY AuktionsID;");
}

QByteArray hashOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class Migration : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QFile::remove(db);
        ASSERT_TRUE(QFile::copy(QStringLiteral(GD_TEST_DATA_DIR "/db/version1.mdb"), db));
        QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_EQ(sqlcipher(db, "PRAGMA user_version;"), QStringLiteral("1"));
    }
    QString bak() const { return db + QStringLiteral(".v1.bak"); }
    Result<bool> load(tAuktion& a) { return funLoadAuktion(a, QStringLiteral("07.12.2026 05:44:271234567890")); }
};

TEST_F(Migration, TheFirstOpenBringsAVersion1FileUpToDateWithEverythingKept) {
    const QString before = contents(db);
    const QByteArray original = hashOf(db);
    ASSERT_TRUE(before.contains(QStringLiteral("Bärbel Öztürk-D'Amico")));

    const QByteArray listIndex = "SELECT sql FROM sqlite_master WHERE name='Auktionen_Liste';";
    ASSERT_FALSE(sqlcipher(db, listIndex).contains(QStringLiteral("Betrag")));

    tAuktion a;
    ASSERT_TRUE(test::found(load(a)));
    // The list index of the earlier build gains the total, so the list reads no table row.
    EXPECT_TRUE(sqlcipher(db, listIndex).contains(QStringLiteral("Betrag")));
    EXPECT_TRUE(sqlcipher(db, "PRAGMA integrity_check;").startsWith(QStringLiteral("ok")));
    EXPECT_EQ(a.BezahltDatum(), QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
    EXPECT_EQ(sqlcipher(db, "PRAGMA user_version;"), QStringLiteral("3"));
    EXPECT_EQ(
        sqlcipher(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('Versand', 'Mahnungen', 'Teilzahlungen');"),
        QStringLiteral("3"));
    EXPECT_EQ(contents(db), before);  // every row, milestone and group as it was
    // The index made by the program folds exactly as the database's own views do.
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM Suche;"), QStringLiteral("4"));
    EXPECT_EQ(
        sqlcipher(db, "SELECT count(*) FROM Suche s JOIN SuchQuelle q ON q.docid = s.docid WHERE s.Text = q.Text;"),
        QStringLiteral("4"));
    EXPECT_EQ(hashOf(bak()), original);  // the copy is the old file, byte for byte
    EXPECT_EQ(sqlcipher(bak(), "PRAGMA user_version;"), QStringLiteral("1"));

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
    ASSERT_TRUE(subDeleteAuktion(a).ok());
    EXPECT_EQ(sqlcipher(db, "SELECT count(*) FROM Versand;"), QStringLiteral("0"));
}

TEST_F(Migration, AFileHeldByAnotherProgramIsLeftAsItWasAndNotCalledDamaged) {
    const QByteArray before = hashOf(db);
    QProcess holder;
    holder.start(QStringLiteral("sqlcipher"), {db});
    ASSERT_TRUE(holder.waitForStarted(5000));
    holder.write("PRAGMA key='kaltwind';\nBEGIN EXCLUSIVE;\nSELECT 'gesperrt';\n");
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    tAuktion a;
    const QString text = test::failure(load(a));
    const Status checked = checkDatabase(db);  // the check at start meets the same lock
    holder.write("ROLLBACK;\n.quit\n");
    holder.closeWriteChannel();
    holder.waitForFinished(5000);
    EXPECT_TRUE(text.contains(QStringLiteral("gesperrt"))) << text.toStdString();
    EXPECT_TRUE(checked.ok());  // not checked is not damaged
    EXPECT_FALSE(isMarkedDamaged(db));
    EXPECT_EQ(hashOf(db), before);
    EXPECT_FALSE(QFile::exists(bak()));
    ASSERT_TRUE(test::found(load(a)));  // the next open, with the lock gone, brings it up to date
    EXPECT_EQ(sqlcipher(db, "PRAGMA user_version;"), QStringLiteral("3"));
}

TEST_F(Migration, ANewerFileIsRefusedAndLeftUntouched) {
    sqlcipher(db, "PRAGMA user_version = 7;");
    const QByteArray untouched = hashOf(db);
    tAuktion a;
    const QString text = test::failure(load(a));
    EXPECT_TRUE(text.contains(QStringLiteral("neueren Programmversion (Version 7)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("unverändert"))) << text.toStdString();
    EXPECT_EQ(hashOf(db), untouched);
    EXPECT_FALSE(QFile::exists(db + QStringLiteral(".v7.bak")));
}

TEST_F(Migration, ADamagedVersion1FileIsNotChanged) {
    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        // The last pages (rows and indexes): the schema still reads, the check before the change fails.
        for (qint64 page = f.size() / 1024 - 3; page < f.size() / 1024; ++page) {
            f.seek(page * 1024 + 300);
            f.write(QByteArray(64, '\x5A'));
        }
    }
    const QByteArray damaged = hashOf(db);
    tAuktion a;
    const QString text = test::failure(load(a));
    EXPECT_TRUE(text.contains(QStringLiteral("nicht gelungen"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("beschädigt"))) << text.toStdString();
    EXPECT_EQ(hashOf(db), damaged);
    EXPECT_FALSE(QFile::exists(bak()));
    clearDamaged(db);
}

TEST_F(Migration, NoRoomForTheCopyLeavesTheFileAsItWas) {
    test::FullDisk disk(160);
    if (!disk.mounted) GTEST_SKIP() << disk.why.toStdString();
    const QString file = disk.path() + QStringLiteral("/gaveldesk.mdb");
    ASSERT_TRUE(QFile::copy(db, file));
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    disk.fill();
    const QByteArray before = hashOf(file);
    gsDataSource = file;
    tAuktion a;
    const QString text = test::failure(load(a));
    EXPECT_TRUE(text.contains(QStringLiteral("Der Datenträger ist voll."))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("unverändert"))) << text.toStdString();
    EXPECT_EQ(hashOf(file), before);
    EXPECT_EQ(sqlcipher(file, "PRAGMA user_version;"), QStringLiteral("1"));
    EXPECT_TRUE(disk.temporaries().isEmpty()) << disk.temporaries().join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".v1.bak")));
}

}  // namespace
}  // namespace gd
