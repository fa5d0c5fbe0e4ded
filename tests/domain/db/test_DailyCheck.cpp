#include <gtest/gtest.h>

#include <QDir>

#include "base/SafeWrite.h"
#include "domain/db/Backup.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

class DailyCheck : public test::DbTest {
protected:
    QString record = app.file(QStringLiteral("bin/pruefung.dat"));
    const QDate day{2026, 12, 7};
    // Whether the call read the file (true) or trusted today's note.
    bool checks(const QDate& on) {
        bool finished = false;
        CheckLimits limits;
        limits.finished = &finished;
        EXPECT_TRUE(checkDatabaseDaily(db, record, on, limits).ok());
        return finished;
    }
};

// Once a file has been read whole today it is not read again, unless it is another file
// now (a restore put one in its place) or a write was cut short (SQLite's journal beside it).
TEST_F(DailyCheck, OnceADayPerFileUnlessReplacedOrCutShort) {
    EXPECT_TRUE(checks(day));
    EXPECT_FALSE(checks(day));
    EXPECT_TRUE(checks(day.addDays(1)));
    EXPECT_FALSE(checks(day.addDays(1)));

    app.write(QStringLiteral("gaveldesk.mdb-journal"), "cut short");
    EXPECT_TRUE(checks(day.addDays(1)));
    QFile::remove(db + QStringLiteral("-journal"));

    const QString copy = db + QStringLiteral(".kopie");
    ASSERT_TRUE(QFile::copy(db, copy));
    ASSERT_TRUE(renameOver(copy, db));
    EXPECT_TRUE(checks(day.addDays(1)));

    // A damaged file is never noted as checked: the next command reads it again.
    app.write(QStringLiteral("bin/x.mdb"), QByteArray(4096, 'x'));
    for (int call = 0; call < 2; ++call)
        EXPECT_FALSE(checkDatabaseDaily(app.file(QStringLiteral("bin/x.mdb")), record, day).ok()) << call;
}

// Closing the program stops the daily backup: nothing half-written stays, and the next
// start writes it whole.
TEST_F(DailyCheck, AStoppedBackupLeavesNothing) {
    const QString folder = app.file(QStringLiteral("Sicherungen"));
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(dailyBackup(db, app.file(QStringLiteral("bin")), folder, day, 7, &stop).ok());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList());
    ASSERT_TRUE(dailyBackup(db, app.file(QStringLiteral("bin")), folder, day).ok());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("gaveldesk-2026-12-07.gdsicherung")});
}

}  // namespace
}  // namespace gd
