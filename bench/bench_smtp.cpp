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
        const gd::PreparedMessage p = gd::PrepareMessage(m).value();
        benchmark::DoNotOptimize(gd::dataText(m, p, QDateTime::currentDateTime(), 1).size());
    }
}
BENCHMARK(BM_EncodeBody100k)->Unit(benchmark::kMillisecond);

// The same length in Cyrillic and Polish: the UTF-8 path.
void BM_EncodeBody100kUtf8(benchmark::State& state) {
    gd::SmtpMessage m;
    m.MailSenderEMail = QStringLiteral("shop@gavel.example");
    m.MailRecipientEMail = QStringLiteral("lukasz@example.pl");
    QString b = QStringLiteral("subject: Zamówienie – улица Ленина\r\n");
    while (b.size() < 100 * 1024)
        b += QStringLiteral("Dziękujemy, Łukasz Wiśniewski: улица Ленина 5, Санкт-Петербург; 24,50 € = Gavel\r\n");
    m.MailBody = b;
    for (auto _ : state) {
        const gd::PreparedMessage p = gd::PrepareMessage(m).value();
        benchmark::DoNotOptimize(gd::dataText(m, p, QDateTime::currentDateTime(), 1).size());
    }
}
BENCHMARK(BM_EncodeBody100kUtf8)->Unit(benchmark::kMillisecond);

// The floor to compare with: quoted-printable of the same bytes in one tight
// loop, soft breaks at 76, no headers, no dot-stuffing.
void BM_EncodeBody100kTightestLoop(benchmark::State& state) {
    const QByteArray in = body100k().toLatin1();
    static const char digits[] = "0123456789ABCDEF";
    for (auto _ : state) {
        QByteArray out(in.size() * 4, Qt::Uninitialized);
        char* o = out.data();
        int col = 0;
        for (const char ch : in) {
            const auto c = static_cast<unsigned char>(ch);
            if (ch == '\n' || ch == '\r') {
                *o++ = ch;
                col = 0;
                continue;
            }
            const int w = (c >= 128 || ch == '=') ? 3 : 1;
            if (col + w > 75) {
                *o++ = '=';
                *o++ = '\r';
                *o++ = '\n';
                col = 0;
            }
            if (w == 3) {
                *o++ = '=';
                *o++ = digits[c >> 4];
                *o++ = digits[c & 15];
            } else {
                *o++ = ch;
            }
            col += w;
        }
        out.truncate(o - out.constData());
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_EncodeBody100kTightestLoop)->Unit(benchmark::kMillisecond);

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
    gd::gSettings.SMTPServer = QStringLiteral("127.0.0.1");
    gd::gSettings.SMTPPort = port;
    const QString msg = QStringLiteral("subject: Zahlung erhalten\r\nGuten Tag,\r\nvielen Dank.\r\n");
    for (auto _ : state)
        if (!gd::Send_SMTP(QStringLiteral("Gavel <shop@gavel.example>"), QStringLiteral("hans@example.de"), msg,
                           QString())
                 .ok())
            state.SkipWithError("not delivered");
    server.closeWriteChannel();
    server.waitForFinished(3000);
}
BENCHMARK(BM_DeliverToLocalServer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
