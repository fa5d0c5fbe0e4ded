#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "MainWindowFixture.h"
#include "domain/import/MailFile.h"
#include "domain/settings/Keywords.h"
#include "ui/frmEinlesen.h"

namespace gd {
namespace {

// What a drop of the data on the widget sends: the enter the widget must take, then the drop.
bool drop(QWidget* target, QMimeData* data) {
    const QPointF at = QPointF(target->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

class Drop : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        shippedFiles();
        gSettings.StandardUser = gSettings.Username = QStringLiteral("gavel_haendler");
    }
};

// Two saved mails dropped on the list: the dialog reads one after the other and
// "Übernehmen" stores each.
TEST_F(Drop, TwoFilesOnTheListImportBoth) {
    open();
    QFile::copy(test::dataFile(QStringLiteral("mails/verkauf.txt")), app.file(QStringLiteral("verkauf.txt")));
    QFile::copy(test::dataFile(QStringLiteral("mails/kauf.eml")), app.file(QStringLiteral("kauf.eml")));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(app.file(QStringLiteral("verkauf.txt"))),
                  QUrl::fromLocalFile(app.file(QStringLiteral("kauf.eml")))});
    QStringList seen;
    test::whenModal<frmEinlesen>([&seen](frmEinlesen* dlg) {
        auto* accept = dlg->findChild<QPushButton*>(QStringLiteral("cmdUebernehmen"));
        auto* number = dlg->findChild<QLineEdit*>(QStringLiteral("txtArtikelNr"));
        auto* queue = dlg->findChild<QLabel*>(QStringLiteral("lblWarteschlange"));
        QTRY_VERIFY(accept->isEnabled());
        seen << queue->text() + QLatin1Char(' ') + number->text();
        QTest::mouseClick(accept, Qt::LeftButton);
        seen << queue->text() + QLatin1Char(' ') + number->text();
        QTest::mouseClick(accept, Qt::LeftButton);
        if (dlg->isVisible()) dlg->reject();
    });
    // Where the user lets go: the list, which hands the drop to the window.
    QWidget* list = w->grid()->viewport();
    ASSERT_TRUE(drop(list, &data));
    QTRY_COMPARE(w->grid()->Rows(), 3);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("E-Mail 1 von 2: verkauf.txt 1234567890"),
                                 QStringLiteral("E-Mail 2 von 2: kauf.eml 3456789012")}));
}

// The rule tester shows the row that found nothing; mending the keyword file on disk
// takes effect while the dialog is open.
TEST_F(Drop, RuleTesterShowsTheMissAndFollowsTheFile) {
    QString mail = *readMailFile(test::dataFile(QStringLiteral("mails/verkauf.txt")));
    mail.replace(QStringLiteral("Straße: Hauptstraße 12"), QStringLiteral("Anschrift: Hauptstraße 12"));
    frmEinlesen dlg;
    dlg.show();
    QMimeData text;
    text.setText(mail);
    ASSERT_TRUE(drop(&dlg, &text));  // dropped mail text, read as the clipboard's
    auto* strasse = dlg.findChild<QLineEdit*>(QStringLiteral("txtStrasse"));
    QTRY_COMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("txtArtikelNr"))->text(), QStringLiteral("1234567890"));
    EXPECT_EQ(strasse->text(), QString());
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("cmdRegeln")), Qt::LeftButton);
    auto* rules = dlg.findChild<QTreeWidget*>(QStringLiteral("lstRegeln"));
    ASSERT_TRUE(rules && rules->isVisible());
    const auto rowOf = [rules](const QString& rule) -> QTreeWidgetItem* {
        const auto found = rules->findItems(rule, Qt::MatchExactly, 1);
        return found.isEmpty() ? nullptr : found.first();
    };
    ASSERT_NE(rowOf(QStringLiteral("Straße:/=Kunden/Strasse")), nullptr);
    EXPECT_EQ(rowOf(QStringLiteral("Straße:/=Kunden/Strasse"))->text(2), QStringLiteral("nichts gefunden"));
    EXPECT_EQ(rowOf(QStringLiteral("Artikelnummer:/=Auktionen/ArtikelNr"))->text(2),
              QStringLiteral("gefunden: 1234567890"));
    EXPECT_TRUE(dlg.findChild<QLabel*>(QStringLiteral("lblErkennung"))->text().contains(QStringLiteral("[Verkauf]")));

    // [Verkauf] is the file's last section: a row added at the end belongs to it.
    QFile file(app.file(QStringLiteral("bin/gaveldesk.ini")));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Anschrift:/=Kunden/Strasse\r\n");
    file.close();
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(QStringLiteral("Anschrift:/=Kunden/Strasse")) != nullptr, 5000);
    EXPECT_EQ(rowOf(QStringLiteral("Anschrift:/=Kunden/Strasse"))->text(2), QStringLiteral("gefunden: Hauptstraße 12"));
    EXPECT_EQ(strasse->text(), QStringLiteral("Hauptstraße 12"));
    test::screenshot(&dlg, QStringLiteral("rules.png"));
}

}  // namespace
}  // namespace gd
