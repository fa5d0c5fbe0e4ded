// Ticking "Versendet" asks for the parcel; what the user enters is stored with
// the trade and shown in the pane as a link to the carrier's page.
#include <QComboBox>
#include <QLabel>

#include "MainWindowFixture.h"
#include "domain/db/Parcel.h"
#include "support/GuiApp.h"
#include "ui/frmVersand.h"

namespace gd {
namespace {

class Shipping : public test::MainWindowTest {
protected:
    QLabel* label() { return child<QLabel>(QStringLiteral("lblSendung")); }
};

TEST_F(Shipping, TickingVersendetAsksAndThePaneShowsTheParcel) {
    fill();
    open();
    filter(0);
    clickRow(1);
    const QString id = w->selectedAuktion().AuktionsID;
    test::whenModal<frmVersand>([](frmVersand* d) {
        auto* carrier = d->findChild<QComboBox*>(QStringLiteral("cboVersanddienst"));
        carrier->setCurrentText(QStringLiteral("Hermes"));
        test::typeText(d->findChild<QLineEdit*>(QStringLiteral("txtSendungsnummer")),
                       QStringLiteral("H1003 4567 8901"));
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdSpeichern")), Qt::LeftButton);
    });
    tick(3);  // Versendet
    const Parcel p = loadParcel(id).value();
    EXPECT_EQ(p.Versanddienst, QStringLiteral("Hermes"));
    EXPECT_EQ(p.Sendungsnummer, QStringLiteral("H1003 4567 8901"));
    EXPECT_TRUE(label()->text().contains(QStringLiteral("sendungsinformation#H100345678901")))
        << label()->text().toStdString();
    EXPECT_TRUE(label()->text().contains(QStringLiteral("Hermes")));

    clickRow(2);  // another trade: no parcel shown
    EXPECT_TRUE(label()->text().isEmpty()) << label()->text().toStdString();
    test::whenModal<frmVersand>([](frmVersand* d) {
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdOhne")), Qt::LeftButton);
    });
    tick(3);
    EXPECT_TRUE(loadParcel(w->selectedAuktion().AuktionsID).value().Sendungsnummer.isEmpty());
    EXPECT_FALSE(isZeroDate(w->selectedAuktion().Datum[3]));  // shipped all the same
    EXPECT_TRUE(label()->text().isEmpty());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gd
