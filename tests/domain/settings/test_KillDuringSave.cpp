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

using namespace Qt::StringLiterals;

// The texts the options save writes, each with its own value.
QString Settings::*const kTexts[] = {&Settings::Username,  &Settings::Kontoinhaber, &Settings::Kontonummer,
                                     &Settings::BLZ,       &Settings::Bank,         &Settings::SMTPServer,
                                     &Settings::Absender,  &Settings::Konto,        &Settings::Kennwort,
                                     &Settings::HTTPLink1, &Settings::HTTPLink2,    &Settings::VersicherterVersand};

Settings valuesOf(const QString& tag) {
    Settings s;
    int n = 0;
    for (QString Settings::*m : kTexts) s.*m = tag + QString::number(++n);
    return s;
}

QStringList fields(const Settings& s) {
    QStringList out;
    for (QString Settings::*m : kTexts) out << s.*m;
    return out;
}

// The child: saves old and new values in turn until it is killed.
TEST(KillDuringSave, DISABLED_SaveForEver) {
    const QString ini = qEnvironmentVariable("GD_KILL_INI");
    ASSERT_FALSE(ini.isEmpty());
    const Settings both[2] = {valuesOf(u"alt"_s), valuesOf(u"neu"_s)};
    for (int i = 0;; ++i) {
        ASSERT_TRUE(writeSettings(both[i % 2], ini).ok());
        if (i == 0) std::printf("READY\n"), std::fflush(stdout);
    }
}

TEST(KillDuringSave, AllOldOrAllNewAfterAHundredKills) {
    test::TestApp app(false);
    const QString ini = app.file(u"bin/config.ini"_s);
    const QStringList oldValues = fields(valuesOf(u"alt"_s)), newValues = fields(valuesOf(u"neu"_s));
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 100; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"GD_KILL_INI"_s, ini);
        child.setProcessEnvironment(env);
        child.start(QFile::symLinkTarget(u"/proc/self/exe"_s),
                    {u"--gtest_filter=KillDuringSave.DISABLED_SaveForEver"_s, u"--gtest_also_run_disabled_tests"_s});
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
