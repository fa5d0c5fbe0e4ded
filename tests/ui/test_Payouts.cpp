// The payout view and the profile tester, driven from the menu as a seller does.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "ui/frmAuszahlungen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class PayoutsUi : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        app.write(u"bin/Dateiformate.ini"_s, test::fileBytes(QStringLiteral(GD_RESOURCES_DIR "/bin/Dateiformate.ini")));
    }
};

TEST_F(PayoutsUi, TheProfileTesterSaysWhatEachColumnBecomes) {
    open();
    platform.queueFileName(test::dataFile(u"bank/sparkasse.csv"_s));
    test::whenModal<frmDateiformat>([&](frmDateiformat* d) {
        const QString said = d->findChild<QLabel*>(u"lblProfil"_s)->text();
        EXPECT_TRUE(said.contains(u"erkannt als „Sparkasse (CSV-CAMT V2)“ (Bank)"_s)) << said.toStdString();
        EXPECT_TRUE(said.contains(u"ungeprüft"_s));
        auto* columns = d->findChild<QTableWidget*>(u"grdSpalten"_s);
        QStringList roles;
        for (int r = 0; r < columns->rowCount(); ++r)
            roles << columns->item(r, 0)->text() + u'=' + columns->item(r, 1)->text();
        EXPECT_TRUE(roles.contains(u"Betrag=Betrag"_s)) << roles.join(u' ').toStdString();
        EXPECT_TRUE(roles.contains(u"Beguenstigter/Zahlungspflichtiger=Name"_s));
        EXPECT_TRUE(roles.contains(u"Valutadatum=\u2014 (nicht gelesen)"_s));
        EXPECT_GE(d->findChild<QTableWidget*>(u"grdZeilen"_s)->rowCount(), 2);
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/dateiformat-pruefen.png"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyDateiformat");
    // A profile file with a broken section: the tester says which line.
    app.write(u"bin/Dateiformate.ini"_s,
              test::fileBytes(app.file(u"bin/Dateiformate.ini"_s)) + "\r\n[Halb]\r\nArt=Bank\r\n");
    app.write(u"fremd.csv"_s, "Spalte A;Spalte B\r\n1;2\r\n");
    platform.queueFileName(app.file(u"fremd.csv"_s));
    test::whenModal<frmDateiformat>([&](frmDateiformat* d) {
        const QString said = d->findChild<QLabel*>(u"lblProfil"_s)->text();
        EXPECT_TRUE(said.contains(u"kein Profil erkennt diese Datei"_s));
        EXPECT_TRUE(said.contains(u"Dateiformate.ini, [Halb]: ohne Art und Erkennung nicht verwendet"_s))
            << said.toStdString();
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyDateiformat");
}

TEST_F(PayoutsUi, AReportReadInThePayoutView) {
    for (const char* nr : {"4001", "4002", "4003"})
        store(auktion(QString::fromLatin1(nr), u"zofia"_s), kunde(u"zofia"_s, u"Zofia Wiśniewska"_s));
    app.write(u"bericht.csv"_s,
              "Typ;Bestellnummer;Artikelnummer;Nutzername des K\xe4ufers;Betrag brutto;Verkaufsprovision;"
              "Zahlungsgeb\xfchr;Nettobetrag;Auszahlungs-ID;Auszahlungsdatum;Transaktionsdatum\r\n"
              "Bestellung;1;4001;zofia;17,40;-2,00;-0,35;15,05;P-1;17.11.2026;11.11.2026\r\n"
              "Bestellung;2;4002;zofia;17,40;-2,00;-0,35;15,05;P-1;17.11.2026;12.11.2026\r\n"
              "Bestellung;3;4999;niemand;5,00;-0,50;;4,50;P-1;17.11.2026;12.11.2026\r\n");
    open();
    test::whenModal<frmAuszahlungen>([&](frmAuszahlungen* d) {
        platform.queueFileName(app.file(u"bericht.csv"_s));
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdEinlesen"_s), Qt::LeftButton);
        auto* grid = d->findChild<QTableWidget*>(u"grdAuszahlungen"_s);
        ASSERT_EQ(grid->rowCount(), 1);
        EXPECT_EQ(grid->item(0, 0)->text(), u"P-1"_s);
        EXPECT_EQ(grid->item(0, 2)->text(), u"3"_s);
        EXPECT_EQ(grid->item(0, 4)->text(), u"5,20 €"_s);
        EXPECT_EQ(grid->item(0, 6)->text(), u"noch nicht gesehen"_s);
        const QString said = d->findChild<QPlainTextEdit*>(u"txtHinweise"_s)->toPlainText();
        EXPECT_TRUE(said.contains(u"2 Verkäufe als bezahlt markiert"_s)) << said.toStdString();
        EXPECT_TRUE(
            said.contains(u"Noch nicht als Verkauf bekannt (wird gebucht, sobald der Verkauf eingelesen ist): 4999"_s));
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/auszahlungen.png"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyAuszahlungen");
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where Bezahlt <> 0"_s), 2);
}

}  // namespace
}  // namespace gd
