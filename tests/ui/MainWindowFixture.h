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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/UiDbTest.h"
#include "ui/FlexGrid.h"
#include "ui/frmMail.h"
#include "ui/frmMain.h"

namespace gd::test {

using namespace Qt::StringLiterals;

class MainWindowTest : public UiDbTest {
protected:
    std::unique_ptr<frmMain> w;

    void SetUp() override {
        UiDbTest::SetUp();
        gSettings.StandardUser = gSettings.Username = u"haendler"_s;
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
    template <class T = QWidget>
    T* child(const QString& name) {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return child<QPushButton>(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void filter(int i) { QTest::mouseClick(child<QPushButton>(u"cmdListe_%1"_s.arg(i)), Qt::LeftButton); }
    void press(Qt::Key k) { QTest::keyClick(w->grid(), k); }
    void tick(int milestone) {
        QCheckBox* c = child<QCheckBox>(u"chkStatus_%1"_s.arg(milestone));
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2));  // on its mark
    }
    // The number of the trade the pane shows.
    QString shown() { return w->selectedAuktion().AuktionsNr; }
    // The buttons that act on the trade shown.
    void expectTradeButtons(bool enabled) {
        for (const char* b : {"cmdSenden", "cmdSpeichern", "cmdAuktion"})
            EXPECT_EQ(button(b)->isEnabled(), enabled) << b;
    }

    // "Email Senden": the mail form does what `act` does and is closed; returns its text.
    QString mailForm(const std::function<void(frmMail*)>& act = {}) {
        QString text;
        test::whenModal<frmMail>([&text, act](frmMail* m) {
            if (act) act(m);
            text = m->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText();
            m->reject();
        });
        click("cmdSenden");
        return text;
    }
    // A click on data row r (1-based, as the grid counts), in the member-name column.
    void clickRow(int r) {
        FlexGrid* g = w->grid();
        const QRect cell = g->visualRect(g->model()->index(r - 1, 2));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
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
        QMenu* m = popup ? w->popupMenu() : child<QMenu>(QString::fromLatin1(menuName));
        ASSERT_NE(m, nullptr) << menuName;
        auto* a = m->findChild<QAction*>(QString::fromLatin1(key));  // in its submenus too
        ASSERT_NE(a, nullptr) << key;
        ASSERT_TRUE(a->isEnabled()) << key;
        a->trigger();
        QTimer* t = child<QTimer>(popup ? u"tmPopup"_s : u"tmrMenue"_s);
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
    // Three sales, a purchase, a closed sale, and an auction of another account.
    void fill() {
        sale(u"101"_s, u"anna"_s, u"01.12.2026"_s, u"Zinnbecher"_s);
        sale(u"102"_s, u"bernd"_s, u"03.12.2026 10:00"_s, u"Armbanduhr"_s);
        sale(u"103"_s, u"carla"_s, u"02.12.2026"_s, u"Mokkatassen"_s);
        const Result<QString> seller = funSaveLieferant(currentStore(), kunde(u"dieter"_s), u"201"_s);
        ASSERT_TRUE(test::ok(seller));
        ASSERT_TRUE(test::ok(funSaveAuktionnew(currentStore(), auktion(u"201"_s, u"dieter"_s), seller.value())));
        const QString closed = store(auktion(u"104"_s, u"anna"_s, u"20.11.2026"_s), kunde(u"anna"_s));
        ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), closed, zeroDate(), 6)));
        gSettings.StandardUser = u"zweites_konto"_s;
        store(auktion(u"301"_s, u"anna"_s, u"05.12.2026"_s), kunde(u"anna"_s));
        gSettings.StandardUser = u"haendler"_s;
    }
};

}  // namespace gd::test
