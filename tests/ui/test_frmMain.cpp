#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QStatusTipEvent>
#include <QTextBrowser>

#include "MainWindowFixture.h"
#include "ui/frmOptionen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using MainWindow = test::MainWindowTest;

// The pane shows the row clicked or reached by a key, and the first row after each filter
// (its rows, newest first) and sort; a double click opens the item page, unless it is gone.
TEST_F(MainWindow, TheListFiltersSortsAndChoosesTheRowOfThePane) {
    fill();
    open();
    w->resize(1280, 720);
    test::screenshot(w.get(), u"main.png"_s);
    EXPECT_TRUE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(shown(), u"201"_s);
    EXPECT_EQ(child<QGroupBox>(u"fraKunde"_s)->title(), u"Verkäuferdaten"_s);
    clickRow(3);
    EXPECT_EQ(shown(), u"103"_s);
    press(Qt::Key_Up);
    EXPECT_EQ(shown(), u"102"_s);
    EXPECT_EQ(edit("txtebayName")->text(), u"bernd"_s);
    EXPECT_EQ(child<QGroupBox>(u"fraKunde"_s)->title(), u"Käuferdaten"_s);
    gsItemLink = u"http://cgi.ebay.de/ViewItem%26item=[#Artikel#]%26rd=1"_s;
    platform.executableFound = u"/usr/bin/xdg-open"_s;
    const QPoint first = w->grid()->visualRect(w->grid()->model()->index(0, 3)).center();
    QTest::mouseClick(w->grid()->viewport(), Qt::LeftButton, {}, first);  // a double click sends both
    QTest::mouseDClick(w->grid()->viewport(), Qt::LeftButton, {}, first);
    EXPECT_TRUE(platform.shellCalls.value(0).file.endsWith(u"ViewItem%26item=201%26rd=1"_s));
    app.clock.set(app.clock.now().addDays(91));
    click("cmdAuktion");
    EXPECT_EQ(platform.messages.value(0).title, u"Diese Auktion ist seit 91 Tagen ausgelaufen!"_s);
    EXPECT_EQ(platform.shellCalls.size(), 1);
    platform.messages.clear();
    struct Case {
        int filter;
        QStringList nrs;
    };
    const Case cases[] = {{0, {u"102"_s, u"103"_s, u"101"_s}},
                          {1, {u"201"_s}},
                          {2, {u"201"_s, u"102"_s, u"103"_s, u"101"_s}},
                          {3, {u"104"_s}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        filter(c.filter);
        for (int b = 0; b < 5; ++b) EXPECT_EQ(child<QPushButton>(u"cmdListe_%1"_s.arg(b))->isChecked(), b == c.filter);
        EXPECT_EQ(column(7), c.nrs);
        EXPECT_EQ(shown(), c.nrs.first());
    }
    EXPECT_EQ(column(6), QStringList{u"Abgeschlossen"_s});
    auto* count = child<QLabel>(u"lblAnzahl"_s);
    QStatusTipEvent tip(u"Liste aktualisieren"_s);  // a menu entry's hint takes the status bar
    QApplication::sendEvent(w.get(), &tip);
    EXPECT_TRUE(count->isVisible());
    EXPECT_EQ(count->text(), u"1 Auktion"_s);
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
    filter(2);
    struct Step {
        const char* menu;  // nullptr: a click on the heading
        const char* key;
        int heading;      // a second click turns the order
        int col;          // the column looked at
        QStringList top;  // its first rows
    };
    const Step steps[] = {{"keysortmenue", "keysort3", 0, 4, {u"Armbanduhr"_s}},
                          {"keypop2", "keysort2", 0, 2, {u"anna"_s, u"bernd"_s, u"carla"_s, u"dieter"_s}},
                          {"keysortmenue", "keysort0", 0, 7, {u"201"_s, u"102"_s, u"103"_s, u"101"_s}},
                          {nullptr, nullptr, 5, 7, {u"101"_s, u"103"_s, u"102"_s, u"201"_s}},  // by time
                          {nullptr, nullptr, 5, 7, {u"201"_s}},
                          {nullptr, nullptr, 2, 2, {u"anna"_s}},
                          {nullptr, nullptr, 2, 2, {u"dieter"_s, u"carla"_s, u"bernd"_s, u"anna"_s}}};
    // A sort keeps the trade of the pane, and marks its row wherever it went: the first row
    // used to be chosen, another buyer in the pane.
    const QString chosen = shown();
    for (const Step& s : steps) {
        SCOPED_TRACE(int(&s - steps));
        if (s.menu) {
            menu(s.menu, s.key);
        } else {
            clickHeading(s.heading);
        }
        EXPECT_EQ(column(s.col).mid(0, s.top.size()), s.top);
        EXPECT_EQ(shown(), chosen);
        EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 7), chosen);
    }
    QHeaderView* h = w->grid()->horizontalHeader();
    EXPECT_TRUE(h->isSortIndicatorShown());
    tick(0);  // a refresh
    EXPECT_EQ(column(2), steps[6].top);
    EXPECT_EQ(h->sortIndicatorSection(), 2);
    menu("keysortmenue", "keysort0");  // back to the database's order
    EXPECT_FALSE(h->isSortIndicatorShown());
    EXPECT_EQ(column(7).first(), u"201"_s);
}

