// What the user must be able to trust: a kill in the middle of a password change or a
// restore, a damaged file and the other users of the machine cost no data and no access.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <string>
#include <utility>

#include "KillAt.h"
#include "RunCli.h"
#include "support/Sqlcipher.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;
using test::canTrace;
using test::killedAt;
using test::kRenames;

// A bad sector's damage: bytes changed inside every page from `first` on.
void damage(const QString& file, qint64 first) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    for (qint64 page = first; page < f.size() / test::kPageSize; ++page) {
        f.seek(page * test::kPageSize + 300);
        f.write(QByteArray(64, '\x5A'));
    }
}

int mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A kill at any sync or rename of a password change: who knows the new password always
// gets in; who gives none sees every trade or is asked for it, never "damaged".
TEST(Trust, NeverLockedOutByAKillDuringAPasswordChange) {
    if (!canTrace()) GTEST_SKIP() << "strace is missing or may not trace here";
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"verkauf.txt", "kauf.txt", "sofortkauf_verkauf.txt"}));
    const QStringList all{u"1234567890"_s, u"2345678901"_s, u"3456789012"_s};
    const QByteArray underProgramKey = app.read(u"gaveldesk.mdb"_s);
    int kills = 0, lockOutWindow = 0;
    // SQLite syncs with fdatasync, the settings file with fsync.
    for (const QString& calls : {u"fdatasync"_s, u"fsync"_s, kRenames}) {
        for (int n = 1; n <= 5; ++n) {
            const bool killed = killedAt(app, {u"--change-password"_s}, {u"GAVELDESK_NEUES_KENNWORT=neu"_s}, calls, n);
            const bool recordedOwn = app.read(u"bin/config.ini"_s).contains("EigenesKennwort=Wahr");
            const Outcome plain = run(app, {u"--list"_s});
            const std::string at = calls.toStdString() + " #" + std::to_string(n) + ": " + plain.err.toStdString();
            EXPECT_FALSE(plain.err.contains(u"beschädigt"_s)) << at;
            if (plain.code == 0) {
                EXPECT_EQ(tradesOf(plain), all) << at;
            } else {
                EXPECT_TRUE(plain.err.contains(u"GAVELDESK_KENNWORT"_s)) << at;
                if (!recordedOwn) ++lockOutWindow;  // re-keyed, the settings not yet told
            }
            const Outcome known = run(app, {u"--list"_s}, {u"GAVELDESK_KENNWORT=neu"_s});
            EXPECT_EQ(known.code, 0) << at << known.err.toStdString();
            EXPECT_EQ(tradesOf(known), all) << at;
            EXPECT_FALSE(known.err.contains(u"beschädigt"_s)) << at << known.err.toStdString();
            // The program's key again for the next kill.
            QFile::remove(app.file(u"gaveldesk.mdb-journal"_s));
            app.write(u"gaveldesk.mdb"_s, underProgramKey);
            app.write(u"bin/config.ini"_s, kUser);
            if (!killed) break;
            ++kills;
        }
    }
    EXPECT_GE(kills, 3);
    EXPECT_GT(lockOutWindow, 0);
}

