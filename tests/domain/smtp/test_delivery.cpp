// Delivery to real servers on loopback: aiosmtpd (plain, AUTH LOGIN, STARTTLS,
// implicit TLS) and a scripted misbehaving server of our own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "base/codepage.h"
#include "domain/import/MailFile.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/ctlSMTPRelay.h"
#include "domain/smtp/modMail.h"
#include "support/ResultAssert.h"
#include "support/SmtpServer.h"
#include "support/TestApp.h"

namespace gd {
namespace {

QCoreApplication& coreApp() {
    static int argc = 1;
    static char name[] = "test_smtp";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

quint16 freePort() { return test::freeLoopbackPort(); }

// aiosmtpd started for one test, stopped with it.
struct RealServer : test::LocalSmtpServer {
    bool ready = false;
    explicit RealServer(const QStringList& extra = {}) { ready = start(extra); }
};
using TestCert = test::TestCertificate;

class Delivery : public ::testing::Test {
protected:
    void SetUp() override {
        coreApp();
        ctlSMTPRelay::setReplyTimeoutSecs(5);
        ctlSMTPRelay::setExtraTrustedCertificate(QSslCertificate());
        gsSMTPServer = QStringLiteral("127.0.0.1");
        glAuth = 0;
        gsSMTPUser.clear();
        gsKennwort.clear();
        gsVerbindungssicherheit.clear();
        gbKennwortUnverschluesselt = false;
        glSMTPZeitlimit = 120;
    }
    static QString body() {
        return QStringLiteral("subject: Zahlung erhalten – Kaffeemühle für 24,50 €\r\n") +
               QStringLiteral("Guten Tag Herr Müller,\r\n\r\n.dieser Satz beginnt mit einem Punkt.\r\n") +
               QString(1000, QLatin1Char('x')) + QStringLiteral("\r\nMit freundlichen Grüßen\r\n");
    }
    static QString decodedBody(const QJsonObject& msg) {
        const Result<QString> t = decodeMimeMessage(win::toAnsi(msg.value(QStringLiteral("data")).toString()));
        return t.ok() ? t.value() : QStringLiteral("<%1>").arg(t.error().sentence);
    }
    static QString header(const QJsonObject& msg, const QString& name) {
        const QString data = msg.value(QStringLiteral("data")).toString();
        for (const QString& l : data.split(QStringLiteral("\r\n"))) {
            if (l.isEmpty()) break;
            if (l.startsWith(name + QLatin1Char(':'), Qt::CaseInsensitive)) return l.mid(name.size() + 1).trimmed();
        }
        return QString();
    }
    void expectDelivered(RealServer& srv) {
        const auto msgs = srv.objects();
        ASSERT_EQ(msgs.size(), 1);
        const QJsonObject m = msgs[0];
        EXPECT_EQ(m.value(QStringLiteral("from")).toString(), QStringLiteral("shop@gavel.example"));
        EXPECT_EQ(m.value(QStringLiteral("rcpt")).toArray().toVariantList(),
                  (QVariantList{QStringLiteral("hans@example.de"), QStringLiteral("kopie@gavel.example")}));
        EXPECT_EQ(srv.decoded(0).value(QStringLiteral("subject")).toString(),
                  QStringLiteral("Zahlung erhalten – Kaffeemühle für 24,50 €"));
        EXPECT_TRUE(header(m, QStringLiteral("FROM")).endsWith(QStringLiteral("<shop@gavel.example>")));
        const QString b = decodedBody(m);
        EXPECT_TRUE(b.contains(QStringLiteral("\r\n.dieser Satz beginnt mit einem Punkt.\r\n"))) << b.toStdString();
        EXPECT_TRUE(b.contains(QStringLiteral("\r\n") + QString(1000, QLatin1Char('x')) + QStringLiteral("\r\n")));
        EXPECT_TRUE(b.contains(QStringLiteral("Grüßen")));
        for (const QString& l : m.value(QStringLiteral("data")).toString().split(QStringLiteral("\r\n")))
            EXPECT_LE(l.size(), 998);
    }
    Status last;
    Status send(quint16 port) {
        glSMTPPort = port;
        return last = Send_SMTP(QStringLiteral("\"Gavel Händler\" <shop@gavel.example>"),
                                QStringLiteral("Hans Müller <hans@example.de>"), body(),
                                QStringLiteral("kopie@gavel.example"));
    }
    Status direct(const QString& from, const QString& to) { return last = Send_SMTP(from, to, body(), QString()); }
};

TEST_F(Delivery, PlainServer) {
    RealServer srv;
    ASSERT_TRUE(srv.ready);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
    // a second send sets every property again
    EXPECT_TRUE(test::ok(send(srv.port)));
    EXPECT_EQ(srv.messages().size(), 2);
}

// Files arrive beside the text byte for byte, under a name a mail program can save.
TEST_F(Delivery, FilesArriveWholeBesideTheText) {
    RealServer srv;
    ASSERT_TRUE(srv.ready);
    glSMTPPort = srv.port;
    QByteArray binary;
    for (int i = 0; i < 1000; ++i) binary += char(i * 7);  // every byte value, over many base64 lines
    const QList<MailAttachment> files = {
        {QStringLiteral("GiroCode.png"), "image/png", binary},
        {QStringLiteral("Rechnung für\r\nMüller.pdf"), "application/pdf", "%PDF-1.4\n"},
        {QString(), QByteArray(), "x"}};
    ASSERT_TRUE(test::ok(Send_SMTP(QStringLiteral("shop@gavel.example"), QStringLiteral("hans@example.de"), body(),
                                   QString(), false, false, files)));
    const QJsonObject m = srv.decoded(0);
    EXPECT_TRUE(m.value(QStringLiteral("body")).toString().contains(QStringLiteral("Grüßen")));
    EXPECT_TRUE(m.value(QStringLiteral("defects")).toArray().isEmpty());
    const QJsonArray got = m.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(got.size(), 3) << QJsonDocument(m).toJson().toStdString();
    const char* names[] = {"GiroCode.png", "Rechnung_f_r__M_ller.pdf", "Anhang"};
    const char* types[] = {"image/png", "application/pdf", "application/octet-stream"};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject f = got[i].toObject();
        EXPECT_EQ(f.value(QStringLiteral("filename")).toString(), QString::fromLatin1(names[i]));
        EXPECT_EQ(f.value(QStringLiteral("type")).toString(), QString::fromLatin1(types[i]));
        EXPECT_EQ(QByteArray::fromBase64(f.value(QStringLiteral("data")).toString().toLatin1()), files[i].data)
            << names[i];
    }
}

TEST_F(Delivery, AuthLoginRightAndWrongPassword) {
    RealServer srv({QStringLiteral("--auth"), QStringLiteral("haendler:geheim")});
    ASSERT_TRUE(srv.ready);
    glAuth = 1;
    gsSMTPUser = QStringLiteral("haendler");
    gsKennwort = QStringLiteral("geheim");
    // The server offers no TLS: the password stays home until the user allows otherwise.
    EXPECT_FALSE(send(srv.port).ok());
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("Kennwort auch unverschlüsselt senden (unsicher)")))
        << test::failure(last).toStdString();
    gbKennwortUnverschluesselt = true;
    gsKennwort = QStringLiteral("falsch");
    EXPECT_FALSE(send(srv.port).ok());
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("535"))) << test::failure(last).toStdString();
    EXPECT_TRUE(srv.messages().isEmpty());
    gsKennwort = QStringLiteral("geheim");
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
}

