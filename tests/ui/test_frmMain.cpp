#include <gtest/gtest.h>

#include <QPainter>

#include "MainWindowFixture.h"

namespace gd {
namespace {

using MainWindow = test::MainWindowTest;

TEST_F(MainWindow, FiltersShowExactlyTheirRowsNewestFirst) {
    fill();
    open();
    EXPECT_TRUE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("201"), QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    filter(0);
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    EXPECT_FALSE(button("cmdListe_2")->isChecked());
    filter(1);
    EXPECT_EQ(column(7), QStringList{QStringLiteral("201")});
    EXPECT_EQ(child<QGroupBox>(QStringLiteral("fraKunde"))->title(), QStringLiteral("Verkäuferdaten"));
    filter(3);
    EXPECT_EQ(column(7), QStringList{QStringLiteral("104")});
    EXPECT_EQ(column(6), QStringList{QStringLiteral("Abgeschlossen")});
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

TEST_F(MainWindow, SortMenuAndHeadingsAndBackToDatabaseOrder) {
    fill();
    open();
    menu("keysortmenue", "keysort3");
    EXPECT_EQ(column(4).first(), QStringLiteral("Armbanduhr"));
    menu("keysortmenue", "keysort31");
    EXPECT_EQ(column(4).first(), QStringLiteral("Zinnbecher"));
    menu("keypop2", "keysort2");
    EXPECT_EQ(column(2), (QStringList{QStringLiteral("anna"), QStringLiteral("bernd"), QStringLiteral("carla"), QStringLiteral("dieter")}));
    menu("keysortmenue", "keysort0");
    EXPECT_EQ(column(7).first(), QStringLiteral("201"));
    // a heading sorts by its column; a second click turns the order
    clickHeading(2);
    EXPECT_EQ(column(2).first(), QStringLiteral("anna"));
    clickHeading(2);
    EXPECT_EQ(column(2).first(), QStringLiteral("dieter"));
    // the first row is loaded into the pane after a sort
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("201"));
}

TEST_F(MainWindow, SelectionLoadsThePaneAndArrowKeysMove) {
    fill();
    open();
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("201"));
    clickRow(3);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("103"));
    QTest::keyClick(w->grid(), Qt::Key_Up);
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("102"));
    EXPECT_EQ(edit("txtebayName")->text(), QStringLiteral("bernd"));
    EXPECT_EQ(child<QGroupBox>(QStringLiteral("fraKunde"))->title(), QStringLiteral("Käuferdaten"));
}

TEST_F(MainWindow, DeleteAsksAndDeletesOnlyTheShownRow) {
    fill();
    open();
    menu("keyMarkierung", "keyallemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 4);
    platform.queueAnswer(Platform::Answer::No);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_EQ(platform.messages[0].title, QStringLiteral("Emaileintrag wird unwiderruflich gelöscht."));
    EXPECT_TRUE(platform.messages[0].text.endsWith(
        QStringLiteral("Emaileintrag: 201 - Kaffeemühle 201 - von dem ebayuser - dieter gelöscht werden soll?")));
    EXPECT_EQ(platform.messages[1].text, QStringLiteral("Löschvorgang abgebrochen!"));
    EXPECT_EQ(w->grid()->Rows(), 5);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keyAktion", "keydelete");
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("101")}));
    EXPECT_EQ(auctions(), 5);
}