// A kill at a sync or rename of a restore: the next start shows the old state or the
// restored one, database and settings alike, and no copy of either is left behind.
TEST(Trust, AKilledRestoreLeavesOneWholeState) {
    if (!canTrace()) GTEST_SKIP() << "strace is missing or may not trace here";
    test::TestApp app;
    // Few settings files, few renames.
    for (const QString& f : QDir(app.file(u"bin"_s)).entryList(QDir::Files))
        if (f != u"gaveldesk.ini"_s) QFile::remove(app.file(u"bin/"_s + f));
    app.write(u"bin/x0.dat"_s, "NEU");
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser + "[Main]\r\nHTTPLink1=neu\r\n", {"verkauf.txt"}));
    QTemporaryDir elsewhere;
    const QString backup = elsewhere.filePath(u"stand.gdsicherung"_s);
    ASSERT_EQ(run(app, {u"--backup"_s, backup}).code, 0);
    app.write(u"bin/config.ini"_s, kUser + "[Main]\r\nHTTPLink1=alt\r\n");
    app.write(u"bin/x0.dat"_s, "ALT");
    ASSERT_EQ(run(app, {u"--import"_s, mail("kauf.txt")}).code, 0);
    QList<std::pair<QString, QByteArray>> old;
    for (const QString& f : {u"gaveldesk.mdb"_s, u"bin/config.ini"_s, u"bin/gaveldesk.ini"_s, u"bin/x0.dat"_s})
        old.append({f, app.read(f)});
    static const QRegularExpression copy(u"\\.gdtmp-(wiederherstellen|sicherung)(-journal)?$"_s);
    // Inside SQLite's writes of the copies, then at every rename.
    QList<std::pair<QString, int>> points{{u"fdatasync"_s, 1}, {u"fdatasync"_s, 5}, {u"fdatasync"_s, 10}};
    for (int n = 1; n <= 13; ++n) points.append({kRenames, n});
    int sawOld = 0, sawRestored = 0;
    for (const auto& [calls, n] : points) {
        const bool killed = killedAt(app, {u"--restore"_s, backup, u"--force"_s}, {}, calls, n);
        const Outcome list = run(app, {u"--list"_s});
        const QByteArray x0 = app.read(u"bin/x0.dat"_s), config = app.read(u"bin/config.ini"_s);
        const qsizetype trades = tradesOf(list).size();
        const std::string at = calls.toStdString() + " #" + std::to_string(n) + ": " + list.err.toStdString();
        EXPECT_EQ(list.code, 0) << at;
        const bool isOld = trades == 2 && x0 == "ALT" && config.contains("HTTPLink1=alt");
        const bool isRestored = trades == 1 && x0 == "NEU" && config.contains("HTTPLink1=neu");
        EXPECT_TRUE(isOld || isRestored) << at << "\n"
                                         << trades << " " << x0.toStdString() << "\n"
                                         << config.toStdString();
        sawOld += isOld;
        sawRestored += isRestored;
        EXPECT_FALSE(QFileInfo::exists(app.file(u"bin/wiederherstellung.gdjournal"_s))) << at;
        for (const QString& dir : {app.path(), app.file(u"bin"_s), app.file(u"Sicherungen"_s)})
            for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden))
                EXPECT_FALSE(copy.match(f).hasMatch()) << at << " " << f.toStdString();
        // The old state again for the next kill.
        QDir(app.file(u"Sicherungen"_s)).removeRecursively();
        for (const QString& dir : {app.path(), app.file(u"bin"_s)})
            for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden)) QFile::remove(dir + u'/' + f);
        for (const auto& [name, bytes] : old) app.write(name, bytes);
        if (!killed && calls == kRenames) break;
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawRestored, 0);
}

