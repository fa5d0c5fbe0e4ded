// The list and the click at 10,000 and 100,000 trades, each beside the same
// work done with the cipher library's C API on a kept connection.
#include <benchmark/benchmark.h>

#include <QList>
#include <QString>
#include <vector>

#include "BenchFixture.h"
#include "domain/db/SearchFold.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/LoadSave.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

const char* const kListSql = LIST_COLUMNS
    "from Auktionen cross join Kunden "
    "where Auktionen.Abgeschlossen = 0 and Kunden.ebayname = Auktionen.ebayname and Auktionen.Standarduser = ? "
    "and Kunden.Standarduser = ? order by Auktionen.EndeDatum DESC";

struct Raw {
    sqlite3* db = nullptr;
    explicit Raw(const QString& path) {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size=-65536; select count(*) from sqlite_master;",
                     nullptr, nullptr, nullptr);
    }
    ~Raw() { sqlite3_close(db); }
};

QString text(sqlite3_stmt* st, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// "yyyy-MM-dd HH:mm:ss" to "dd.MM.yyyy HH:mm:ss", straight from the bytes.
QString dateText(sqlite3_stmt* st, int i) {
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    const char out[19] = {t[8], t[9],  '.',   t[5], t[6],  '.',   t[0], t[1],  t[2], t[3],
                          ' ',  t[11], t[12], ':',  t[14], t[15], ':',  t[17], t[18]};
    return QString::fromLatin1(out, 19);
}

// The rows of a list statement, as the window needs them.
QList<gd::ListRow> rawRows(sqlite3_stmt* st) {
    QList<gd::ListRow> out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        out.append(gd::ListRow{text(st, 0), text(st, 1), text(st, 2), dateText(st, 3), text(st, 4), text(st, 5),
                               text(st, 6), text(st, 7), text(st, 8)});
        out.back().Meilensteine = quint8(sqlite3_column_int(st, 9));
    }
    return out;
}

void setUser(const QString& path) {
    gd::gsDataSource = path;
    gd::gSettings.StandardUser = QStringLiteral("haendler");
}

void BM_List(benchmark::State& state) {
    const QString path = bench::tradesFile(int(state.range(0)), int(state.range(0)) / 5);
    setUser(path);
    std::size_t rows = 0;
    for (auto _ : state)
        rows = std::size_t(
            gd::loadAuktionsListe(gd::Store{path, gd::gSettings.StandardUser}, gd::ListFilter::Alle).value().size());
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_List)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ListRaw(benchmark::State& state) {
    const QString path = bench::tradesFile(int(state.range(0)), int(state.range(0)) / 5);
    Raw raw(path);
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db, kListSql, -1, &st, nullptr);
        sqlite3_bind_text(st, 1, "haendler", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, "haendler", -1, SQLITE_STATIC);
        const QList<gd::ListRow> out = rawRows(st);
        sqlite3_finalize(st);
        rows = std::size_t(out.size());
        benchmark::DoNotOptimize(out);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListRaw)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A click: the trade and its partner, every column the pane shows.
