// Work at the size a seller's file reaches: 1,000, 10,000 and 100,000 trades, filled the way
// the program fills it (its own import of notification mails, then the older trades closed),
// each measured beside the same work written with the C API. The files are made once and kept
// in the temp folder: the 100,000 take minutes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "BenchFixture.h"
#include "RawImport.h"
#include "base/AppPath.h"
#include "base/SafeWrite.h"
#include "domain/db/Backup.h"
#include "domain/db/Database.h"
#include "domain/db/Schema.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/CsvExport.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

// Files of no database of their own: the scale files are opened by path.
struct Home : bench::Home {
    Home() : bench::Home(false) {}
};

const QString kUser = QStringLiteral("gavel_haendler");

// Mail i of a seller's history: a sale to one of `buyers` (some buy again), a title and an end
// date of its own, the end dates spread over three years before 04.12.2026.
QString mail(const QString& base, qint64 i, qint64 buyer) {
    QString t = base;
    const QDate day = QDate(2026, 12, 4).addDays(-(i % 1095));
    t.replace(QStringLiteral("1234567890"), QString::number(3000000000LL + i));
    t.replace(QStringLiteral("mueller_hans"), QStringLiteral("kaeufer_%1").arg(buyer));
    t.replace(QStringLiteral("hans.mueller@example.de"), QStringLiteral("k%1@example.de").arg(buyer));
    t.replace(QStringLiteral("Hans Müller"), QStringLiteral("Jürgen Kowalski-Nørgaard %1").arg(buyer));
    t.replace(QStringLiteral("Kaffeemühle Zassenhaus Santiago, Buche"),
              QStringLiteral("Schallplatte Nr. %1 in gutem Zustand").arg(i));
    t.replace(
        QStringLiteral("04.12.2026 20:15:33"),
        day.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" 20:%1:33").arg(i % 60, 2, 10, QLatin1Char('0')));
    return t;
}

