#include <gtest/gtest.h>

#include "MainWindowFixture.h"
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

}  // namespace
}  // namespace gd