// Delete asks ("Nein" the default) and deletes only the row shown, however many are
// marked; a grouped row, shown with its icon, goes alone, from its right-click menu.
TEST_F(MainWindow, DeleteAsksAndDeletesOnlyTheShownRow) {
    fill();
    ASSERT_TRUE(test::ok(saveGruppenID(currentStore(), kundenNrOf(currentStore(), u"anna"_s).value(), u"anna"_s)));
    open();
    menu("keyMarkierung", "keyallemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 4);
    press(Qt::Key_Delete);  // answered "Nein"
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_EQ(platform.messages[0].title, u"Emaileintrag wird unwiderruflich gelöscht."_s);
    EXPECT_EQ(platform.messages[0].defaultButton, Platform::Answer::No);  // Enter deletes nothing
    EXPECT_TRUE(platform.messages[0].text.endsWith(
        u"Emaileintrag: 201 - Kaffeemühle 201 - von dem ebayuser - dieter gelöscht werden soll?"_s));
    EXPECT_EQ(platform.messages[1].text, u"Löschvorgang abgebrochen!"_s);
    EXPECT_EQ(w->grid()->Rows(), 5);
    menu("keypop2", "keyalledemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 1);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keyAktion", "keydelete");
    EXPECT_EQ(column(7), (QStringList{u"102"_s, u"103"_s, u"101"_s}));
    filter(0);
    const int annaRow = int(column(2).indexOf(u"anna"_s)) + 1;
    EXPECT_FALSE(w->grid()->model()->index(annaRow - 1, 1).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(w->grid()->model()->index(0, 1).data(Qt::DecorationRole).isNull());
    clickRow(annaRow);
    w->resize(1100, 600);
    const QRect cell = w->grid()->visualRect(w->grid()->model()->index(annaRow - 1, 3));
    QTest::mouseClick(w->grid()->viewport(), Qt::RightButton, {}, cell.center());
    ASSERT_TRUE(w->popupMenu()->isVisible());
    if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QPixmap shot = w->grab();  // the list's menu for the README
        QPainter p(&shot);
        p.drawPixmap(w->mapFromGlobal(w->popupMenu()->pos()), w->popupMenu()->grab());
        p.end();
        shot.save(QDir(dir).filePath(u"popup.png"_s));
    }
    w->popupMenu()->close();
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keypop2", "keydelete");
    EXPECT_EQ(column(7), (QStringList{u"102"_s, u"103"_s}));
    EXPECT_EQ(auctions(), 4);  // the closed grouped auction of anna stays
}

// Without a database the start offers one and says where to find the offer later: "Nein"
// leaves an empty list without an error, the menu entry makes the database; a file named in
// the settings but gone is offered anew at its place.
TEST_F(MainWindow, WithoutDatabaseTheStartAndTheMenuOfferOne) {
    QFile::remove(db);
    gsDataSource.clear();
    open();  // answered "Nein"
    ASSERT_EQ(platform.messages.size(), 1) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().startsWith(u"Es ist noch keine Datenbank vorhanden."_s));
    EXPECT_TRUE(lastMessage().contains(u"„Neue Datenbank anlegen…“"_s));
    menu("keyAktion", "keyrefresh");
    EXPECT_EQ(platform.messages.size(), 1);
    platform.queueAnswer(Platform::Answer::No);  // no password of the user's
    menu("keyEinstellungen", "keyNeueDatenbank");
    EXPECT_TRUE(lastMessage().contains(u"eigenen Kennwort schützen"_s)) << lastMessage().toStdString();
    ASSERT_TRUE(QFile::exists(db));
    EXPECT_EQ(gsDataSource, db);
    QFile::remove(db);
    platform.messages.clear();
    platform.queueAnswer(Platform::Answer::Yes);
    open();
    EXPECT_TRUE(platform.messages[0].text.startsWith(u"Die Datenbankdatei wurde nicht gefunden:\r"_s + db));
    EXPECT_TRUE(QFile::exists(db));
}

