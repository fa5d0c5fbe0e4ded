// Qt's own texts are German as the program's are: dialog buttons, a text field's menu, shortcuts.
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "support/GuiApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(GermanTexts, QtsOwnWordsAreGerman) {
    test::guiApp();
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText), u"Strg+O"_s);
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), u"Abbrechen"_s);
    EXPECT_EQ(box.button(QDialogButtonBox::Open)->text().remove(u'&'), u"Öffnen"_s);
    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList entries;
    for (const QAction* a : menu->actions()) entries << a->text().remove(u'&').section(u'\t', 0, 0);
    EXPECT_TRUE(entries.contains(u"Einfügen"_s)) << entries.join(u'|').toStdString();
}

}  // namespace
}  // namespace gd
