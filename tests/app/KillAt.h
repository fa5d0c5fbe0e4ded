#pragma once
// A kill placed at a chosen system call of the program: strace injects SIGKILL on entering it.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

#include "RunCli.h"

namespace gd::test {

inline const QString kStrace = QStringLiteral("/usr/bin/strace");
inline const QString kRenames = QStringLiteral("rename,renameat,renameat2");

// Without a tracer that may trace, no kill can be placed at a chosen call.
inline bool canTrace() {
    if (!QFileInfo(kStrace).isExecutable()) return false;
    QProcess p;
    p.start(kStrace,
            {QStringLiteral("-qq"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("/bin/true")});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The program killed on entering its n-th call of `calls` (strace counts each system call
// on its own); false when it got to its end.
inline bool killedAt(const TestApp& app, const QStringList& args, const QStringList& vars, const QString& calls,
                     int n) {
    QProcessEnvironment env = environment(app.path(), vars);
    // LeakSanitizer stops the threads with ptrace, which a traced process cannot.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               asan.isEmpty() ? QStringLiteral("detect_leaks=0") : asan + QStringLiteral(":detect_leaks=0"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kStrace,
            QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                        QStringLiteral("-e"), QStringLiteral("trace=") + calls, QStringLiteral("-e"),
                        QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(calls).arg(n), QStringLiteral("--"),
                        QString::fromUtf8(GD_EXECUTABLE)} +
                args);
    EXPECT_TRUE(p.waitForFinished(60000));
    if (p.exitStatus() == QProcess::CrashExit) return true;
    EXPECT_EQ(p.exitCode(), 0) << calls.toStdString() << " #" << n << ": " << p.readAllStandardError().toStdString();
    return false;
}

}  // namespace gd::test
