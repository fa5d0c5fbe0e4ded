#include "domain/settings/DesktopKeyring.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace gd {
namespace {

const QString kService = QStringLiteral("gaveldesk");
constexpr int kWaitMs = 5000;

// The jobs answer through signals: wait for that, never longer than kWaitMs. False when
// no answer came.
bool waitFor(QKeychain::Job& job) {
    // The service is reached over D-Bus, which needs the application's event loop.
    if (!QCoreApplication::instance()) return false;
    QEventLoop loop;
    bool done = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&loop, &done] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    job.start();
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done;
}

bool noService(QKeychain::Error e) { return e == QKeychain::NoBackendAvailable || e == QKeychain::NotImplemented; }

KeyringRead readDesktop(const QString& key) {
    QKeychain::ReadPasswordJob job(kService);
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    const bool answered = waitFor(job);
    KeyringRead r;
    if (!answered || noService(job.error())) return r;
    r.service = job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound;
    r.found = job.error() == QKeychain::NoError;
    if (r.found) r.password = job.textData();
    return r;
}

bool storeDesktop(const QString& key, const QString& password) {
    if (password.isEmpty()) {
        QKeychain::DeletePasswordJob job(kService);
        job.setAutoDelete(false);
        job.setInsecureFallback(false);
        job.setKey(key);
        return waitFor(job) && (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound);
    }
    QKeychain::WritePasswordJob job(kService);
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    job.setTextData(password);
    return waitFor(job) && job.error() == QKeychain::NoError;
}

}  // namespace

KeyringAccess desktopKeyring() { return {readDesktop, storeDesktop}; }

}  // namespace gd
