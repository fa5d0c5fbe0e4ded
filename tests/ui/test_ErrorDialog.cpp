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

using namespace Qt::StringLiterals;

void clickContinue(frmPanne* dlg, int choice) {
    QTest::mouseClick(dlg->findChild<QPushButton*>(u"cmdContinue_%1"_s.arg(choice)), Qt::LeftButton);
}

TEST(ErrorProtocol, SaveAsksBeforeOverwritingAndMailGoesByTheClipboard) {
    test::UiApp t(false);
    const ErrorInfo e{13, u"Typen unverträglich"_s, u"frmMain"_s, u"x"_s, 0};
    ASSERT_TRUE(saveErrorProtocol(e));
    const QString path = protocolFilePath();
    EXPECT_EQ(t.platform.messages.last().text,
              u"Das Fehlerprotokoll wurde in die Datei '"_s + path + u"' geschrieben !"_s);
    t.write(u"gaveldesk.ERR"_s, "alt");
    t.platform.queueAnswer(Platform::Answer::No);
    EXPECT_FALSE(saveErrorProtocol(e));
    EXPECT_EQ(t.platform.messages.last().text, u"Vorhandene Datei '"_s + path + u"' überschreiben ?"_s);
    EXPECT_EQ(t.platform.messages.last().defaultButton, Platform::Answer::No);  // Enter never overwrites
    EXPECT_EQ(t.read(u"gaveldesk.ERR"_s), QByteArray("alt"));
    t.platform.queueAnswer(Platform::Answer::Yes);
    EXPECT_TRUE(saveErrorProtocol(e));
    EXPECT_NE(t.read(u"gaveldesk.ERR"_s), QByteArray("alt"));
    // By mail: the protocol on the clipboard, then the mail program.
    mailErrorProtocol(e);
    EXPECT_TRUE(t.platform.clipboard.contains(u"F E H L E R P R O T O K O L L"_s));
    ASSERT_EQ(t.platform.shellCalls.size(), 1);
    EXPECT_EQ(t.platform.shellCalls[0].file, u"mailto:support@gavelmail.de"_s);
    EXPECT_TRUE(t.platform.messages.last().text.startsWith(u"Es wird jetzt Ihr Standard-Email-Programm"_s));
}

// Each way on is returned. The dialog used to become a child of the window active at the
// first error; when that window (the mail form, say) closed, the next error used a dialog
// that was gone.
TEST(ErrorDialog, EachContinueChoiceOutlivingTheWindowOfTheFirstError) {
    test::UiApp t(false);
    frmPanne::install();
    auto* form = new QDialog;
    form->setObjectName(u"frmMail"_s);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    for (int choice = 0; choice < 4; ++choice) {
        test::whenModal<frmPanne>([choice](frmPanne* d) {
            EXPECT_EQ(d->findChild<QLabel*>(u"lblError_0"_s)->text(),
                      u"%1 (Nicht genügend Speicher)"_s.arg(7 + choice));
            EXPECT_GT(d->findChild<QListWidget*>(u"lstCallStack"_s)->count(), 0);
            if (choice == 2) test::screenshot(d, u"error.png"_s);
            clickContinue(d, choice);
        });
        EXPECT_EQ(int(OnError(u"frmMain"_s, u"subRefreshListe"_s, 7 + choice, u"Nicht genügend Speicher"_s)), choice);
        if (choice == 0) delete form;  // the mail form is closed
    }
    setErrorDialog({});
}

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw RunError(3021, u"Kein aktueller Datensatz."_s);
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
    thrower.setObjectName(u"cmdSpeichern"_s);
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.number, 3021);
    EXPECT_EQ(seen.procedure, u"cmdSpeichern"_s);
    setErrorDialog({});
    EXPECT_EQ(OnError(u"m"_s, u"p"_s, 1, u"d"_s), Continue::LeaveProcedure);
}

}  // namespace
}  // namespace gd