QString saleMail() { return *gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt")); }

// A file of n trades among n / 3 buyers; all but the last 60 days' trades closed, or, as a
// seller who never ticks "Abgeschlossen" keeps it, every trade still open.
QString tradesFile(int n, bool allOpen = false) {
    const QString path = QDir::temp().filePath(QStringLiteral("gaveldesk-scale-sqlcipher4-v%1-%2%3.mdb")
                                                   .arg(gd::kSchemaVersion)
                                                   .arg(n)
                                                   .arg(allOpen ? QStringLiteral("-offen") : QString()));
    if (QFile::exists(path)) return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    gd::Database::create(part);
    gd::gsDataSource = part;
    gd::gSettings.StandardUser = kUser;
    const QString base = saleMail();
    {
        const gd::Store store = gd::currentStore();
        gd::Transaction batch(store);
        const gd::Store into = store.within(batch);
        const gd::ParserRules rules = gd::rulesInForce();
        for (int i = 0; i < n; ++i)
            if (!gd::importMailText(rules, &into, mail(base, i, i % (n / 3 + 1))).stored)
                qFatal("mail %d not stored", i);
        if (!allOpen)
            batch.database().execute(
                QStringLiteral("update Auktionen set Antwort = 1, Bezahlt = 1, Versendet = 1, Abgeschlossen = 1, "
                               "Status = 'Abgeschlossen' where EndeDatum < '2026-10-05'"));
        batch.commit();
    }
    QFile::rename(part, path);
    return path;
}

// The 1,000 mails of a busy week: 300 from new buyers, the others from known ones.
QStringList weekOfMails(int n) {
    const QString base = saleMail();
    QStringList out;
    for (int i = 0; i < 1000; ++i) out << mail(base, 10000000 + i, i < 300 ? 1000000 + i : (i * 7) % (n / 3 + 1));
    return out;
}

// Ours: what --import does with the mails, in one transaction rolled back afterwards, so each
// run meets the same file.
void importOurs(benchmark::State& state, const QString& path, const QStringList& mails) {
    gd::gsDataSource = path;
    gd::gSettings.StandardUser = kUser;
    const gd::ParserRules rules = gd::rulesInForce();
    for (auto _ : state) {
        const gd::Store store = gd::currentStore();
        gd::Transaction batch(store);
        const gd::Store into = store.within(batch);
        for (const QString& m : mails)
            if (!gd::importMailText(rules, &into, m).stored) state.SkipWithError("not stored");
    }
}

// The yardstick: the same mails stored by the raw importer, into the same file with its indexes
// and the search index its triggers fill.
void importRaw(benchmark::State& state, const QString& path, const QStringList& mails) {
    gd::gSettings.StandardUser = kUser;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size = -65536; SELECT count(*) FROM sqlite_master;", nullptr,
                 nullptr, nullptr);
    {
        bench::RawImporter raw(db, kUser);
        for (auto _ : state) {
            sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            for (const QString& m : mails)
                if (!raw.import(m)) state.SkipWithError("not stored");
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    sqlite3_close(db);
}

void BM_ImportWeek(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0));
    importOurs(state, tradesFile(n), weekOfMails(n));
    state.counters["trades"] = n;
}
BENCHMARK(BM_ImportWeek)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportWeekRaw(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0));
    importRaw(state, tradesFile(n), weekOfMails(n));
    state.counters["trades"] = n;
}
BENCHMARK(BM_ImportWeekRaw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// 300 mails of new buyers into a file whose trades are all still open, against the same into
// an empty file: the import's work must not grow with the open trades of other buyers.
QStringList newBuyers() {
    const QString base = saleMail();
    QStringList out;
    for (int i = 0; i < 300; ++i) out << mail(base, 20000000 + i, 2000000 + i);
    return out;
}

// The file of n trades all open, or for 0 a new empty one in `empty`.
QString openTradesFile(int n, const QTemporaryDir& empty) {
    if (n > 0) return tradesFile(n, true);
    const QString path = empty.filePath(QStringLiteral("leer.mdb"));
    gd::Database::create(path);
    return path;
}

void BM_ImportNewBuyers(benchmark::State& state) {
    Home home;
    QTemporaryDir empty;
    importOurs(state, openTradesFile(int(state.range(0)), empty), newBuyers());
    state.SetLabel(state.range(0) > 0 ? "all open" : "empty file");
}
BENCHMARK(BM_ImportNewBuyers)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportNewBuyersRaw(benchmark::State& state) {
    Home home;
    QTemporaryDir empty;
    importRaw(state, openTradesFile(int(state.range(0)), empty), newBuyers());
    state.SetLabel(state.range(0) > 0 ? "all open" : "empty file");
}
BENCHMARK(BM_ImportNewBuyersRaw)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

const char* const kAll = LIST_COLUMNS
    "from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 1 and Kunden.ebayname = Auktionen.ebayname "
    "and Auktionen.Standarduser = ?1 and Kunden.Standarduser = ?1 order by Auktionen.EndeDatum DESC";
// Every open trade, newest first: the list of a file where nothing was ever closed.
const char* const kOpen = LIST_COLUMNS
    "from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 0 and Kunden.ebayname = Auktionen.ebayname "
    "and Auktionen.Standarduser = ?1 and Kunden.Standarduser = ?1 order by Auktionen.EndeDatum DESC";
const char* const kOverdue = LIST_COLUMNS
    ", (select ifnull(max(Stufe), 0) from Mahnungen where Mahnungen.AuktionsID = Auktionen.AuktionsID), "
    "cast(julianday('2026-12-07') - julianday(substr(Auktionen.EndeDatum, 1, 10)) as integer) "
    "from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 0 and Kunde = 1 and Auktionen.Bezahlt = 0 and "
    "Auktionen.EndeDatum < '2026-11-30 00:00:00' and Kunden.ebayname = Auktionen.ebayname and "
    "Auktionen.Standarduser = ?1 and Kunden.Standarduser = ?1 order by Auktionen.EndeDatum ASC";

// 1k, 10k and 100k trades, the closed list and (bit 24) the overdue one; (bit 25) the open
// list of a file of 100,000 trades none of which was ever closed.
constexpr int kOverdueBit = 1 << 24, kAllOpenBit = 1 << 25;
void listSizes(benchmark::internal::Benchmark* b) {
    for (const int overdue : {0, kOverdueBit})
        for (const int n : {1000, 10000, 100000}) b->Arg(n | overdue);
    b->Arg(100000 | kAllOpenBit);
}
const char* listLabel(int64_t arg) {
    return (arg & kAllOpenBit) ? "all open" : (arg & kOverdueBit) ? "overdue" : "closed";
}

// What --list prints: a tab-separated UTF-8 line per trade, into a buffer emptied as it fills.
void BM_ListPrinted(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0) & 0xFFFFFF);
    const bool overdue = state.range(0) & kOverdueBit, allOpen = state.range(0) & kAllOpenBit;
    const QString path = tradesFile(n, allOpen);
    gd::gSettings.MahnTage = 7;
    qsizetype bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        const gd::Status read = gd::writeListTsv(gd::Store{path, kUser},
                                                 allOpen   ? gd::ListFilter::Alle
                                                 : overdue ? gd::ListFilter::Ueberfaellig
                                                           : gd::ListFilter::Abgeschlossen,
                                                 [&bytes](const QByteArray& lines) {
                                                     bytes += lines.size();
                                                     return true;
                                                 });
        if (!read.ok()) state.SkipWithError("not read");
    }
    state.counters["KB"] = double(bytes) / 1e3;
    state.SetLabel(listLabel(state.range(0)));
}
BENCHMARK(BM_ListPrinted)->Apply(listSizes)->MinTime(2)->Unit(benchmark::kMillisecond);

