#include "domain/db/ChangeWatch.h"

#include <QSocketNotifier>

#include "base/RunError.h"
#include "domain/db/Database.h"
#include "domain/db/PgEngine.h"

namespace gd {

ChangeWatch::ChangeWatch(const QString& source, QObject* parent) : QObject(parent), source_(source) {
    retry_.setInterval(5000);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &ChangeWatch::connectNow);
    // Changes in a row (an import of many mails) make one refresh.
    settle_.setInterval(150);
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &ChangeWatch::changed);
    if (isServerAddress(source_)) connectNow();
}

ChangeWatch::~ChangeWatch() = default;

void ChangeWatch::connectNow() {
    delete notifier_;
    notifier_ = nullptr;
    conn_.reset();
    try {
        conn_ = pgListen(source_);
    } catch (const RunError&) {
        retry_.start();  // the next operation of the window says what is wrong
        return;
    }
    notifier_ = new QSocketNotifier(qintptr(pgSocket(*conn_)), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ChangeWatch::readNotices);
}

void ChangeWatch::readNotices() {
    const int n = pgTakeNotices(*conn_);
    if (n < 0) {
        // Reconnected, the list may have missed changes in between: it is read anew.
        notifier_->setEnabled(false);
        retry_.start();
        settle_.start();
        return;
    }
    if (n > 0 && !settle_.isActive()) settle_.start();
}

}  // namespace gd
