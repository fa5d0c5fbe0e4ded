// What a parcel went in, asked with "Versendet" and kept whichever button is pressed; the year's
// weights per material shown as the packaging register asks for them.
#include <QComboBox>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "domain/shipping/Packaging.h"
#include "support/GuiApp.h"
#include "ui/frmVerpackung.h"
#include "ui/frmVersand.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class PackagingUi : public test::MainWindowTest {
protected:
    static void choose(frmVersand* d, const QString& name) {
        auto* box = d->findChild<QComboBox*>(u"cboVerpackung"_s);
        ASSERT_NE(box, nullptr);
        box->setCurrentIndex(box->findData(name));
    }
};

TEST_F(PackagingUi, ChosenWithTheParcelAndAddedUpByMaterial) {
    fill();
    open();
    filter(0);
    clickRow(1);
    const QString first = w->selectedAuktion().AuktionsID;
    test::whenModal<frmVersand>([](frmVersand* d) {
        choose(d, u"Karton M"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSpeichern"_s), Qt::LeftButton);
    });
    tick(3);
    clickRow(2);
    const QString second = w->selectedAuktion().AuktionsID;
    test::whenModal<frmVersand>([](frmVersand* d) {
        choose(d, u"Luftpolstertasche"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdOhne"_s), Qt::LeftButton);  // no number, still the bag
    });
    tick(3);
    const std::optional<Packaging> box = packagingOf(currentStore(), first).value();
    const std::optional<Packaging> bag = packagingOf(currentStore(), second).value();
    ASSERT_TRUE(box && bag);
    EXPECT_EQ(box->gramm, 320);
    EXPECT_EQ(bag->material, u"Kunststoffe"_s);

    QStringList rows;
    test::whenModal<frmVerpackung>([&](frmVerpackung* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdMengen"_s);
        for (int r = 0; r < grid->rowCount(); ++r)
            rows << grid->item(r, 0)->text() + u' ' + grid->item(r, 1)->text() + u' ' + grid->item(r, 2)->text();
        test::screenshot(d, u"verpackungsmengen.png"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyVerpackung");
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[1], u"Papier, Pappe, Karton 1 0,320"_s);
    EXPECT_EQ(rows[4], u"Kunststoffe 1 0,025"_s);
    EXPECT_EQ(rows[0], u"Glas 0 0,000"_s);
}

}  // namespace
}  // namespace gd
