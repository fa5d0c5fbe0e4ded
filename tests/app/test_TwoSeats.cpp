// Two seats on one server at once for a minute (GD_SEAT_SECONDS): each imports mails from a
// shared pool of item numbers, edits trades and issues invoices, in a process of its own. Then:
// no update lost, no trade twice, the invoice numbers consecutive, every refusal told.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>

#include "RunCli.h"
#include "base/Clock.h"
#include "domain/db/Database.h"
#include "domain/import/BatchImport.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/LoadSave.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"

namespace gd::test {
namespace {

using namespace Qt::StringLiterals;

constexpr int kPool = 300;  // item numbers both seats import

QString seatSource() { return qEnvironmentVariable("GD_SEAT_DB"); }

// One seat's minute; its report, one line per thing it did, goes to GD_SEAT_REPORT.
TEST(TwoSeats, Seat) {
    if (qEnvironmentVariableIsEmpty("GD_SEAT_DB")) GTEST_SKIP() << "nur als Platz von TwoSeats.AMinuteAtOnce";
    TestApp app;
    app.write(u"bin/config.ini"_s, shopConfig());
    subInitApp();
    gsDataSource = seatSource();
    Database::setBusyTimeoutMs(10000);
    app.clock.set(QDateTime::currentDateTime());
    const QString seat = qEnvironmentVariable("GD_SEAT_NAME");
    const QString mail = QString::fromUtf8(fileBytes(test::dataFile(u"mails/verkauf.txt"_s)));
    const auto page = [](const Invoice&, const QByteArray&) {
        return Result<QByteArray>(QByteArray("%PDF-1.7 Rechnung"));
    };
    QStringList report;
    QElapsedTimer clock;
    clock.start();
    const qint64 seconds = qEnvironmentVariableIntValue("GD_SEAT_SECONDS");
    for (int i = 0; clock.elapsed() < seconds * 1000; ++i) {
        const int what = int(QRandomGenerator::global()->bounded(3));
        if (what == 0) {
            const QString nr = QString::number(770000 + QRandomGenerator::global()->bounded(kPool));
            QStringList messages;
            const Store store = currentStore();
            const FileImport done =
                importMailText(rulesInForce(), &store, QString(mail).replace(u"1234567890"_s, nr), nullptr, &messages);
            report << (done.stored ? QString(u"eingelesen "_s + nr)
                                   : QString(u"abgelehnt "_s + nr + u" "_s + done.refusal));
            continue;
        }
        Database source = Database::open(gsDataSource);
        const auto pick = source.firstRow(u"select AuktionsID, AuktionsNr from Auktionen order by random() limit 1"_s,
                                          {}, [](const DbRow& r) { return std::pair(r.text(0), r.text(1)); });
        if (!pick) continue;
        if (what == 1) {
            tAuktion a;
            if (!test::into(a, funLoadAuktion(currentStore(), pick->first)).valueOr(false)) continue;
            const QString token = u"%1%2;"_s.arg(seat).arg(i);
            a.Bemerkungen += token;
            QString nr = a.KundenNr;
            const auto saved = funSaveAuktion(currentStore(), a, nr);
            if (saved.ok())
                report << u"bearbeitet "_s + a.AuktionsID + u" "_s + token;
            else
                report << u"verweigert "_s + QString::number(saved.error().number) + u" "_s +
                              saved.error().message().simplified();
        } else {
            const Result<IssuedInvoice> r =
                issueInvoice(currentStore(), invoiceProfile(currentSettings()), pick->second, QString(), now(), page);
            report << (r.ok() ? QString(u"rechnung "_s + r.value().Nummer)
                              : QString(u"verweigert "_s + QString::number(r.error().number) + u" "_s +
                                        r.error().message().simplified()));
        }
    }
    QFile out(qEnvironmentVariable("GD_SEAT_REPORT"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(report.join(u'\n').toUtf8());
}

TEST(TwoSeats, AMinuteAtOnce) {
    const QString url = serverDatabase();
    if (url.isEmpty()) GTEST_SKIP() << "nur mit dem PostgreSQL-Server der Tests";
    ASSERT_TRUE(createDatabase(url).ok());
    QTemporaryDir reports;
    const int seconds =
        qEnvironmentVariableIsSet("GD_SEAT_SECONDS") ? qEnvironmentVariableIntValue("GD_SEAT_SECONDS") : 60;
    std::vector<std::unique_ptr<QProcess>> seats;
    for (const char* name : {"A", "B"}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"GD_SEAT_DB"_s, url);
        env.insert(u"GD_SEAT_NAME"_s, QString::fromLatin1(name));
        env.insert(u"GD_SEAT_SECONDS"_s, QString::number(seconds));
        env.insert(u"GD_SEAT_REPORT"_s, reports.filePath(QString::fromLatin1(name)));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QFileInfo(u"/proc/self/exe"_s).canonicalFilePath(), {u"--gtest_filter=TwoSeats.Seat"_s});
        seats.push_back(std::move(p));
    }
    for (auto& p : seats) {
        ASSERT_TRUE(p->waitForFinished(seconds * 10000 + 60000));  // a hang guard only
        EXPECT_EQ(p->exitCode(), 0);
    }
    QMap<QString, QStringList> tokens;  // trade -> tokens saved
    QSet<QString> numbers;
    int imported = 0, refusedImports = 0, refusedSaves = 0;
    for (const char* name : {"A", "B"}) {
        QFile f(reports.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
            const QStringList w = line.split(u' ');
            if (w.value(0) == u"eingelesen"_s) ++imported;
            if (w.value(0) == u"abgelehnt"_s) {
                ++refusedImports;
                EXPECT_GT(w.size(), 2) << "eine Ablehnung ohne Grund: " << line.toStdString();
            }
            if (w.value(0) == u"bearbeitet"_s) tokens[w.value(1) + u" "_s + w.value(2)] << w.value(3);
            if (w.value(0) == u"rechnung"_s) numbers << w.value(1);
            if (w.value(0) == u"verweigert"_s) {
                ++refusedSaves;
                EXPECT_TRUE(w.value(1) == u"3197"_s) << "unerwartet: " << line.toStdString();
            }
        }
    }
    std::printf(
        "%d eingelesen, %d Einlesungen abgelehnt, %d Speichern verweigert, %lld Rechnungen, %lld Auktionen "
        "bearbeitet\n",
        imported, refusedImports, refusedSaves, static_cast<long long>(numbers.size()),
        static_cast<long long>(tokens.size()));
    Database d = Database::open(url);
    // No trade twice: each number of the pool was stored once, whoever came first.
    const QStringList twice =
        test::columnOf(d, u"select AuktionsNr from Auktionen group by AuktionsNr having count(*) > 1"_s);
    EXPECT_TRUE(twice.isEmpty()) << twice.join(u' ').toStdString();
    EXPECT_EQ(test::firstNumber(d, u"select count(*) from Auktionen"_s), imported);
    // No update lost: every note a seat saved is in its trade.
    for (auto it = tokens.cbegin(); it != tokens.cend(); ++it) {
        const std::optional<QString> notes = d.firstRow(u"select Bemerkungen from Auktionen where AuktionsID = ?"_s,
                                                        {it.key()}, [](const DbRow& r) { return r.text(0); });
        ASSERT_TRUE(notes.has_value());
        for (const QString& t : it.value())
            EXPECT_TRUE(notes->contains(t)) << t.toStdString() << " fehlt in " << it.key().toStdString();
    }
    // Invoice numbers: one after the other, none twice, none missing.
    int expected = 1;
    for (const QString& lfd : test::columnOf(d, u"select Lfd from Rechnungen order by Lfd"_s))
        EXPECT_EQ(lfd.toInt(), expected++);
    EXPECT_EQ(expected - 1, numbers.size());
}

}  // namespace
}  // namespace gd::test
