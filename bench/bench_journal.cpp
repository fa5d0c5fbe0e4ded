// The list with the status bar's sums and the overdue list at 100,000 trades with their journal,
// each beside the same work with the cipher library's C API: in a file where every trade is still
// open and unpaid (2 % part paid), and in one where most are paid.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QHash>

#include "BenchFixture.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "domain/books/Returns.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

const char* const kUser = "haendler";

// The trades of tradesFile with a claim for every sale, a payment for `paidPercent` of them and a
// part payment for one in fifty of the rest.
QString journalFile(int trades, int paidPercent) {
    const QString base = bench::tradesFile(trades, trades / 5);
    const QString path = base + QStringLiteral(".journal-%1.mdb").arg(paidPercent);
    if (QFile::exists(path)) return path;
    QFile::remove(path + QStringLiteral(".part"));
    QFile::copy(base, path + QStringLiteral(".part"));
    {
        gd::Transaction tx(path + QStringLiteral(".part"));
        gd::Database db = tx.database();
        const QString sales = QStringLiteral(
            "from Auktionen a join Kunden k on k.ebayName = a.ebayName and k.Standarduser = "
            "a.Standarduser where k.Kunde <> 0");
        db.execute(QStringLiteral("insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Quelle) select "
                                  "a.Standarduser, a.AuktionsID, substr(a.EndeDatum, 1, 10), cast(replace(a.Betrag, "
                                  "',', '') as integer), 'Forderung', 'Mail' ") +
                   sales);
        db.execute(QStringLiteral("insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle) "
                                  "select a.Standarduser, a.AuktionsID, substr(a.EndeDatum, 1, 10), -cast(replace("
                                  "a.Betrag, ',', '') as integer), 'Zahlung', 'Bank', 'Kontoauszug' ") +
                       sales + QStringLiteral(" and a.rowid % 100 < ?"),
                   {paidPercent});
        db.execute(QStringLiteral("update Auktionen set Bezahlt = 1, BezahltDatum = EndeDatum where rowid % 100 < ? "
                                  "and AuktionsID in (select AuktionsID from Buchungen where Art = 'Zahlung')"),
                   {paidPercent});
        db.execute(QStringLiteral("insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle) "
                                  "select a.Standarduser, a.AuktionsID, substr(a.EndeDatum, 1, 10), -500, 'Zahlung', "
                                  "'Bank', 'Kontoauszug' ") +
                       sales + QStringLiteral(" and a.rowid % 100 >= ? and a.rowid % 50 = 7"),
                   {paidPercent});
        tx.commit();
    }
    QFile::rename(path + QStringLiteral(".part"), path);
    return path;
}

void BM_ListWithSums(benchmark::State& state) {
    const QString path = journalFile(int(state.range(0)), int(state.range(1)));
    gd::gSettings.MahnTage = 7;
    gd::ListSummary sum;
    for (auto _ : state) {
        qsizetype rows = 0;
        const gd::Status read = gd::forEachListRow(
            gd::Store{path, QString::fromLatin1(kUser)}, gd::ListFilter::Alle, [&rows](gd::ListRow&) { ++rows; }, -1,
            &sum);
        if (!read.ok()) state.SkipWithError("not read");
        benchmark::DoNotOptimize(rows);
    }
    state.counters["open"] = sum.Offen;
    state.counters["unpaid"] = sum.Unbezahlt;
    state.counters["sum_eur"] = double(sum.UnbezahltSumme) / 100;
}
BENCHMARK(BM_ListWithSums)->Args({100000, 0})->Args({100000, 70})->Unit(benchmark::kMillisecond);

