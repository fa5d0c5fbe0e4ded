// subInitApp on a full settings file and the shipped keyword file.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/AppPath.h"
#include "base/codepage.h"
#include "domain/settings/Crypt.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"

static void BM_subInitApp(benchmark::State& state) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"),
                dir.filePath(QStringLiteral("bin/gaveldesk.ini")));
    qputenv("GAVELDESK_HOME", dir.path().toLocal8Bit());
    const QString ini = gd::configIniPath();
    for (const gd::Setting& s : gd::settingsTable())
        gd::funIni_SetString(ini, QString::fromLatin1(s.section), QString::fromLatin1(s.key),
                             QStringLiteral("Wert für %1 mit Umlauten äöü €").arg(QString::fromLatin1(s.key)), false);
    gd::funIni_SetString(ini, QStringLiteral("Konto"), QStringLiteral("Kennwort"),
                         gd::Crypt(QStringLiteral("geheim123"), gd::kPasswordKey, true), false);
    gd::funIni_SetString(ini, QStringLiteral("Main"), QStringLiteral("Plattform"), QStringLiteral("ebay.at"), false);
    for (auto _ : state) {
        gd::subInitApp();
        benchmark::DoNotOptimize(gd::gRules.verkauf.size());
    }
    if (gd::gRules.verkauf.empty()) state.SkipWithError("keyword file not loaded");
}
BENCHMARK(BM_subInitApp)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
