#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include "domain/db/Backup.h"
#include "support/DbTestShared.h"
#include "support/Sqlcipher.h"

namespace gd {
namespace {

class Backup : public test::DbTest {
protected:
    QString bin = app.file(QStringLiteral("bin"));
    void SetUp() override {
        test::DbTest::SetUp();
        app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=haendler\r\n");
        app.write(QStringLiteral("bin/x0.dat"), "Guten Tag [#ebaynameto#]\r\n");
        store(auktion(QStringLiteral("101"), QStringLiteral("anna")), kunde(QStringLiteral("anna")));
    }
};

// The copy is taken while another program writes a row a moment: it opens, passes the
// check, and holds whole transactions only (every trade with its partner).
TEST_F(Backup, WhileAnotherProgramWrites) {
    QByteArray script = "PRAGMA key='kaltwind';\n";
    for (int i = 0; i < 1500; ++i)
        script += "BEGIN; INSERT INTO Kunden (KundenNr, ebayName, Name, Kunde, Standarduser) VALUES ('" +
                  QByteArray::number(i) + "', 'w" + QByteArray::number(i) +
                  "', 'Schreiber', 1, 'haendler'); INSERT INTO Auktionen (AuktionsID, "
                  "AuktionsNr, ebayName, Standarduser) VALUES ('w" +
                  QByteArray::number(i) + "', '" + QByteArray::number(5000 + i) + "', 'w" + QByteArray::number(i) +
                  "', 'haendler'); COMMIT;\n";
    QProcess writer;
    writer.start(QStringLiteral("sqlcipher"), {db});
    ASSERT_TRUE(writer.waitForStarted(5000));
    writer.write(script);
    writer.closeWriteChannel();
    int taken = 0;
    for (int n = 0; n < 5 && writer.state() == QProcess::Running; ++n) {
        const QString copy = app.file(QStringLiteral("copy%1.gdsicherung").arg(n));
        const Status s = writeBackup(db, bin, copy);
        ASSERT_TRUE(s.ok()) << s.error().message().toStdString();
        ASSERT_TRUE(checkDatabase(copy).ok());
        const QString pairs = test::sqlcipher(copy,
                                              "select count(*) from Auktionen a where a.AuktionsID like 'w%' and "
                                              "not exists (select 1 from Kunden k where k.ebayName = a.ebayName);");
        EXPECT_EQ(pairs, QStringLiteral("0")) << n;
        ++taken;
    }
    writer.waitForFinished(60000);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
}

// Backup, change everything, restore: the trades and the settings are back, and the
// state it replaced is a backup of its own that restores just as well.
TEST_F(Backup, RestoreRoundTripKeepsTheReplacedState) {
    const QString file = app.file(QStringLiteral("sicherung.gdsicherung"));
    ASSERT_TRUE(writeBackup(db, bin, file).ok());
    store(auktion(QStringLiteral("102"), QStringLiteral("bernd")), kunde(QStringLiteral("bernd")));
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=anders\r\n");
    const Result<QString> kept = restoreBackup(file, db, bin, app.file(QStringLiteral("Sicherungen")));
    ASSERT_TRUE(kept.ok()) << kept.error().message().toStdString();
    EXPECT_EQ(auctions(), 1);
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).startsWith("[User]\r\nUsername=haendler\r\n"));
    EXPECT_EQ(app.read(QStringLiteral("bin/x0.dat")), QByteArray("Guten Tag [#ebaynameto#]\r\n"));
    EXPECT_FALSE(test::sqlcipher(db, "select name from sqlite_master;").contains(QStringLiteral("Sicherung_Dateien")));
    ASSERT_TRUE(QFileInfo::exists(kept.value()));
    ASSERT_TRUE(restoreBackup(kept.value(), db, bin, app.file(QStringLiteral("Sicherungen"))).ok());
    EXPECT_EQ(auctions(), 2);
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).startsWith("[User]\r\nUsername=anders\r\n"));
}

// A backup keeps the password it was made under; the restore needs it once, and the
// file it puts in place takes the program's present password.
TEST_F(Backup, MadeUnderAnotherPassword) {
    ASSERT_TRUE(changeDatabasePassphrase(db, QStringLiteral("Möwe 7")).ok());
    const QString file = app.file(QStringLiteral("eigen.gdsicherung"));
    ASSERT_TRUE(writeBackup(db, bin, file).ok());
    ASSERT_TRUE(changeDatabasePassphrase(db, QString()).ok());
    store(auktion(QStringLiteral("102"), QStringLiteral("bernd")), kunde(QStringLiteral("bernd")));
    const QByteArray before = test::fileBytes(db);
    bool other = false;
    Result<QString> r = restoreBackup(file, db, bin, app.file(QStringLiteral("Sicherungen")), QString(), &other);
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(other);
    EXPECT_EQ(test::fileBytes(db), before);
    r = restoreBackup(file, db, bin, app.file(QStringLiteral("Sicherungen")), QStringLiteral("falsch"), &other);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(other);
    r = restoreBackup(file, db, bin, app.file(QStringLiteral("Sicherungen")), QStringLiteral("Möwe 7"), &other);
    ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
    EXPECT_FALSE(hasOwnPassphrase());
    EXPECT_EQ(auctions(), 1);  // the state of the backup, opened with the program's password
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).contains("EigenesKennwort=Falsch"));
}

// What is no backup of ours changes nothing.
TEST_F(Backup, RefusedFilesChangeNothing) {
    const QByteArray before = test::fileBytes(db);
    const QString other = app.file(QStringLiteral("andere.mdb"));
    Database::create(other);  // a database of ours, but no backup
    app.write(QStringLiteral("kaputt.gdsicherung"), QByteArray(8192, 'x'));
    const struct {
        QString file;
        const char* why;
    } cases[] = {{other, "keine Datensicherung"},
                 {app.file(QStringLiteral("kaputt.gdsicherung")), ""},
                 {app.file(QStringLiteral("fehlt.gdsicherung")), "gibt es nicht"}};
    for (const auto& c : cases) {
        const Result<QString> r = restoreBackup(c.file, db, bin, app.file(QStringLiteral("Sicherungen")));
        ASSERT_FALSE(r.ok()) << c.file.toStdString();
        EXPECT_TRUE(r.error().message().contains(QString::fromUtf8(c.why))) << r.error().message().toStdString();
        EXPECT_EQ(test::fileBytes(db), before);
        EXPECT_FALSE(QFileInfo::exists(app.file(QStringLiteral("Sicherungen"))));
    }
    EXPECT_EQ(QDir(app.path()).entryList({QStringLiteral("*.gdtmp-*")}, QDir::Files), QStringList());
}

// One backup a day; the newest seven stay, states a restore replaced are never removed.
TEST_F(Backup, DailyKeepsSeven) {
    const QString folder = app.file(QStringLiteral("Sicherungen"));
    QDir().mkpath(folder);
    app.write(QStringLiteral("Sicherungen/vor-Wiederherstellung-2026-01-01-100000.gdsicherung"), "x");
    for (int d = 1; d <= 9; ++d) ASSERT_TRUE(dailyBackup(db, bin, folder, QDate(2026, 12, d)).ok());
    const Result<QString> again = dailyBackup(db, bin, folder, QDate(2026, 12, 9));
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.value().isEmpty());  // today's is there
    const QStringList left = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(left.size(), 8);
    EXPECT_EQ(left.front(), QStringLiteral("gaveldesk-2026-12-03.gdsicherung"));
    EXPECT_EQ(left.back(), QStringLiteral("vor-Wiederherstellung-2026-01-01-100000.gdsicherung"));
}

}  // namespace
}  // namespace gd
