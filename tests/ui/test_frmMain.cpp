#include <gtest/gtest.h>

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

TEST_F(MainWindow, FiltersShowExactlyTheirRowsNewestFirst) {
    fill();
    open();
    EXPECT_TRUE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(column(7), (QStringList{u"201"_s, u"102"_s, u"103"_s, u"101"_s}));
    filter(0);
    EXPECT_EQ(column(7), (QStringList{u"102"_s, u"103"_s, u"101"_s}));
    EXPECT_FALSE(button("cmdListe_2")->isChecked());
    filter(1);
    EXPECT_EQ(column(7), QStringList{u"201"_s});
    EXPECT_EQ(child<QGroupBox>(u"fraKunde"_s)->title(), u"Verkäuferdaten"_s);
    filter(3);
    EXPECT_EQ(column(7), QStringList{u"104"_s});
    EXPECT_EQ(column(6), QStringList{u"Abgeschlossen"_s});
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

TEST_F(MainWindow, SortMenuAndHeadingsAndBackToDatabaseOrder) {
    fill();
    open();
    menu("keysortmenue", "keysort3");
    EXPECT_EQ(column(4).first(), u"Armbanduhr"_s);
    menu("keysortmenue", "keysort31");
    EXPECT_EQ(column(4).first(), u"Zinnbecher"_s);
    menu("keypop2", "keysort2");
    EXPECT_EQ(column(2), (QStringList{u"anna"_s, u"bernd"_s, u"carla"_s, u"dieter"_s}));
    menu("keysortmenue", "keysort0");
    EXPECT_EQ(column(7).first(), u"201"_s);
    // a heading sorts by its column; a second click turns the order
    clickHeading(2);
    EXPECT_EQ(column(2).first(), u"anna"_s);
    clickHeading(2);
    EXPECT_EQ(column(2).first(), u"dieter"_s);
    // the first row is loaded into the pane after a sort
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, u"201"_s);
}

TEST_F(MainWindow, SelectionLoadsThePaneAndArrowKeysMove) {
    fill();
    open();
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, u"201"_s);
    clickRow(3);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, u"103"_s);
    QTest::keyClick(w->grid(), Qt::Key_Up);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, u"102"_s);
    EXPECT_EQ(edit("txtebayName")->text(), u"bernd"_s);
    EXPECT_EQ(child<QGroupBox>(u"fraKunde"_s)->title(), u"Käuferdaten"_s);
}

