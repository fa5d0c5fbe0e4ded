#pragma once
// The main window on a fresh database, driven as a user drives it: clicks on
// buttons, rows and headings, keys, and menu entries.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/UiDbTest.h"
#include "ui/FlexGrid.h"
#include "ui/frmMain.h"

namespace gd::test {

class MainWindowTest : public UiDbTest {
protected:
    std::unique_ptr<frmMain> w;

    void SetUp() override {
        UiDbTest::SetUp();
        gsStandardUser = gsEbayName = QStringLiteral("haendler");
    }
    // The start as Main runs it.
    void open() {
        w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show();
        w->activateWindow();  // keys and the focus go where the user puts them
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        w->finishStart();
    }
    // The window back in front, as after a dialog the user closed.
    void activate() {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    template <class T = QWidget>
    T* child(const QString& name) {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return child<QPushButton>(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void filter(int i) { QTest::mouseClick(child<QPushButton>(QStringLiteral("cmdListe_%1").arg(i)), Qt::LeftButton); }
    void tick(int milestone) {
        QCheckBox* c = child<QCheckBox>(QStringLiteral("chkStatus_%1").arg(milestone));
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2));  // on its mark
    }

    // A click on data row r (1-based, as the grid counts), in the member-name column.
    void clickRow(int r) {
        FlexGrid* g = w->grid();
        const QRect cell = g->visualRect(g->model()->index(r - 1, 2));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // What a double click sends a widget: press and release, then the double click.
    void doubleClickRow(int r) {
        FlexGrid* g = w->grid();
        const QPoint at = g->visualRect(g->model()->index(r - 1, 3)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
    }
    void clickHeading(int col) {
        QHeaderView* h = w->grid()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
    }
    // An entry of the menu bar (menu: its objectName) or of the list's pop-up
    // ("keypop2"), and the 10 ms wait until its command has run.
    void menu(const char* menuName, const char* key) {
        const bool popup = QByteArray(menuName) == "keypop2";
        QMenu* m = popup ? w->popupMenu() : w->findChild<QMenu*>(QString::fromLatin1(menuName));
        ASSERT_NE(m, nullptr) << menuName;
        QAction* a = nullptr;
        for (QAction* candidate : m->findChildren<QAction*>(QString::fromLatin1(key)))
            if (candidate->isVisible()) a = candidate;
        if (!a)
            for (QMenu* sub : m->findChildren<QMenu*>())
                for (QAction* candidate : sub->actions())
                    if (candidate->objectName() == QLatin1String(key)) a = candidate;
        ASSERT_NE(a, nullptr) << key;
        ASSERT_TRUE(a->isEnabled()) << key;
        a->trigger();
        QTimer* t = child<QTimer>(popup ? QStringLiteral("tmPopup") : QStringLiteral("tmrMenue"));
        EXPECT_TRUE(QTest::qWaitFor([t] { return !t->isActive(); }, 5000)) << key;
    }
    QStringList column(int col) {
        QStringList out;
        for (int r = 1; r < w->grid()->Rows(); ++r) out << w->grid()->TextMatrix(r, col);
        return out;
    }

    void sale(const QString& nr, const QString& ebay, const QString& ende, const QString& titel) {
        tAuktion a = auktion(nr, ebay, ende);
        a.Titel = titel;
        store(a, kunde(ebay));
    }
    void purchase(const QString& nr, const QString& ebay, const QString& ende) {
        tKunde k = kunde(ebay);
        ASSERT_TRUE(test::ok(funSaveLieferant(k, nr)));
        QString knr = k.KundenNr;
        ASSERT_TRUE(test::ok(funSaveAuktionnew(auktion(nr, ebay, ende), knr)));
    }
    // Three sales, a purchase, a closed sale, and an auction of another account.
    void fill() {
        sale(QStringLiteral("101"), QStringLiteral("anna"), QStringLiteral("01.12.2026"), QStringLiteral("Zinnbecher"));
        sale(QStringLiteral("102"), QStringLiteral("bernd"), QStringLiteral("03.12.2026 10:00"),
             QStringLiteral("Armbanduhr"));
        sale(QStringLiteral("103"), QStringLiteral("carla"), QStringLiteral("02.12.2026"),
             QStringLiteral("Mokkatassen"));
        purchase(QStringLiteral("201"), QStringLiteral("dieter"), QStringLiteral("04.12.2026"));
        const QString closed =
            store(auktion(QStringLiteral("104"), QStringLiteral("anna"), QStringLiteral("20.11.2026")),
                  kunde(QStringLiteral("anna")));
        ASSERT_TRUE(test::ok(SaveStatusMail(closed, zeroDate(), 6)));
        gsStandardUser = QStringLiteral("zweites_konto");
        store(auktion(QStringLiteral("301"), QStringLiteral("anna"), QStringLiteral("05.12.2026")),
              kunde(QStringLiteral("anna")));
        gsStandardUser = QStringLiteral("haendler");
    }
};

}  // namespace gd::test
