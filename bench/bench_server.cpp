// The list of 100,000 trades and the search, read from a PostgreSQL server, beside the server's own
// client (psql) running the very statements the program sent, on the same server. Each iteration is
// ten reads: psql connects once per iteration, the program keeps its connection.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchFixture.h"
#include "domain/db/Move.h"
#include "domain/db/PgEngine.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/LoadSave.h"

namespace {

constexpr int kReads = 10;

struct Server {
    QTemporaryDir state;
    QString port, url;
    bool up = false;
    Server() {
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                              {QStringLiteral(GD_PGSERVER_SCRIPT), QStringLiteral("start"), state.path()}) != 0)
            return;
        QFile p(state.filePath(QStringLiteral("port")));
        if (!p.open(QIODevice::ReadOnly)) return;
        port = QString::fromUtf8(p.readAll()).trimmed();
        psqlCommand(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE bench"));
        url = QStringLiteral("postgresql://gaveldesk@127.0.0.1:%1/bench?sslmode=disable").arg(port);
        QElapsedTimer t;
        t.start();
        const auto moved = gd::copyDatabase(bench::tradesFile(100000, 20000), url);
        std::fprintf(stderr, "100,000 trades moved to the server in %.1f s%s\n", double(t.elapsed()) / 1000,
                     moved.ok() ? "" : qPrintable(QStringLiteral(": ") + moved.error().message()));
        up = moved.ok();
        psqlCommand(QStringLiteral("bench"), QStringLiteral("VACUUM ANALYZE"));
    }
    ~Server() {
        QProcess::execute(QStringLiteral("/usr/bin/python3"),
                          {QStringLiteral(GD_PGSERVER_SCRIPT), QStringLiteral("stop"), state.path()});
    }
    QStringList psqlArgs(const QString& db) const {
        return {QStringLiteral("-X"), QStringLiteral("-q"),        QStringLiteral("-A"), QStringLiteral("-t"),
                QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), port,
                QStringLiteral("-U"), QStringLiteral("gaveldesk"), QStringLiteral("-d"), db,
                QStringLiteral("-o"), QStringLiteral("/dev/null")};
    }
    void psqlCommand(const QString& db, const QString& sql) const {
        QProcess::execute(QStringLiteral("psql"), psqlArgs(db) << QStringLiteral("-c") << sql);
    }
};

Server& server() {
    static Server s;
    return s;
}

// The statement as psql gets it: every value written in as a quoted text, which the server types
// from its place as it types the program's values.
QString withValues(const gd::PgStatement& st) {
    QString sql = st.text;
    for (qsizetype i = st.params.size(); i >= 1; --i) {
        QString v = st.params[i - 1].toString();
        v.replace(QLatin1Char('\''), QStringLiteral("''"));
        sql.replace(QLatin1Char('$') + QString::number(i), QLatin1Char('\'') + v + QLatin1Char('\''));
    }
    return sql;
}

void runPsql(benchmark::State& state, const gd::PgStatement& st) {
    QTemporaryFile script;
    script.open();
    for (int i = 0; i < kReads; ++i) script.write((withValues(st) + QStringLiteral(";\n")).toUtf8());
    script.flush();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGSSLMODE"), QStringLiteral("disable"));
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("psql"), server().psqlArgs(QStringLiteral("bench"))
                                            << QStringLiteral("-f") << script.fileName());
        p.waitForFinished(-1);
        if (p.exitCode() != 0) state.SkipWithError(p.readAllStandardError().constData());
    }
}

const QString kUser = QStringLiteral("haendler");
// A keystroke that finds a handful, as a seller looks for one trade.
const QString kSearch = QStringLiteral("nummer 4711");