// A backup from a setup whose settings name another database file: restored, the settings
// name the restored file, and the other one is neither made nor opened.
TEST(Trust, RestoredSettingsNameTheRestoredDatabase) {
    test::TestApp app;
    const QString other = app.file(u"woanders/anderer.mdb"_s);
    ASSERT_TRUE(QDir().mkpath(app.file(u"woanders"_s)));
    ASSERT_NO_FATAL_FAILURE(
        makeDatabase(app, kUser + "[Main]\r\nDatabase=" + other.toUtf8() + "\r\n", {"verkauf.txt"}));
    const QString backup = app.file(u"anderswo.gdsicherung"_s);
    ASSERT_EQ(run(app, {u"--backup"_s, backup}).code, 0);
    ASSERT_TRUE(QDir(app.file(u"woanders"_s)).removeRecursively());
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"kauf.txt", "sofortkauf_verkauf.txt"}));
    const Outcome r = run(app, {u"--restore"_s, backup, u"--force"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const Outcome list = run(app, {u"--list"_s});
    EXPECT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_EQ(tradesOf(list), QStringList{u"1234567890"_s});
    EXPECT_FALSE(QFileInfo::exists(app.file(u"woanders"_s)));
    EXPECT_FALSE(app.read(u"bin/config.ini"_s).contains("anderer.mdb"));
}

// The window killed in the middle of its work leaves its lock behind: the next start takes it over,
// notes it in the protocol and runs. A second start while one runs hands over and ends. A number in
// the lock that a running process has (the test's own, as a reused number would) stops nothing.
TEST(Trust, TheWindowStartsAgainAfterAKill) {
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"verkauf.txt"}));
    // Another running program under the window's name holds the number the lock names, as when the
    // system hands a dead window's number to a new process.
    ASSERT_TRUE(QDir().mkpath(app.file(u"andere"_s)));
    const QString imposter = app.file(u"andere/gaveldesk-fenster"_s);
    ASSERT_TRUE(QFile::copy(u"/usr/bin/sleep"_s, imposter));
    QProcess other;
    other.start(imposter, {u"120"_s});
    ASSERT_TRUE(other.waitForStarted(10000));
    const QString me = QString::number(other.processId());
    app.write(u"gaveldesk.lock"_s,
              me.toLatin1() + "\ngaveldesk-fenster\n" + QSysInfo::machineHostName().toLatin1() + "\n");
    const QProcessEnvironment env = environment(app.path(), {u"QT_QPA_PLATFORM=offscreen"_s});
    const auto start = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(GD_WINDOW_EXECUTABLE), {});
        return p.waitForStarted(10000);
    };
    // The lock names the running window once it holds it.
    const auto holds = [&](const QProcess& p) {
        for (int i = 0; i < 600; ++i) {
            if (app.read(u"gaveldesk.lock"_s).trimmed() == QByteArray::number(p.processId())) return true;
            if (p.state() != QProcess::Running) return false;
            QThread::msleep(50);
        }
        return false;
    };
    const auto protocol = [&] {
        QByteArray all;
        for (const QString& f : QDir(app.path()).entryList({u"*.ERR"_s}, QDir::Files)) all += app.read(f);
        return QString::fromLatin1(all);
    };
    QProcess first;
    ASSERT_TRUE(start(first));
    ASSERT_TRUE(holds(first)) << first.readAllStandardError().toStdString();
    EXPECT_TRUE(protocol().contains(u"(Prozess %1)"_s.arg(me))) << protocol().toStdString();
    const qint64 killed = first.processId();
    first.kill();
    first.waitForFinished(10000);
    QProcess second;
    ASSERT_TRUE(start(second));
    ASSERT_TRUE(holds(second)) << second.readAllStandardError().toStdString();
    EXPECT_TRUE(protocol().contains(u"(Prozess %1)"_s.arg(killed))) << protocol().toStdString();
    QProcess third;
    ASSERT_TRUE(start(third));
    EXPECT_TRUE(third.waitForFinished(30000));
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(second.state(), QProcess::Running);
    second.kill();
    second.waitForFinished(10000);
    other.kill();
    other.waitForFinished(10000);
}

// A backup made by another hand: files that are no settings never leave it, a path never leads
// out of bin/, and one that holds more than any backup of ours is refused whole.
TEST(Trust, ABackupOnlyGivesBackSettings) {
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"verkauf.txt"}));
    const QString backup = app.file(u"fremd.gdsicherung"_s);
    ASSERT_EQ(run(app, {u"--backup"_s, backup}).code, 0);
    test::sqlcipher(backup,
                    "insert into Sicherung_Dateien values ('../../boese.sh', x'23212f62696e2f7368');"
                    "insert into Sicherung_Dateien values ('autostart.desktop', x'5b5d');");
    Outcome r = run(app, {u"--restore"_s, backup, u"--force"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(app.file(u"boese.sh"_s)));
    EXPECT_FALSE(QFile::exists(app.file(u"bin/boese.sh"_s)));
    EXPECT_FALSE(QFile::exists(app.file(u"bin/autostart.desktop"_s)));
    test::sqlcipher(backup, "insert into Sicherung_Dateien values ('riesig.ini', zeroblob(5 * 1024 * 1024));");
    const QByteArray config = app.read(u"bin/config.ini"_s);
    r = run(app, {u"--restore"_s, backup, u"--force"_s});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"mehr Einstellungen, als eine Sicherung von Gaveldesk je hat"_s))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(app.file(u"bin/riesig.ini"_s)));
    EXPECT_EQ(app.read(u"bin/config.ini"_s), config);
}

