#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "support/GuiApp.h"
#include "ui/frmKontoauszug.h"

namespace gd {
namespace {

class BankStatement : public test::MainWindowTest {};

// The menu reads a bank's export and proposes a sale for each credit; the sure one is
// ticked, the probable one waits for the user, the rest cannot be ticked. Confirmed
// ones are paid on their booking day.
TEST_F(BankStatement, TheMenuProposesAndTheUserConfirms) {
    fill();  // sales 101 anna (01.12.), 103 carla (02.12.), 102 bernd (03.12.), each 17,40 from "Hans Müller"
    open();
    app.write(
        QStringLiteral("auszug.csv"),
        test::ansi(QStringLiteral("Buchung;Valuta;Auftraggeber/Empfänger;Buchungstext;Verwendungszweck;Saldo;"
                                  "Währung;Betrag;Währung\r\n"
                                  "05.12.2026;05.12.2026;Anna Ärmel;Gutschrift;Artikel 101;0;EUR;17,40;EUR\r\n"
                                  "06.12.2026;06.12.2026;Müller, Hans;Gutschrift;Danke;0;EUR;17,40;EUR\r\n"
                                  "06.12.2026;06.12.2026;Erika Musterfrau;Gutschrift;Miete;0;EUR;50,00;EUR\r\n")));
    platform.queueFileName(app.file(QStringLiteral("auszug.csv")));
    QStringList grades, ticked;
    QString summary;
    test::whenModal<frmKontoauszug>([&](frmKontoauszug* d) {
        auto* grid = d->findChild<QTableWidget*>(QStringLiteral("grdZahlungen"));
        for (int r = 0; r < grid->rowCount(); ++r) {
            grades << grid->item(r, 8)->text();
            ticked << (grid->item(r, 0)->checkState() == Qt::Checked ? QStringLiteral("x") : QStringLiteral("-"));
        }
        summary = d->findChild<QLabel*>(QStringLiteral("lblSumme"))->text();
        test::screenshot(d, QStringLiteral("bank.png"));
        // The probable one: the user ticks it with the space bar.
        grid->setFocus();
        grid->setCurrentCell(1, 0);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_FALSE(grid->item(2, 0)->flags() & Qt::ItemIsUserCheckable);  // nothing to pay
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    menu("keyAktion", "keyKontoauszug");
    EXPECT_EQ(grades,
              (QStringList{QStringLiteral("sicher"), QStringLiteral("wahrscheinlich"), QStringLiteral("keine")}));
    EXPECT_EQ(ticked, (QStringList{QStringLiteral("x"), QStringLiteral("-"), QStringLiteral("-")}));
    EXPECT_TRUE(
        summary.startsWith(QStringLiteral("3 Gutschriften: 1 sicher, 1 wahrscheinlich, 1 ohne passenden Verkauf")))
        << summary.toStdString();
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("2 Verkäufe sind jetzt als bezahlt markiert."));
    // 101 by its number, 103 the oldest of the two whose buyer and amount fit; 102 stays open.
    filter(4);  // the overdue list shows who still owes
    glMahnTage = 0;
    filter(4);
    EXPECT_EQ(column(7), QStringList{QStringLiteral("102")});
    glMahnTage = 7;
}

// A credit short of what the sale asks is never ticked ahead; confirmed, it may be kept
// as a part payment: the sale stays unpaid, the pane and the status bar show what is left.
// An entry the reader cannot use is named with its reason.
TEST_F(BankStatement, AShortCreditBecomesAPartPayment) {
    fill();
    open();
    app.write(QStringLiteral("auszug.csv"),
              test::ansi(QStringLiteral("Buchung;Auftraggeber/Empfänger;Verwendungszweck;Betrag;Währung\r\n"
                                        "05.12.2026;Bernd Brösel;Artikel 102;10,00;EUR\r\n"
                                        "05.12.2026;Bernd Brösel;Artikel 102;29.400;EUR\r\n")));
    platform.queueFileName(app.file(QStringLiteral("auszug.csv")));
    QString expected, difference, unread;
    bool tickedAhead = true;
    test::whenModal<frmKontoauszug>([&](frmKontoauszug* d) {
        auto* grid = d->findChild<QTableWidget*>(QStringLiteral("grdZahlungen"));
        tickedAhead = grid->item(0, 0)->checkState() == Qt::Checked;
        expected = grid->item(0, 6)->text();
        difference = grid->item(0, 7)->text();
        unread = d->findChild<QPlainTextEdit*>(QStringLiteral("txtNichtGelesen"))->toPlainText();
        test::screenshot(d, QStringLiteral("bank-teilzahlung.png"));
        grid->setFocus();
        grid->setCurrentCell(0, 0);
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen")), Qt::LeftButton);
    });
    platform.queueAnswer(Platform::Answer::Yes);  // as a part payment
    menu("keyAktion", "keyKontoauszug");
    EXPECT_FALSE(tickedAhead);
    EXPECT_EQ(expected, QStringLiteral("17,40 €"));
    EXPECT_EQ(difference, QStringLiteral("-7,40 €"));
    EXPECT_TRUE(unread.contains(QStringLiteral("29.400"))) << unread.toStdString();
    EXPECT_TRUE(platform.messages.last().text.contains(QStringLiteral("1 Teilzahlung(en) erfasst")))
        << platform.messages.last().text.toStdString();
    filter(4);
    glMahnTage = 0;
    filter(4);
    EXPECT_TRUE(column(7).contains(QStringLiteral("102")));  // still owes the rest
    glMahnTage = 7;
    clickRow(int(column(7).indexOf(QStringLiteral("102"))) + 1);
    ASSERT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("102"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblTeilzahlung"))->text(),
              QStringLiteral("Teilzahlung erhalten: 10,00 € · offen: 7,40 €"));
    auto* summary = w->findChild<QLabel*>(QStringLiteral("lblUebersicht"));
    EXPECT_TRUE(
        QTest::qWaitFor([summary] { return summary->text().contains(QStringLiteral("Unbezahlt: 3 (42,20 €)")); }, 5000))
        << summary->text().toStdString();  // 3 x 17,40 less the 10,00 received
}

// "Rechnung als PDF…" in the list's pop-up menu writes the selected sale's invoice
// where the user says; a purchase gets none.
TEST_F(BankStatement, TheInvoiceOfTheSelectedSale) {
    fill();
    gbKleinunternehmer = true;
    open();
    clickRow(1);                     // the newest open trade: the purchase 201
    menu("keypop2", "keyRechnung");  // said before any file is asked for
    EXPECT_TRUE(platform.messages.last().text.contains(QStringLiteral("ist ein Kauf")))
        << platform.messages.last().text.toStdString();
    clickRow(2);  // sale 102
    ASSERT_EQ(w->selectedAuktion().AuktionsNr, QStringLiteral("102"));
    const QString pdf = app.file(QStringLiteral("Rechnung 102.pdf"));
    platform.queueFileName(pdf);
    menu("keypop2", "keyRechnung");
    const QString page = QString::fromUtf8(test::tool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
    for (const char* want : {"Rechnungsnummer: 102", "Hans Müller", "Armbanduhr", "17,40 €", "§ 19 UStG"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(want))) << want << "\n" << page.toStdString();
    gbKleinunternehmer = false;
}

}  // namespace
}  // namespace gd