TEST_F(Delivery, NamesFromAllOverEuropeArriveAsTyped) {
    TestCert cert;
    ASSERT_TRUE(cert.made);
    RealServer srv(QStringList{QStringLiteral("--auth"), QStringLiteral("haendler:geheim")} + cert.serverArgs());
    ASSERT_TRUE(srv.ready);
    ctlSMTPRelay::setExtraTrustedCertificate(cert.certificate());
    glAuth = 1;
    gsSMTPUser = QStringLiteral("haendler");
    gsKennwort = QStringLiteral("geheim");
    glSMTPPort = srv.port;
    const QString subject = QStringLiteral(
        "Ihr Kauf bei gavel_haendler: Kaffeemühle „Dvořák“ mit Mahlwerk aus "
        "Edelstahl und Glasbehälter (Artikel 4711)");
    const QString text = QStringLiteral(
        "Dzień dobry Łukasz Wiśniewski,\r\n\r\nLieferadresse:\r\nулица Ленина 5\r\n"
        "Санкт-Петербург\r\n\r\nSumme: 24,50 € = 2450 Cent_genau\r\n");
    const Status sent = Send_SMTP(QStringLiteral("Gavel Händler <shop@gavel.example>"),
                                  QStringLiteral("Łukasz Wiśniewski <lukasz@example.pl>"),
                                  QStringLiteral("subject: ") + subject + QStringLiteral("\r\n") + text, QString());
    ASSERT_TRUE(test::ok(sent));
    const QJsonObject m = srv.decoded(0);
    EXPECT_EQ(m.value(QStringLiteral("subject")).toString(), subject);
    EXPECT_EQ(m.value(QStringLiteral("to_name")).toString(), QStringLiteral("Łukasz Wiśniewski"));
    EXPECT_EQ(m.value(QStringLiteral("to_address")).toString(), QStringLiteral("lukasz@example.pl"));
    EXPECT_EQ(m.value(QStringLiteral("from_name")).toString(), QStringLiteral("Gavel Händler"));
    EXPECT_EQ(m.value(QStringLiteral("body")).toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
              QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(m.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-9]{14}\\.[0-9a-f]+@gavel\\.example>$"))
                    .match(m.value(QStringLiteral("message_id")).toString())
                    .hasMatch())
        << m.value(QStringLiteral("message_id")).toString().toStdString();
    EXPECT_TRUE(m.value(QStringLiteral("defects")).toArray().isEmpty());
    for (const QJsonValue& l : m.value(QStringLiteral("header_lines")).toArray())
        EXPECT_LE(l.toString().size(), 78) << l.toString().toStdString();
}

