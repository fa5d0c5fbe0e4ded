// Encoding a 100 KB body; one delivery to a local aiosmtpd.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include "domain/settings/modGlobal.h"
#include "domain/smtp/SmtpSession.h"
#include "domain/smtp/modMail.h"

namespace {

QString body100k() {
    QString b = QStringLiteral("subject: Ihre Bestellung – Übersicht\r\n");
    while (b.size() < 100 * 1024)
        b += QStringLiteral("Vielen Dank für Ihren Einkauf über 24,50 €; die Ware geht morgen raus. Grüße = Gavel\r\n");
    return b;
}

void BM_EncodeBody100k(benchmark::State& state) {
    gd::SmtpMessage m;
    m.MailSenderEMail = QStringLiteral("shop@gavel.example");
    m.MailRecipientEMail = QStringLiteral("hans@example.de");
    m.MailBody = body100k();
    for (auto _ : state) {
        QString error;
        const gd::PreparedMessage p = gd::PrepareMessage(m, &error);
        benchmark::DoNotOptimize(gd::dataText(m, p, QDateTime::currentDateTime(), 1).size());
    }
}
BENCHMARK(BM_EncodeBody100k)->Unit(benchmark::kMillisecond);

void BM_DeliverToLocalServer(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(GD_SMTP_SERVER_SCRIPT), QStringLiteral("--port"),
                                                      QString::number(port), QStringLiteral("--outdir"), dir.path()});
    if (!server.waitForReadyRead(20000)) {
        state.SkipWithError("no server");
        return;
    }
    gd::gsSMTPServer = QStringLiteral("127.0.0.1");
    gd::glSMTPPort = port;
    const QString msg = QStringLiteral("subject: Zahlung erhalten\r\nGuten Tag,\r\nvielen Dank.\r\n");
    for (auto _ : state)
        if (!gd::Send_SMTP(QStringLiteral("Gavel <shop@gavel.example>"), QStringLiteral("hans@example.de"), msg, QString()).ok())
            state.SkipWithError("not delivered");
    server.closeWriteChannel();
    server.waitForFinished(3000);
}
BENCHMARK(BM_DeliverToLocalServer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