void BM_ServerList100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    qint64 rows = 0;
    for (auto _ : state)
        for (int i = 0; i < kReads; ++i)
            rows += gd::loadAuktionsListe(gd::Store{server().url, kUser}, gd::ListFilter::Alle).value().size();
    state.counters["rows"] = double(rows) / double(state.iterations() * kReads);
}
BENCHMARK(BM_ServerList100k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PsqlList100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    (void)gd::loadAuktionsListe(gd::Store{server().url, kUser}, gd::ListFilter::Alle);
    runPsql(state, gd::pgLastStatement());
}
BENCHMARK(BM_PsqlList100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The screenful the window shows before the rest arrives: read on the window's thread.
constexpr int kFirstRows = 200;

void BM_ServerFirstScreen100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    qint64 rows = 0;
    for (auto _ : state)
        for (int i = 0; i < kReads; ++i)
            rows +=
                gd::loadAuktionsListe(gd::Store{server().url, kUser}, gd::ListFilter::Alle, kFirstRows).value().size();
    state.counters["rows"] = double(rows) / double(state.iterations() * kReads);
}
BENCHMARK(BM_ServerFirstScreen100k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PsqlFirstScreen100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    (void)gd::loadAuktionsListe(gd::Store{server().url, kUser}, gd::ListFilter::Alle, kFirstRows);
    runPsql(state, gd::pgLastStatement());
}
BENCHMARK(BM_PsqlFirstScreen100k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ServerSearch100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    qint64 rows = 0;
    for (auto _ : state)
        for (int i = 0; i < kReads; ++i)
            rows += gd::searchAuktionsListe(gd::Store{server().url, kUser}, kSearch).value().size();
    state.counters["rows"] = double(rows) / double(state.iterations() * kReads);
}
BENCHMARK(BM_ServerSearch100k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PsqlSearch100k(benchmark::State& state) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    (void)gd::searchAuktionsListe(gd::Store{server().url, kUser}, kSearch);
    runPsql(state, gd::pgLastStatement());
}
BENCHMARK(BM_PsqlSearch100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The server as the seats reach it: across a network of GD_BENCH_DELAY_MS each way when that is
// set (a relay holds the data), else directly.
QString seatsUrl() {
    static QProcess relay;
    static QString url;
    if (!url.isEmpty()) return url;
    url = server().url;
    if (!qEnvironmentVariableIsSet("GD_BENCH_DELAY_MS")) return url;
    relay.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(GD_DELAY_PROXY), server().port, qEnvironmentVariable("GD_BENCH_DELAY_MS")});
    if (!relay.waitForReadyRead(10000)) return url;
    url.replace(QLatin1Char(':') + server().port + QLatin1Char('/'),
                QLatin1Char(':') + QString::fromUtf8(relay.readLine()).trimmed() + QLatin1Char('/'));
    std::fprintf(stderr, "Seats reach the server with %s ms each way\n",
                 qPrintable(qEnvironmentVariable("GD_BENCH_DELAY_MS")));
    return url;
}

// Seats saving at once, each its own trades (read, changed, saved, as the pane does), for
// GD_BENCH_SEAT_SECONDS (10 unless set): saves per second of all seats together. "team" holds the
// team's lock around each save, as every write did before saves named their rows.
void seatsSaving(benchmark::State& state, bool team) {
    if (!server().up) return state.SkipWithError("kein PostgreSQL-Server");
    const QString url = seatsUrl();
    const int seats = int(state.range(0));
    const int seconds =
        qEnvironmentVariableIsSet("GD_BENCH_SEAT_SECONDS") ? qEnvironmentVariableIntValue("GD_BENCH_SEAT_SECONDS") : 10;
    std::atomic<qint64> saves{0}, refused{0};
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        for (int seat = 0; seat < seats; ++seat)
            threads.emplace_back([&, seat] {
                const gd::Store store{url + QStringLiteral("&application_name=platz%1").arg(seat), kUser};
                for (int i = 0; !stop; ++i) {
                    const QString id = QStringLiteral("id%1").arg(seat + seats * (i % 5000));
                    const auto loaded = gd::funLoadAuktion(store, id);
                    if (!loaded.ok() || !loaded.value()) {
                        ++refused;
                        continue;
                    }
                    gd::tAuktion a = *loaded.value();
                    a.Bemerkungen = QStringLiteral("Platz %1, Änderung %2").arg(seat).arg(i);
                    const auto save = [&](const gd::Store& in) { return gd::funSaveAuktion(in, a, a.KundenNr).ok(); };
                    bool ok;
                    if (team) {
                        gd::Transaction tx(store);
                        ok = save(store.within(tx));
                        if (ok) tx.commit();
                    } else {
                        ok = save(store);
                    }
                    ++(ok ? saves : refused);
                }
            });
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        stop = true;
        for (std::thread& t : threads) t.join();
    }
    state.counters["saves_per_s"] = double(saves) / double(seconds * state.iterations());
    state.counters["refused"] = double(refused);
}
void BM_SeatsSaving(benchmark::State& state) { seatsSaving(state, false); }
BENCHMARK(BM_SeatsSaving)->Arg(1)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
void BM_SeatsSavingTeamLock(benchmark::State& state) { seatsSaving(state, true); }
BENCHMARK(BM_SeatsSavingTeamLock)->Arg(1)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