TEST_F(Delivery, StartTlsWithTrustedAndUntrustedCertificate) {
    TestCert cert;
    ASSERT_TRUE(cert.made);
    RealServer srv({QStringLiteral("--auth"), QStringLiteral("haendler:geheim"), QStringLiteral("--cert"), cert.cert,
                    QStringLiteral("--key"), cert.key});
    ASSERT_TRUE(srv.ready);
    glAuth = 1;
    gsSMTPUser = QStringLiteral("haendler");
    gsKennwort = QStringLiteral("geheim");
    EXPECT_FALSE(send(srv.port).ok());  // not trusted: no fall-back to clear text
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("Zertifikat"))) << test::failure(last).toStdString();
    EXPECT_TRUE(srv.messages().isEmpty());
    ctlSMTPRelay::setExtraTrustedCertificate(cert.certificate());
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
}

TEST_F(Delivery, ImplicitTls) {
    TestCert cert;
    ASSERT_TRUE(cert.made);
    RealServer srv(
        {QStringLiteral("--cert"), cert.cert, QStringLiteral("--key"), cert.key, QStringLiteral("--implicit-tls")});
    ASSERT_TRUE(srv.ready);
    ctlSMTPRelay::setImplicitTlsPort(srv.port);
    ctlSMTPRelay::setExtraTrustedCertificate(cert.certificate());
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
    ctlSMTPRelay::setExtraTrustedCertificate(QSslCertificate());
    EXPECT_FALSE(send(srv.port).ok());
    ctlSMTPRelay::setImplicitTlsPort(465);
}

// The misbehaving server: answers each command with the next scripted reply.
class FakeServer : public QObject {
public:
    struct Rule {
        QByteArray reply;
        bool closeAfter = false;
        bool silent = false;
        bool byteByByte = false;
    };
    QTcpServer server;
    QList<Rule> script;  // [0] is the greeting
    QByteArray received;