TEST_F(MainWindow, DeleteAsksAndDeletesOnlyTheShownRow) {
    fill();
    open();
    menu("keyMarkierung", "keyallemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 4);
    platform.queueAnswer(Platform::Answer::No);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_EQ(platform.messages[0].title, u"Emaileintrag wird unwiderruflich gelöscht."_s);
    EXPECT_EQ(platform.messages[0].defaultButton, Platform::Answer::No);  // Enter deletes nothing
    EXPECT_TRUE(platform.messages[0].text.endsWith(
        u"Emaileintrag: 201 - Kaffeemühle 201 - von dem ebayuser - dieter gelöscht werden soll?"_s));
    EXPECT_EQ(platform.messages[1].text, u"Löschvorgang abgebrochen!"_s);
    EXPECT_EQ(w->grid()->Rows(), 5);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keyAktion", "keydelete");
    EXPECT_EQ(column(7), (QStringList{u"102"_s, u"103"_s, u"101"_s}));
    EXPECT_EQ(auctions(), 5);
}

TEST_F(MainWindow, GroupedRowShowsTheIconAndDeletesAlone) {
    fill();
    ASSERT_TRUE(test::ok(saveGruppenID(LoadMaxGruppenID(u"anna"_s).value(), u"anna"_s)));
    open();
    filter(0);
    const int annaRow = int(column(2).indexOf(u"anna"_s)) + 1;
    EXPECT_FALSE(w->grid()->model()->index(annaRow - 1, 1).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(w->grid()->model()->index(0, 1).data(Qt::DecorationRole).isNull());
    clickRow(annaRow);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keypop2", "keydelete");
    EXPECT_FALSE(column(2).contains(u"anna"_s));
    EXPECT_EQ(auctions(), 5);  // the closed grouped auction of anna stays
}

TEST_F(MainWindow, EmptyListRefusesAndDisablesWhatNeedsARow) {
    open();
    EXPECT_EQ(w->grid()->Rows(), 1);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
    EXPECT_TRUE(button("cmdEinlesen")->isEnabled());
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text, u"Keine Einträge in der Liste enthalten!"_s);
    EXPECT_EQ(platform.messages[0].icon, Platform::Icon::Critical);
    menu("keyAktion", "keyEmailversenden");
    EXPECT_EQ(platform.messages.last().text, u"Es sind keine Emails in der Liste vorhanden!"_s);
    tick(2);  // nothing to store it for: unticked again
    EXPECT_FALSE(child<QCheckBox>(u"chkStatus_2"_s)->isChecked());
    // a right click on an empty list opens no menu
    QTest::mouseClick(w->grid()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_FALSE(w->popupMenu()->isVisible());
}

TEST_F(MainWindow, TickingClosedMovesTheRowToTheClosedList) {
    fill();
    open();
    tick(2);
    EXPECT_EQ(column(6).first(), u"Bezahlt"_s);
    tick(6);
    EXPECT_FALSE(column(7).contains(u"201"_s));
    filter(3);
    EXPECT_TRUE(column(7).contains(u"201"_s));
}

TEST_F(MainWindow, FirstStartWithoutDatabaseAsksAndCreates) {
    QFile::remove(db);
    gsDataSource.clear();
    platform.queueAnswer(Platform::Answer::Yes);
    open();
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(platform.messages[0].text.startsWith(u"Es ist noch keine Datenbank vorhanden."_s));
    // The one offer of a password of the user's; "Nein" keeps the program's.
    EXPECT_TRUE(platform.messages[1].text.contains(u"eigenen Kennwort schützen"_s))
        << platform.messages[1].text.toStdString();
    EXPECT_TRUE(QFile::exists(app.file(u"gaveldesk.mdb"_s)));
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, AnswerNoShowsTheDatabaseMessageOnce) {
    QFile::remove(db);
    gsDataSource.clear();
    open();  // the question is answered "Nein" by default
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(platform.messages[1].text.startsWith(u"Beim Laden der Auktionsdaten"_s));
    menu("keyAktion", "keyrefresh");
    EXPECT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, EveryMenuEntryReachesItsCommand) {
    fill();
    open();
    gsItemLink = u"http://cgi.ebay.de/ViewItem%26item=[#Artikel#]"_s;
    gsFeedbackLink = u"http://feedback.ebay.de/x"_s;
    platform.executableFound = u"/usr/bin/xdg-open"_s;
    menu("keyAktion", "keyBewertungen");
    EXPECT_EQ(platform.shellCalls.last().file, u"http://feedback.ebay.de/x"_s);
    QFile shipped(QStringLiteral(GD_RESOURCES_DIR "/Help/hilfe.htm"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    app.write(u"Help/hilfe.htm"_s, shipped.readAll());
    platform.linksOpen = false;
    menu("keyEinstellungen", "keyHelp");  // in a window of the program: no browser needed
    QWidget* help = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->objectName() == u"frmHilfe"_s && t->isVisible()) help = t;
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->findChild<QTextBrowser*>(u"txtHilfe"_s)
                    ->toPlainText()
                    .contains(u"Auktions-E-Mails einlesen"_s));  // Windows-1252 read right
    help->close();
    platform.linksOpen = true;
    menu("keypop2", "keyzurauktion");
    EXPECT_TRUE(platform.shellCalls.last().file.contains(u"item=201"_s));
    menu("keypop2", "keyallemark");
    menu("keypop2", "keyalledemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 1);
    menu("keyAktion", "keydelete");  // answered "Nein"
    EXPECT_EQ(platform.messages.last().text, u"Löschvorgang abgebrochen!"_s);
    // a second click while a command is pending is dropped
    QAction* up = nullptr;
    QAction* down = nullptr;
    for (QAction* a : child<QMenu>(u"keysortmenue"_s)->actions()) {
        if (a->objectName() == u"keysort2"_s) up = a;
        if (a->objectName() == u"keysort21"_s) down = a;
    }
    ASSERT_TRUE(up && down);
    up->trigger();
    down->trigger();
    QTimer* t = child<QTimer>(u"tmrMenue"_s);
    ASSERT_TRUE(QTest::qWaitFor([t] { return !t->isActive(); }, 5000));
    EXPECT_EQ(column(2).first(), u"anna"_s);
    // the shortcuts of the table
    EXPECT_EQ(up->shortcut(), QKeySequence());
    EXPECT_EQ(child<QAction>(u"keyEmailversenden"_s)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(child<QAction>(u"keyrefresh"_s)->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(child<QAction>(u"keyHelp"_s)->shortcut(), QKeySequence(Qt::Key_F1));
    menu("keyEinstellungen", "keyExit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Geometrie="));  // kept for the next start
}

TEST_F(MainWindow, MenuEntriesThatOpenWindows) {
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
}

TEST_F(MainWindow, PopupByRightClickAndScreenshot) {
    fill();
    open();
    w->resize(1100, 600);
    const QRect cell = w->grid()->visualRect(w->grid()->model()->index(1, 3));
    QTest::mouseClick(w->grid()->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(w->popupMenu()->isVisible());
    const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QPixmap shot = w->grab();
        QPainter p(&shot);
        p.drawPixmap(w->mapFromGlobal(w->popupMenu()->pos()), w->popupMenu()->grab());
        p.end();
        shot.save(QDir(dir).filePath(u"popup.png"_s));
    }
    w->popupMenu()->close();
}

TEST_F(MainWindow, HeadingsSortWithTheirIndicatorAndTheSortOutlivesARefresh) {
    fill();
    open();
    QHeaderView* h = w->grid()->horizontalHeader();
    clickHeading(8);  // Betrag, by amount
    EXPECT_TRUE(h->isSortIndicatorShown());
    EXPECT_EQ(h->sortIndicatorSection(), 8);
    EXPECT_EQ(h->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeading(5);  // Auktionsende, by time
    EXPECT_EQ(column(7), (QStringList{u"101"_s, u"103"_s, u"102"_s, u"201"_s}));
    clickHeading(5);
    EXPECT_EQ(h->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(column(7).first(), u"201"_s);
    clickHeading(3);  // Name
    clickHeading(3);
    const QStringList byName = column(3);
    tick(0);  // a refresh
    EXPECT_EQ(column(3), byName);
    EXPECT_EQ(h->sortIndicatorSection(), 3);
    menu("keysortmenue", "keysort0");  // back to the database's order
    EXPECT_FALSE(h->isSortIndicatorShown());
    EXPECT_EQ(column(7).first(), u"201"_s);
}

TEST_F(MainWindow, TheCountStaysWhenAMenuTakesTheStatusBar) {
    fill();
    open();
    auto* count = child<QLabel>(u"lblAnzahl"_s);
    EXPECT_EQ(count->text(), u"4 Auktionen"_s);
    QStatusTipEvent tip(u"Liste aktualisieren"_s);  // a menu entry under the mouse
    QApplication::sendEvent(w.get(), &tip);
    EXPECT_TRUE(count->isVisible());
    EXPECT_EQ(count->text(), u"4 Auktionen"_s);
}

// At the default size and at 1024×768 every button and milestone is in view
// without scrolling, and no field runs out on the right.
TEST_F(MainWindow, EveryActionInReachAtTheDefaultSizeAnd1024x768) {
    fill();
    open();
    for (const QSize size : {w->size(), QSize(1024, 768)}) {
        SCOPED_TRACE(size.width());
        w->resize(size);
        QApplication::processEvents();
        ASSERT_EQ(w->size(), size);  // the window can be that small
        const QRect window = w->rect();
        QStringList names = {u"cmdEinlesen"_s, u"cmdSenden"_s, u"cmdSpeichern"_s, u"cmdAuktion"_s, u"cmdAbbrechen"_s};
        for (int i = 0; i < kMilestones; ++i) names << u"chkStatus_%1"_s.arg(i) << u"dtpStatus_%1"_s.arg(i);
        for (const QString& n : names) {
            QWidget* c = child<QWidget>(n);
            const QRect r(c->mapTo(w.get(), QPoint(0, 0)), c->size());
            EXPECT_TRUE(c->isVisible()) << n.toStdString();
            EXPECT_TRUE(window.contains(r)) << n.toStdString();
            EXPECT_EQ(c->visibleRegion().boundingRect(), c->rect()) << n.toStdString();  // not covered or clipped
        }
        auto* scroll = child<QScrollArea>(u"paneScroll"_s);
        const QRect view(scroll->viewport()->mapTo(w.get(), QPoint(0, 0)), scroll->viewport()->size());
        for (QLineEdit* e : scroll->widget()->findChildren<QLineEdit*>()) {
            const QRect r(e->mapTo(w.get(), QPoint(0, 0)), e->size());
            EXPECT_LE(r.right(), view.right()) << e->objectName().toStdString();
        }
        // the list's last column is not pushed out on the right either
        FlexGrid* g = w->grid();
        EXPECT_LE(g->columnViewportPosition(8) + g->columnWidth(8), g->viewport()->width());
    }
}

// Mails used to go out as "Ihr Kauf bei : …" because the member name could only be
// set in config.ini by hand; rows stored before it was set then vanished from view.
TEST_F(MainWindow, FirstStartAsksForTheMemberNameAndOffersTheRowsStoredWithoutIt) {
    app.write(u"bin/config.ini"_s, "");  // a first start: every setting at its default
    QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"), app.file(u"bin/gaveldesk.ini"_s));
    subInitApp();
    ASSERT_EQ(gsDataSource, db);
    ASSERT_EQ(gsEbayName, QString());
    store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    store(auktion(u"2"_s, u"l"_s), kunde(u"l"_s));
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
        EXPECT_EQ(platform.messages[1].text,
                  u"Es sind 2 Auktionen ohne Mitgliedsnamen gespeichert.\rSollen sie zum Mitgliedsnamen "
                  "\u201Egavel_händler\u201C übernommen werden?"_s);
        EXPECT_EQ(platform.messages[1].defaultButton, Platform::Answer::No);
        EXPECT_EQ(gsEbayName, u"gavel_händler"_s);
        EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Username=gavel_h\xE4ndler"));
        const int moved = answer == Platform::Answer::Yes ? 2 : 0;
        EXPECT_EQ(w->grid()->Rows() - 1, moved);
        EXPECT_EQ(count(u"select count(*) as n from Auktionen where Standarduser = ''"_s), 2 - moved);
        // the next start knows the name and asks nothing
        platform.messages.clear();
        if (answer == Platform::Answer::No) {
            app.write(u"bin/config.ini"_s, "");
            subInitApp();
        }
    }
    open();
    EXPECT_TRUE(platform.messages.isEmpty());
}

TEST_F(MainWindow, NoImportWithoutAMemberName) {
    gsStandardUser = gsEbayName = QString();
    platform.queueAnswer(Platform::Answer::No);  // not now
    open();
    platform.queueAnswer(Platform::Answer::No);
    click("cmdEinlesen");
    ASSERT_EQ(platform.messages.size(), 3);
    EXPECT_EQ(platform.messages[2].text, u"Ohne Mitgliedsnamen kann keine E-Mail eingelesen werden."_s);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindow, Screenshot) {
    const char* titles[] = {"Kaffeemühle Zassenhaus Santiago",
                            "Nähmaschine Pfaff 260",
                            "Tischlampe Bauhaus, Messing",
                            "Schallplatte Kraftwerk – Autobahn",
                            "Mokkatassen Rosenthal (6 Stück)",
                            "Armbanduhr Junghans Max Bill",
                            "Zinnbecher, graviert",
                            "Briefmarken Berlin 1949",
                            "Modelleisenbahn Märklin H0 Lok",
                            "Lederjacke Gr. 52"};
    const char* names[] = {"mueller_hans",  "baerbel_naehstube", "o_neill_77",    "plattenkiste_ruhr",
                           "sammlerin_ute", "uhrwerk_kiel",      "zinn_und_mehr", "philatelie_fritz",
                           "spur_h0",       "lederladen"};
    const char* people[] = {"Hans Müller",   "Bärbel Öztürk", "Seán O'Neill",  "Jörg Plattner", "Ute Sammer",
                            "Kai Uhrmacher", "Zita Zinn",     "Fritz Philipp", "Helga Spurig",  "Lars Leder"};
    for (int i = 0; i < 20; ++i) {
        tAuktion a = auktion(QString::number(1234567800 + i), QString::fromUtf8(names[i % 10]),
                             u"%1.11.2026 %2:15"_s.arg(10 + i).arg(8 + i % 12));
        a.Titel = QString::fromUtf8(titles[i % 10]);
        const QString id = store(a, kunde(QString::fromUtf8(names[i % 10]), QString::fromUtf8(people[i % 10])));
        if (i % 3 == 0) {
            ASSERT_TRUE(test::ok(SaveStatusMail(id, now(), i % 4)));
        }
    }
    open();
    w->resize(1280, 720);
    test::screenshot(w.get(), u"main.png"_s);
    EXPECT_EQ(w->grid()->Rows(), 21);
}

}  // namespace
}  // namespace gd