// A file of the previous release (SQLCipher 3): the window opens it, lists its trades and says
// once, in a message of its own, where the file as it was is kept.
TEST_F(MainWindow, AFileOfThePreviousReleaseIsCarriedOverAndSaidOnce) {
    ASSERT_TRUE(QFile::remove(db));
    ASSERT_TRUE(QFile::copy(test::dataFile(u"db/release-sqlcipher3.mdb"_s), db));
    QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    gSettings.StandardUser = gSettings.Username = u"gavel_haendler"_s;
    open();
    ASSERT_EQ(platform.messages.size(), 1) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(u"SQLCipher 4 übertragen"_s)) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(QDir::toNativeSeparators(db + u".sqlcipher3.bak"_s)));
    EXPECT_EQ(w->grid()->Rows() - 1, 4);
    w.reset();
    platform.messages.clear();
    open();
    EXPECT_TRUE(platform.messages.isEmpty()) << lastMessage().toStdString();
}

// Opened, and restored from a larger screen, the window lies on the screen (the tests' screen
// is 1024 × 768 with window frames): no button beyond its edge.
TEST_F(MainWindow, TheWindowLiesOnTheScreen) {
    fill();
    for (const char* start : {"as opened", "restored"}) {
        SCOPED_TRACE(start);
        open();
        const QRect room = w->screen()->availableGeometry();
        EXPECT_TRUE(room.contains(w->frameGeometry())) << w->frameGeometry().width() << "x" << w->height();
        for (const char* b : {"cmdSpeichern", "cmdAbbrechen"})
            EXPECT_TRUE(room.contains(QRect(button(b)->mapToGlobal(QPoint()), button(b)->size()))) << b;
        EXPECT_EQ(w->grid()->model()->sortColumn(), start[0] == 'a' ? -1 : 2);  // the order chosen before
        QTest::mouseClick(w->grid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(w->grid()->columnViewportPosition(2) + 5, 5));  // "ebay"
        w->setGeometry(300, 200, 1700, 1000);                                    // as on a larger screen
        w->close();
    }
}

// The list's pop-up menu opens by keyboard (menu key, Shift+F10) at the row, and is the menu
// bar's "Auswahl" too, where keyboard and screen reader users find it.
TEST_F(MainWindow, TheListsMenuByKeyboardAndInTheMenuBar) {
    fill();
    open();
    QMenu* popup = w->popupMenu();
    bool inBar = false;
    for (QAction* a : w->menuBar()->actions()) inBar = inBar || (a->menu() == popup && a->text() == u"Auswahl"_s);
    EXPECT_TRUE(inBar);
    clickRow(2);
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}) {
        QTest::keyClick(w->grid(), key.key(), key.keyboardModifiers());
        ASSERT_TRUE(QTest::qWaitFor([popup] { return popup->isVisible(); }, 5000));
        const QRect row = w->grid()->visualRect(w->grid()->currentIndex());
        EXPECT_NEAR(popup->y(), w->grid()->viewport()->mapToGlobal(row.bottomLeft()).y() + 10, 2);
        popup->close();
    }
}

