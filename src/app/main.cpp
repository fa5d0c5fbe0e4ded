// The window program: one instance, the splash, the settings, the main window. Started
// through the light `gaveldesk`, it also runs every command, the painting ones among them.

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/CommandLine.h"
#include "app/InstanceLock.h"
#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Launch.h"
#include "base/Product.h"
#include "base/SafeWrite.h"
#include "domain/db/Backup.h"
#include "domain/db/Database.h"
#include "domain/db/Documents.h"
#include "domain/mail/MailComposer.h"
#include "domain/settings/DesktopKeyring.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/FlexGrid.h"
#include "ui/GuiApplication.h"
#include "ui/Platform.h"
#include "ui/QtPlatform.h"
#include "ui/frmKennwort.h"
#include "ui/frmMain.h"
#include "ui/frmPanne.h"
#include "ui/frmSplash.h"

namespace {

// The file check reads every page (a second at 100,000 trades): once a day, beside the
// window, and a damaged file is named as soon as it is known.
void checkInBackground(QThreadPool& pool, const std::atomic<bool>& stop, gd::frmMain& main) {
    if (gd::gsDataSource.isEmpty()) return;
    QPointer<gd::frmMain> window(&main);
    pool.start([window, &stop, path = gd::gsDataSource,
                record = QString(gd::AppPath() + QStringLiteral("/bin/pruefung.dat")), day = gd::today()] {
        const gd::Status intact = gd::checkDatabaseDaily(path, record, day, {3000, &stop});
        // The issued documents too: a change of the chain, the bytes or the archive is said at once.
        gd::Result<gd::DocumentCheck> documents = gd::DocumentCheck{};
        if (intact.ok() && !stop)
            documents =
                gd::checkDocumentsDaily(path, QFileInfo(record).absolutePath() + QStringLiteral("/belege.dat"), day);
        QMetaObject::invokeMethod(
            qApp,
            [window, intact, documents] {
                if (!window) return;
                if (!intact.ok())
                    gd::showError(intact.error());
                else if (!documents.ok())
                    gd::showError(documents.error());
                else if (!documents.value().ok())
                    gd::platform().msgBox(gd::documentWarning(documents.value()), gd::Platform::Buttons::Ok,
                                          gd::Platform::Icon::Exclamation);
            },
            Qt::QueuedConnection);
    });
}

// Today's backup beside the window once the list is there; a failure is said, never hidden.
// Closing the program stops it within a moment; the next start makes it anew.
void dailyBackupInBackground(QThreadPool& pool, const std::atomic<bool>& stop, gd::frmMain& main) {
    if (!gd::gSettings.TaeglicheSicherung || gd::gsDataSource.isEmpty()) return;
    QPointer<gd::frmMain> window(&main);
    // QString(): a capture of "a + b" would keep QStringBuilder with references to temporaries.
    pool.start([window, &stop, db = gd::gsDataSource, bin = QString(gd::AppPath() + QStringLiteral("/bin")),
                folder = gd::backupFolder(), day = gd::today()] {
        const gd::Result<QString> done = gd::dailyBackup(db, bin, folder, day, 7, &stop);
        QMetaObject::invokeMethod(
            qApp,
            [window, done] {
                if (window && !done.ok()) gd::showError(done.error());
            },
            Qt::QueuedConnection);
    });
}

// For timing the start from outside: the program ends once its whole list is painted.
void quitWhenListPainted(gd::frmMain& main) {
    QObject::connect(&main, &gd::frmMain::listComplete, &main, [&main] {
        if (main.listLoading()) return;
        main.grid()->viewport()->repaint();
        QTimer::singleShot(0, qApp, &QApplication::quit);
    });
}

}  // namespace

namespace {
int runWindow(int argc, char** argv);
}

