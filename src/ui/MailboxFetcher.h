#pragma once
// "Posteingang abrufen" for the window: one fetch at a time on a thread of its own, by hand or
// every few minutes while the window is open; its progress and its report come back to the
// window's thread as signals.
#include <QObject>
#include <atomic>
#include <thread>

#include "domain/mailbox/MailboxFetch.h"

class QTimer;

namespace gd {

class MailboxFetcher final : public QObject {
    Q_OBJECT
public:
    explicit MailboxFetcher(QObject* parent = nullptr);
    // A running fetch stops at once, while it waits for the server too, and is waited for.
    ~MailboxFetcher() override;
    // False when one is running already, or no mailbox is set up (said by `refused`).
    bool fetch(bool byHand);
    bool running() const { return running_; }
    // The interval of the settings in force; none: by hand only. With an interval, a server that
    // offers IDLE announces new mail at once.
    void follow(const Settings& s);

signals:
    void progress(int done, int total);
    void finished(const gd::FetchReport& report, bool byHand);
    void refused(const QString& why);

private:
    QTimer* timer_ = nullptr;
    std::thread worker_, watcher_;
    std::atomic<bool> stop_{false}, watchStop_{false};
    void stopWatching();
    bool running_ = false;
};

}  // namespace gd