void BM_Click(benchmark::State& state) {
    const int n = int(state.range(0));
    const QString path = bench::tradesFile(n, n / 5);
    setUser(path);
    int i = 0;
    for (auto _ : state) {
        const QString id = QStringLiteral("id%1").arg((i++ * 7919) % n);
        const auto a = gd::funLoadAuktion(gd::currentStore(), id);
        if (!a.ok() || !a.value() || !gd::funLoadKunde(gd::currentStore(), a.value()->ebayName).valueOr(std::nullopt))
            state.SkipWithError("not found");
    }
}
BENCHMARK(BM_Click)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_ClickRaw(benchmark::State& state) {
    const int n = int(state.range(0));
    Raw raw(bench::tradesFile(n, n / 5));
    sqlite3_stmt* auction = nullptr;
    sqlite3_stmt* partner = nullptr;
    sqlite3_prepare_v2(raw.db, "select * from Auktionen where AuktionsID = ? and Standarduser = ?", -1, &auction,
                       nullptr);
    sqlite3_prepare_v2(raw.db, "select * from Kunden where ebayname = ? and Standarduser = ?", -1, &partner, nullptr);
    int i = 0;
    for (auto _ : state) {
        const QByteArray id = QStringLiteral("id%1").arg((i++ * 7919) % n).toUtf8();
        sqlite3_bind_text(auction, 1, id.constData(), int(id.size()), SQLITE_STATIC);
        sqlite3_bind_text(auction, 2, "haendler", -1, SQLITE_STATIC);
        std::vector<QString> values;
        QByteArray name;
        if (sqlite3_step(auction) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(auction); ++c) values.push_back(text(auction, c));
            name = values[17].toUtf8();  // ebayName
        }
        sqlite3_reset(auction);
        sqlite3_bind_text(partner, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(partner, 2, "haendler", -1, SQLITE_STATIC);
        if (sqlite3_step(partner) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(partner); ++c) values.push_back(text(partner, c));
        else
            state.SkipWithError("not found");
        sqlite3_reset(partner);
        benchmark::DoNotOptimize(values);
    }
    sqlite3_finalize(auction);
    sqlite3_finalize(partner);
}
BENCHMARK(BM_ClickRaw)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A keystroke in the search field: every trade containing the words typed.
const char* const kSearches[] = {"1099999", "müller 1234", "artikel 99", "kunde"};

void BM_Search(benchmark::State& state) {
    const QString path = bench::tradesFile(100000, 20000);
    setUser(path);
    const QString typed = QString::fromUtf8(kSearches[state.range(0)]);
    std::size_t rows = 0;
    for (auto _ : state)
        rows = std::size_t(gd::searchAuktionsListe(gd::Store{path, gd::gSettings.StandardUser}, typed).value().size());
    state.SetLabel(kSearches[state.range(0)]);
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_Search)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// What a keystroke waits for: the first screenful (the rest follows on the loading thread).
void BM_SearchFirstScreen(benchmark::State& state) {
    const QString path = bench::tradesFile(100000, 20000);
    setUser(path);
    const QString typed = QString::fromUtf8(kSearches[state.range(0)]);
    std::size_t rows = 0;
    for (auto _ : state)
        rows = std::size_t(
            gd::searchAuktionsListe(gd::Store{path, gd::gSettings.StandardUser}, typed, 200).value().size());
    state.SetLabel(kSearches[state.range(0)]);
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_SearchFirstScreen)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_SearchRaw(benchmark::State& state) {
    Raw raw(bench::tradesFile(100000, 20000));
    const QByteArray query = gd::searchQuery(QString::fromUtf8(kSearches[state.range(0)])).toUtf8();
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db,
                           LIST_COLUMNS
                           "from Suche cross join Auktionen cross join Kunden where Suche match ? and "
                           "Auktionen.rowid = Suche.docid and Kunden.ebayname = Auktionen.ebayname and "
                           "Auktionen.Standarduser = 'haendler' and Kunden.Standarduser = 'haendler' "
                           "order by Auktionen.EndeDatum DESC",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, query.constData(), int(query.size()), SQLITE_STATIC);
        const QList<gd::ListRow> out = rawRows(st);
        sqlite3_finalize(st);
        rows = std::size_t(out.size());
    }
    state.SetLabel(kSearches[state.range(0)]);
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_SearchRaw)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The floor of any search: the full-text index's matches alone, nothing read from the trades.
void BM_SearchMatchRaw(benchmark::State& state) {
    Raw raw(bench::tradesFile(100000, 20000));
    const QByteArray query = gd::searchQuery(QString::fromUtf8(kSearches[state.range(0)])).toUtf8();
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db, "select docid from Suche where Suche match ?", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, query.constData(), int(query.size()), SQLITE_STATIC);
        rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++rows;
        sqlite3_finalize(st);
    }
    state.SetLabel(kSearches[state.range(0)]);
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_SearchMatchRaw)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