// The same list without the status bar's sums: what the journal's part of them costs.
void BM_ListWithoutSums(benchmark::State& state) {
    const QString path = journalFile(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        qsizetype rows = 0;
        const gd::Status read = gd::forEachListRow(gd::Store{path, QString::fromLatin1(kUser)}, gd::ListFilter::Alle,
                                                   [&rows](gd::ListRow&) { ++rows; });
        if (!read.ok()) state.SkipWithError("not read");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListWithoutSums)->Args({100000, 0})->Args({100000, 70})->Unit(benchmark::kMillisecond);

// The returns the window reads beside the status bar's sums: 50 open in the file where every trade is open.
QString returnsFile(int trades) {
    const QString base = journalFile(trades, 0);
    const QString path = base + QStringLiteral(".returns.mdb");
    if (QFile::exists(path)) return path;
    QFile::remove(path + QStringLiteral(".part"));
    QFile::copy(base, path + QStringLiteral(".part"));
    {
        gd::Transaction tx(path + QStringLiteral(".part"));
        tx.database().execute(
            QStringLiteral("insert into Rueckgaben (Standarduser, AuktionsID, Art, Eingang, Erfasst) select "
                           "Standarduser, AuktionsID, 'Widerruf', '2026-12-01T09:00:00', '2026-12-01T09:00:00' from "
                           "Auktionen where rowid % 2000 = 3 limit 50"));
        tx.commit();
    }
    QFile::rename(path + QStringLiteral(".part"), path);
    return path;
}

void BM_ListWithSumsAndReturns(benchmark::State& state) {
    const QString path = returnsFile(int(state.range(0)));
    gd::gSettings.MahnTage = 7;
    const gd::Store store{path, QString::fromLatin1(kUser)};
    for (auto _ : state) {
        gd::ListSummary sum;
        qsizetype rows = 0;
        const gd::Status read = gd::forEachListRow(
            store, gd::ListFilter::Alle, [&rows](gd::ListRow&) { ++rows; }, -1, &sum);
        if (!read.ok()) state.SkipWithError("not read");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListWithSumsAndReturns)->Arg(100000)->Unit(benchmark::kMillisecond);

// What the window adds for them: the open returns, read once per refresh.
void BM_OpenReturns(benchmark::State& state) {
    const gd::Store store{returnsFile(int(state.range(0))), QString::fromLatin1(kUser)};
    qsizetype n = 0;
    for (auto _ : state) {
        const gd::Result<QList<gd::OpenReturn>> open = gd::openReturns(store);
        if (!open.ok()) state.SkipWithError("not read");
        n = open.ok() ? open.value().size() : 0;
    }
    state.counters["returns"] = double(n);
}
BENCHMARK(BM_OpenReturns)->Arg(100000)->Unit(benchmark::kMillisecond);

QString text(sqlite3_stmt* st, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// The tightest equivalent: the list's rows into the same row type, the money moved in one hash,
// the sums added while the rows come.
void listWithSumsRaw(benchmark::State& state, bool withJournal) {
    const QString path = journalFile(int(state.range(0)), int(state.range(1)));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size=-65536;", nullptr, nullptr, nullptr);
    const QByteArray before = gd::toDbDate(gd::now().addDays(-7)).toUtf8();
    qint64 unpaidSum = 0;
    for (auto _ : state) {
        QHash<QString, qint64> moved;
        if (withJournal) {
            sqlite3_stmt* m = nullptr;
            sqlite3_prepare_v2(db,
                               "select AuktionsID, sum(Cent) from Buchungen where Standarduser = ?1 and Art in "
                               "('Zahlung', 'Erstattung', 'Rueckbuchung', 'Storno', 'Abschreibung') group by "
                               "AuktionsID",
                               -1, &m, nullptr);
            sqlite3_bind_text(m, 1, kUser, -1, SQLITE_STATIC);
            while (sqlite3_step(m) == SQLITE_ROW) moved.insert(text(m, 0), sqlite3_column_int64(m, 1));
            sqlite3_finalize(m);
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           LIST_COLUMNS
                           ", Kunden.Kunde from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 0 and "
                           "Kunden.ebayname = Auktionen.ebayname and Auktionen.Standarduser = ?1 and "
                           "Kunden.Standarduser = ?1 order by Auktionen.EndeDatum DESC",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, kUser, -1, SQLITE_STATIC);
        QList<gd::ListRow> rows;
        unpaidSum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            rows.append(gd::ListRow{text(st, 0), text(st, 1), text(st, 2), text(st, 3), text(st, 4), text(st, 5),
                                    text(st, 6), text(st, 7), text(st, 8)});
            const int marks = sqlite3_column_int(st, 9);
            if (sqlite3_column_int(st, 10) != 0 && (marks & 4) == 0) {
                const qint64 amount = gd::centsOr0(rows.back().Betrag) + moved.value(rows.back().AuktionsID);
                unpaidSum += amount;
                if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), before.constData()) < 0)
                    benchmark::DoNotOptimize(amount);
            }
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_close(db);
    state.counters["sum_eur"] = double(unpaidSum) / 100;
}
void BM_ListWithSumsRaw(benchmark::State& state) { listWithSumsRaw(state, true); }
BENCHMARK(BM_ListWithSumsRaw)->Args({100000, 0})->Args({100000, 70})->Unit(benchmark::kMillisecond);
// What the list cost before the journal: the same rows, no money read besides.
void BM_ListWithoutJournalRaw(benchmark::State& state) { listWithSumsRaw(state, false); }
BENCHMARK(BM_ListWithoutJournalRaw)->Args({100000, 0})->Args({100000, 70})->Unit(benchmark::kMillisecond);

void BM_Overdue(benchmark::State& state) {
    const QString path = journalFile(int(state.range(0)), int(state.range(1)));
    gd::gSettings.MahnTage = 7;
    qsizetype rows = 0;
    for (auto _ : state) {
        rows = gd::loadAuktionsListe(gd::Store{path, QString::fromLatin1(kUser)}, gd::ListFilter::Ueberfaellig)
                   .value()
                   .size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_Overdue)->Args({100000, 0})->Args({100000, 70})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
