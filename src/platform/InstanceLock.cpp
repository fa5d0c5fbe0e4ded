#include "platform/InstanceLock.h"

#include <QDir>

namespace gd {

InstanceLock::InstanceLock(const QString& folder)
    : path_(QDir(folder).filePath(QStringLiteral("gaveldesk.lock"))), lock_(std::make_unique<QLockFile>(path_)) {
    lock_->setStaleLockTime(0);  // only a dead owner makes the lock stale
}

bool InstanceLock::acquire() {
    if (held_) return true;
    held_ = lock_->tryLock(0);
    return held_;
}

}  // namespace gd
