// The search field above the list: trades of every state while typing, and the
// filter view back when it is cleared.
#include <QLabel>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

class SearchField : public test::MainWindowTest {
protected:
    QLineEdit* field() { return edit("txtSuche"); }
    // The search runs after a pause in typing.
    void settle() {
        QTimer* t = child<QTimer>(QStringLiteral("tmrSuche"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !t->isActive() && !w->listLoading(); }, 5000));
    }
    QString count() { return child<QLabel>(QStringLiteral("lblAnzahl"))->text(); }
};

TEST_F(SearchField, TypingFindsEveryStateAndClearingBringsTheFilterBack) {
    fill();  // anna 101 and closed 104, bernd 102, carla 103, dieter 201; 301 of another account
    tKunde k = kunde(QStringLiteral("erwin"), QStringLiteral("Erwin Großmüller"));
    store(auktion(QStringLiteral("105"), QStringLiteral("erwin")), k);
    open();
    const QStringList alle = column(7);
    QTest::keySequence(w.get(), QKeySequence::Find);
    EXPECT_TRUE(field()->hasFocus());

    test::typeText(field(), QStringLiteral("grossmuell"));
    settle();
    EXPECT_EQ(column(7), QStringList{QStringLiteral("105")});
    EXPECT_EQ(count(), QStringLiteral("1 Treffer"));
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("105"));  // the pane shows the match
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(button(QStringLiteral("cmdListe_%1").arg(i).toLatin1().constData())->isChecked());

    field()->selectAll();
    test::typeText(field(), QStringLiteral("ZINNBECHER"));
    settle();
    EXPECT_EQ(column(7), QStringList{QStringLiteral("101")});
    field()->selectAll();
    test::typeText(field(), QStringLiteral("kaffeem"));  // 104 is closed and found too
    settle();
    test::screenshot(w.get(), QStringLiteral("search.png"));
    QStringList found = column(7);
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("104"), QStringLiteral("105"), QStringLiteral("201")}));

    field()->selectAll();
    test::typeText(field(), QStringLiteral("xyzzy"));
    settle();
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_EQ(count(), QStringLiteral("Nichts gefunden"));

    QTest::keyClick(field(), Qt::Key_Escape);
    settle();
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_TRUE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(column(7), alle);
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

TEST_F(SearchField, AFilterButtonEndsTheSearch) {
    fill();
    open();
    test::typeText(field(), QStringLiteral("anna"));
    settle();
    EXPECT_EQ(w->grid()->Rows() - 1, 2);  // 101 open, 104 closed
    filter(3);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_EQ(column(7), QStringList{QStringLiteral("104")});
}

}  // namespace
}  // namespace gd