// A backup goes in where there is no database yet, over one only with --force. One from
// before the user chose a password restores with that password alone, and the restored
// file is under it.
TEST(Trust, ABackupFromBeforeTheOwnPasswordRestores) {
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"verkauf.txt"}));
    const QString backup = app.file(u"vorher.gdsicherung"_s);
    ASSERT_EQ(run(app, {u"--backup"_s, backup}).code, 0);
    ASSERT_TRUE(QFile::remove(app.file(u"gaveldesk.mdb"_s)));
    Outcome r = run(app, {u"--restore"_s, backup});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(run(app, {u"--import"_s, mail("kauf.txt")}).code, 0);
    r = run(app, {u"--change-password"_s}, {u"GAVELDESK_NEUES_KENNWORT=eigen"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = run(app, {u"--restore"_s, backup}, {u"GAVELDESK_KENNWORT=eigen"_s});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"--force"_s)) << r.err.toStdString();
    r = run(app, {u"--restore"_s, backup, u"--force"_s}, {u"GAVELDESK_KENNWORT=eigen"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Der vorige Stand liegt in"_s)) << r.err.toStdString();
    r = run(app, {u"--list"_s}, {u"GAVELDESK_KENNWORT=eigen"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(tradesOf(r), QStringList{u"1234567890"_s});
    r = run(app, {u"--list"_s});
    EXPECT_EQ(r.code, 1) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(u"GAVELDESK_KENNWORT"_s)) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u"gaveldesk:"_s), 1) << r.err.toStdString();  // said once, not again by the list
}

// A damaged file is named as damage, in German, by every command; the writing ones refuse
// and none writes a byte. Restoring the last backup keeps the damaged bytes aside.
TEST(Trust, ADamagedDatabaseIsNamedKeptAsideAndReplaced) {
    test::TestApp app;
    // The long mail last: the last pages hold its text, the first ones the schema.
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"sofortkauf_verkauf.txt", "verkauf_200kb.txt"}));
    const QString good = app.file(u"gut.gdsicherung"_s), bad = app.file(u"kaputt.mdb"_s);
    ASSERT_EQ(run(app, {u"--backup"_s, good}).code, 0);
    app.write(u"bin/config.ini"_s, kUser + "[Main]\r\nDatabase=" + bad.toUtf8() + "\r\n");
    const struct {
        QStringList args;
        bool writes;
    } commands[] = {
        {{u"--bank-import"_s, test::dataFile(u"bank/sparkasse.csv"_s), u"--apply"_s}, true},
        {{u"--backup"_s, app.file(u"neu.gdsicherung"_s)}, true},
        {{u"--change-password"_s}, true},
        {{u"--import"_s, mail("kauf.txt")}, true},
        {{u"--list"_s}, false},
        {{u"--search"_s, u"x"_s}, false},
        {{u"--export-csv"_s, app.file(u"liste.csv"_s)}, false},
    };
    const qint64 pages = QFileInfo(app.file(u"gaveldesk.mdb"_s)).size() / test::kPageSize;
    QByteArray before;
    // A mail's text lost (the last pages), then the schema too (every page but the first).
    for (const qint64 first : {pages - 3, qint64(1)}) {
        QFile::remove(bad);
        ASSERT_TRUE(QFile::copy(app.file(u"gaveldesk.mdb"_s), bad));
        ASSERT_NO_FATAL_FAILURE(damage(bad, first));
        before = app.read(u"kaputt.mdb"_s);
        for (const auto& c : commands) {
            const Outcome r = run(app, c.args, {u"GAVELDESK_NEUES_KENNWORT=neu"_s});
            const std::string at =
                "page " + std::to_string(first) + ", " + c.args.join(u' ').toStdString() + ": " + r.err.toStdString();
            EXPECT_TRUE(r.err.contains(u"beschädigt"_s)) << at;
            // Writing commands refuse and point to the backup; reading ones go on with a warning.
            EXPECT_TRUE(r.err.contains(c.writes ? u"letzte Sicherung"_s : u"Warnung"_s)) << at;
            if (c.writes) {
                EXPECT_EQ(r.code, 1) << at;
            }
            for (const QString& english :
                 {u"malformed"_s, u"disk image"_s, u"not a database"_s, u"unable to"_s, u"database main"_s})
                EXPECT_FALSE(r.err.contains(english)) << at;
            EXPECT_FALSE(r.err.contains(u"falsch"_s)) << at;  // damage is no wrong password
            EXPECT_EQ(app.read(u"kaputt.mdb"_s), before) << at;
        }
    }
    EXPECT_FALSE(QFileInfo::exists(app.file(u"neu.gdsicherung"_s)));
    const Outcome r = run(app, {u"--restore"_s, good, u"--force"_s});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList kept =
        QDir(app.file(u"Sicherungen"_s)).entryList({u"vor-Wiederherstellung-*"_s}, QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1) << r.err.toStdString();
    EXPECT_EQ(app.read(u"Sicherungen/"_s + kept[0] + u"/kaputt.mdb"_s), before);
    const Outcome list = run(app, {u"--list"_s});
    EXPECT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_FALSE(list.err.contains(u"beschädigt"_s)) << list.err.toStdString();
    EXPECT_EQ(tradesOf(list), (QStringList{u"1234567890"_s, u"2345678901"_s}));
}

