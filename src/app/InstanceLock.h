#pragma once
// The previous-instance test: a lock on gaveldesk.lock in the application folder that the
// operating system holds for the running window and drops when it ends, however it ends. A
// process number in the file, reused by a later process, cannot fool it.

#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace gd {

class WritingMark;

class InstanceLock final {
public:
    explicit InstanceLock(const QString& folder);
    // True unless another running window holds the lock. A lock a killed or crashed run
    // left behind is taken over and noted in the protocol.
    bool acquire();
    bool held() const { return held_; }
    QString path() const { return path_; }
    // What the file said when a run had ended without giving the lock back; empty otherwise.
    QString leftBehind() const { return leftBehind_; }

    // The holder listens; a second start asks it to come to the front.
    void listen(std::function<void()> onRaise);
    bool askRunningToRaise() const;

    ~InstanceLock();

private:
    QString serverName() const;
    QString path_, leftBehind_;
    std::unique_ptr<WritingMark> mark_;
    std::unique_ptr<QLocalServer> server_;
    bool held_ = false;
};

}  // namespace gd
