// Parse one notification; import and store one saved mail file; a batch of
// 1,000 files beside the same work written with the C API.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchFixture.h"
#include "RawImport.h"
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
    const gd::ParserRules rules = gd::rulesInForce();
    for (auto _ : state) {
        gd::ImportRecords r;
        gd::parseMail(rules, r, text);
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
    const gd::ParserRules rules = gd::rulesInForce();
    for (auto _ : state) {
        gd::ImportRecords r;
        gd::parseMail(rules, r, gd::normalizeMailText(mail));
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
    const gd::Store store = gd::currentStore();
    int n = 0;
    const gd::ParserRules rules = gd::rulesInForce();
    for (auto _ : state) {
        state.PauseTiming();
        QString t = text;
        t.replace(QStringLiteral("1234567890"), QString::number(9000000 + n++));
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(t.toUtf8());
        f.close();
        state.ResumeTiming();
        if (!gd::importMailFile(rules, file, &store).stored) state.SkipWithError("not stored");
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
    const gd::ParserRules rules = gd::rulesInForce();
    for (auto _ : state) {
        freshDatabase(state);
        const gd::Store store = gd::currentStore();
        gd::Transaction batch(store);
        const gd::Store into = store.within(batch);
        for (const QString& file : mails.files) {
            const gd::Result<QString> text = gd::readMailFile(file);
            if (!text.ok() || !gd::importMailText(rules, &into, text.value()).stored) state.SkipWithError("not stored");
        }
        batch.commit();
    }
    state.SetLabel(state.range(0) == 1 ? "one buyer" : "1000 buyers");
}
BENCHMARK(BM_ImportBatch)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond);

// The yardstick: the same files read and parsed alike, stored by the raw importer.
void BM_ImportBatchRaw(benchmark::State& state) {
    Home home;
    Mails mails(state.range(0) == 1);
    for (auto _ : state) {
        freshDatabase(state);
        sqlite3* db = nullptr;
        state.PauseTiming();
        sqlite3_open_v2(gd::gsDataSource.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA key='kaltwind'; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        {
            bench::RawImporter raw(db, gd::gSettings.StandardUser);
            sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            for (const QString& file : mails.files)
                if (!raw.import(*gd::readMailFile(file))) state.SkipWithError("not stored");
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }
        sqlite3_close(db);
    }
    state.SetLabel(state.range(0) == 1 ? "one buyer" : "1000 buyers");
}
BENCHMARK(BM_ImportBatchRaw)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
