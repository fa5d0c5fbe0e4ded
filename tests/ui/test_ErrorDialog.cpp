#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "base/CallStack.h"
#include "base/ErrorProtocol.h"
#include "base/RunError.h"
#include "support/GuiApp.h"
#include "ui/frmPanne.h"

namespace gd {
namespace {

void clickContinue(frmPanne* dlg, int choice) {
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cmdContinue_%1").arg(choice)), Qt::LeftButton);
}

TEST(ErrorProtocol, SaveAsksBeforeOverwriting) {
    test::UiApp t(false);
    const ErrorInfo e{13, QStringLiteral("Typen unverträglich"), QStringLiteral("frmMain"), QStringLiteral("x"), 0};
    ASSERT_TRUE(saveErrorProtocol(e));
    const QString path = protocolFilePath();
    EXPECT_EQ(t.platform.messages.last().text,
              QStringLiteral("Das Fehlerprotokoll wurde in die Datei '") + path + QStringLiteral("' geschrieben !"));
    t.write(QStringLiteral("gaveldesk.ERR"), "alt");
    t.platform.queueAnswer(Platform::Answer::No);
    EXPECT_FALSE(saveErrorProtocol(e));
    EXPECT_EQ(t.platform.messages.last().text,
              QStringLiteral("Vorhandene Datei '") + path + QStringLiteral("' überschreiben ?"));
    EXPECT_EQ(t.platform.messages.last().defaultButton, Platform::Answer::No);  // Enter never overwrites
    EXPECT_EQ(t.read(QStringLiteral("gaveldesk.ERR")), QByteArray("alt"));
    t.platform.queueAnswer(Platform::Answer::Yes);
    EXPECT_TRUE(saveErrorProtocol(e));
    EXPECT_NE(t.read(QStringLiteral("gaveldesk.ERR")), QByteArray("alt"));
}

TEST(ErrorProtocol, MailPutsTheProtocolOnTheClipboard) {
    test::UiApp t(false);
    mailErrorProtocol(ErrorInfo{5, QStringLiteral("x"), QStringLiteral("m"), QStringLiteral("p"), 0});
    EXPECT_TRUE(t.platform.clipboard.contains(QStringLiteral("F E H L E R P R O T O K O L L")));
    ASSERT_EQ(t.platform.shellCalls.size(), 1);
    EXPECT_EQ(t.platform.shellCalls[0].file, QStringLiteral("mailto:support@gavelmail.de"));
    EXPECT_TRUE(t.platform.messages[0].text.startsWith(QStringLiteral("Es wird jetzt Ihr Standard-Email-Programm")));
}

TEST(ErrorDialog, EachContinueChoice) {
    test::UiApp t(false);
    for (int choice = 0; choice < 4; ++choice) {
        frmPanne dlg;
        test::whenModal<frmPanne>([choice](frmPanne* d) {
            if (choice == 2) test::screenshot(d, QStringLiteral("error.png"));
            clickContinue(d, choice);
        });
        const Continue c = dlg.showError({7, QStringLiteral("Nicht genügend Speicher"), QStringLiteral("frmMain"),
                                          QStringLiteral("subRefreshListe"), 0});
        EXPECT_EQ(int(c), choice);
        EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("lblError_0"))->text(),
                  QStringLiteral("7 (Nicht genügend Speicher)"));
        EXPECT_GT(dlg.findChild<QListWidget*>(QStringLiteral("lstCallStack"))->count(), 0);
    }
}

// The error dialog used to become a child of the window active at the first
// error; when that window (the mail form, say) closed, the next error used a
// dialog that was gone.
TEST(ErrorDialog, OutlivesTheWindowThatWasActiveAtTheFirstError) {
    test::UiApp t(false);
    frmPanne::install();
    auto* form = new QDialog;
    form->setObjectName(QStringLiteral("frmMail"));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    test::whenModal<frmPanne>([](frmPanne* d) { clickContinue(d, 2); });
    EXPECT_EQ(OnError(QStringLiteral("frmMail"), QStringLiteral("cmdsend"), 5, QStringLiteral("erster")),
              Continue::LeaveProcedure);
    delete form;  // the mail form is closed
    test::whenModal<frmPanne>([](frmPanne* d) {
        EXPECT_EQ(d->findChild<QLabel*>(QStringLiteral("lblError_0"))->text(), QStringLiteral("6 (zweiter)"));
        clickContinue(d, 1);
    });
    EXPECT_EQ(OnError(QStringLiteral("frmMain"), QStringLiteral("cmdSpeichern"), 6, QStringLiteral("zweiter")),
              Continue::NextStatement);
    setErrorDialog({});
}

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw RunError(3021, QStringLiteral("Kein aktueller Datensatz."));
        return QObject::event(e);
    }
};

TEST(ErrorDialog, ExceptionInAnEventReachesOnError) {
    test::UiApp t(false);
    ErrorInfo seen;
    setErrorDialog([&seen](const ErrorInfo& e) {
        seen = e;
        return Continue::LeaveProcedure;
    });
    Thrower thrower;
    thrower.setObjectName(QStringLiteral("cmdSpeichern"));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.number, 3021);
    EXPECT_EQ(seen.procedure, QStringLiteral("cmdSpeichern"));
    setErrorDialog({});
    EXPECT_EQ(OnError(QStringLiteral("m"), QStringLiteral("p"), 1, QStringLiteral("d")), Continue::LeaveProcedure);
}

}  // namespace
}  // namespace gd
