// A statement of 1,000 credits against 10,000 and 60,000 open sales: read, load and match,
// beside the same lookups done with the cipher library's C API and standard containers.
#include <benchmark/benchmark.h>

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchFixture.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Statement.h"
#include "domain/settings/modGlobal.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

// Nine in ten trades open, two in three partners buyers: about 10,000 open sales in the
// smaller file, 60,000 in the file of 100,000 trades.
QString file(std::int64_t trades) {
    return trades == 100000 ? bench::tradesFile(100000, 20000) : bench::tradesFile(16667, 3000);
}

// 600 credits naming an item number with its amount, 200 a buyer's name with the
// amount, 200 that fit nothing; every third open sale paid once.
QByteArray camt() {
    QByteArray x = "<?xml version=\"1.0\"?><Document><BkToCstmrStmt><Stmt>";
    for (int i = 0; i < 1000; ++i) {
        const int a = 15 * i + 1;  // an open sale of a buyer (see the fixture's rules)
        QString zweck, name = QStringLiteral("Zahler %1").arg(i);
        QString amount = QStringLiteral("%1.90").arg(5 + a % 200);
        if (i % 5 < 3)
            zweck = QStringLiteral("Artikel %1").arg(1000000 + a);
        else if (i % 5 == 3)
            name = QStringLiteral("Kunde Müller %1").arg(a % 3000);
        else
            amount = QStringLiteral("%1.13").arg(1000 + i);
        x += QStringLiteral(
                 "<Ntry><Amt Ccy=\"EUR\">%1</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts>BOOK</Sts><BookgDt><Dt>2026-12-05</Dt>"
                 "</BookgDt><NtryDtls><TxDtls><RltdPties><Dbtr><Nm>%2</Nm></Dbtr></RltdPties><RmtInf><Ustrd>%3"
                 "</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>")
                 .arg(amount, name, zweck)
                 .toUtf8();
    }
    return x + "</Stmt></BkToCstmrStmt></Document>";
}

void setUp(std::int64_t trades) {
    gd::gsDataSource = file(trades);
    gd::gSettings.StandardUser = QStringLiteral("haendler");
}

void BM_CamtRead(benchmark::State& state) {
    const QByteArray x = camt();
    for (auto _ : state) benchmark::DoNotOptimize(gd::parseCamt053(x).value().Gutschriften.size());
}
BENCHMARK(BM_CamtRead)->Unit(benchmark::kMillisecond);

// The least any reader does: every element and text of the file, nothing kept.
void BM_CamtReadRaw(benchmark::State& state) {
    const QByteArray x = camt();
    for (auto _ : state) {
        QXmlStreamReader r(x);
        qsizetype n = 0;
        while (!r.atEnd()) n += r.readNext() == QXmlStreamReader::Characters ? r.text().size() : 1;
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_CamtReadRaw)->Unit(benchmark::kMillisecond);

// Long enough that the file's first read from disk is one run among many, as for the raw reader.
void BM_Match(benchmark::State& state) {
    setUp(state.range(0));
    const QList<gd::Credit> credits = gd::parseCamt053(camt()).value().Gutschriften;
    int sure = 0, probable = 0, known = 0, sales = 0;
    for (auto _ : state) {
        const QList<gd::OpenSale> open = gd::loadSalesForMatching(gd::currentStore()).value();
        const QList<gd::Proposal> p = gd::matchCredits(credits, open);
        sales = int(open.size());
        sure = int(
            std::count_if(p.begin(), p.end(), [](const gd::Proposal& x) { return x.Einstufung == gd::Grade::Sicher; }));
        probable = int(std::count_if(p.begin(), p.end(),
                                     [](const gd::Proposal& x) { return x.Einstufung == gd::Grade::Wahrscheinlich; }));
        known = int(std::count_if(p.begin(), p.end(),
                                  [](const gd::Proposal& x) { return x.Einstufung == gd::Grade::Erfasst; }));
    }
    state.counters["sales"] = sales;
    state.counters["sure"] = sure;
    state.counters["probable"] = probable;
    state.counters["known"] = known;
}
BENCHMARK(BM_Match)->Arg(16667)->Arg(100000)->MinTime(4)->Unit(benchmark::kMillisecond);

void BM_MatchOnly(benchmark::State& state) {
    setUp(state.range(0));
    const QList<gd::Credit> credits = gd::parseCamt053(camt()).value().Gutschriften;
    const QList<gd::OpenSale> open = gd::loadSalesForMatching(gd::currentStore()).value();
    for (auto _ : state) benchmark::DoNotOptimize(gd::matchCredits(credits, open).size());
}
BENCHMARK(BM_MatchOnly)->Arg(16667)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same rows read with the C API, an item number and an amount looked up in hash maps.
void BM_MatchRaw(benchmark::State& state) {
    const QList<gd::Credit> credits = gd::parseCamt053(camt()).value().Gutschriften;
    sqlite3* db = nullptr;
    sqlite3_open_v2(file(state.range(0)).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size=-65536; select count(*) from sqlite_master;", nullptr,
                 nullptr, nullptr);
    struct Row {
        std::string id, nr, name;
        long long cents;
    };
    const QRegularExpression digits(QStringLiteral("[0-9]+"));
    int found = 0, sales = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(
            db,
            "select a.AuktionsID, a.AuktionsNr, k.Name, a.Betrag, a.GruppenID, a.Bezahlt from Auktionen a join "
            "Kunden k on k.ebayName = a.ebayName and k.Standarduser = a.Standarduser where a.Standarduser = "
            "'haendler' and a.Abgeschlossen = 0 and k.Kunde <> 0 order by a.EndeDatum, a.rowid",
            -1, &st, nullptr);
        std::vector<Row> rows;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto t = [st](int i) {
                return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            };
            // "123,90": whole euros, a comma, cents.
            char* end = nullptr;
            const char* betrag = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
            const long long euros = std::strtoll(betrag, &end, 10);
            const long long cents = *end == ',' ? std::strtoll(end + 1, nullptr, 10) : 0;
            rows.push_back({t(0), t(1), t(2), euros * 100 + cents});
        }
        sqlite3_finalize(st);
        std::unordered_map<std::string, std::size_t> byNr;
        std::unordered_multimap<long long, std::size_t> byAmount;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            byNr.emplace(rows[i].nr, i);
            byAmount.emplace(rows[i].cents, i);
        }
        found = 0;
        for (const gd::Credit& c : credits) {
            bool hit = false;
            for (auto it = digits.globalMatch(c.Zweck); it.hasNext();) {
                const auto f = byNr.find(it.next().captured(0).toStdString());
                hit = hit || (f != byNr.end() && rows[f->second].cents == c.Cent);
            }
            const std::string payer = c.Name.toStdString();
            const auto range = byAmount.equal_range(c.Cent);
            for (auto it = range.first; it != range.second && !hit; ++it) hit = rows[it->second].name == payer;
            found += hit;
        }
        sales = int(rows.size());
    }
    sqlite3_close(db);
    state.counters["sales"] = sales;
    state.counters["sure"] = found;
}
BENCHMARK(BM_MatchRaw)->Arg(16667)->Arg(100000)->MinTime(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
