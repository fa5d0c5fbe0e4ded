// The search field above the list: trades of every state while typing, and the
// filter view back when it is cleared or a filter button is pressed.
#include <QLabel>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class SearchField : public test::MainWindowTest {
protected:
    QLineEdit* field() { return edit("txtSuche"); }
    // What the user types over the field's text; the search runs after a pause in typing.
    void search(const QString& typed) {
        field()->selectAll();
        test::typeText(field(), typed);
        settle();
    }
    void settle() {
        QTimer* t = child<QTimer>(u"tmrSuche"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !t->isActive() && !w->listLoading(); }, 5000));
    }
    QString count() { return child<QLabel>(u"lblAnzahl"_s)->text(); }
};

TEST_F(SearchField, TypingFindsEveryStateAndClearingBringsTheFilterBack) {
    fill();  // anna 101 and closed 104, bernd 102, carla 103, dieter 201; 301 of another account
    store(auktion(u"105"_s, u"erwin"_s), kunde(u"erwin"_s, u"Erwin Großmüller"_s));
    open();
    const QStringList alle = column(7);
    QTest::keySequence(w.get(), QKeySequence::Find);
    EXPECT_TRUE(field()->hasFocus());

    search(u"grossmuell"_s);
    EXPECT_EQ(column(7), QStringList{u"105"_s});
    EXPECT_EQ(count(), u"1 Treffer"_s);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, u"105"_s);  // the pane shows the match
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(child<QPushButton>(u"cmdListe_%1"_s.arg(i))->isChecked()) << i;

    search(u"kaffeem"_s);  // 104 is closed and found too
    test::screenshot(w.get(), u"search.png"_s);
    QStringList found = column(7);
    found.sort();
    EXPECT_EQ(found, (QStringList{u"104"_s, u"105"_s, u"201"_s}));

    search(u"xyzzy"_s);
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_EQ(count(), u"Nichts gefunden"_s);

    QTest::keyClick(field(), Qt::Key_Escape);
    settle();
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_TRUE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(column(7), alle);

    search(u"grossmuell"_s);  // a trade deleted during a search leaves the status bar's figures
    auto* figures = child<QLabel>(u"lblUebersicht"_s);
    const auto openTrades = [&](int n) {
        return QTest::qWaitFor([&] { return figures->text().startsWith(u"Offen: %1 "_s.arg(n)); }, 5000);
    };
    ASSERT_TRUE(openTrades(5)) << figures->text().toStdString();
    platform.queueAnswer(Platform::Answer::Yes);
    press(Qt::Key_Delete);
    EXPECT_TRUE(openTrades(4)) << figures->text().toStdString();
    platform.messages.clear();  // the question before the delete

    search(u"anna"_s);
    EXPECT_EQ(column(7).size(), 2);  // 101 open, 104 closed
    filter(3);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_EQ(column(7), QStringList{u"104"_s});
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gd
