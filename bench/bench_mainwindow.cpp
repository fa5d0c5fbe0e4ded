// The list refresh of 10,000 and 100,000 trades into the grid, and the mail form.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchFixture.h"
#include "base/AppPath.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "ui/FlexGrid.h"
#include "ui/ScriptedPlatform.h"
#include "ui/frmMail.h"
#include "ui/frmMain.h"

namespace {

// The list refreshed as the user does it: a click on "Alle" shows the first rows
// and selects the first; the rest arrives from the loading thread. Blocked is the
// longest the window could not react: the click itself, or one event afterwards.
void BM_Refresh(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    gd::ScriptedPlatform platform;
    gd::setPlatform(&platform);
    const int n = int(state.range(0));
    const QString path = bench::tradesFile(n, n / 5);
    gd::gsDataSource = path;
    gd::gSettings.StandardUser = QStringLiteral("haendler");
    gd::frmMain w;
    w.Form_Load();
    w.show();
    w.finishStart();
    auto* alle = w.findChild<QPushButton*>(QStringLiteral("cmdListe_2"));
    bool complete = false;
    QObject::connect(&w, &gd::frmMain::listComplete, &w, [&] { complete = !w.listLoading(); });
    // The window's first paint belongs to the start, as on the desktop.
    while (w.listLoading()) {
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    QCoreApplication::processEvents();
    QElapsedTimer total, step;
    qint64 blocked = 0, worstBlocked = 0, sumTotal = 0;
    for (auto _ : state) {
        complete = false;
        total.start();
        QTest::mouseClick(alle, Qt::LeftButton);
        blocked = total.nsecsElapsed();
        qint64 clickNs = blocked, eventNs = 0;
        while (!complete) {
            step.start();
            QCoreApplication::processEvents();  // whatever is due, without waiting for more
            blocked = std::max(blocked, step.nsecsElapsed());
            eventNs = std::max(eventNs, step.nsecsElapsed());
            QThread::usleep(200);
        }
        // The paint that follows, in every case.
        step.start();
        QCoreApplication::processEvents();
        blocked = std::max(blocked, step.nsecsElapsed());
        eventNs = std::max(eventNs, step.nsecsElapsed());
        if (qEnvironmentVariableIsSet("BENCH_DETAIL"))
            fprintf(stderr, "click %.1f event %.1f\n", clickNs / 1e6, eventNs / 1e6);
        sumTotal += total.nsecsElapsed();
        worstBlocked = std::max(worstBlocked, blocked);
        state.SetIterationTime(double(blocked) / 1e9);
    }
    // The floor: one paint of the whole window, with nothing new to show.
    std::vector<qint64> paints;
    for (int i = 0; i < 9; ++i) {
        step.start();
        w.repaint();
        paints.push_back(step.nsecsElapsed());
    }
    std::nth_element(paints.begin(), paints.begin() + 4, paints.end());
    state.counters["paint_floor_ms"] = double(paints[4]) / 1e6;
    state.counters["rows"] = w.grid()->Rows() - 1;
    state.counters["blocked_worst_ms"] = double(worstBlocked) / 1e6;
    state.counters["to_whole_list_ms"] = double(sumTotal) / 1e6 / double(state.iterations());
    // A click on a row until the pane is filled.
    int r = 1;
    QElapsedTimer t;
    qint64 worst = 0;
    gd::FlexGrid* g = w.grid();
    for (int i = 0; i < 50; ++i, r = (r * 7919) % (g->Rows() - 1) + 1) {
        g->scrollTo(g->model()->index(r - 1, 2));
        const QPoint at = g->visualRect(g->model()->index(r - 1, 2)).center();
        t.start();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
        worst = std::max(worst, t.nsecsElapsed());
        if (qEnvironmentVariableIsSet("BENCH_DETAIL")) fprintf(stderr, "pane %d %.1f\n", r, t.nsecsElapsed() / 1e6);
        if (w.selectedAuktion().AuktionsID != g->TextMatrix(r, 0)) state.SkipWithError("click did not load the row");
    }
    state.counters["click_to_pane_worst_ms"] = double(worst) / 1e6;
    gd::setPlatform(nullptr);
}
BENCHMARK(BM_Refresh)
    ->Arg(150)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

void BM_OpenMailForm(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
    for (const QString& f : res.entryList(QDir::Files))
        QFile::copy(res.filePath(f), dir.filePath(QStringLiteral("bin/") + f));
    qputenv("GAVELDESK_HOME", dir.path().toLocal8Bit());
    gd::subInitApp();
    gd::MailInputs in;
    in.sName = QStringLiteral("Hans Müller");
    in.sEmail = QStringLiteral("hans@example.de");
    in.sArtikelnummer = QStringLiteral("1234567890");
    in.sBezeichnung = QStringLiteral("Kaffeemühle");
    for (auto _ : state) {
        gd::frmMail f(in);
        f.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_OpenMailForm)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