void BM_ListPrintedRaw(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0) & 0xFFFFFF);
    const bool overdue = state.range(0) & kOverdueBit, allOpen = state.range(0) & kAllOpenBit;
    const QString path = tradesFile(n, allOpen);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size = -65536;", nullptr, nullptr, nullptr);
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, allOpen ? kOpen : overdue ? kOverdue : kAll, -1, &st, nullptr);
        sqlite3_bind_text(st, 1, "gavel_haendler", -1, SQLITE_STATIC);
        QByteArray out;
        rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (const int c : {7, 5, 0, 1, 2, 3, 4, 6}) {
                out.append(reinterpret_cast<const char*>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
                out += c == 6 ? '\n' : '\t';
            }
            if (out.size() > 65536) out.clear();
            ++rows;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    state.counters["rows"] = double(rows);
    state.SetLabel(listLabel(state.range(0)));
}
BENCHMARK(BM_ListPrintedRaw)->Apply(listSizes)->MinTime(2)->Unit(benchmark::kMillisecond);

// --export-csv: every trade with its partner and mail into a file.
void BM_ExportCsv(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0));
    const QString path = tradesFile(n);
    const QString file = home.dir.filePath(QStringLiteral("liste.csv"));
    for (auto _ : state) {
        gd::Status read;
        const gd::Status written = gd::writeFileSafely(file, [&](const gd::ByteSink& sink) {
            return read = gd::exportCsv(gd::Store{path, kUser}, gd::ListFilter::Abgeschlossen, sink);
        });
        if (!read.ok() || !written.ok()) state.SkipWithError("not written");
    }
    state.counters["MB"] = double(QFileInfo(file).size()) / 1e6;
}
BENCHMARK(BM_ExportCsv)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The floor of the export: the same join's rows, every column quoted, written in megabyte pieces.
void BM_ExportCsvRaw(benchmark::State& state) {
    Home home;
    const int n = int(state.range(0));
    const QString path = tradesFile(n);
    const QByteArray file = home.dir.filePath(QStringLiteral("liste-raw.csv")).toUtf8();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; PRAGMA cache_size = -65536;", nullptr, nullptr, nullptr);
    for (auto _ : state) {
        FILE* f = std::fopen(file.constData(), "wb");
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "select Kunden.*, Auktionen.* from Kunden, Auktionen where Auktionen.Abgeschlossen = 1 and "
                           "Kunden.ebayname = Auktionen.ebayname and Auktionen.Standarduser = ?1 and "
                           "Kunden.Standarduser = ?1 order by Auktionen.EndeDatum DESC",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, "gavel_haendler", -1, SQLITE_STATIC);
        QByteArray out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                out += '"';
                for (int i = 0, len = sqlite3_column_bytes(st, c); i < len; ++i) {
                    if (t[i] == '"') out += '"';
                    out += t[i];
                }
                out += "\";";
            }
            out += "\r\n";
            if (out.size() > (1 << 20)) {
                std::fwrite(out.constData(), 1, std::size_t(out.size()), f);
                out.clear();
            }
        }
        std::fwrite(out.constData(), 1, std::size_t(out.size()), f);
        sqlite3_finalize(st);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
    }
    sqlite3_close(db);
}
BENCHMARK(BM_ExportCsvRaw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A backup: the file's pages copied into a new file (ours adds the settings files).
void BM_Backup(benchmark::State& state) {
    Home home;
    const QString path = tradesFile(int(state.range(0)));
    const QString target = home.dir.filePath(QStringLiteral("s.gdsicherung"));
    for (auto _ : state)
        if (!gd::writeBackup(path, home.dir.filePath(QStringLiteral("bin")), target).ok())
            state.SkipWithError("no backup");
}
BENCHMARK(BM_Backup)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BackupRaw(benchmark::State& state) {
    Home home;
    const QString path = tradesFile(int(state.range(0)));
    const QByteArray target = home.dir.filePath(QStringLiteral("raw.mdb")).toUtf8();
    sqlite3* from = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &from, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(from, "PRAGMA key='kaltwind'; PRAGMA cache_size = -1024;", nullptr, nullptr, nullptr);
    for (auto _ : state) {
        QFile::remove(QString::fromUtf8(target));
        sqlite3* to = nullptr;
        sqlite3_open_v2(target.constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(to, "PRAGMA key='kaltwind'; PRAGMA cache_size = -1024;", nullptr, nullptr, nullptr);
        sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
        sqlite3_backup_step(b, -1);
        sqlite3_backup_finish(b);
        sqlite3_close(to);
    }
    sqlite3_close(from);
}
BENCHMARK(BM_BackupRaw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