TEST_F(MainWindow, GroupedRowShowsTheIconAndDeletesAlone) {
    fill();
    ASSERT_TRUE(test::ok(saveGruppenID(LoadMaxGruppenID(QStringLiteral("anna")).value(), QStringLiteral("anna"))));
    open();
    filter(0);
    const int annaRow = int(column(2).indexOf(QStringLiteral("anna"))) + 1;
    EXPECT_FALSE(w->grid()->model()->index(annaRow - 1, 1).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(w->grid()->model()->index(0, 1).data(Qt::DecorationRole).isNull());
    clickRow(annaRow);
    platform.queueAnswer(Platform::Answer::Yes);
    menu("keypop2", "keydelete");
    EXPECT_FALSE(column(2).contains(QStringLiteral("anna")));
    EXPECT_EQ(auctions(), 5);  // the closed grouped auction of anna stays
}

TEST_F(MainWindow, EmptyListRefusesAndDisablesWhatNeedsARow) {
    open();
    EXPECT_EQ(w->grid()->Rows(), 1);
    for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"}) EXPECT_FALSE(button(b)->isEnabled()) << b;
    EXPECT_TRUE(button("cmdEinlesen")->isEnabled());
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text, QStringLiteral("Keine Einträge in der Liste enthalten!"));
    EXPECT_EQ(platform.messages[0].icon, Platform::Icon::Critical);
    menu("keyAktion", "keyEmailversenden");
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Es sind keine Emails in der Liste vorhanden!"));
    tick(2);  // nothing to store it for: unticked again
    EXPECT_FALSE(child<QCheckBox>(QStringLiteral("chkStatus_2"))->isChecked());
    // a right click on an empty list opens no menu
    QTest::mouseClick(w->grid()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_FALSE(w->popupMenu()->isVisible());
}

TEST_F(MainWindow, TickingClosedMovesTheRowToTheClosedList) {
    fill();
    open();
    tick(2);
    EXPECT_EQ(column(6).first(), QStringLiteral("Bezahlt"));
    tick(6);
    EXPECT_FALSE(column(7).contains(QStringLiteral("201")));
    filter(3);
    EXPECT_TRUE(column(7).contains(QStringLiteral("201")));
}

TEST_F(MainWindow, FirstStartWithoutDatabaseAsksAndCreates) {
    QFile::remove(db);
    gsDataSource.clear();
    platform.queueAnswer(Platform::Answer::Yes);
    open();
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages[0].text.startsWith(QStringLiteral("Es ist noch keine Datenbank vorhanden.")));
    EXPECT_TRUE(QFile::exists(app.file(QStringLiteral("gaveldesk.mdb"))));
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, AnswerNoShowsTheDatabaseMessageOnce) {
    QFile::remove(db);
    gsDataSource.clear();
    open();  // the question is answered "Nein" by default
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(platform.messages[1].text.startsWith(QStringLiteral("Beim Laden der Auktionsdaten")));
    menu("keyAktion", "keyrefresh");
    EXPECT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, EveryMenuEntryReachesItsCommand) {
    fill();
    open();
    gsItemLink = QStringLiteral("http://cgi.ebay.de/ViewItem%26item=[#Artikel#]");
    gsFeedbackLink = QStringLiteral("http://feedback.ebay.de/x");
    platform.executableFound = QStringLiteral("/usr/bin/xdg-open");
    menu("keyAktion", "keyBewertungen");
    EXPECT_EQ(platform.shellCalls.last().file, QStringLiteral("http://feedback.ebay.de/x"));
    menu("keyEinstellungen", "keyHelp");
    EXPECT_TRUE(platform.shellCalls.last().file.endsWith(QStringLiteral("/Help/hilfe.htm")));
    menu("keypop2", "keyzurauktion");
    EXPECT_TRUE(platform.shellCalls.last().file.contains(QStringLiteral("item=201")));
    menu("keypop2", "keyallemark");
    menu("keypop2", "keyalledemark");
    EXPECT_EQ(w->grid()->selectionModel()->selectedRows().size(), 1);
    menu("keyAktion", "keydelete");  // answered "Nein"
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Löschvorgang abgebrochen!"));
    // a second click while a command is pending is dropped
    QAction* up = nullptr;
    QAction* down = nullptr;
    for (QAction* a : child<QMenu>(QStringLiteral("keysortmenue"))->actions()) {
        if (a->objectName() == QStringLiteral("keysort2")) up = a;
        if (a->objectName() == QStringLiteral("keysort21")) down = a;
    }
    ASSERT_TRUE(up && down);
    up->trigger();
    down->trigger();
    QTimer* t = child<QTimer>(QStringLiteral("tmrMenue"));
    ASSERT_TRUE(QTest::qWaitFor([t] { return !t->isActive(); }, 5000));
    EXPECT_EQ(column(2).first(), QStringLiteral("anna"));
    // the shortcuts of the table
    EXPECT_EQ(up->shortcut(), QKeySequence());
    EXPECT_EQ(child<QAction>(QStringLiteral("keyEmailversenden"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(child<QAction>(QStringLiteral("keyrefresh"))->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(child<QAction>(QStringLiteral("keyHelp"))->shortcut(), QKeySequence(Qt::Key_F1));
    menu("keyEinstellungen", "keyExit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).contains("Geometrie="));  // kept for the next start
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
        shot.save(QDir(dir).filePath(QStringLiteral("popup.png")));
    }
    w->popupMenu()->close();
}

TEST_F(MainWindow, Screenshot) {
    const char* titles[] = {"Kaffeemühle Zassenhaus Santiago", "Nähmaschine Pfaff 260", "Tischlampe Bauhaus, Messing",
                            "Schallplatte Kraftwerk – Autobahn", "Mokkatassen Rosenthal (6 Stück)",
                            "Armbanduhr Junghans Max Bill", "Zinnbecher, graviert", "Briefmarken Berlin 1949",
                            "Modelleisenbahn Märklin H0 Lok", "Lederjacke Gr. 52"};
    const char* names[] = {"mueller_hans", "baerbel_naehstube", "o_neill_77", "plattenkiste_ruhr", "sammlerin_ute",
                           "uhrwerk_kiel", "zinn_und_mehr", "philatelie_fritz", "spur_h0", "lederladen"};
    const char* people[] = {"Hans Müller", "Bärbel Öztürk", "Seán O'Neill", "Jörg Plattner", "Ute Sammer",
                            "Kai Uhrmacher", "Zita Zinn", "Fritz Philipp", "Helga Spurig", "Lars Leder"};
    for (int i = 0; i < 20; ++i) {
        tAuktion a = auktion(QString::number(1234567800 + i), QString::fromUtf8(names[i % 10]),
                             QStringLiteral("%1.11.2026 %2:15").arg(10 + i).arg(8 + i % 12));
        a.Titel = QString::fromUtf8(titles[i % 10]);
        const QString id = store(a, kunde(QString::fromUtf8(names[i % 10]), QString::fromUtf8(people[i % 10])));
        if (i % 3 == 0) {
            ASSERT_TRUE(test::ok(SaveStatusMail(id, now(), i % 4)));
        }
    }
    open();
    w->resize(1280, 720);
    test::screenshot(w.get(), QStringLiteral("main.png"));
    EXPECT_EQ(w->grid()->Rows(), 21);
}

}  // namespace
}  // namespace gd
