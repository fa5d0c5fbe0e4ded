// Database budgets: open+close (a small and a grown file, beside the C API), the list
// statements over 10,000 auctions, one import save, the migration of 100,000 trades.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <thread>

#include "BenchFixture.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/CsvExport.h"
#include "domain/trade/LoadSave.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

// A copy of the kept file of that many trades, so a benchmark may write into it.
struct Fixture {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bench.mdb"));
    Fixture(int auctions, int contacts) {
        QFile::copy(bench::tradesFile(auctions, contacts), path);
        gd::gsDataSource = path;
        gd::gSettings.StandardUser = QStringLiteral("haendler");
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

// Opening is the key's derivation, paid once per process (the window keeps its connections).
// The program's open of a grown file beside the C API's on the same file, in SQLCipher 4's
// format and, copied, in the previous release's (SQLCipher 3's settings).
// Arg 1: the first open (connections are kept per thread: a new thread opens anew); 0: later ones.
void BM_OpenGrown(benchmark::State& state) {
    Fixture f(10000, 2000);
    const auto open = [&] { gd::Database::open(f.path).Close(); };
    for (auto _ : state) {
        if (state.range(0) == 1)
            std::thread(open).join();
        else
            open();
    }
}
BENCHMARK(BM_OpenGrown)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_OpenGrownRaw(benchmark::State& state) {
    Fixture f(10000, 2000);
    const bool v3 = state.range(0) == 3;
    const QByteArray file = (v3 ? f.dir.filePath(QStringLiteral("v3.mdb")) : f.path).toUtf8();
    if (v3) {
        // Written from its own side: the copy keyed in SQLCipher 3's settings, the file attached in 4's.
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const QByteArray script = "PRAGMA key='kaltwind'; PRAGMA cipher_compatibility = 3; ATTACH '" + f.path.toUtf8() +
                                  "' AS v4 KEY 'kaltwind'; SELECT sqlcipher_export('main', 'v4');";
        char* err = nullptr;
        if (sqlite3_exec(db, script.constData(), nullptr, nullptr, &err) != SQLITE_OK) state.SkipWithError(err);
        sqlite3_free(err);
        sqlite3_close(db);
    }
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, v3 ? "PRAGMA key='kaltwind'; PRAGMA cipher_compatibility = 3;" : "PRAGMA key='kaltwind';",
                     nullptr, nullptr, nullptr);
        int tables = 0;
        sqlite3_exec(
            db, "select count(*) from sqlite_master",
            [](void* n, int, char** v, char**) { return *static_cast<int*>(n) = atoi(v[0]), 0; }, &tables, nullptr);
        if (tables == 0) state.SkipWithError(sqlite3_errmsg(db));
        sqlite3_close(db);
    }
}
BENCHMARK(BM_OpenGrownRaw)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_ListAlle(benchmark::State& state) {
    Fixture f(10000, 2000);
    std::size_t rows = 0;
    for (auto _ : state)
        rows = std::size_t(
            gd::loadAuktionsListe(gd::Store{f.path, gd::gSettings.StandardUser}, gd::ListFilter::Alle).value().size());
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListAlle)->Unit(benchmark::kMillisecond);

void BM_ExportCsv10000(benchmark::State& state) {
    Fixture f(10000, 2000);
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = gd::exportCsv(gd::Store{f.path, gd::gSettings.StandardUser}, gd::ListFilter::Alle).value().size();
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
        const gd::Result<QString> nr = gd::funSaveKunde(gd::currentStore(), k, a.AuktionsNr);
        if (!nr.ok()) state.SkipWithError("contact");
        if (!gd::funSaveAuktionnew(gd::currentStore(), a, nr.valueOr(QString())).ok()) state.SkipWithError("auction");
        tx.commit();
    }
}
BENCHMARK(BM_ImportSave)->Unit(benchmark::kMillisecond);

// The first open of a version-1 file of 100,000 trades: the whole check, the copy
// beside it, the new tables. Beside it the same three steps in the C API and a
// plain file copy.
void downgrade(const QString& path) {
    // Everything version 2 added, dropped, as a file of version 1 is.
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind';", nullptr, nullptr, nullptr);
    QStringList drops;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT type, name FROM sqlite_master WHERE type IN ('trigger', 'view') OR name IN "
                       "('Versand', 'Mahnungen', 'Suche', 'Auktionen_Ende')",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        if (type == QLatin1String("table") || type == QLatin1String("view") || type == QLatin1String("trigger") ||
            type == QLatin1String("index"))
            drops << QStringLiteral("DROP %1 IF EXISTS \"%2\";").arg(type.toUpper(), name);
    }
    sqlite3_finalize(st);
    drops << QStringLiteral("PRAGMA user_version = 1;");
    sqlite3_exec(db, drops.join(QLatin1Char(' ')).toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void BM_Migrate100000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(100000, 20000);
        downgrade(f.path);
        state.ResumeTiming();
        gd::Database::open(f.path);
        state.PauseTiming();
        QFile::remove(f.path + QStringLiteral(".v1.bak"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Migrate100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Migrate100000Raw(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(100000, 20000);
        downgrade(f.path);
        state.ResumeTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(f.path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA quick_check;", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr);
        QFile::copy(f.path, f.path + QStringLiteral(".v1.bak"));
        // The index of every trade's texts, folded by lower() only: the least the same work needs.
        sqlite3_exec(db,
                     "CREATE TABLE Versand (AuktionsID TEXT PRIMARY KEY, Versanddienst TEXT, Sendungsnummer TEXT, "
                     "Standarduser TEXT); CREATE TABLE Mahnungen (AuktionsID TEXT, Stufe INTEGER, Datum TEXT, "
                     "Standarduser TEXT); CREATE VIRTUAL TABLE Suche USING fts4(Text, prefix=\"2\"); "
                     "INSERT INTO Suche (docid, Text) SELECT a.rowid, lower(a.AuktionsNr || ' ' || a.Titel || ' ' || "
                     "a.ebayName || ' ' || a.Hinweise || ' ' || ifnull((SELECT k.Name || ' ' || k.Email FROM Kunden k "
                     "WHERE k.ebayName = a.ebayName AND k.Standarduser = a.Standarduser), '') || ' ' || a.EmailText) "
                     "FROM Auktionen a; PRAGMA user_version = 2; COMMIT;",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        state.PauseTiming();
        QFile::remove(f.path + QStringLiteral(".v1.bak"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Migrate100000Raw)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