    explicit FakeServer(QList<Rule> s) : script(std::move(s)) {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* c = server.nextPendingConnection();
            next(c);
            connect(c, &QTcpSocket::readyRead, this, [this, c] {
                const QByteArray in = c->readAll();
                received += in;
                inData_ = inData_ || received.endsWith("DATA\r\n");
                // in DATA only the end of the mail gets a reply
                if (inData_ && !in.contains("\r\n.\r\n") && !in.endsWith("DATA\r\n")) return;
                if (in.contains("\r\n.\r\n")) inData_ = false;
                for (int lines = std::max<int>(1, int(in.count("\r\n"))); lines > 0 && !script.isEmpty(); --lines) {
                    if (inData_ && !in.endsWith("DATA\r\n")) break;
                    next(c);
                    if (in.endsWith("DATA\r\n")) break;
                }
            });
        });
    }
    quint16 port() const { return server.serverPort(); }

private:
    bool inData_ = false;
    void next(QTcpSocket* c) {
        if (script.isEmpty()) return;
        const Rule r = script.takeFirst();
        if (r.silent) return;
        if (r.byteByByte)
            for (char ch : r.reply) {
                c->write(QByteArray(1, ch));
                c->flush();
                c->waitForBytesWritten(100);
            }
        else
            c->write(r.reply);
        if (r.closeAfter) {
            c->flush();
            c->disconnectFromHost();
        }
    }
};

TEST_F(Delivery, SplitRepliesStillDeliver) {
    FakeServer fake({{"220-mx.example ESMTP\r\n220 bereit\r\n", false, false, true},
                     {"250 hallo\r\n", false, false, true},
                     {"250 ok\r\n", false, false, true},
                     {"250 ok\r\n", false, false, true},
                     {"250 ok\r\n"},
                     {"354 los\r\n", false, false, true},
                     {"250 angenommen\r\n", false, false, true},
                     {"221 tschuess\r\n"}});
    EXPECT_TRUE(test::ok(send(fake.port())));
    QElapsedTimer t;
    t.start();
    while (!fake.received.endsWith("QUIT\r\n") && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(fake.received.contains("\r\n..dieser Satz beginnt"));
    EXPECT_TRUE(fake.received.endsWith("\r\n.\r\nQUIT\r\n"));
}

TEST_F(Delivery, EveryFaultIsAFailureWithinItsTimeOut) {
    using R = FakeServer::Rule;
    struct Case {
        const char* name;
        QList<R> script;
    };
    const QList<Case> cases = {
        {"greeting 554", {{"554 nicht hier\r\n"}}},
        {"HELO 421", {{"220 mx\r\n"}, {"421 zu\r\n"}}},
        {"MAIL 451", {{"220 mx\r\n"}, {"250 hi\r\n"}, {"451 spaeter\r\n"}}},
        {"RCPT 550", {{"220 mx\r\n"}, {"250 hi\r\n"}, {"250 ok\r\n"}, {"550 unbekannt\r\n"}}},
        {"DATA 554",
         {{"220 mx\r\n"}, {"250 hi\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"}, {"554 nein\r\n"}}},
        {"body 552",
         {{"220 mx\r\n"},
          {"250 hi\r\n"},
          {"250 ok\r\n"},
          {"250 ok\r\n"},
          {"250 ok\r\n"},
          {"354 los\r\n"},
          {"552 zu gross\r\n"}}},
        {"closed mid-DATA",
         {{"220 mx\r\n"}, {"250 hi\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"}, {"354 los\r\n", true}}},
        {"silent after HELO", {{"220 mx\r\n"}, {"", false, true}}},
        {"no greeting at all", {{"", false, true}}},
    };
    ctlSMTPRelay::setReplyTimeoutSecs(1);
    for (const Case& c : cases) {
        FakeServer fake(c.script);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(send(fake.port()).ok()) << c.name;
        EXPECT_FALSE(test::failure(last).isEmpty()) << c.name;
        EXPECT_LT(t.elapsed(), 4000) << c.name;
    }
}

TEST_F(Delivery, RefusedConnectionUnknownHostAndBrokenAddresses) {
    ctlSMTPRelay::setReplyTimeoutSecs(5);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(send(freePort()).ok());  // nobody listens
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("hat die Verbindung auf Port")))
        << test::failure(last).toStdString();
    EXPECT_FALSE(test::failure(last).contains(QStringLiteral("refused")));  // German alone
    gsSMTPServer = QStringLiteral("gibt-es-nicht.invalid");
    EXPECT_FALSE(send(25).ok());
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("gibt-es-nicht.invalid")))
        << test::failure(last).toStdString();
    EXPECT_LT(t.elapsed(), 12000);
    gsSMTPServer = QStringLiteral("127.0.0.1");
    glSMTPPort = 25;
    EXPECT_FALSE(direct(QStringLiteral("Gavel <shop@gavel.example"), QStringLiteral("h@x.de")).ok());
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("unvollständig")));
    EXPECT_FALSE(direct(QStringLiteral("shop@gavel.example"), QStringLiteral("Hans <h@x.de")).ok());
    gsSMTPServer.clear();
    EXPECT_FALSE(direct(QStringLiteral("shop@gavel.example"), QStringLiteral("h@x.de")).ok());
    EXPECT_TRUE(test::failure(last).contains(QStringLiteral("kein SMTP-Server")));
}