// The day's check done, another program overwrites 100 bytes of a page: the next writing command
// checks again and refuses, the file as it was. The program's own writes need no new check.
TEST(Trust, DamageAfterTheDaysCheckIsFoundByTheNextWrite) {
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"sofortkauf_verkauf.txt", "verkauf_200kb.txt"}));
    const QString db = app.file(u"gaveldesk.mdb"_s);
    ASSERT_EQ(run(app, {u"--import"_s, mail("kauf.txt")}).code, 0);
    const QByteArray checked = app.read(u"bin/pruefung.dat"_s);
    ASSERT_EQ(run(app, {u"--import"_s, mail("sofortkauf_kauf.txt")}).code, 0);
    EXPECT_NE(app.read(u"bin/pruefung.dat"_s), checked);  // the note follows the program's own write
    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 3 * test::kPageSize + 300);
        f.write(QByteArray(100, '\x5A'));
    }
    const QByteArray before = app.read(u"gaveldesk.mdb"_s);
    const Outcome r = run(app, {u"--import"_s, mail("verkauf.txt")});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"beschädigt"_s)) << r.err.toStdString();
    EXPECT_EQ(app.read(u"gaveldesk.mdb"_s), before);
}

// Customer data are for this user alone: what the program writes is 0600 in 0700 folders,
// what was opened up is closed at the next start, and no backup carries the SMTP password.
TEST(Trust, DataArePrivateAndBackupsCarryNoSmtpPassword) {
    test::TestApp app;
    const QByteArray secret = "4B1F0A3C5D2E6F7081";  // scrambled, as the options store it
    ASSERT_NO_FATAL_FAILURE(
        makeDatabase(app, shopConfig() + "Kennwort=" + secret + "\r\n", {"verkauf.eml", "sofortkauf_verkauf.txt"}));
    const QString hand = app.file(u"Sicherungen/hand.gdsicherung"_s);
    for (const QStringList& args : {QStringList{u"--backup"_s, hand}, QStringList{u"--restore"_s, hand, u"--force"_s},
                                    QStringList{u"--export-csv"_s, app.file(u"liste.csv"_s)},
                                    QStringList{u"--invoice"_s, u"1234567890"_s, app.file(u"Rechnung.pdf"_s)}}) {
        const Outcome r = run(app, args);
        ASSERT_EQ(r.code, 0) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
    // The restore gives back the account's password that the backup left out.
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains(QByteArray("Kennwort=" + secret)));
    EXPECT_EQ(mode(app.path()), 0700);
    int seen = 0;
    for (QDirIterator it(app.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        if (path.startsWith(app.file(u"Help"_s))) continue;  // the shipped help the fixture copied
        ++seen;
        EXPECT_EQ(mode(path), it.fileInfo().isDir() ? 0700 : 0600) << path.toStdString();
    }
    EXPECT_GE(seen, 8);
    // The hand-made backup and the state the restore replaced.
    const QStringList backups = QDir(app.file(u"Sicherungen"_s)).entryList({u"*.gdsicherung"_s}, QDir::Files);
    EXPECT_EQ(backups.size(), 2);
    for (const QString& b : backups) {
        const QByteArray ini =
            QByteArray::fromHex(test::sqlcipher(app.file(u"Sicherungen/"_s + b),
                                                "select hex(Inhalt) from Sicherung_Dateien where Datei = 'config.ini';")
                                    .toLatin1());
        EXPECT_TRUE(ini.contains("[Konto]")) << b.toStdString();
        EXPECT_FALSE(ini.contains(secret)) << b.toStdString();
    }
    // Opened up by another hand (a copy, a careless umask): the next start closes them and says so.
    const QStringList loosened{
        app.path(), app.file(u"Sicherungen"_s), app.file(u"gaveldesk.mdb"_s), app.file(u"bin/x0.dat"_s),
        hand,       app.file(u"liste.csv"_s),   app.file(u"Rechnung.pdf"_s)};
    for (const QString& p : loosened)
        ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), QFileInfo(p).isDir() ? 0755 : 0644), 0);
    // The issued invoice's archive too.
    const QStringList archive{app.file(u"gaveldesk-Belege"_s), app.file(u"gaveldesk-Belege/belege.log"_s)};
    for (const QString& p : archive)
        ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), QFileInfo(p).isDir() ? 0755 : 0644), 0);
    const Outcome r = run(app, {u"--list"_s});
    EXPECT_TRUE(r.err.contains(u"Zugriffsrechte von 7 "_s)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Zugriffsrechte von 2 "_s)) << r.err.toStdString();
    for (const QString& p : loosened + archive)
        EXPECT_EQ(mode(p), QFileInfo(p).isDir() ? 0700 : 0600) << p.toStdString();
}

