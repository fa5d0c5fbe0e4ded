#pragma once
// The previous-instance test: one lock file in the application folder.

#include <QLockFile>
#include <QString>
#include <memory>

namespace gd {

class InstanceLock final {
public:
    explicit InstanceLock(const QString& folder);
    // True when no other running process holds the lock; a lock left by a
    // crashed process is taken over.
    bool acquire();
    bool held() const { return held_; }
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool held_ = false;
};

}  // namespace gd
