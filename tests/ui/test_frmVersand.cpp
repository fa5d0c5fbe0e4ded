// Ticking "Versendet" asks for the parcel; what the user enters is stored with
// the trade and shown in the pane as a link to the carrier's page.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "MainWindowFixture.h"
#include "domain/trade/Parcel.h"
#include "support/GuiApp.h"
#include "ui/frmVersand.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Shipping : public test::MainWindowTest {
protected:
    QLabel* label() { return child<QLabel>(u"lblSendung"_s); }
};

TEST_F(Shipping, TickingVersendetAsksAndThePaneShowsTheParcel) {
    fill();
    open();
    filter(0);
    clickRow(1);
    const QString id = w->selectedAuktion().AuktionsID;
    test::whenModal<frmVersand>([](frmVersand* d) {
        auto* carrier = d->findChild<QComboBox*>(u"cboVersanddienst"_s);
        carrier->setCurrentText(u"Hermes"_s);
        test::typeText(d->findChild<QLineEdit*>(u"txtSendungsnummer"_s), u"H1003 4567 8901"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSpeichern"_s), Qt::LeftButton);
    });
    tick(3);  // Versendet
    const Parcel p = loadParcel(currentStore(), id).value();
    EXPECT_EQ(p.Versanddienst, u"Hermes"_s);
    EXPECT_EQ(p.Sendungsnummer, u"H1003 4567 8901"_s);
    EXPECT_TRUE(label()->text().contains(u"sendungsinformation#H100345678901"_s)) << label()->text().toStdString();
    EXPECT_TRUE(label()->text().contains(u"Hermes"_s));
    // A mistyped number is corrected while the trade stays shipped.
    test::whenModal<frmVersand>([](frmVersand* d) {
        auto* number = d->findChild<QLineEdit*>(u"txtSendungsnummer"_s);
        EXPECT_EQ(number->text(), u"H1003 4567 8901"_s);
        number->clear();
        test::typeText(number, u"H1003 4567 8902"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSpeichern"_s), Qt::LeftButton);
    });
    click("cmdSendung");
    EXPECT_EQ(loadParcel(currentStore(), id).value().Sendungsnummer, u"H1003 4567 8902"_s);
    EXPECT_TRUE(child<QCheckBox>(u"chkStatus_3"_s)->isChecked());

    clickRow(2);  // another trade: no parcel shown
    EXPECT_TRUE(label()->text().isEmpty()) << label()->text().toStdString();
    test::whenModal<frmVersand>(
        [](frmVersand* d) { QTest::mouseClick(d->findChild<QPushButton*>(u"cmdOhne"_s), Qt::LeftButton); });
    tick(3);
    EXPECT_TRUE(loadParcel(currentStore(), w->selectedAuktion().AuktionsID).value().Sendungsnummer.isEmpty());
    EXPECT_FALSE(isZeroDate(w->selectedAuktion().Datum[3]));  // shipped all the same
    EXPECT_TRUE(label()->text().isEmpty());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gd
