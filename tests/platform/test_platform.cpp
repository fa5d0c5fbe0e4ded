#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "platform/Clock.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "platform/ScriptedPlatform.h"

namespace gd {
namespace {

TEST(ScriptedPlatform, QueuedAnswersThenSafeDefaults) {
    ScriptedPlatform p;
    setPlatform(&p);
    p.queueAnswer(Platform::Answer::Yes);
    EXPECT_EQ(platform().msgBox(QStringLiteral("Löschen?"), Platform::Buttons::YesNo, Platform::Icon::Question),
              Platform::Answer::Yes);
    EXPECT_EQ(platform().msgBox(QStringLiteral("Nochmal?"), Platform::Buttons::YesNo), Platform::Answer::No);
    EXPECT_EQ(platform().msgBox(QStringLiteral("Info")), Platform::Answer::Ok);
    EXPECT_EQ(p.messageTexts(), (QStringList{QStringLiteral("Löschen?"), QStringLiteral("Nochmal?"), QStringLiteral("Info")}));
    EXPECT_EQ(p.unansweredQuestions, 1);
    EXPECT_EQ(p.messages[0].icon, Platform::Icon::Question);
    setPlatform(nullptr);
    EXPECT_NE(&platform(), &p);
}

TEST(ScriptedPlatform, ClipboardAndShell) {
    ScriptedPlatform p;
    EXPECT_FALSE(p.clipboardHasText());
    p.clipboardSetText(QStringLiteral("Mail"));
    EXPECT_TRUE(p.clipboardHasText());
    p.clipboardClear();
    EXPECT_EQ(p.clipboardText(), QString());
    p.shellSucceeds = false;
    EXPECT_FALSE(p.shellExecute(QStringLiteral("Open"), QStringLiteral("mailto:a@b.de")));
    ASSERT_EQ(p.shellCalls.size(), 1);
    EXPECT_EQ(p.shellCalls[0].file, QStringLiteral("mailto:a@b.de"));
}

TEST(Clock, InjectedClockDrivesNow) {
    FixedClock c(QDateTime(QDate(2026, 12, 4), QTime(8, 44, 2)));
    setClock(&c);
    EXPECT_EQ(today(), QDate(2026, 12, 4));
    c.advanceSecs(86400);
    EXPECT_EQ(today(), QDate(2026, 12, 5));
    setClock(nullptr);
    EXPECT_LE(qAbs(now().secsTo(QDateTime::currentDateTime())), 2);
}

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
