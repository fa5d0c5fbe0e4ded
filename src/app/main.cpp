// Main: one instance, the splash, the settings, the main window.

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/InstanceLock.h"
#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Product.h"
#include "base/SafeWrite.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "ui/GuiApplication.h"
#include "ui/QtPlatform.h"
#include "ui/frmMain.h"
#include "ui/frmPanne.h"
#include "ui/Platform.h"
#include "ui/frmSplash.h"

namespace {

bool wantsCommandLine(int argc, char** argv) { return argc > 1 && argv[1][0] == '-'; }

// Qt aborts without a display; say so in one line instead.
bool haveDisplay() {
#if defined(Q_OS_LINUX)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (wantsCommandLine(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("gaveldesk"));
        if (auto rc = gd::runCommandLine(QCoreApplication::arguments())) return *rc;
        std::fprintf(stderr, "gaveldesk: keine Aufgabe angegeben; --help zeigt die Optionen.\n");
        return 2;
    }
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "gaveldesk: Kein Bildschirm gefunden (DISPLAY ist nicht gesetzt); das Programmfenster kann "
                     "nicht geöffnet werden.\n");
        return 1;
    }
    gd::GuiApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gaveldesk"));
    QApplication::setApplicationDisplayName(gd::productName());

    // A second start ends silently.
    gd::InstanceLock lock(gd::AppPath());
    if (!lock.acquire()) {
        lock.askRunningToRaise();  // the running window comes to the front where the desktop allows
        return 0;
    }

    gd::QtPlatform qtPlatform;
    gd::setPlatform(&qtPlatform);
    gd::frmPanne::install();
    CALLSTACK_MODULE("modMain");

    auto splash = std::make_unique<gd::frmSplash>();
    splash->show();
    QCoreApplication::processEvents();
    // What killed writes left behind in our folders.
    gd::removeStaleTemporaries(gd::AppPath());
    gd::removeStaleTemporaries(gd::AppPath() + QStringLiteral("/bin"));
    const QStringList faults = gd::subInitApp();
    // A damaged file is named before the list shows what it still can; nothing is written into it.
    const gd::Status intact = gd::gsDataSource.isEmpty() ? gd::Status() : gd::checkDatabase(gd::gsDataSource);
    gd::frmMain main;
    main.Form_Load();
    splash->close();
    splash.reset();
    main.show();
    gd::showMessages(faults);
    if (!intact.ok()) gd::showError(intact.error());
    lock.listen([&main] {
        main.showNormal();
        main.raise();
        main.activateWindow();
    });
    main.finishStart();
    if (qEnvironmentVariableIsSet("GAVELDESK_QUIT_AFTER_START")) QTimer::singleShot(0, &app, &QApplication::quit);
    const int rc = QApplication::exec();
    gd::setPlatform(nullptr);
    return rc;
}
