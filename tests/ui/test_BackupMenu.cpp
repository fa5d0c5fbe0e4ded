#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

#include "MainWindowFixture.h"
#include "base/AppPath.h"
#include "base/Clock.h"
#include "domain/db/Backup.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class BackupMenu : public test::MainWindowTest {};

// "Datensicherung…" writes the file the user names; "Wiederherstellen…" asks, then
// brings the list back to that state and names where the replaced one went.
TEST_F(BackupMenu, SaveAndRestoreFromTheMenu) {
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=haendler\r\n");  // read again after the restore
    fill();
    open();
    const QStringList before = column(7);
    const QString file = app.file(u"stand.gdsicherung"_s);
    platform.queueFileName(app.file(u"stand"_s));  // typed without the ending the restore lists
    menu("keyEinstellungen", "keyBackup");
    ASSERT_TRUE(QFileInfo::exists(file));
    // Said in a message, with where it lies and how big it is.
    EXPECT_TRUE(lastMessage().startsWith(u"Datensicherung gespeichert: "_s + QDir::toNativeSeparators(file) + u" ("_s))
        << lastMessage().toStdString();
    EXPECT_TRUE(QRegularExpression(u"\\(\\d+,\\d (kB|MB|GB)\\)$"_s).match(lastMessage()).hasMatch())
        << lastMessage().toStdString();
    sale(u"105"_s, u"emil"_s, u"05.12.2026"_s, u"Teekanne"_s);
    for (const auto answer : {Platform::Answer::No, Platform::Answer::Yes}) {
        filter(2);
        ASSERT_NE(column(7), before);
        platform.queueFileName(file);
        platform.queueAnswer(answer);  // the question first: "Nein" changes nothing
        menu("keyEinstellungen", "keyRestore");
    }
    EXPECT_EQ(column(7), before);
    EXPECT_TRUE(lastMessage().startsWith(u"Die Datensicherung ist eingespielt."_s)) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(u"vor-Wiederherstellung-"_s));
}

// A backup by hand is proposed in the documents folder under a name of its own: saved in the
// backup folder, the daily backups' rotation never takes it away.
TEST_F(BackupMenu, AHandMadeBackupIsNeverTakenForADailyOne) {
    fill();
    open();
    platform.queueFileName(QString());  // cancelled: only the proposal is looked at
    menu("keyEinstellungen", "keyBackup");
    ASSERT_FALSE(platform.offeredPaths.isEmpty());
    const QFileInfo offered(platform.offeredPaths.last());
    EXPECT_EQ(offered.absolutePath(), documentsFolder());
    EXPECT_EQ(offered.fileName(), u"gaveldesk-"_s + now().toString(u"yyyy-MM-dd-HHmm"_s) + u".gdsicherung"_s);
    const QString byHand = backupFolder() + u"/"_s + offered.fileName();
    QDir().mkpath(backupFolder());
    platform.queueFileName(byHand);
    menu("keyEinstellungen", "keyBackup");
    ASSERT_TRUE(QFileInfo::exists(byHand));
    for (int day = 1; day <= 9; ++day)
        ASSERT_TRUE(dailyBackup(gsDataSource, app.file(u"bin"_s), backupFolder(), today().addDays(day), 7).ok());
    EXPECT_TRUE(QFileInfo::exists(byHand));
}

}  // namespace
}  // namespace gd
