#pragma once
// The previous-instance test: one lock file in the application folder.

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace gd {

class InstanceLock final {
public:
    explicit InstanceLock(const QString& folder);
    // True when no other running process holds the lock; a lock left by a
    // crashed process is taken over.
    bool acquire();
    bool held() const { return held_; }
    QString path() const { return path_; }

    // The holder listens; a second start asks it to come to the front.
    void listen(std::function<void()> onRaise);
    bool askRunningToRaise() const;

    ~InstanceLock();

private:
    QString serverName() const;
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    bool held_ = false;
};

}  // namespace gd
