#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/GuiApplication.h"
#include "errors/CallStack.h"
#include "errors/ErrorProtocol.h"
#include "errors/RunError.h"
#include "errors/frmPanne.h"
#include "support/GuiApp.h"
#include "support/TestApp.h"

namespace gd {
namespace {

GuiApplication& app() {
    static int argc = 1;
    static char name[] = "test_errors";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* a = new GuiApplication(argc, argv);
    return *a;
}

void enteredOnce() { CALLSTACK(); }

TEST(ErrorProtocol, LayoutOfTheProtocol) {
    test::TestApp t(false);
    CallStack::clear();
    enteredOnce();
    const ErrorInfo e{3021, QStringLiteral("Kein aktueller Datensatz."), QStringLiteral("modGlobal"),
                      QStringLiteral("subDeleteAuktion"), 0};
    const QStringList l = errorProtocol(e);
    const QString sep(70, QLatin1Char('-'));
    EXPECT_EQ(l[0], sep);
    EXPECT_EQ(l[1], QStringLiteral("F E H L E R P R O T O K O L L vom Pannenhelfer"));
    EXPECT_EQ(l[3], QStringLiteral("PROGRAMM-INFOS:"));
    EXPECT_EQ(l[4], QStringLiteral("          gaveldesk  V1.0.0"));
    EXPECT_EQ(l[6], QStringLiteral("FEHLERBESCHREIBUNG:"));
    EXPECT_EQ(l[7], QStringLiteral("          Fehler-Nr:\t3021 (Kein aktueller Datensatz.)"));
    EXPECT_EQ(l[8], QStringLiteral("          Modul:\tmodGlobal"));
    EXPECT_EQ(l[10], QStringLiteral("          Zeilen-Nr.:\t0"));
    EXPECT_EQ(l[11], QStringLiteral("          Datum/Uhrzeit:\t04.12.2026 / 08:44:02"));
    EXPECT_EQ(l[13], QStringLiteral("CALLSTACK:"));
    EXPECT_TRUE(l[14].startsWith(QStringLiteral("          [test_ErrorDialog] Public Sub enteredOnce() ")));
    EXPECT_EQ(l[16], QStringLiteral("SYSTEMINFO:"));
    EXPECT_TRUE(l[17].startsWith(QStringLiteral("          Plattform:\t")));
    EXPECT_EQ(l.last(), sep);
    EXPECT_TRUE(errorProtocolText(e).endsWith(sep + QStringLiteral("\r\n")));
    SetProgInfo(QStringLiteral("Sonderfassung"));
    EXPECT_EQ(errorProtocol(e)[4], QStringLiteral("          Sonderfassung"));
    SetProgInfo(QString());
}

TEST(ErrorProtocol, PrinterWrapsLongLinesAtBlanks) {
    const QString longLine = QStringLiteral("wort ").repeated(30).trimmed();
    const QStringList w = wrapForPrinter({longLine, QStringLiteral("kurz")});
    ASSERT_GE(w.size(), 3);
    for (const QString& l : w) EXPECT_LE(l.size(), 73) << l.toStdString();
    EXPECT_TRUE(w[1].startsWith(QString(20, QLatin1Char(' ')) + QStringLiteral("wort")));
    EXPECT_EQ(w.last(), QStringLiteral("kurz"));
    EXPECT_EQ(LPSTRToVBString(QStringLiteral("SP3") + QChar(0) + QStringLiteral("x")), QStringLiteral("SP3"));
    EXPECT_EQ(LPSTRToVBString(QStringLiteral("ohne")), QString());
}

TEST(ErrorProtocol, SaveAsksBeforeOverwriting) {
    test::TestApp t(false);
    const ErrorInfo e{13, QStringLiteral("Typen unverträglich"), QStringLiteral("frmMain"), QStringLiteral("x"), 0};
    ASSERT_TRUE(saveErrorProtocol(e));
    const QString path = protocolFilePath();
    EXPECT_TRUE(t.read(QStringLiteral("gaveldesk.ERR")).contains("Typen unvertr\xE4glich"));  // Windows-1252
    EXPECT_EQ(t.platform.messages.last().text,
              QStringLiteral("Das Fehlerprotokoll wurde in die Datei '") + path + QStringLiteral("' geschrieben !"));
    t.write(QStringLiteral("gaveldesk.ERR"), "alt");
    t.platform.queueAnswer(Platform::Answer::No);
    EXPECT_FALSE(saveErrorProtocol(e));
    EXPECT_EQ(t.platform.messages.last().text, QStringLiteral("Vorhandene Datei '") + path + QStringLiteral("' überschreiben ?"));
    EXPECT_EQ(t.read(QStringLiteral("gaveldesk.ERR")), QByteArray("alt"));
    t.platform.queueAnswer(Platform::Answer::Yes);
    EXPECT_TRUE(saveErrorProtocol(e));
    EXPECT_NE(t.read(QStringLiteral("gaveldesk.ERR")), QByteArray("alt"));
}

TEST(ErrorProtocol, MailPutsTheProtocolOnTheClipboard) {
    test::TestApp t(false);
    mailErrorProtocol(ErrorInfo{5, QStringLiteral("x"), QStringLiteral("m"), QStringLiteral("p"), 0});
    EXPECT_TRUE(t.platform.clipboard.contains(QStringLiteral("F E H L E R P R O T O K O L L")));
    ASSERT_EQ(t.platform.shellCalls.size(), 1);
    EXPECT_EQ(t.platform.shellCalls[0].file, QStringLiteral("mailto:support@gavelmail.de"));
    EXPECT_TRUE(t.platform.messages[0].text.startsWith(QStringLiteral("Es wird jetzt Ihr Standard-Email-Programm")));
}

TEST(ErrorDialog, EachContinueChoice) {
    app();
    test::TestApp t(false);
    for (int choice = 0; choice < 4; ++choice) {
        frmPanne dlg;
        QTimer::singleShot(0, &dlg, [&dlg, choice] {
            if (choice == 2) test::screenshot(&dlg, QStringLiteral("error.png"));
            QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("cmdContinue_%1").arg(choice)), Qt::LeftButton);
        });
        const Continue c = dlg.showError({7, QStringLiteral("Nicht genügend Speicher"), QStringLiteral("frmMain"),
                                          QStringLiteral("subRefreshListe"), 0});
        EXPECT_EQ(int(c), choice);
        EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("lblError_0"))->text(),
                  QStringLiteral("7 (Nicht genügend Speicher)"));
        EXPECT_GT(dlg.findChild<QListWidget*>(QStringLiteral("lstCallStack"))->count(), 0);
    }
}

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw RunError(3021, QStringLiteral("Kein aktueller Datensatz."));
        return QObject::event(e);
    }
};

TEST(ErrorDialog, ExceptionInAnEventReachesOnError) {
    app();
    ErrorInfo seen;
    setErrorDialog([&seen](const ErrorInfo& e) {
        seen = e;
        return Continue::LeaveProcedure;
    });
    Thrower t;
    t.setObjectName(QStringLiteral("cmdSpeichern"));
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.number, 3021);
    EXPECT_EQ(seen.procedure, QStringLiteral("cmdSpeichern"));
    setErrorDialog({});
    EXPECT_EQ(OnError(QStringLiteral("m"), QStringLiteral("p"), 1, QStringLiteral("d")), Continue::LeaveProcedure);
}

}  // namespace
}  // namespace gd