// Every menu entry reaches its command; a second click while one is pending is dropped.
TEST_F(MainWindow, EveryMenuEntryReachesItsCommand) {
    fill();
    open();
    struct Case {
        const char* menu;
        const char* key;
        const char* window;
    };
    const Case cases[] = {{"keyEinstellungen", "keyOptionen", "frmOptionen"},
                          {"keyEinstellungen", "keyInfo", "frmAbout"},
                          {"keyAktion", "keyEmaileinlesen", "frmEinlesen"},
                          {"keyAktion", "keyEmailversenden", "frmMail"}};
    for (const Case& c : cases) {
        QString seen;
        test::whenModal<QDialog>([&seen](QDialog* d) {
            seen = d->objectName();
            d->reject();
        });
        menu(c.menu, c.key);
        EXPECT_EQ(seen.toStdString(), c.window) << c.key;
    }
    gsItemLink = u"http://cgi.ebay.de/ViewItem%26item=[#Artikel#]"_s;
    gsFeedbackLink = u"http://feedback.ebay.de/x"_s;
    platform.executableFound = u"/usr/bin/xdg-open"_s;
    menu("keyAktion", "keyBewertungen");
    EXPECT_EQ(platform.shellCalls.last().file, u"http://feedback.ebay.de/x"_s);
    menu("keypop2", "keyzurauktion");
    EXPECT_TRUE(platform.shellCalls.last().file.contains(u"item=201"_s));
    app.write(u"Help/hilfe.htm"_s, test::fileBytes(QStringLiteral(GD_RESOURCES_DIR "/Help/hilfe.htm")));
    platform.linksOpen = false;
    menu("keyEinstellungen", "keyHelp");  // in a window of the program: no browser needed
    auto* help = child<QDialog>(u"frmHilfe"_s);
    ASSERT_TRUE(help && help->isVisible());
    // Windows-1252 read right
    EXPECT_TRUE(help->findChild<QTextBrowser*>(u"txtHilfe"_s)->toPlainText().contains(u"Auktions-E-Mails einlesen"_s));
    help->close();
    auto* sortMenu = child<QMenu>(u"keysortmenue"_s);
    sortMenu->findChild<QAction*>(u"keysort2"_s)->trigger();
    sortMenu->findChild<QAction*>(u"keysort21"_s)->trigger();
    QTimer* t = child<QTimer>(u"tmrMenue"_s);
    ASSERT_TRUE(QTest::qWaitFor([t] { return !t->isActive(); }, 5000));
    EXPECT_EQ(column(2).first(), u"anna"_s);
    EXPECT_EQ(child<QAction>(u"keyEmailversenden"_s)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(child<QAction>(u"keyrefresh"_s)->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(child<QAction>(u"keyHelp"_s)->shortcut(), QKeySequence(Qt::Key_F1));
    menu("keyEinstellungen", "keyExit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Geometrie="));  // kept for the next start
}

// At the default size and at 1024×768 every button and milestone is in view
// without scrolling, and no field runs out on the right.
TEST_F(MainWindow, EveryActionInReachAtTheDefaultSizeAnd1024x768) {
    fill();
    open();
    QStringList names = {u"cmdEinlesen"_s, u"cmdSenden"_s, u"cmdSpeichern"_s, u"cmdAuktion"_s, u"cmdAbbrechen"_s};
    for (int i = 0; i < kMilestones; ++i) names << u"chkStatus_%1"_s.arg(i) << u"dtpStatus_%1"_s.arg(i);
    const auto inWindow = [this](QWidget* c) { return QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size()); };
    const auto longestEnd = [this] {
        qsizetype n = 0;
        for (int r = 0; r < w->grid()->model()->rowCount(); ++r)
            n = std::max(n, w->grid()->model()->index(r, 5).data().toString().size());
        return n;
    };
    for (const QSize size : {w->size(), QSize(1024, 768)}) {
        SCOPED_TRACE(size.width());
        w->resize(size);
        QApplication::processEvents();
        ASSERT_EQ(w->size(), size);  // the window can be that small
        for (const QString& n : names) {
            QWidget* c = child<QWidget>(n);
            // shown whole: not hidden, covered, or clipped by the window
            EXPECT_EQ(c->visibleRegion().boundingRect(), c->rect()) << n.toStdString();
        }
        auto* scroll = child<QScrollArea>(u"paneScroll"_s);
        for (QLineEdit* e : scroll->widget()->findChildren<QLineEdit*>())
            EXPECT_LE(inWindow(e).right(), inWindow(scroll->viewport()).right()) << e->objectName().toStdString();
        // the list's last column is not pushed out on the right either
        FlexGrid* g = w->grid();
        EXPECT_LE(g->columnViewportPosition(8) + g->columnWidth(8), g->viewport()->width());
        // Narrow, the end gives up its time (kept in the tooltip) before the title its room.
        if (size.width() <= 1024) {
            EXPECT_GE(g->columnWidth(4), 90);
            EXPECT_EQ(longestEnd(), 10);
            bool timeInTip = false;  // the sale that ends at 10:00
            for (int r = 0; r < g->model()->rowCount(); ++r)
                timeInTip = timeInTip || g->model()->index(r, 5).data(Qt::ToolTipRole).toString().size() == 19;
            EXPECT_TRUE(timeInTip);
        }
    }
    w->resize(1600, 768);
    QApplication::processEvents();
    ASSERT_GT(w->grid()->viewport()->width(), 900);
    EXPECT_EQ(longestEnd(), 19);  // wide: day and time
}