// A kill while an invoice is issued leaves no invoice and its number unused, or the whole
// invoice: the next one issued is the first of the year either way, and the list has no gap.
TEST(Trust, AKillWhileIssuingLeavesNoGap) {
    if (!canTrace()) GTEST_SKIP() << "strace is missing or may not trace here";
    test::TestApp app;
    ASSERT_NO_FATAL_FAILURE(makeDatabase(app, kUser, {"verkauf.txt"}));
    const QString nr = tradesOf(run(app, {u"--list"_s})).value(0);
    ASSERT_FALSE(nr.isEmpty());
    const QByteArray fresh = app.read(u"gaveldesk.mdb"_s);
    const QString pdf = app.file(u"Rechnung.pdf"_s);
    int sawNone = 0, sawWhole = 0;
    // At each sync of the commit, then at the rename of the written page (the invoice kept, its file not).
    QList<std::pair<QString, int>> points;
    // The first sync notes the day's check of a file a kill changed; the commit's follow.
    for (int n = 1; n <= 6; ++n) points.append({u"fdatasync,fsync"_s, n});
    points.append({kRenames, 1});
    for (const auto& [calls, n] : points) {
        const bool killed = killedAt(app, {u"--invoice"_s, nr, pdf}, {}, calls, n);
        const QString before = run(app, {u"--invoices"_s}).out;
        (before.isEmpty() ? sawNone : sawWhole) += killed;
        // Issued now or before: one invoice, the year's first; asked again, the same bytes.
        ASSERT_EQ(run(app, {u"--invoice"_s, nr, pdf}).code, 0);
        const QByteArray bytes = test::fileBytes(pdf);
        ASSERT_EQ(run(app, {u"--invoice"_s, nr, pdf}).code, 0);
        EXPECT_EQ(test::fileBytes(pdf), bytes) << n;
        const QStringList listed = run(app, {u"--invoices"_s}).out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(listed.size(), 1) << n << " " << listed.join(u'|').toStdString();
        EXPECT_TRUE(listed[0].startsWith(u"RE-"_s) && listed[0].section(u'\t', 0, 0).endsWith(u"-0001"_s))
            << listed[0].toStdString();
        // A fresh start: the archive of the round before goes with its file (it would refuse the number).
        app.write(u"gaveldesk.mdb"_s, fresh);
        QDir(app.file(u"gaveldesk-Belege"_s)).removeRecursively();
        QFile::remove(app.file(u"gaveldesk.mdb-journal"_s));
        if (!killed && calls == kRenames) break;
    }
    EXPECT_GT(sawNone, 0);
    EXPECT_GT(sawWhole, 0);
}

}  // namespace
}  // namespace gd
