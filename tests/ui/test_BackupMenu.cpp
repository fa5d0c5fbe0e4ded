#include <gtest/gtest.h>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

class BackupMenu : public test::MainWindowTest {};

// "Datensicherung…" writes the file the user names; "Wiederherstellen…" asks, then
// brings the list back to that state and names where the replaced one went.
TEST_F(BackupMenu, SaveAndRestoreFromTheMenu) {
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=haendler\r\n");  // read again after the restore
    fill();
    open();
    const QStringList before = column(7);
    const QString file = app.file(QStringLiteral("stand.gdsicherung"));
    platform.queueFileName(file);
    menu("keyEinstellungen", "keyBackup");
    ASSERT_TRUE(QFileInfo::exists(file));
    sale(QStringLiteral("105"), QStringLiteral("emil"), QStringLiteral("05.12.2026"), QStringLiteral("Teekanne"));
    filter(2);
    ASSERT_NE(column(7), before);
    platform.queueFileName(file);
    platform.queueAnswer(Platform::Answer::No);  // the question first: nothing happens
    menu("keyEinstellungen", "keyRestore");
    filter(2);
    EXPECT_NE(column(7), before);
    platform.queueFileName(file);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keyEinstellungen", "keyRestore");
    EXPECT_EQ(column(7), before);
    EXPECT_TRUE(platform.messages.last().text.startsWith(QStringLiteral("Die Datensicherung ist eingespielt.")))
        << platform.messages.last().text.toStdString();
    EXPECT_TRUE(platform.messages.last().text.contains(QStringLiteral("vor-Wiederherstellung-")));
}

}  // namespace
}  // namespace gd
