// Issued documents at a busy seller's size (5,000 invoices of about 30 KB in the chain and the
// archive, among 20,000 trades): issuing one more, and the whole check at start, each beside the
// tightest code that does the same work with the cipher library's C API and plain files.
#include <benchmark/benchmark.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include "BenchFixture.h"
#include "base/SafeWrite.h"
#include "domain/db/Documents.h"
#include "domain/invoice/IssuedInvoices.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

constexpr int kTrades = 20000;
const QDateTime kAt(QDate(2026, 12, 8), QTime(10, 0));

// A page of a real invoice's size that differs per invoice.
QByteArray page(const gd::Invoice& inv) {
    QByteArray out = "%PDF-1.7 " + inv.Nummer.toUtf8() + '\n';
    QRandomGenerator gen(quint32(qHash(inv.Nummer)));
    while (out.size() < 30000) out += QByteArray::number(gen.generate64(), 36);
    return out;
}

// The sales of the trades file that can take an invoice: one per buyer group.
QStringList sales(const QString& path) {
    QStringList out;
    gd::Database db = gd::Database::open(path);
    out = db.allRows(QStringLiteral("select a.AuktionsID from Auktionen a join Kunden k on k.ebayName = a.ebayName and "
                                    "k.Standarduser = a.Standarduser where k.Kunde <> 0 and a.GruppenID = '' order by "
                                    "a.rowid"),
                     {}, [](const gd::DbRow& r) { return r.text(0); });
    return out;
}

// The trades file with `documents` invoices issued, chained and archived; made once.
QString documentsFile(int documents) {
    const QString base = bench::tradesFile(kTrades, kTrades / 5);
    const QString path = base + QStringLiteral(".belege-%1.mdb").arg(documents);
    if (QFile::exists(path)) return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QDir(gd::documentArchive(part)).removeRecursively();
    QFile::copy(base, part);
    const QStringList ids = sales(part);
    {
        gd::Transaction tx(part);
        gd::Database db = tx.database();
        for (int i = 0; i < documents; ++i) {
            const QString nr = gd::invoiceNumber(QStringLiteral("RE-{JJJJ}-{NNNNN}"), 2026, i + 1);
            gd::Invoice inv;
            inv.Nummer = nr;
            const QByteArray pdf = page(inv);
            db.execute(QStringLiteral("insert into Rechnungen (Nummer, Jahr, Lfd, Art, Artikel, Ausgestellt, Kaeufer, "
                                      "Cent, Daten, Pdf, Sha256, Standarduser) values (?, 2026, ?, 'Rechnung', ?, ?, "
                                      "'mitglied_1', 1990, '{}', ?, ?, 'haendler')"),
                       {nr, i + 1, QStringLiteral(" %1 ").arg(ids.value(i)), gd::toDbDate(kAt.addSecs(i)), pdf,
                        QString::fromLatin1(QCryptographicHash::hash(pdf, QCryptographicHash::Sha256).toHex())});
            db.execute(QStringLiteral("insert into RechnungenXml (Nummer, Xml) values (?, ?)"),
                       {nr, QByteArray(QByteArray(4000, 'x') + nr.toUtf8())});
            gd::chainDocument(db, nr, kAt.addSecs(i));
        }
        tx.commit();
    }
    const gd::Result<gd::DocumentCheck> archived = gd::checkDocuments(part);  // makes the archive
    if (!archived.ok() || !archived.value().ok()) std::abort();
    QFile::rename(part, path);
    QDir().rename(gd::documentArchive(part), gd::documentArchive(path));
    return path;
}

// A copy to issue into: issuing changes the file and its archive.
struct Scratch {
    QString file;
    explicit Scratch(const QString& from) : file(from + QStringLiteral(".scratch.mdb")) {
        QFile::remove(file);
        QDir(gd::documentArchive(file)).removeRecursively();
        QFile::copy(from, file);
        QDir().mkpath(gd::documentArchive(file));
        const QString to = gd::documentArchive(file), archive = gd::documentArchive(from);
        for (const QString& f : QDir(archive).entryList(QDir::Files)) QFile::copy(archive + u'/' + f, to + u'/' + f);
    }
    ~Scratch() {
        QFile::remove(file);
        QDir(gd::documentArchive(file)).removeRecursively();
    }
};

