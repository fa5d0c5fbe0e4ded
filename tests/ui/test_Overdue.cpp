// The "Überfällig" button: unpaid sales past their days, oldest first, with the
// days in the status column; the number of days is set in the options.
#include <QComboBox>
#include <QLabel>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"
#include "ui/frmMail.h"

namespace gd {
namespace {

class OverdueList : public test::MainWindowTest {};

TEST_F(OverdueList, TheButtonListsUnpaidSalesOldestFirst) {
    fill();  // sales 101 (01.12.), 103 (02.12.), 102 (03.12. 10:00); purchase 201; closed 104
    shippedFiles();
    glMahnTage = 1;  // the clock stands at 04.12.2026 08:44
    gbStandardversandmail = true;
    open();
    filter(4);
    EXPECT_TRUE(button("cmdListe_4")->isChecked());
    EXPECT_FALSE(button("cmdListe_2")->isChecked());
    EXPECT_EQ(column(7), (QStringList{QStringLiteral("101"), QStringLiteral("103")}));
    EXPECT_EQ(w->grid()->TextMatrix(0, 6), QStringLiteral("Überfällig"));
    EXPECT_EQ(column(6), (QStringList{QStringLiteral("3 Tage"), QStringLiteral("2 Tage")}));
    EXPECT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("101"));
    // The status bar tells the open trades, the unpaid sales and the overdue ones, with their sums.
    auto* summary = child<QLabel>(QStringLiteral("lblUebersicht"));
    const auto shows = [summary](const char* text) {
        return QTest::qWaitFor([&] { return summary->text() == QString::fromUtf8(text); }, 5000);
    };
    EXPECT_TRUE(shows("Offen: 4 · Unbezahlt: 3 (52,20 €) · Überfällig: 2 (34,80 €)")) << summary->text().toStdString();
    EXPECT_EQ(column(9), (QStringList{QStringLiteral("○○○○○○○"), QStringLiteral("○○○○○○○")}));
    // "Email Senden" offers the first reminder; once it went out, the list says so.
    QString offered;
    test::whenModal<frmMail>([&offered](frmMail* f) {
        offered = f->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText();
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("cmdcancel")), Qt::LeftButton);
    });
    QTest::mouseClick(button("cmdSenden"), Qt::LeftButton);
    EXPECT_EQ(offered, QStringLiteral("Zahlungserinnerung"));
    EXPECT_EQ(column(6), (QStringList{QStringLiteral("3 Tage, 1. Erinnerung"), QStringLiteral("2 Tage")}));
    w->resize(1400, w->height());  // the picture shows the status column whole
    test::screenshot(w.get(), QStringLiteral("overdue.png"));
    tick(2);  // paid: off the list
    EXPECT_EQ(column(7), QStringList{QStringLiteral("103")});
    EXPECT_TRUE(shows("Offen: 4 · Unbezahlt: 2 (34,80 €) · Überfällig: 1 (17,40 €)")) << summary->text().toStdString();
    filter(2);
    EXPECT_EQ(w->grid()->TextMatrix(0, 6), QStringLiteral("Status"));
    EXPECT_EQ(column(7).indexOf(QStringLiteral("101")), column(9).indexOf(QStringLiteral("○○●○○○○")))
        << column(9).join(QLatin1Char(' ')).toStdString();
    glMahnTage = 7;
    filter(4);
    EXPECT_EQ(w->grid()->Rows(), 1);
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gd
