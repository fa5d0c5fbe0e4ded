// Files of every earlier version were written with SQLCipher 3: the first start of this one
// carries them over to SQLCipher 4 with every row, keeps the file as it was beside it, and a
// kill at any sync or rename leaves the old file or the new one. Backups made before restore.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "KillAt.h"
#include "RunCli.h"
#include "support/Sqlcipher.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

// "Tabelle=Zeilen" for every table of the file, as the cipher tool reads it in the given format.
QStringList rowCounts(const QString& file, bool sqlcipher3, const QByteArray& password) {
    const auto read = [&](const QByteArray& script) {
        return sqlcipher3 ? test::sqlcipher3(file, script, password)
                          : test::sqlcipher(file, script, test::keyed(password));
    };
    QStringList out;
    for (const QString& t : read("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                                 "AND name NOT LIKE 'suche%' ORDER BY name;")
                                .split(u'\n', Qt::SkipEmptyParts))
        out << t + u'=' + read("SELECT count(*) FROM \"" + t.toUtf8() + "\";");
    return out;
}

// Only the tables the earlier file had: a schema step may add new ones.
QStringList restrictedTo(const QStringList& counts, const QStringList& before) {
    QStringList names;
    for (const QString& c : before) names << c.section(u'=', 0, 0);
    QStringList out;
    for (const QString& c : counts)
        if (names.contains(c.section(u'=', 0, 0))) out << c;
    return out;
}

TEST(Encryption, EveryEarlierFileIsCarriedOverWithEveryRow) {
    const struct {
        const char* file;
        QByteArray password;
        QStringList vars;
    } cases[] = {
        {"db/version1.mdb", "kaltwind", {}},
        {"db/version7.mdb", "kaltwind", {}},
        {"db/release-sqlcipher3.mdb", "kaltwind", {}},
        {"db/release-sqlcipher3-kennwort.mdb", "Brötchen-7", {u"GAVELDESK_KENNWORT=Brötchen-7"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::TestApp app;
        app.write(u"bin/config.ini"_s, kUser);
        const QString db = app.file(u"gaveldesk.mdb"_s);
        ASSERT_TRUE(QFile::copy(test::dataFile(QString::fromLatin1(c.file)), db));
        QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QByteArray original = app.read(u"gaveldesk.mdb"_s);
        const QStringList before = rowCounts(db, true, c.password);
        ASSERT_FALSE(before.filter(u"Auktionen="_s).isEmpty()) << before.join(u' ').toStdString();

        const Outcome first = run(app, {u"--list"_s}, c.vars);
        EXPECT_EQ(first.code, 0) << first.err.toStdString();
        EXPECT_TRUE(first.err.contains(u"in das Verschlüsselungsformat von SQLCipher 4 übertragen"_s))
            << first.err.toStdString();
        EXPECT_FALSE(first.err.contains(u"ERROR"_s)) << first.err.toStdString();  // no library log on stderr
        // The file as it was, beside it; the new one opens with SQLCipher 4's own settings.
        EXPECT_EQ(app.read(u"gaveldesk.mdb.sqlcipher3.bak"_s), original);
        EXPECT_EQ(test::sqlcipher(db, "PRAGMA cipher_version;", test::keyed(c.password)).left(2), u"4."_s);
        EXPECT_EQ(restrictedTo(rowCounts(db, false, c.password), before), before);
        // Once: the next start says nothing and keeps no second copy.
        const Outcome again = run(app, {u"--list"_s}, c.vars);
        EXPECT_EQ(again.code, 0);
        EXPECT_EQ(tradesOf(again), tradesOf(first));
        EXPECT_FALSE(again.err.contains(u"SQLCipher"_s)) << again.err.toStdString();
        EXPECT_TRUE(QDir(app.path()).entryList({u"*.sqlcipher3-*"_s}).isEmpty());
    }
}

// A kill inside the copy's writes or at its rename: the next start finds the old file (and carries
// it over then) or the new one, every trade in it, and no half-written copy is left behind.
TEST(Encryption, AKillAtEachSyncLeavesTheOldFileOrTheNew) {
    if (!test::canTrace()) GTEST_SKIP() << "strace is missing or may not trace here";
    test::TestApp app;
    app.write(u"bin/config.ini"_s, kUser);
    const QString db = app.file(u"gaveldesk.mdb"_s);
    const QByteArray original = test::fileBytes(test::dataFile(u"db/release-sqlcipher3.mdb"_s));
    int sawOld = 0, sawNew = 0;
    for (const QString& calls : {u"fdatasync"_s, u"fsync"_s, test::kRenames}) {
        for (int n = 1; n <= 8; ++n) {
            for (const QString& f : QDir(app.path()).entryList(QDir::Files | QDir::Hidden))
                if (f.startsWith(u"gaveldesk.mdb"_s)) QFile::remove(app.file(f));
            app.write(u"gaveldesk.mdb"_s, original);
            const bool killed = test::killedAt(app, {u"--list"_s}, {}, calls, n);
            const std::string at = calls.toStdString() + " #" + std::to_string(n);
            const bool old = app.read(u"gaveldesk.mdb"_s) == original;
            const bool isNew = test::sqlcipher(db, "SELECT count(*) FROM Auktionen;") == u"4"_s;
            EXPECT_TRUE(old || isNew) << at;
            sawOld += old;
            sawNew += isNew;
            const Outcome list = run(app, {u"--list"_s});
            EXPECT_EQ(list.code, 0) << at << list.err.toStdString();
            EXPECT_EQ(tradesOf(list).size(), 4) << at;
            static const QRegularExpression copy(u"\\.gdtmp-sqlcipher4"_s);
            for (const QString& f : QDir(app.path()).entryList(QDir::Files | QDir::Hidden))
                EXPECT_FALSE(copy.match(f).hasMatch()) << at << " " << f.toStdString();
            if (!killed) break;
        }
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

// A backup of an earlier version holds a SQLCipher 3 file: it is restored and carried over.
TEST(Encryption, ABackupOfAnEarlierVersionRestores) {
    test::TestApp app;
    makeDatabase(app, kUser, {"kauf.txt"});
    const Outcome restored =
        run(app, {u"--restore"_s, test::dataFile(u"db/release-sqlcipher3.gdsicherung"_s), u"--force"_s});
    EXPECT_EQ(restored.code, 0) << restored.err.toStdString();
    const Outcome list = run(app, {u"--list"_s});
    EXPECT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_EQ(tradesOf(list).size(), 4);
    EXPECT_EQ(test::sqlcipher(app.file(u"gaveldesk.mdb"_s), "PRAGMA cipher_version;").left(2), u"4."_s);
    for (const QString& f : QDir(app.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(f.contains(u".gdtmp-"_s)) << f.toStdString();
}

}  // namespace
}  // namespace gd