void BM_IssueOne(benchmark::State& state) {
    const QString path = documentsFile(int(state.range(0)));
    const Scratch scratch(path);
    const QStringList ids = sales(scratch.file);
    const gd::Store store{scratch.file, QStringLiteral("haendler")};
    int next = int(state.range(0));
    for (auto _ : state) {
        const gd::Result<gd::IssuedInvoice> r = gd::issueInvoice(
            store, gd::invoiceProfile(gd::currentSettings()), ids.value(next++), QString(), kAt,
            [](const gd::Invoice& inv, const QByteArray&) { return gd::Result<QByteArray>(page(inv)); });
        if (!r.ok() || !r.value().Hinweis.isEmpty()) state.SkipWithError("nicht ausgestellt");
    }
}
BENCHMARK(BM_IssueOne)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(40);

// The same work at its tightest: the next number read and a row with its page kept in one write
// transaction, then the page as a file of its own flushed to the disk, and a line appended.
void BM_IssueOneRaw(benchmark::State& state) {
    const QString path = documentsFile(int(state.range(0)));
    const Scratch scratch(path);
    sqlite3* db = nullptr;
    sqlite3_open_v2(scratch.file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind'; CREATE TABLE Kopie AS SELECT * FROM Rechnungen WHERE 0;", nullptr, nullptr,
                 nullptr);
    const QString archive = gd::documentArchive(scratch.file);
    int n = 0;
    for (auto _ : state) {
        gd::Invoice inv;
        inv.Nummer = QStringLiteral("RAW-%1").arg(++n);
        const QByteArray pdf = page(inv), nr = inv.Nummer.toUtf8();
        sqlite3_exec(db, "BEGIN IMMEDIATE; SELECT max(Lfd) FROM Rechnungen WHERE Jahr = 2026;", nullptr, nullptr,
                     nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(
            db, "INSERT INTO Kopie (Nummer, Jahr, Lfd, Ausgestellt, Pdf, Sha256) VALUES (?, 2026, ?, '', ?, ?)", -1,
            &st, nullptr);
        const QByteArray sha = QCryptographicHash::hash(pdf, QCryptographicHash::Sha256).toHex();
        sqlite3_bind_text(st, 1, nr.constData(), int(nr.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, n);
        sqlite3_bind_blob(st, 3, pdf.constData(), int(pdf.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, sha.constData(), int(sha.size()), SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        (void)gd::writeFileSafely(archive + QStringLiteral("/raw-%1.pdf").arg(n), pdf);
        (void)gd::appendFileDurably(archive + QStringLiteral("/raw.log"), nr + ' ' + sha + '\n');
    }
    sqlite3_close(db);
}
BENCHMARK(BM_IssueOneRaw)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_CheckAll(benchmark::State& state) {
    const QString path = documentsFile(int(state.range(0)));
    for (auto _ : state) {
        const gd::Result<gd::DocumentCheck> c = gd::checkDocuments(path);
        if (!c.ok() || !c.value().ok()) state.SkipWithError("Abweichungen");
    }
}
BENCHMARK(BM_CheckAll)->Arg(5000)->Unit(benchmark::kMillisecond);

// The tightest equivalent: every stored page and XML hashed as the rows come, then every file of
// the archive read and hashed.
void BM_CheckAllRaw(benchmark::State& state) {
    const QString path = documentsFile(int(state.range(0)));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind';", nullptr, nullptr, nullptr);
    const QString archive = gd::documentArchive(path);
    for (auto _ : state) {
        QByteArray all;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(
            db,
            "SELECT r.Pdf, x.Xml, r.Daten FROM Belegkette k LEFT JOIN Rechnungen r ON r.Nummer = k.Nummer "
            "LEFT JOIN RechnungenXml x ON x.Nummer = k.Nummer ORDER BY k.Pos",
            -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < 3; ++i)
                all += QCryptographicHash::hash(
                    QByteArray::fromRawData(static_cast<const char*>(sqlite3_column_blob(st, i)),
                                            sqlite3_column_bytes(st, i)),
                    QCryptographicHash::Sha256);
        sqlite3_finalize(st);
        for (const QString& f : QDir(archive).entryList(QDir::Files)) {
            QFile file(archive + u'/' + f);
            file.open(QIODevice::ReadOnly);
            all += QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
        }
        benchmark::DoNotOptimize(all);
    }
    sqlite3_close(db);
}
BENCHMARK(BM_CheckAllRaw)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
