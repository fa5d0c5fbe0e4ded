#include "ui/MailboxFetcher.h"

#include <QTimer>

#include "base/Clock.h"
#include "domain/settings/modGlobal.h"

namespace gd {

MailboxFetcher::MailboxFetcher(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("tmrPosteingang"));
    connect(timer_, &QTimer::timeout, this, [this] { fetch(false); });
    connect(&settingsSignals(), &SettingsSignals::changed, this, [this] { follow(currentSettings()); });
    follow(currentSettings());
}

MailboxFetcher::~MailboxFetcher() {
    stop_ = true;
    stopWatching();
    if (worker_.joinable()) worker_.join();
}

void MailboxFetcher::stopWatching() {
    watchStop_ = true;
    if (watcher_.joinable()) watcher_.join();  // within a second: IDLE waits in short steps
}

void MailboxFetcher::follow(const Settings& s) {
    stopWatching();
    if (s.PostIntervall <= 0 || s.PostServer.trimmed().isEmpty() || s.Username.trimmed().isEmpty()) {
        timer_->stop();
        return;
    }
    timer_->start(s.PostIntervall * 60 * 1000);
    // Where the server offers IDLE, new mail is fetched when it comes; the timer stays for a server
    // without it, or a line that broke.
    watchStop_ = false;
    watcher_ = std::thread([this, setup = mailboxSetup(s)] {
        (void)watchMailbox(
            setup, [this] { return watchStop_.load(); },
            [this] {
                QMetaObject::invokeMethod(
                    this, [this] { fetch(false); }, Qt::QueuedConnection);
            });
    });
}

bool MailboxFetcher::fetch(bool byHand) {
    if (running_) {
        if (byHand) emit refused(QStringLiteral("Der Posteingang wird gerade abgerufen."));
        return false;
    }
    const Settings& s = currentSettings();
    if (s.PostServer.trimmed().isEmpty()) {
        if (byHand)
            emit refused(
                QStringLiteral("Es ist kein Posteingang eingerichtet. Tragen Sie ihn unter Einstellungen, "
                               "Optionen, Posteingang ein."));
        return false;
    }
    if (s.Username.trimmed().isEmpty()) {
        if (byHand) emit refused(QStringLiteral("Ohne Mitgliedsnamen kann keine E-Mail eingelesen werden."));
        return false;
    }
    if (worker_.joinable()) worker_.join();  // the last one has ended; its thread is let go here
    running_ = true;
    stop_ = false;
    worker_ = std::thread([this, setup = mailboxSetup(s), rules = rulesInForce(), store = currentStore(), byHand] {
        const FetchReport report = fetchMailbox(
            setup, rules, store,
            [this](int done, int total) {
                QMetaObject::invokeMethod(
                    this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
                return !stop_;
            },
            [this] { return stop_.load(); });
        QMetaObject::invokeMethod(
            this,
            [this, report, byHand] {
                running_ = false;
                // A fetch cut off keeps the earlier day: the next search starts where this one did.
                if (report.ok()) (void)rememberWholeFetch(today());
                emit finished(report, byHand);
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace gd
