#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QThreadPool>

#include "domain/db/Backup.h"
#include "domain/db/Connection.h"
#include "domain/db/Move.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"
#include "support/Sqlcipher.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Backup : public test::DbTest {
protected:
    QString bin = app.file(u"bin"_s), saved = app.file(u"Sicherungen"_s);
    void SetUp() override {
        test::DbTest::SetUp();
        app.write(u"bin/config.ini"_s, "[User]\r\nUsername=haendler\r\n");
        app.write(u"bin/x0.dat"_s, "Guten Tag [#ebaynameto#]\r\n");
        store(auktion(u"101"_s, u"anna"_s), kunde(u"anna"_s));
    }
};

// The copy is taken while another program writes a row a moment: it opens, passes the
// check, and holds whole transactions only (every trade with its partner).
TEST_F(Backup, WhileAnotherProgramWrites) {
    QByteArray script = test::keyed() + "\n";
    for (int i = 0; i < 1500; ++i)
        script +=
            u"BEGIN; INSERT INTO Kunden (KundenNr, ebayName, Name, Kunde, Standarduser) VALUES ('%1', 'w%1', "
            "'Schreiber', 1, 'haendler'); INSERT INTO Auktionen (AuktionsID, AuktionsNr, ebayName, Standarduser) "
            "VALUES ('w%1', '%2', 'w%1', 'haendler'); COMMIT;\n"_s.arg(i)
                .arg(5000 + i)
                .toLatin1();
    QProcess writer;
    writer.start(u"sqlcipher"_s, {db});
    ASSERT_TRUE(writer.waitForStarted(5000));
    writer.write(script);
    writer.closeWriteChannel();
    int taken = 0;
    for (int n = 0; n < 5 && writer.state() == QProcess::Running; ++n) {
        const QString copy = app.file(u"copy%1.gdsicherung"_s.arg(n));
        const Status s = writeBackup(db, bin, copy);
        ASSERT_TRUE(s.ok()) << s.error().message().toStdString();
        ASSERT_TRUE(checkDatabase(copy).ok());
        const QString pairs = test::sqlcipher(copy,
                                              "select count(*) from Auktionen a where a.AuktionsID like 'w%' and "
                                              "not exists (select 1 from Kunden k where k.ebayName = a.ebayName);");
        EXPECT_EQ(pairs, u"0"_s) << n;
        ++taken;
    }
    writer.waitForFinished(60000);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
}

// The descriptors this process holds on the file (Linux shows them; Windows would refuse the swap).
int openedBy(const QString& file) {
    int n = 0;
    for (const QFileInfo& fd :
         QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        n += fd.symLinkTarget() == QFileInfo(file).canonicalFilePath();
    return n;
}

// A restore in the running window: what its other threads keep open of the file is closed
// before the swap, and the restored data are what every thread reads then. A thread at work
// on the file right now refuses the restore before anything is changed.
TEST_F(Backup, OtherThreadsLetGoOfTheFileOrTheRestoreWaits) {
    const QString file = app.file(u"sicherung.gdsicherung"_s);
    ASSERT_TRUE(writeBackup(db, bin, file).ok());
    store(auktion(u"102"_s, u"bernd"_s), kunde(u"bernd"_s));
    QThreadPool list;  // as the window's list keeps its thread and connection
    list.setMaxThreadCount(1);
    list.setExpiryTimeout(-1);
    const auto countThere = [&] {
        int n = -1;
        list.start([&] {
            Database d = Database::open(db);
            n = int(test::firstNumber(d, u"select count(*) from Auktionen"_s));
        });
        list.waitForDone();
        return n;
    };
    ASSERT_EQ(countThere(), 2);
    const bool seen = QDir(u"/proc/self/fd"_s).exists();
    if (seen) {
        ASSERT_GE(openedBy(db), 1);
        ASSERT_TRUE(releaseConnectionsEverywhere(db));
        EXPECT_EQ(openedBy(db), 0);  // the list's thread too: nothing holds the file for a swap
    }
    // Busy: a reader holds its connection while the restore is asked for.
    QSemaphore reading, done;
    list.start([&] {
        Database busy = Database::open(db);
        reading.release();
        done.acquire();
    });
    reading.acquire();
    const Result<QString> refused = restoreBackup(file, db, bin, saved);
    done.release();
    list.waitForDone();
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().message().contains(u"es wurde nichts verändert"_s))
        << refused.error().message().toStdString();
    EXPECT_EQ(auctions(), 2);
    // Idle: let go, swapped, and the list's thread reads the restored file.
    const Result<QString> kept = restoreBackup(file, db, bin, saved);
    ASSERT_TRUE(kept.ok()) << kept.error().message().toStdString();
    EXPECT_EQ(countThere(), 1);
}

// Backup, change everything, restore: the trades and the settings are back, and the
// state it replaced is a backup of its own that restores just as well.
TEST_F(Backup, RestoreRoundTripKeepsTheReplacedState) {
    const QString file = app.file(u"sicherung.gdsicherung"_s);
    ASSERT_TRUE(writeBackup(db, bin, file).ok());
    store(auktion(u"102"_s, u"bernd"_s), kunde(u"bernd"_s));
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=anders\r\n");
    const Result<QString> kept = restoreBackup(file, db, bin, saved);
    ASSERT_TRUE(kept.ok()) << kept.error().message().toStdString();
    EXPECT_EQ(auctions(), 1);
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).startsWith("[User]\r\nUsername=haendler\r\n"));
    EXPECT_EQ(app.read(u"bin/x0.dat"_s), QByteArray("Guten Tag [#ebaynameto#]\r\n"));
    EXPECT_FALSE(test::sqlcipher(db, "select name from sqlite_master;").contains(u"Sicherung_Dateien"_s));
    ASSERT_TRUE(QFileInfo::exists(kept.value()));
    ASSERT_TRUE(restoreBackup(kept.value(), db, bin, saved).ok());
    EXPECT_EQ(auctions(), 2);
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).startsWith("[User]\r\nUsername=anders\r\n"));
}

