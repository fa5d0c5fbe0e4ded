#pragma once
// Runs the program's command line in the test's application folder.

#include <gtest/gtest.h>

#include <QProcess>

#include "support/TestApp.h"

namespace gd {

struct Outcome {
    int code;
    QString out, err;
};

inline Outcome run(const QString& home, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GAVELDESK_HOME"), home);

    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GD_EXECUTABLE), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline Outcome run(const test::TestApp& app, const QStringList& args) { return run(app.path(), args); }

}  // namespace gd
