// Parse one notification; import and store one saved mail file.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/AppPath.h"
#include "domain/settings/modGlobal.h"
#include "domain/db/Database.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"

namespace {

struct Home {
    QTemporaryDir dir;
    Home() {
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"), dir.filePath(QStringLiteral("bin/gaveldesk.ini")));
        QFile cfg(dir.filePath(QStringLiteral("bin/config.ini")));
        cfg.open(QIODevice::WriteOnly);
        cfg.write("[User]\r\nUsername=gavel_haendler\r\n");
        cfg.close();
        qputenv("GAVELDESK_HOME", dir.path().toLocal8Bit());
        gd::Database::create(dir.filePath(QStringLiteral("gaveldesk.mdb")));
        gd::subInitApp();
    }
};

void BM_ParseOneEmail(benchmark::State& state) {
    Home home;
    QString error;
    const QString text =
        gd::normalizeMailText(*gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/sofortkauf_verkauf.txt"), &error));
    for (auto _ : state) {
        gd::ImportRecords r;
        gd::parseMail(r, text);
        if (!r.acceptable) state.SkipWithError("not parsed");
    }
}
BENCHMARK(BM_ParseOneEmail)->Unit(benchmark::kMicrosecond);

void BM_ImportAndStoreOneFile(benchmark::State& state) {
    Home home;
    QString error;
    const QString text = *gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt"), &error);
    const QString file = home.dir.filePath(QStringLiteral("mail.txt"));
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QString t = text;
        t.replace(QStringLiteral("1234567890"), QString::number(9000000 + n++));
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(t.toUtf8());
        f.close();
        state.ResumeTiming();
        if (!gd::importMailFile(file, true).stored) state.SkipWithError("not stored");
    }
}
BENCHMARK(BM_ImportAndStoreOneFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
