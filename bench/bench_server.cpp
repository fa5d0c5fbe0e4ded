// The list of 100,000 trades and the search, read from a PostgreSQL server, beside the server's own
// client (psql) running the very statements the program sent, on the same server. Each iteration is
// ten reads: psql connects once per iteration, the program keeps its connection.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>

#include "BenchFixture.h"
#include "domain/db/Move.h"
#include "domain/db/PgEngine.h"
#include "domain/trade/AuktionsListe.h"

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

}  // namespace

BENCHMARK_MAIN();
