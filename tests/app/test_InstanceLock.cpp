#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "app/InstanceLock.h"

namespace gd {
namespace {

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir dir;
    {
        InstanceLock first(dir.path());
        ASSERT_TRUE(first.acquire());
        // a lock in another process: QLockFile refuses a second lock in the same
        // process only through its own object, so use a child process
        QProcess child;
        child.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("test -s '%1'").arg(first.path())});
        child.waitForFinished();
        EXPECT_EQ(child.exitCode(), 0);  // the lock file names its owner
        InstanceLock second(dir.path());
        EXPECT_FALSE(second.acquire());
    }
    InstanceLock third(dir.path());
    EXPECT_TRUE(third.acquire());
}

}  // namespace
}  // namespace gd