// Mails used to go out as "Ihr Kauf bei : …" because the member name could only be
// set in config.ini by hand; rows stored before it was set then vanished from view.
TEST_F(MainWindow, FirstStartAsksForTheMemberNameAndOffersTheRowsStoredWithoutIt) {
    app.write(u"bin/config.ini"_s, "");  // a first start: every setting at its default
    QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"), app.file(u"bin/gaveldesk.ini"_s));
    subInitApp();
    ASSERT_EQ(gsDataSource, db);
    ASSERT_EQ(gSettings.Username, QString());
    store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    store(auktion(u"2"_s, u"l"_s), kunde(u"l"_s));
    platform.queueAnswer(Platform::Answer::No);  // not now
    open();
    platform.queueAnswer(Platform::Answer::No);
    click("cmdEinlesen");  // nothing is imported without it
    EXPECT_EQ(lastMessage(), u"Ohne Mitgliedsnamen kann keine E-Mail eingelesen werden."_s);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (const auto answer : {Platform::Answer::No, Platform::Answer::Yes}) {
        SCOPED_TRACE(int(answer));
        platform.messages.clear();
        platform.queueAnswer(Platform::Answer::Yes);  // enter it now
        platform.queueAnswer(answer);                 // take the rows along?
        test::whenModal<frmOptionen>([](frmOptionen* o) {
            auto* name = o->findChild<QLineEdit*>(u"txtUsername"_s);
            EXPECT_TRUE(name->isVisible());
            EXPECT_EQ(o->focusWidget(), name);
            test::typeText(name, u"gavel_händler"_s);
            QTest::mouseClick(o->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
        });
        open();
        ASSERT_EQ(platform.messages.size(), 2);
        EXPECT_TRUE(platform.messages[0].text.startsWith(u"Es ist noch kein Mitgliedsname eingestellt."_s));
        EXPECT_TRUE(platform.messages[1].text.startsWith(
            u"Es sind 2 Auktionen ohne Mitgliedsnamen gespeichert.\rSollen sie zum Mitgliedsnamen "
            "\u201Egavel_händler\u201C übernommen werden?\rBei \u201ENein\u201C"_s));
        EXPECT_EQ(platform.messages[1].defaultButton, Platform::Answer::Yes);
        EXPECT_EQ(gSettings.Username, u"gavel_händler"_s);
        EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Username=gavel_h\xE4ndler"));
        const int moved = answer == Platform::Answer::Yes ? 2 : 0;
        EXPECT_EQ(w->grid()->Rows() - 1, moved);
        EXPECT_EQ(count(u"select count(*) as n from Auktionen where Standarduser = ''"_s), 2 - moved);
        if (answer == Platform::Answer::No) {
            app.write(u"bin/config.ini"_s, "");
            subInitApp();
        }
    }
    platform.messages.clear();
    open();  // the next start knows the name and asks nothing
    EXPECT_TRUE(platform.messages.isEmpty());
}

}  // namespace
}  // namespace gd