int main(int argc, char** argv) {
    gd::restrictNewFiles();  // customer data: no file of ours is readable by other users
    gd::useKeyring(gd::desktopKeyring());
    if (gd::isCommandLine(argc, argv)) {
        gd::setWindowProgramParts({gd::invoicePdf, gd::sendTestMail,
                                   [](const gd::Settings& s, const gd::ParserRules& r, const gd::Store& st) {
                                       return gd::fetchMailbox(gd::mailboxSetup(s), r, st);
                                   }});
        // An invoice is painted: fonts need a GUI application, though no window opens.
        const bool paints = gd::paintsPage(argc, argv);
        if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !gd::windowlessPlatform().isEmpty())
            qputenv("QT_QPA_PLATFORM", gd::windowlessPlatform());
        std::unique_ptr<QCoreApplication> app =
            paints ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
        return gd::runHeadless();
    }
    if (!gd::haveDisplay()) {
        std::fprintf(stderr,
                     "gaveldesk: Kein Bildschirm gefunden (DISPLAY ist nicht gesetzt); das Programmfenster kann "
                     "nicht geöffnet werden.\n");
        return 1;
    }
    // Everything of the window is closed and saved when this returns.
    gd::endProcess(runWindow(argc, argv));
}

namespace {

int runWindow(int argc, char** argv) {
    gd::GuiApplication app(argc, argv);
    app.installGermanTexts();
    QApplication::setApplicationName(QStringLiteral("gaveldesk"));
    QApplication::setApplicationDisplayName(gd::productName());
    const gd::Status ready = gd::prepareAppFolder();

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
    // A restore cut short is finished, what killed writes left is removed, the data made private.
    QStringList faults = gd::tidyDataFolder(gd::AppPath());
    if (!ready.ok()) gd::showError(ready.error());  // the program starts with its built-in defaults
    faults << gd::subInitApp();
    faults << gd::tidyDatabaseFile(gd::gsDataSource, gd::AppPath());
    // A server's password from the keyring, here on the main thread: the list reads on a worker.
    if (gd::isServerAddress(gd::gsDataSource)) (void)gd::serverPasswordFromKeyring(gd::gsDataSource);
    if (const gd::Status share = gd::refuseNetworkShare(gd::gsDataSource); !share.ok()) {
        splash->hide();
        gd::showError(share.error());
        return 1;
    }
    // The password that opens the file, whatever the settings say: a change or restore cut
    // short may have left them behind it. Only when neither key opens it is the user asked;
    // nothing is touched before.
    if (!gd::gsDataSource.isEmpty()) {
        const gd::Result<bool> unlocked =
            gd::unlockDatabase(gd::gsDataSource, qEnvironmentVariable("GAVELDESK_KENNWORT"), gd::configIniPath());
        if (!unlocked.ok()) gd::showError(unlocked.error());
        if (unlocked.ok() && !unlocked.value()) {
            splash->hide();
            if (!gd::askDatabasePassphrase(gd::gsDataSource)) return 1;
            gd::rememberPassphraseKind(gd::configIniPath());
            splash->show();
        }
    }
    // A file of an earlier version is brought up to date once, before anything reads it; the
    // picture says why the start takes longer and stays drawn.
    if (!gd::gsDataSource.isEmpty() && gd::needsMigration(gd::gsDataSource)) {
        splash->showMessage(
            QStringLiteral("Die Datenbank wird für diese Version umgestellt (einmalig; bei vielen "
                           "Auktionen einige Minuten). Eine Kopie der alten Datei bleibt daneben."));
        QCoreApplication::processEvents();
        gd::Status migrated;
        QEventLoop wait;
        QThreadPool migration;
        migration.start([&] {
            migrated = gd::migrateDatabase(gd::gsDataSource);
            QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
        });
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        migration.waitForDone();
        if (!migrated.ok()) gd::showError(migrated.error());
    }
    std::atomic<bool> stopChecks{false};
    QThreadPool checks;  // before the window, so it outlives it and waits for its check
    gd::frmMain main;
    main.Form_Load();
    splash->close();
    splash.reset();
    main.show();
    gd::showMessages(faults);
    // After the list: the check reads the whole file, and the list comes first.
    QObject::connect(&main, &gd::frmMain::listComplete, &main, [&, started = false]() mutable {
        if (started || main.listLoading()) return;
        started = true;
        checkInBackground(checks, stopChecks, main);
        dailyBackupInBackground(checks, stopChecks, main);
    });
    lock.listen([&main] {
        main.showNormal();
        main.raise();
        main.activateWindow();
    });
    if (qEnvironmentVariableIsSet("GAVELDESK_QUIT_AFTER_START")) quitWhenListPainted(main);
    main.finishStart();
    const int rc = QApplication::exec();
    stopChecks = true;  // closing does not wait for the end of a long check or backup
    gd::setPlatform(nullptr);
    return rc;
}

}  // namespace
