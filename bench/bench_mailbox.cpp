// A mailbox of 20,000 mails, 100 of them unread from the platform but no notification: the
// program's fetch (search, sizes, each of the 100 read and left alone, the store asked what it
// knows) beside a bare IMAP client sending the same commands on one connection with no parsing
// beyond finding each answer's end, both against the same private Dovecot.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchFixture.h"
#include "domain/mailbox/MailboxFetch.h"
#include "domain/settings/Keywords.h"

namespace {

constexpr int kMails = 20000, kUnread = 100;

struct Mailbox {
    QTemporaryDir dir;
    QString state = dir.filePath(QStringLiteral("imap"));
    QString host, password;
    int port = 0;
    QSslCertificate ca;
    bool up = false;

    static bool script(const QStringList& args) {
        return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                 QStringList{QStringLiteral(GD_IMAPSERVER_SCRIPT)} + args) == 0;
    }
    QString read(const char* name) const {
        QFile f(state + QLatin1Char('/') + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }
    Mailbox() {
        if (!script({QStringLiteral("start"), state}) || QFile::exists(state + QStringLiteral("/skip"))) return;
        if (!script({QStringLiteral("fill"), state, QString::number(kMails - kUnread)})) return;
        QStringList deliver{QStringLiteral("deliver"), state};
        for (int i = 0; i < kUnread; ++i) {
            const QString path = dir.filePath(QStringLiteral("news%1.eml").arg(i));
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("From: Plattform <news@ebay.example>\r\nTo: verkauf@example.de\r\nSubject: Angebote " +
                    QByteArray::number(i) + "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" +
                    QByteArray(4000, 'x') + "\r\n");
            deliver << path;
        }
        if (!script(deliver)) return;
        host = read("host");
        port = read("port_tls").toInt();
        password = read("kennwort");
        QFile c(state + QStringLiteral("/ca.crt"));
        c.open(QIODevice::ReadOnly);
        ca = QSslCertificate(c.readAll());
        up = true;
    }
    ~Mailbox() { script({QStringLiteral("stop"), state}); }
};

Mailbox& mailbox() {
    static Mailbox m;
    return m;
}

long maxRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void BM_FetchMailbox20k(benchmark::State& state) {
    Mailbox& m = mailbox();
    if (!m.up) return state.SkipWithError("kein Dovecot");
    bench::Home home;
    gd::ImapClient::setExtraTrustedCertificate(m.ca);
    gd::MailboxSetup setup;
    setup.account = gd::ImapAccount{
        m.host, m.port,   gd::ImapSecurity::Ssl, QStringLiteral("verkauf@example.de"), m.password, QString(),
        false,  QString()};
    setup.senders = {QStringLiteral("ebay.example")};
    const gd::ParserRules rules = gd::rulesInForce();
    const gd::Store store = gd::currentStore();
    const long before = maxRssKiB();
    for (auto _ : state) {
        const gd::FetchReport r = gd::fetchMailbox(setup, rules, store);
        if (!r.ok() || r.found != kUnread || r.untouched != kUnread) return state.SkipWithError(qPrintable(r.failure));
    }
    state.counters["rss_growth_KiB"] = double(maxRssKiB() - before);
}
BENCHMARK(BM_FetchMailbox20k)->Unit(benchmark::kMillisecond)->MinTime(5);

// The same commands, each answer waited for by its tag: the least any client can do.
void BM_BareImapClient20k(benchmark::State& state) {
    Mailbox& m = mailbox();
    if (!m.up) return state.SkipWithError("kein Dovecot");
    for (auto _ : state) {
        QSslSocket s;
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setCaCertificates({m.ca});
        s.setSslConfiguration(c);
        s.connectToHostEncrypted(m.host, quint16(m.port));
        if (!s.waitForEncrypted(10000)) return state.SkipWithError("TLS");
        QByteArray in;
        int tag = 0;
        const auto ask = [&](const QByteArray& command) {
            const QByteArray t = "b" + QByteArray::number(++tag) + ' ';
            s.write(t + command + "\r\n");
            in.clear();
            const QByteArray end = "\r\n" + t;
            while (!in.contains(end) && !in.startsWith(t)) {
                if (!s.waitForReadyRead(10000)) return false;
                in += s.readAll();
            }
            return true;
        };
        while (!in.contains("\r\n") && s.waitForReadyRead(10000)) in += s.readAll();
        ask("LOGIN \"verkauf@example.de\" \"" + m.password.toUtf8() + '"');
        ask("SELECT INBOX");
        ask("UID SEARCH UNSEEN FROM \"ebay.example\"");
        const QByteArray line =
            in.mid(in.indexOf("* SEARCH") + 9, in.indexOf("\r\n", in.indexOf("* SEARCH")) - in.indexOf("* SEARCH") - 9);
        const QList<QByteArray> uids = line.trimmed().split(' ');
        ask("UID FETCH " + uids.join(',') + " (UID RFC822.SIZE)");
        for (const QByteArray& uid : uids) ask("UID FETCH " + uid + " (UID BODY.PEEK[])");
        ask("LOGOUT");
        if (uids.size() != kUnread) return state.SkipWithError("Suche");
    }
}
BENCHMARK(BM_BareImapClient20k)->Unit(benchmark::kMillisecond)->MinTime(5);

}  // namespace

BENCHMARK_MAIN();
