// The list refresh of 10,000 auctions into the grid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <algorithm>

#include "base/AppPath.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "ui/FlexGrid.h"
#include "ui/ScriptedPlatform.h"
#include "ui/frmMail.h"
#include "ui/frmMain.h"

namespace {

void BM_RefreshListe10000(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    gd::ScriptedPlatform platform;
    gd::setPlatform(&platform);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    gd::Database::create(path);
    gd::gsDataSource = path;
    gd::gsStandardUser = QStringLiteral("haendler");
    {
        gd::Transaction tx(path);
        gd::Database db = gd::Database::open(path);
        for (int c = 0; c < 2000; ++c)
            db.execute(QStringLiteral("insert into Kunden (KundenNr, Name, ebayName, Kunde, Standarduser) values (?, ?, ?, 1, 'haendler')"),
                       {QString::number(c), QStringLiteral("Kunde %1").arg(c), QStringLiteral("mitglied_%1").arg(c)});
        for (int a = 0; a < 10000; ++a)
            db.execute(QStringLiteral("insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, ebayName, EmailText, "
                                      "GruppenID, Standarduser) values (?, ?, ?, ?, ?, ?, ?, 'haendler')"),
                       {QStringLiteral("id%1").arg(a), QString::number(1000000 + a), QStringLiteral("Artikel %1").arg(a),
                        QStringLiteral("2026-11-%1 12:00:00").arg(1 + a % 28, 2, 10, QLatin1Char('0')),
                        QStringLiteral("mitglied_%1").arg(a % 2000), QString(3000, QLatin1Char('e')),
                        a % 7 ? QString() : QStringLiteral("g")});
        tx.commit();
    }
    gd::frmMain w;
    w.Form_Load();
    w.show();
    w.finishStart();
    // The list refreshed as the user does it: a click on "Alle" loads and selects the first row.
    auto* alle = w.findChild<QPushButton*>(QStringLiteral("cmdListe_2"));
    for (auto _ : state) {
        QTest::mouseClick(alle, Qt::LeftButton);
        QApplication::processEvents();
    }
    state.counters["rows"] = w.grid()->Rows() - 1;
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
        if (w.selectedAuktion().AuktionsID != g->TextMatrix(r, 0)) state.SkipWithError("click did not load the row");
    }
    state.counters["click_to_pane_worst_ms"] = double(worst) / 1e6;
    gd::setPlatform(nullptr);
}
BENCHMARK(BM_RefreshListe10000)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenMailForm(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
    for (const QString& f : res.entryList(QDir::Files)) QFile::copy(res.filePath(f), dir.filePath(QStringLiteral("bin/") + f));
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