// A backup keeps the password it was made under; the restore needs it once. Where the program
// has no password of the user's, the restored file keeps the backup's: protection is never lowered.
TEST_F(Backup, MadeUnderAnotherPassword) {
    ASSERT_TRUE(changeDatabasePassphrase(db, u"Möwe 7"_s).ok());
    const QString file = app.file(u"eigen.gdsicherung"_s);
    ASSERT_TRUE(writeBackup(db, bin, file).ok());
    ASSERT_TRUE(changeDatabasePassphrase(db, QString()).ok());
    store(auktion(u"102"_s, u"bernd"_s), kunde(u"bernd"_s));
    const QByteArray before = test::fileBytes(db);
    bool other = false;
    Result<QString> r = restoreBackup(file, db, bin, saved, QString(), &other);
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(other);
    EXPECT_EQ(test::fileBytes(db), before);
    r = restoreBackup(file, db, bin, saved, u"falsch"_s, &other);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(other);
    QStringList notes;
    r = restoreBackup(file, db, bin, saved, u"Möwe 7"_s, &other, &notes);
    ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
    EXPECT_TRUE(hasOwnPassphrase());
    EXPECT_EQ(auctions(), 1);  // the state of the backup, under its own password
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("EigenesKennwort=Wahr"));
    EXPECT_TRUE(notes.join(u' ').contains(u"behält das eigene Kennwort der Sicherung"_s))
        << notes.join(u' ').toStdString();
    setDatabasePassphrase(QString());
    EXPECT_FALSE(opensWithCurrentPassphrase(db));  // never under the public key
    setDatabasePassphrase(u"Möwe 7"_s);
    EXPECT_TRUE(opensWithCurrentPassphrase(db));
    setDatabasePassphrase(QString());
}

// What is no backup of ours changes nothing.
TEST_F(Backup, RefusedFilesChangeNothing) {
    const QByteArray before = test::fileBytes(db);
    const QString other = app.file(u"andere.mdb"_s);
    Database::create(other);  // a database of ours, but no backup
    app.write(u"kaputt.gdsicherung"_s, QByteArray(8192, 'x'));
    const struct {
        QString file;
        const char* why;
    } cases[] = {{other, "keine Datensicherung"},
                 {app.file(u"kaputt.gdsicherung"_s), ""},
                 {app.file(u"fehlt.gdsicherung"_s), "gibt es nicht"}};
    for (const auto& c : cases) {
        const Result<QString> r = restoreBackup(c.file, db, bin, saved);
        ASSERT_FALSE(r.ok()) << c.file.toStdString();
        EXPECT_TRUE(r.error().message().contains(QString::fromUtf8(c.why))) << r.error().message().toStdString();
        EXPECT_EQ(test::fileBytes(db), before);
        EXPECT_FALSE(QFileInfo::exists(saved));
    }
    EXPECT_EQ(QDir(app.path()).entryList({u"*.gdtmp-*"_s}, QDir::Files), QStringList());
}

// One backup a day; the newest seven stay, states a restore replaced are never removed.
TEST_F(Backup, DailyKeepsSeven) {
    QDir().mkpath(saved);
    app.write(u"Sicherungen/vor-Wiederherstellung-2026-01-01-100000.gdsicherung"_s, "x");
    for (int d = 1; d <= 9; ++d) ASSERT_TRUE(dailyBackup(db, bin, saved, QDate(2026, 12, d)).ok());
    const Result<QString> again = dailyBackup(db, bin, saved, QDate(2026, 12, 9));
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.value().isEmpty());  // today's is there
    const QStringList left = QDir(saved).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(left.size(), 8);
    EXPECT_EQ(left.front(), u"gaveldesk-2026-12-03.gdsicherung"_s);
    EXPECT_EQ(left.back(), u"vor-Wiederherstellung-2026-01-01-100000.gdsicherung"_s);
}

// A move into a new file cut short (killed) leaves only its copy beside the target: the next
// attempt is not refused for a half file, and succeeds.
TEST_F(Backup, AMoveCutShortDoesNotBlockTheNextAttempt) {
    const QString target = app.file(u"umgezogen.mdb"_s);
    app.write(u"umgezogen.mdb.gdtmp-umzug"_s, "halb geschrieben");
    const Result<QStringList> moved = copyDatabase(db, target);
    ASSERT_TRUE(moved.ok()) << moved.error().message().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target + u".gdtmp-umzug"_s));
    EXPECT_EQ(test::sqlcipher(target, "select count(*) from Auktionen;"), u"1"_s);
    // There now: a second move is refused and leaves it as it is.
    const QByteArray before = test::fileBytes(target);
    EXPECT_FALSE(copyDatabase(db, target).ok());
    EXPECT_EQ(test::fileBytes(target), before);
}

}  // namespace
}  // namespace gd