// A misbehaving server in its own process, so its memory is not ours.
struct BadServer {
    QProcess proc;
    quint16 port = 0;
    explicit BadServer(const char* mode) {
        proc.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(GD_BAD_SERVER_SCRIPT), QStringLiteral("--mode"), QString::fromLatin1(mode)});
        if (proc.waitForReadyRead(20000)) port = quint16(proc.readAllStandardOutput().trimmed().mid(5).toUInt());
    }
    ~BadServer() {
        proc.kill();
        proc.waitForFinished(3000);
    }
};

// kB from /proc/self/status; "VmHWM" is the peak since clearPeak().
qint64 statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(key)) return l.mid(qsizetype(qstrlen(key)) + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}
bool clearPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

TEST_F(Delivery, NoServerCanHoldOrFloodASend) {
    struct Case {
        const char* mode;
        int replySecs, totalSecs;
        qint64 limitMs;  // the send ends before this
        const char* because;
    };
    const Case cases[] = {
        // one byte every 4 s: the reply clock is not wound up by single bytes, the total limit ends it
        {"trickle", 30, 3, 4500, "3 Sekunden"},
        {"trickle", 2, 120, 3500, "Zeitüberschreitung"},
        {"endless", 30, 120, 3000, "100 Zeilen"},
        {"flood", 30, 120, 10000, "4 KB"},
    };
    for (const Case& c : cases) {
        BadServer bad(c.mode);
        ASSERT_NE(bad.port, 0) << c.mode;
        ctlSMTPRelay::setReplyTimeoutSecs(c.replySecs);
        glSMTPZeitlimit = c.totalSecs;
        const qint64 rssBefore = statusKb("VmRSS:");
        const bool peakCleared = clearPeak();
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(send(bad.port).ok()) << c.mode;
        EXPECT_LT(t.elapsed(), c.limitMs) << c.mode;
        EXPECT_TRUE(test::failure(last).contains(QString::fromUtf8(c.because))) << test::failure(last).toStdString();
        if (peakCleared) {
            const qint64 grewKb = statusKb("VmHWM:") - rssBefore;
            std::printf("%s: peak memory %lld kB above the start (%lld kB)\n", c.mode, grewKb, rssBefore);
            EXPECT_LT(grewKb, 100 * 1024) << c.mode;
        }
    }
}

TEST(SplitAddress, NamesAndBareAddresses) {
    QString n, a;
    ASSERT_TRUE(splitAddress(QStringLiteral("  \"Hans Müller\"  <hans@x.de>"), n, a));
    EXPECT_EQ(n, QStringLiteral("Hans Müller"));
    EXPECT_EQ(a, QStringLiteral("hans@x.de"));
    ASSERT_TRUE(splitAddress(QStringLiteral("'Jörg' <j@x.de>"), n, a));
    EXPECT_EQ(n, QStringLiteral("Jörg"));
    ASSERT_TRUE(splitAddress(QStringLiteral("h@x.de"), n, a));
    EXPECT_EQ(n, QString());
    EXPECT_EQ(a, QStringLiteral("h@x.de"));
    EXPECT_FALSE(splitAddress(QStringLiteral("Hans <h@x.de"), n, a));
}

}  // namespace
}  // namespace gd
