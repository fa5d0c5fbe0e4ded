// Parse one notification; import and store one saved mail file; a batch of
// 1,000 files beside the same work written with the C API.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchFixture.h"
#include "base/AppPath.h"
#include "domain/db/Database.h"
#include "domain/import/BatchImport.h"
#include "domain/import/Html.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/modGlobal.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <vector>

namespace {

using bench::Home;

void BM_ParseOneEmail(benchmark::State& state) {
    Home home;
    const QString text =
        gd::normalizeMailText(*gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/sofortkauf_verkauf.txt")));
    for (auto _ : state) {
        gd::ImportRecords r;
        gd::parseMail(r, text);
        if (!r.acceptable) state.SkipWithError("not parsed");
    }
}
BENCHMARK(BM_ParseOneEmail)->Unit(benchmark::kMicrosecond);

// A notification as platforms send it today: a style block, a layout of nested
// tables, entities; about 200 KB.
QString htmlNotification() {
    QString html = QStringLiteral("<html><head><style>") +
                   QStringLiteral(".x{font-family:Arial,sans-serif;color:#333;padding:0 4px}\n").repeated(300) +
                   QStringLiteral("</style></head><body><table width=\"100%\"><tr><td><table class=\"x\">");
    const QString row = QStringLiteral(
        "<tr><td class=\"x\" style=\"font-weight:bold\">Artikelnummer:</td><td class=\"x\">1234567890</td></tr>\n"
        "<tr><td class=\"x\">Verkaufspreis:</td><td class=\"x\">EUR&nbsp;24,50</td></tr>\n"
        "<tr><td class=\"x\">Name:</td><td class=\"x\">Hans M&uuml;ller &amp; S&ouml;hne</td></tr>\n"
        "<tr><td colspan=\"2\"><p>Bitte setzen Sie sich innerhalb von drei Tagen mit dem K&auml;ufer in "
        "Verbindung.<br>Mit freundlichen Gr&uuml;&szlig;en</p></td></tr>\n");
    while (html.size() < 200 * 1024) html += row;
    return html + QStringLiteral("</table></td></tr></table></body></html>");
}

void BM_HtmlToText200KB(benchmark::State& state) {
    const QString html = htmlNotification();
    for (auto _ : state) benchmark::DoNotOptimize(gd::htmlToText(html));
    state.SetBytesProcessed(qint64(state.iterations()) * html.size() * 2);
}
BENCHMARK(BM_HtmlToText200KB)->Unit(benchmark::kMillisecond);

// The floor: one pass that only drops what stands between "<" and ">".
void BM_HtmlRawTagStrip200KB(benchmark::State& state) {
    const QString html = htmlNotification();
    for (auto _ : state) {
        QString out(html.size(), Qt::Uninitialized);
        QChar* w = out.data();
        bool inTag = false;
        for (const QChar c : html) {
            if (c == u'<')
                inTag = true;
            else if (c == u'>')
                inTag = false;
            else if (!inTag)
                *w++ = c;
        }
        out.truncate(w - out.data());
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * html.size() * 2);
}
BENCHMARK(BM_HtmlRawTagStrip200KB)->Unit(benchmark::kMillisecond);

// A hostile mail of nothing but line breaks after a real notification: the time per
// break stays the same from 1 M to 8 M breaks (linear), as the complexity line shows.
void BM_ParseManyLineBreaks(benchmark::State& state) {
    Home home;
    const QString mail = *gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/sofortkauf_verkauf.txt")) +
                         QString(qsizetype(state.range(0)), QLatin1Char('\n'));
    for (auto _ : state) {
        gd::ImportRecords r;
        gd::parseMail(r, gd::normalizeMailText(mail));
        benchmark::DoNotOptimize(r.acceptable);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseManyLineBreaks)
    ->RangeMultiplier(2)
    ->Range(1 << 20, 8 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_ImportAndStoreOneFile(benchmark::State& state) {
    Home home;
    const QString text = *gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt"));
    const QString file = home.dir.filePath(QStringLiteral("mail.txt"));
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QString t = text;
        t.replace(QStringLiteral("1234567890"), QString::number(9000000 + n++));
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(t.toUtf8());
        f.close();
        state.ResumeTiming();
        if (!gd::importMailFile(file, true).stored) state.SkipWithError("not stored");
    }
}
BENCHMARK(BM_ImportAndStoreOneFile)->Unit(benchmark::kMillisecond);

// 1,000 saved sale notifications: of one repeat buyer, or of 1,000 buyers.
struct Mails {
    QTemporaryDir dir;
    QStringList files;
    explicit Mails(bool oneBuyer) {
        const QString text = *gd::readMailFile(QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt"));
        for (int i = 0; i < 1000; ++i) {
            QString t = text;
            t.replace(QStringLiteral("1234567890"), QString::number(5000000 + i));
            if (!oneBuyer) t.replace(QStringLiteral("mueller_hans"), QStringLiteral("kaeufer_%1").arg(i));
            files << dir.filePath(QStringLiteral("mail%1.txt").arg(i));
            QFile f(files.last());
            f.open(QIODevice::WriteOnly);
            f.write(t.toUtf8());
        }
    }
};

void freshDatabase(benchmark::State& state) {
    state.PauseTiming();
    QFile::remove(gd::gsDataSource);
    gd::Database::create(gd::gsDataSource);
    state.ResumeTiming();
}

// What "gaveldesk --import" does with the files: one transaction, a savepoint each.
void BM_ImportBatch(benchmark::State& state) {
    Home home;
    Mails mails(state.range(0) == 1);
    for (auto _ : state) {
        freshDatabase(state);
        const gd::Store store = gd::currentStore();
        gd::Transaction batch(store);
        const gd::Store into = store.within(batch);
        for (const QString& file : mails.files) {
            const gd::Result<QString> text = gd::readMailFile(file);
            if (!text.ok() || !gd::importMailText(&into, text.value()).stored) state.SkipWithError("not stored");
        }
        batch.commit();
    }
    state.SetLabel(state.range(0) == 1 ? "one buyer" : "1000 buyers");
}
BENCHMARK(BM_ImportBatch)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond);

// The yardstick: the same files read and parsed alike, then the checks and rows
// an import needs, written with the C API on one connection with statements
// prepared once.
void BM_ImportBatchRaw(benchmark::State& state) {
    Home home;
    Mails mails(state.range(0) == 1);
    const char* const sql[] = {
        "SELECT 1 FROM Auktionen WHERE AuktionsNr = ? AND Standarduser = ? LIMIT 1",
        "SELECT 1 FROM Auktionen WHERE ebayName = ? AND Standarduser = ? AND Antwort = 0 AND Bezahlt = 0 LIMIT 1",
        "SELECT KundenNr FROM Kunden WHERE ebayName = ? AND Standarduser = ?",
        "UPDATE Kunden SET Name = ?, Strasse = ?, Ort = ?, Land = ?, Email = ?, Kunde = 1 WHERE KundenNr = ? AND "
        "Standarduser = ?",
        "INSERT INTO Kunden (KundenNr, Name, Strasse, Ort, Land, Email, ebayName, Kunde, Standarduser) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?)",
        "INSERT INTO Auktionen (AuktionsID, KundenNr, AuktionsNr, Titel, EndeDatum, Preis, Menge, Betrag, "
        "Versandkosten, "
        "Hinweise, Versandinfos, Zahlungshinweise, EmailText, ebayName, Standarduser) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        "SAVEPOINT f",
        "RELEASE f"};
    for (auto _ : state) {
        freshDatabase(state);
        sqlite3* db = nullptr;
        state.PauseTiming();
        sqlite3_open_v2(gd::gsDataSource.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA key='kaltwind'; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        std::vector<sqlite3_stmt*> st(std::size(sql));
        for (std::size_t i = 0; i < st.size(); ++i) sqlite3_prepare_v2(db, sql[i], -1, &st[i], nullptr);
        const QByteArray user = gd::gsStandardUser.toUtf8();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        int n = 0;
        for (const QString& file : mails.files) {
            gd::ImportRecords r;
            gd::parseMail(r, gd::normalizeMailText(*gd::readMailFile(file)));
            const gd::tKunde& k = r.oKunde;
            const gd::tAuktion& a = r.oAuktion;
            std::vector<QByteArray> keep;  // the bound texts live until the step
            const auto bind = [&](sqlite3_stmt* s, std::initializer_list<QString> values) {
                int i = 0;
                for (const QString& v : values) {
                    keep.push_back(v.toUtf8());
                    sqlite3_bind_text(s, ++i, keep.back().constData(), int(keep.back().size()), SQLITE_STATIC);
                }
            };
            const auto run = [&](sqlite3_stmt* s) {
                const int rc = sqlite3_step(s);
                sqlite3_reset(s);
                return rc;
            };
            run(st[6]);
            bind(st[0], {a.AuktionsNr, gd::gsStandardUser});
            run(st[0]);
            bind(st[1], {k.ebayName, gd::gsStandardUser});
            run(st[1]);
            bind(st[2], {k.ebayName, gd::gsStandardUser});
            QString nr;
            if (sqlite3_step(st[2]) == SQLITE_ROW)
                nr = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st[2], 0)));
            sqlite3_reset(st[2]);
            if (!nr.isEmpty()) {
                bind(st[3], {k.Name, k.Strasse, k.Ort, k.Land, k.Email, nr, gd::gsStandardUser});
                run(st[3]);
            } else {
                nr = QStringLiteral("20261207") + a.AuktionsNr;
                bind(st[4], {nr, k.Name, k.Strasse, k.Ort, k.Land, k.Email, k.ebayName, gd::gsStandardUser});
                run(st[4]);
            }
            bind(st[5], {QStringLiteral("raw%1").arg(n++), nr, a.AuktionsNr, a.Titel,
                         QStringLiteral("2026-12-04 20:15:33"), a.Preis, a.Menge, a.Betrag, a.Versandkosten, a.Hinweise,
                         a.Versandinfos, a.Zahlungshinweise, a.EmailText, k.ebayName, gd::gsStandardUser});
            if (run(st[5]) != SQLITE_DONE) state.SkipWithError("not stored");
            run(st[7]);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        for (sqlite3_stmt* s : st) sqlite3_finalize(s);
        sqlite3_close(db);
    }
    state.SetLabel(state.range(0) == 1 ? "one buyer" : "1000 buyers");
}
BENCHMARK(BM_ImportBatchRaw)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
