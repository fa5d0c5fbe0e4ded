#include "app/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

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

InstanceLock::~InstanceLock() = default;

QString InstanceLock::serverName() const {
    return QStringLiteral("gaveldesk-") +
           QString::fromLatin1(QCryptographicHash::hash(path_.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

void InstanceLock::listen(std::function<void()> onRaise) {
    if (!held_) return;
    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(serverName());  // left by a crashed run
    if (!server_->listen(serverName())) return;
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this, onRaise] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            s->deleteLater();
            onRaise();
        }
    });
}

bool InstanceLock::askRunningToRaise() const {
    QLocalSocket s;
    s.connectToServer(serverName());
    const bool ok = s.waitForConnected(500);
    if (ok) {
        s.write("raise");
        s.waitForBytesWritten(200);
        s.disconnectFromServer();
    }
    return ok;
}

}  // namespace gd
