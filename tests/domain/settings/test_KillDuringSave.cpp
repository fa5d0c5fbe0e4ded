// The options save killed at random points: the file holds all old or all new values.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>

#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

Settings valuesOf(const QString& tag) {
    Settings s;
    s.Username = tag + QStringLiteral("_name");
    s.Kontoinhaber = tag + QStringLiteral(" Inhaber");
    s.Kontonummer = tag + QStringLiteral("-123");
    s.BLZ = tag + QStringLiteral("-370");
    s.Bank = tag + QStringLiteral(" Bank");
    s.SMTPServer = tag + QStringLiteral(".example.de");
    s.Absender = tag + QStringLiteral("@example.de");
    s.Konto = tag + QStringLiteral("-konto");
    s.Kennwort = tag + QStringLiteral("-geheim");
    s.HTTPLink1 = tag + QStringLiteral("-link1");
    s.HTTPLink2 = tag + QStringLiteral("-link2");
    s.VersicherterVersand = tag + QStringLiteral("-6,90");
    return s;
}

QStringList fields(const Settings& s) {
    return {s.Username, s.Kontoinhaber, s.Kontonummer, s.BLZ,       s.Bank,      s.SMTPServer,
            s.Absender, s.Konto,        s.Kennwort,    s.HTTPLink1, s.HTTPLink2, s.VersicherterVersand};
}

// The child: saves old and new values in turn until it is killed.
TEST(KillDuringSave, DISABLED_SaveForEver) {
    const QString ini = qEnvironmentVariable("GD_KILL_INI");
    ASSERT_FALSE(ini.isEmpty());
    const Settings both[2] = {valuesOf(QStringLiteral("alt")), valuesOf(QStringLiteral("neu"))};
    for (int i = 0;; ++i) {
        ASSERT_TRUE(writeSettings(both[i % 2], ini).ok());
        if (i == 0) std::printf("READY\n"), std::fflush(stdout);
    }
}

TEST(KillDuringSave, AllOldOrAllNewAfterAHundredKills) {
    test::TestApp app(false);
    const QString ini = app.file(QStringLiteral("bin/config.ini"));
    const QStringList oldValues = fields(valuesOf(QStringLiteral("alt"))),
                      newValues = fields(valuesOf(QStringLiteral("neu")));
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 100; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("GD_KILL_INI"), ini);
        child.setProcessEnvironment(env);
        child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                    {QStringLiteral("--gtest_filter=KillDuringSave.DISABLED_SaveForEver"),
                     QStringLiteral("--gtest_also_run_disabled_tests")});
        // The child's first lines are the test runner's own: only "READY" says a first save is done.
        QByteArray said;
        while (!said.contains("READY") && child.waitForReadyRead(20000)) said += child.readAllStandardOutput();
        ASSERT_TRUE(said.contains("READY")) << said.toStdString();
        QThread::usleep(QRandomGenerator::global()->bounded(20000u));  // somewhere inside some save
        child.kill();
        child.waitForFinished(5000);
        const QStringList now = fields(readSettings(ini));
        if (now == oldValues)
            ++sawOld;
        else if (now == newValues)
            ++sawNew;
        else
            FAIL() << "round " << round << ": mixed settings " << now.join(QLatin1Char('|')).toStdString();
    }
    std::printf("after 100 kills: %d times all old, %d times all new\n", sawOld, sawNew);
}

}  // namespace
}  // namespace gd
