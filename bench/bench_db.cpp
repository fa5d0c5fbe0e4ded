// Database budgets: open+close, the list statements over 10,000 auctions,
// one import save.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "BenchFixture.h"

#include "domain/settings/modGlobal.h"
#include "domain/db/AuktionsListe.h"
#include "domain/db/CsvExport.h"
#include "domain/db/Database.h"
#include "domain/db/LoadSave.h"

namespace {

// A copy of the kept file of that many trades, so a benchmark may write into it.
struct Fixture {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bench.mdb"));
    Fixture(int auctions, int contacts) {
        QFile::copy(bench::tradesFile(auctions, contacts), path);
        gd::gsDataSource = path;
        gd::gsStandardUser = QStringLiteral("haendler");
    }
};

void BM_OpenClose(benchmark::State& state) {
    Fixture f(10, 10);
    for (auto _ : state) {
        gd::Database db = gd::Database::open(f.path);
        db.Close();
    }
}
BENCHMARK(BM_OpenClose)->Unit(benchmark::kMillisecond);

void BM_ListAlle(benchmark::State& state) {
    Fixture f(10000, 2000);
    std::size_t rows = 0;
    for (auto _ : state) rows = std::size_t(gd::loadAuktionsListe(f.path, gd::gsStandardUser, gd::ListFilter::Alle).value().size());
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListAlle)->Unit(benchmark::kMillisecond);

void BM_ExportCsv10000(benchmark::State& state) {
    Fixture f(10000, 2000);
    qsizetype bytes = 0;
    for (auto _ : state) bytes = gd::exportCsv(f.path, gd::gsStandardUser, gd::ListFilter::Alle).value().size();
    state.counters["MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_ExportCsv10000)->Unit(benchmark::kMillisecond);

void BM_ImportSave(benchmark::State& state) {
    Fixture f(10000, 2000);
    int n = 0;
    for (auto _ : state) {
        gd::tKunde k;
        k.ebayName = QStringLiteral("neu_%1").arg(n);
        k.Name = QStringLiteral("Neue Kundin");
        gd::tAuktion a;
        a.AuktionsNr = QString::number(5000000 + n++);
        a.EndeDatum = QStringLiteral("04.12.2026 20:15:33");
        a.EmailText = QString(4000, QLatin1Char('m'));
        gd::Transaction tx(f.path);
        if (!gd::funSaveKunde(k, a.AuktionsNr).ok()) state.SkipWithError("contact");
        QString nr = k.KundenNr;
        if (!gd::funSaveAuktionnew(a, nr).ok()) state.SkipWithError("auction");
        tx.commit();
    }
}
BENCHMARK(BM_ImportSave)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
