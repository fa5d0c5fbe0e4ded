#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>

#include "MainWindowFixture.h"
#include "domain/db/Backup.h"
#include "support/GuiApp.h"
#include "ui/frmKennwort.h"

namespace gd {
namespace {

class OwnPassword : public test::MainWindowTest {
protected:
    void TearDown() override {
        setDatabasePassphrase(QString());
        test::MainWindowTest::TearDown();
    }
    // The start's question, answered by typing.
    void answer(const QString& typed) {
        test::whenModal<QInputDialog>([typed](QInputDialog* d) {
            // Its title reads whole, with the program's name the desktop adds.
            EXPECT_GE(d->width(), d->fontMetrics().horizontalAdvance(d->windowTitle() + QStringLiteral(" – ") +
                                                                     QGuiApplication::applicationDisplayName()));
            QLineEdit* e = d->findChild<QLineEdit*>();
            test::typeText(e, typed);
            QTest::keyClick(e, Qt::Key_Return);
        });
    }
};

// The menu gives the file a password of the user's; the start then asks for it: a wrong
// one is asked again, three wrong ones end the start without touching the file.
TEST_F(OwnPassword, SetFromTheMenuAndAskedAtStart) {
    fill();
    open();
    test::whenModal<frmKennwort>([](frmKennwort* d) {
        test::typeText(d->findChild<QLineEdit*>(QStringLiteral("txtNeu")), QStringLiteral("Möwe 7"));
        test::typeText(d->findChild<QLineEdit*>(QStringLiteral("txtWiederholung")), QStringLiteral("Möwe 7"));
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    menu("keyEinstellungen", "keyKennwort");
    ASSERT_GE(platform.messages.size(), 2);
    EXPECT_EQ(platform.messages[platform.messages.size() - 2].text,
              QStringLiteral("Die Datenbank hat jetzt Ihr eigenes Kennwort."));
    // The promised backup under the new password is there, and said.
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Eine neue Datensicherung mit dem neuen Kennwort liegt in")))
        << lastMessage().toStdString();
    EXPECT_EQ(backupsIn(backupFolder()).size(), 1);
    EXPECT_TRUE(app.read(QStringLiteral("bin/config.ini")).contains("[Datenbank]\r\nEigenesKennwort=Wahr"));
    const QByteArray file = test::fileBytes(gsDataSource);

    setDatabasePassphrase(QString());  // a new start knows only the program's password
    EXPECT_FALSE(opensWithCurrentPassphrase(gsDataSource));
    answer(QStringLiteral("möwe 7"));
    QTimer::singleShot(300, [this] { answer(QStringLiteral("Möwe 7")); });
    EXPECT_TRUE(askDatabasePassphrase(gsDataSource));
    filter(2);
    EXPECT_EQ(column(7).size(), 4);

    setDatabasePassphrase(QString());
    answer(QStringLiteral("a"));
    QTimer::singleShot(300, [this] { answer(QStringLiteral("b")); });
    QTimer::singleShot(600, [this] { answer(QStringLiteral("c")); });
    EXPECT_FALSE(askDatabasePassphrase(gsDataSource));
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Das Kennwort wurde dreimal falsch eingegeben.")));
    EXPECT_EQ(test::fileBytes(gsDataSource), file);
}

}  // namespace
}  // namespace gd
