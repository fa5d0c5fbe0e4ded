// The "Überfällig" button: unpaid sales past their days, oldest first, with the
// days in the status column; the number of days is set in the options.
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class OverdueList : public test::MainWindowTest {};

// The mail offers the first reminder, shown once sent; another template sent instead is none.
TEST_F(OverdueList, TheButtonListsUnpaidSalesOldestFirst) {
    fill();  // sales 101 (01.12.), 103 (02.12.), 102 (03.12. 10:00); purchase 201; closed 104
    shippedFiles();
    gSettings.MahnTage = 1;  // the clock stands at 04.12.2026 08:44
    gSettings.Standardversandmail = true;
    open();
    filter(4);
    EXPECT_TRUE(button("cmdListe_4")->isChecked());
    EXPECT_EQ(column(7), (QStringList{u"101"_s, u"103"_s}));
    EXPECT_EQ(w->grid()->TextMatrix(0, 6), u"Überfällig"_s);
    EXPECT_EQ(shown(), u"101"_s);
    for (const bool firstTemplate : {true, false}) {
        QString offered;
        mailForm([&offered, firstTemplate](frmMail* f) {
            auto* templates = f->findChild<QComboBox*>(u"Combo1"_s);
            offered = templates->currentText();
            if (firstTemplate) {
                QTest::keyClick(templates, Qt::Key_Home);
            }
            QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
        });
        EXPECT_EQ(offered, u"Zahlungserinnerung"_s);
        EXPECT_EQ(column(6).first(), firstTemplate ? u"3 Tage"_s : u"3 Tage, 1. Erinnerung"_s);
    }
    // Both mails are kept with the trade, newest first; a double click shows one whole.
    test::whenModal<QDialog>([](QDialog* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdGesendet"_s);
        ASSERT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(grid->item(0, 1)->text(), u"E-Mail-Programm"_s);
        const QPoint at = grid->visualItemRect(grid->item(0, 3)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        EXPECT_TRUE(d->findChild<QPlainTextEdit*>(u"txtGesendet"_s)->toPlainText().startsWith(u"An: "_s));
        d->accept();
    });
    click("cmdGesendet");
    w->resize(1400, w->height());  // the status column shows its text whole
    const QString status = column(6).first();
    EXPECT_GE(w->grid()->columnWidth(6), w->grid()->fontMetrics().horizontalAdvance(status) + 8)
        << status.toStdString();
    test::screenshot(w.get(), u"overdue.png"_s);
    tick(2);  // paid: off the list
    EXPECT_EQ(column(7), QStringList{u"103"_s});
    filter(2);
    EXPECT_EQ(w->grid()->TextMatrix(0, 6), u"Status"_s);
    EXPECT_EQ(column(7).indexOf(u"101"_s), column(9).indexOf(u"○○●○○○○"_s))
        << column(9).join(QLatin1Char(' ')).toStdString();
    gSettings.MahnTage = 7;
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gd
