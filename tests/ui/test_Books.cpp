// The year for the books, as the seller meets it: the overview saved as CSV and PDF, the
// advisor's DATEV file from its dialog, the limit note in the status bar, and the question
// when the year passes the small-business limit.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "base/codepage.h"
#include "domain/invoice/IssuedInvoices.h"
#include "ui/frmJahr.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class BooksUi : public test::MainWindowTest {
protected:
    void TearDown() override {
        gSettings.Kleinunternehmer = false;
        gSettings.Steuerart.clear();
        gSettings.DatevBerater.clear();
        gSettings.DatevMandant.clear();
        MainWindowTest::TearDown();
    }
    void sales(int n, const QString& preis) {
        for (int i = 0; i < n; ++i) {
            tAuktion a = auktion(u"5%1"_s.arg(i, 3, 10, QLatin1Char('0')), u"kunde%1"_s.arg(i % 7));
            a.Preis = a.Betrag = preis;
            a.Versandkosten.clear();
            store(a, kunde(a.ebayName));
        }
    }
    QLabel* note() { return child<QLabel>(u"lblGrenze"_s); }
};

TEST_F(BooksUi, TheYearOverviewAsTableCsvAndPdf) {
    fill();
    open();
    const QString csv = app.file(u"jahr.csv"_s), pdf = app.file(u"jahr.pdf"_s);
    test::whenModal<frmJahr>([&](frmJahr* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdJahr"_s);
        ASSERT_GT(grid->rowCount(), 1);
        EXPECT_EQ(grid->item(grid->rowCount() - 1, 0)->text(), u"Gesamt"_s);
        EXPECT_EQ(grid->item(grid->rowCount() - 1, 2)->text(), u"4"_s);  // the four sales of this account
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/jahresuebersicht.png"_s);
        platform.queueFileName(csv);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdCsv"_s), Qt::LeftButton);
        platform.queueFileName(pdf);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdPdf"_s), Qt::LeftButton);
        auto* year = d->findChild<QSpinBox*>(u"spnJahr"_s);
        year->setFocus();
        QTest::keyClick(year, Qt::Key_Down);  // 2025: nothing sold
        EXPECT_EQ(grid->item(grid->rowCount() - 1, 2)->text(), u"0"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyJahr");
    const QString text = win::fromAnsi(test::fileBytes(csv));
    EXPECT_TRUE(text.startsWith(u"Plattform;Monat;Verkäufe;Summe"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"\r\nGesamt;Jahr;4;"_s)) << text.toStdString();
    EXPECT_TRUE(QString::fromUtf8(test::tool(u"pdftotext"_s, {pdf, u"-"_s})).contains(u"Jahresübersicht 2026"_s));
}

TEST_F(BooksUi, TheDatevDialogWritesTheFileAndKeepsTheNumbers) {
    fill();
    gSettings.Kleinunternehmer = true;
    gSettings.Steuernummer = u"21/815/08150"_s;
    ASSERT_TRUE(issueInvoice(currentStore(), invoiceProfile(currentSettings()), u"102"_s, QString(), now(),
                             [](const Invoice&, const QByteArray&) { return Result<QByteArray>(QByteArray("%PDF")); })
                    .ok());
    open();
    const QString file = app.file(u"EXTF.csv"_s);
    test::whenModal<frmDatev>([&](frmDatev* d) {
        test::typeText(d->findChild<QLineEdit*>(u"txtBerater"_s), u"29098"_s);
        test::typeText(d->findChild<QLineEdit*>(u"txtMandant"_s), u"55003"_s);
        // The last whole month is proposed: the hand-over most sellers make.
        EXPECT_EQ(d->findChild<QDateEdit*>(u"dtpVon"_s)->date(), QDate(2026, 11, 1));
        EXPECT_EQ(d->findChild<QDateEdit*>(u"dtpBis"_s)->date(), QDate(2026, 11, 30));
        d->findChild<QDateEdit*>(u"dtpVon"_s)->setDate(QDate(2026, 1, 1));
        d->findChild<QDateEdit*>(u"dtpBis"_s)->setDate(QDate(2026, 12, 31));
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/datev-export.png"_s);
        platform.queueFileName(file);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdExportieren"_s), Qt::LeftButton);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyDatev");
    EXPECT_TRUE(lastMessage().contains(u"1 Rechnung, 0 Stornos"_s)) << lastMessage().toStdString();
    const QString text = win::fromAnsi(test::fileBytes(file));
    EXPECT_TRUE(text.startsWith(u"\"EXTF\";700;21;\"Buchungsstapel\";13;"_s));
    EXPECT_TRUE(text.contains(u";29098;55003;20260101;4;20260101;20261231;"_s));
    EXPECT_TRUE(text.contains(u"\r\n17,40;\"S\";\"EUR\";;;;10000;8195;;"_s)) << text.toStdString();
    EXPECT_EQ(gSettings.DatevBerater, u"29098"_s);  // kept for next time
    gSettings.Steuernummer.clear();
}

TEST_F(BooksUi, TheStatusBarSaysTheReportingLimit) {
    sales(26, u"10,00"_s);
    open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return note()->isVisible(); }, 10000));
    EXPECT_EQ(note()->text(), u"Meldegrenze nah: ebay.de 26 Verkäufe, 260 €"_s);
    EXPECT_TRUE(note()->toolTip().contains(u"ab 30 Verkäufen oder 2.000 € meldet die Plattform"_s));
    test::screenshot(w.get(), u"grenze-hinweis.png"_s);
    w.reset();
    sales(0, QString());
    store(auktion(u"6000"_s, u"gross"_s), kunde(u"gross"_s));
    Database::open(db).execute(u"update Auktionen set Preis = '1995,10' where AuktionsNr = '6000'"_s);
    open();  // 26 sales, 2,000.00 € with shipping: reported
    ASSERT_TRUE(QTest::qWaitFor([&] { return !note()->text().isEmpty(); }, 10000));
    EXPECT_EQ(note()->text(), u"Meldegrenze erreicht: ebay.de 2026"_s);
    EXPECT_TRUE(note()->toolTip().contains(u"Bundeszentralamt für Steuern"_s));
}

// The invoice that takes the year past 100,000 € as a small business: asked, and after "Ja"
// issued with VAT and the options switched; after "Nein" nothing is issued.
TEST_F(BooksUi, TheInvoiceThatCrossesTheSmallBusinessLimit) {
    gSettings.Kleinunternehmer = true;
    sales(1, u"99999,99"_s);
    tAuktion last = auktion(u"7001"_s, u"letzter"_s, u"05.12.2026"_s);
    last.Preis = u"1,00"_s;
    store(last, kunde(u"letzter"_s));
    open();
    clickRow(1);
    ASSERT_EQ(shown(), u"7001"_s);
    const QString pdf = app.file(u"r.pdf"_s);
    platform.queueAnswer(Platform::Answer::No);
    platform.queueFileName(pdf);
    menu("keypop2", "keyRechnung");
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(gSettings.Kleinunternehmer);
    platform.queueAnswer(Platform::Answer::Yes);
    platform.queueFileName(pdf);
    menu("keypop2", "keyRechnung");
    ASSERT_TRUE(QFile::exists(pdf)) << lastMessage().toStdString();
    EXPECT_FALSE(gSettings.Kleinunternehmer);
    EXPECT_EQ(gSettings.Steuerart, u"19"_s);
    EXPECT_TRUE(QString::fromUtf8(test::tool(u"pdftotext"_s, {pdf, u"-"_s})).contains(u"darin Umsatzsteuer 19 %"_s));
}

}  // namespace
}  // namespace gd
