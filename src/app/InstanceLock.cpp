#include "app/InstanceLock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include "base/ErrorProtocol.h"
#include "base/SafeWrite.h"

namespace gd {

InstanceLock::InstanceLock(const QString& folder) : path_(QDir(folder).filePath(QStringLiteral("gaveldesk.lock"))) {}

bool InstanceLock::acquire() {
    if (held_) return true;
    // Opened, never replaced: the lock belongs to the file, and a new file would be a second lock.
    QFile file(path_);
    if (!file.open(QIODevice::ReadWrite)) return true;  // no lock possible here: nothing to hand over to
    mark_ = std::make_unique<WritingMark>(path_, false);
    if (!mark_->held()) {
        mark_.reset();
        return false;
    }
    // A clean end empties the file: a number in it is a run that was killed or crashed.
    const QByteArray before = file.readAll().trimmed();
    if (!before.isEmpty()) {
        leftBehind_ = QString::fromLatin1(before.split('\n').first());
        // Only a note: a protocol that cannot be written does not keep the window from starting.
        (void)noteInProtocol(QStringLiteral("Ein früherer Programmlauf (Prozess %1) endete, ohne die Sperre %2 "
                                            "aufzuheben; sie ist übernommen.")
                                 .arg(leftBehind_, QDir::toNativeSeparators(path_)));
    }
    file.resize(0);
    file.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    file.flush();
    held_ = true;
    return true;
}

InstanceLock::~InstanceLock() {
    if (!held_) return;
    QFile file(path_);
    if (file.open(QIODevice::ReadWrite)) file.resize(0);
}

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
