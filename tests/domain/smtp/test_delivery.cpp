// Delivery to real servers on loopback: aiosmtpd (plain, AUTH LOGIN, STARTTLS,
// implicit TLS) and a scripted misbehaving server of our own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

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

using namespace Qt::StringLiterals;

// Sockets need an application object; it lives to the end of the process.
void coreApp() {
    static int argc = 1;
    static char name[] = "test_smtp";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

class Delivery : public ::testing::Test {
protected:
    void SetUp() override {
        coreApp();
        ctlSMTPRelay::setReplyTimeoutSecs(5);
        ctlSMTPRelay::setExtraTrustedCertificate(QSslCertificate());
        gSettings.SMTPServer = u"127.0.0.1"_s;
        gSettings.Auth = 0;
        gSettings.Konto.clear();
        gSettings.Kennwort.clear();
        gSettings.Verbindungssicherheit.clear();
        gSettings.KennwortUnverschluesselt = false;
        gSettings.SMTPZeitlimit = 120;
    }
    static void login(const QString& password = u"geheim"_s) {
        gSettings.Auth = 1;
        gSettings.Konto = u"haendler"_s;
        gSettings.Kennwort = password;
    }
    static QString body() {
        return u"subject: Zahlung erhalten – Kaffeemühle für 24,50 €\r\n"_s +
               u"Guten Tag Herr Müller,\r\n\r\n.dieser Satz beginnt mit einem Punkt.\r\n"_s + QString(1000, u'x') +
               u"\r\nMit freundlichen Grüßen\r\n"_s;
    }
    void expectDelivered(test::LocalSmtpServer& srv) {
        const auto msgs = srv.objects();
        ASSERT_EQ(msgs.size(), 1);
        const QJsonObject m = msgs[0];
        EXPECT_EQ(m.value(u"from"_s).toString(), u"shop@gavel.example"_s);
        EXPECT_EQ(m.value(u"rcpt"_s).toArray().toVariantList(),
                  (QVariantList{u"hans@example.de"_s, u"kopie@gavel.example"_s}));
        const QJsonObject read = srv.decoded(0);
        EXPECT_EQ(read.value(u"subject"_s).toString(), u"Zahlung erhalten – Kaffeemühle für 24,50 €"_s);
        EXPECT_EQ(read.value(u"from_address"_s).toString(), u"shop@gavel.example"_s);
        const QString b = decodeMimeMessage(win::toAnsi(m.value(u"data"_s).toString())).valueOr(QString());
        EXPECT_TRUE(b.contains(u"\r\n.dieser Satz beginnt mit einem Punkt.\r\n"_s)) << b.toStdString();
        EXPECT_TRUE(b.contains(u"\r\n"_s + QString(1000, u'x') + u"\r\n"_s));
        EXPECT_TRUE(b.contains(u"Grüßen"_s));
        for (const QString& l : m.value(u"data"_s).toString().split(u"\r\n"_s)) EXPECT_LE(l.size(), 998);
    }
    Status last;
    Status send(quint16 port) {
        gSettings.SMTPPort = port;
        return last = Send_SMTP(u"\"Gavel Händler\" <shop@gavel.example>"_s, u"Hans Müller <hans@example.de>"_s, body(),
                                u"kopie@gavel.example"_s);
    }
    Status direct(const QString& from, const QString& to) { return last = Send_SMTP(from, to, body(), QString()); }
};

TEST_F(Delivery, PlainServer) {
    test::LocalSmtpServer srv;
    ASSERT_TRUE(srv.start());
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
    // a second send sets every property again
    EXPECT_TRUE(test::ok(send(srv.port)));
    EXPECT_EQ(srv.messages().size(), 2);
}

// Files arrive beside the text byte for byte, under a name a mail program can save.
TEST_F(Delivery, FilesArriveWholeBesideTheText) {
    test::LocalSmtpServer srv;
    ASSERT_TRUE(srv.start());
    gSettings.SMTPPort = srv.port;
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
    test::LocalSmtpServer srv;
    ASSERT_TRUE(srv.start({u"--auth"_s, u"haendler:geheim"_s}));
    login();
    // The server offers no TLS: the password stays home until the user allows otherwise.
    EXPECT_FALSE(send(srv.port).ok());
    EXPECT_TRUE(test::failure(last).contains(u"Kennwort auch unverschlüsselt senden (unsicher)"_s))
        << test::failure(last).toStdString();
    gSettings.KennwortUnverschluesselt = true;
    login(u"falsch"_s);
    EXPECT_FALSE(send(srv.port).ok());
    EXPECT_TRUE(test::failure(last).contains(u"535"_s)) << test::failure(last).toStdString();
    EXPECT_TRUE(srv.messages().isEmpty());
    login();
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
}

// Once the certificate is trusted, names from all over Europe arrive as typed.
TEST_F(Delivery, StartTlsWithTrustedAndUntrustedCertificate) {
    test::TestCertificate cert;
    ASSERT_TRUE(cert.made);
    test::LocalSmtpServer srv;
    ASSERT_TRUE(srv.start(QStringList{u"--auth"_s, u"haendler:geheim"_s} + cert.serverArgs()));
    login();
    EXPECT_FALSE(send(srv.port).ok());  // not trusted: no fall-back to clear text
    // The host and what the certificate says: made out to 127.0.0.1 by itself.
    EXPECT_TRUE(test::failure(last).contains(
        u"Das Zertifikat des Servers 127.0.0.1 ist ungültig; die E-Mail wurde nicht gesendet. Es ist für „127.0.0.1“ von"_s))
        << test::failure(last).toStdString();
    EXPECT_TRUE(srv.messages().isEmpty());
    ctlSMTPRelay::setExtraTrustedCertificate(cert.certificate());
    const QString subject =
        u"Ihr Kauf bei gavel_haendler: Kaffeemühle „Dvořák“ mit Mahlwerk aus Edelstahl und Glasbehälter (Artikel 4711)"_s;
    const QString text =
        u"Dzień dobry Łukasz Wiśniewski,\r\n\r\nLieferadresse:\r\nулица Ленина 5\r\nСанкт-Петербург\r\n\r\n"
        "Summe: 24,50 € = 2450 Cent_genau\r\n"_s;
    ASSERT_TRUE(test::ok(Send_SMTP(u"Gavel Händler <shop@gavel.example>"_s, u"Łukasz Wiśniewski <lukasz@example.pl>"_s,
                                   u"subject: "_s + subject + u"\r\n"_s + text, QString())));
    const QJsonObject m = srv.decoded(0);
    EXPECT_EQ(m.value(u"subject"_s).toString(), subject);
    EXPECT_EQ(m.value(u"to_name"_s).toString(), u"Łukasz Wiśniewski"_s);
    EXPECT_EQ(m.value(u"to_address"_s).toString(), u"lukasz@example.pl"_s);
    EXPECT_EQ(m.value(u"from_name"_s).toString(), u"Gavel Händler"_s);
    EXPECT_EQ(m.value(u"body"_s).toString().replace(u"\r\n"_s, u"\n"_s), QString(text).replace(u"\r\n"_s, u"\n"_s));
    EXPECT_EQ(m.value(u"charset"_s).toString(), u"utf-8"_s);
    EXPECT_TRUE(QRegularExpression(u"^<[0-9]{14}\\.[0-9a-f]+@gavel\\.example>$"_s)
                    .match(m.value(u"message_id"_s).toString())
                    .hasMatch())
        << m.value(u"message_id"_s).toString().toStdString();
    EXPECT_TRUE(m.value(u"defects"_s).toArray().isEmpty());
    for (const QJsonValue& l : m.value(u"header_lines"_s).toArray())
        EXPECT_LE(l.toString().size(), 78) << l.toString().toStdString();
}

TEST_F(Delivery, ImplicitTls) {
    test::TestCertificate cert;
    ASSERT_TRUE(cert.made);
    test::LocalSmtpServer srv;
    ASSERT_TRUE(srv.start(cert.serverArgs() << u"--implicit-tls"_s));
    ctlSMTPRelay::setImplicitTlsPort(srv.port);
    ctlSMTPRelay::setExtraTrustedCertificate(cert.certificate());
    EXPECT_TRUE(test::ok(send(srv.port)));
    expectDelivered(srv);
    ctlSMTPRelay::setExtraTrustedCertificate(QSslCertificate());
    EXPECT_FALSE(send(srv.port).ok());
    ctlSMTPRelay::setImplicitTlsPort(465);
}

TEST_F(Delivery, RefusedConnectionUnknownHostAndBrokenAddresses) {
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(send(test::freeLoopbackPort()).ok());  // nobody listens
    EXPECT_TRUE(test::failure(last).contains(u"hat die Verbindung auf Port"_s)) << test::failure(last).toStdString();
    EXPECT_FALSE(test::failure(last).contains(u"refused"_s));  // German alone
    gSettings.SMTPServer = u"gibt-es-nicht.invalid"_s;
    EXPECT_FALSE(send(25).ok());
    EXPECT_TRUE(test::failure(last).contains(u"gibt-es-nicht.invalid"_s)) << test::failure(last).toStdString();
    EXPECT_LT(t.elapsed(), 12000);
    gSettings.SMTPServer = u"127.0.0.1"_s;
    EXPECT_FALSE(direct(u"Gavel <shop@gavel.example"_s, u"h@x.de"_s).ok());
    EXPECT_TRUE(test::failure(last).contains(u"unvollständig"_s));
    EXPECT_FALSE(direct(u"shop@gavel.example"_s, u"Hans <h@x.de"_s).ok());
    gSettings.SMTPServer.clear();
    EXPECT_FALSE(direct(u"shop@gavel.example"_s, u"h@x.de"_s).ok());
    EXPECT_TRUE(test::failure(last).contains(u"kein SMTP-Server"_s));
}

// A misbehaving server in its own process, so its memory is not ours.
struct BadServer {
    QProcess proc;
    quint16 port = 0;
    explicit BadServer(const char* mode, const char* replies = "") {
        proc.start(u"/usr/bin/python3"_s, {QStringLiteral(GD_BAD_SERVER_SCRIPT), u"--mode"_s, QString::fromLatin1(mode),
                                           u"--replies"_s, QString::fromLatin1(replies)});
        if (proc.waitForReadyRead(20000)) port = quint16(proc.readAllStandardOutput().trimmed().mid(5).toUInt());
    }
    ~BadServer() {
        proc.kill();
        proc.waitForFinished(3000);
    }
};

// kB from /proc/self/status; "VmHWM" is the peak since clearPeak().
qint64 statusKb(const char* key) {
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(key)) return l.mid(qsizetype(qstrlen(key)) + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}
bool clearPeak() {
    QFile f(u"/proc/self/clear_refs"_s);
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// What the server says at each step is the session's to judge; here the socket's faults.
TEST_F(Delivery, EveryFaultIsAFailureWithinItsTimeOut) {
    // The replies of a willing server (greeting, HELO, MAIL, two RCPT, DATA) up to the fault;
    // "-" says nothing, "!" hangs up after the reply.
    const struct {
        const char* name;
        const char* replies;
    } cases[] = {
        {"RCPT 550", "220 mx|250 hi|250 ok|550 unbekannt"},
        {"body 552", "220 mx|250 hi|250 ok|250 ok|250 ok|354 los|552 zu gross"},
        {"closed mid-DATA", "220 mx|250 hi|250 ok|250 ok|250 ok|354 los!"},
        {"silent after HELO", "220 mx|-"},
        {"no greeting at all", "-"},
    };
    ctlSMTPRelay::setReplyTimeoutSecs(1);
    for (const auto& c : cases) {
        BadServer fake("script", c.replies);
        ASSERT_NE(fake.port, 0) << c.name;
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(send(fake.port).ok()) << c.name;
        EXPECT_FALSE(test::failure(last).isEmpty()) << c.name;
        EXPECT_LT(t.elapsed(), 4000) << c.name;
    }
}

TEST_F(Delivery, NoServerCanHoldOrFloodASend) {
    const struct {
        const char* mode;
        int replySecs, totalSecs;
        qint64 limitMs;  // the send ends before this
        const char* because;
    } cases[] = {
        // one byte every 4 s: the reply clock is not wound up by single bytes, the total limit ends it
        {"trickle", 30, 3, 4500, "3 Sekunden"},
        {"trickle", 2, 120, 3500, "Zeitüberschreitung"},
        {"endless", 30, 120, 3000, "100 Zeilen"},
        {"flood", 30, 120, 10000, "4 KB"},
    };
    for (const auto& c : cases) {
        BadServer bad(c.mode);
        ASSERT_NE(bad.port, 0) << c.mode;
        ctlSMTPRelay::setReplyTimeoutSecs(c.replySecs);
        gSettings.SMTPZeitlimit = c.totalSecs;
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
    const struct {
        QString text, name, address;
    } cases[] = {
        {u"  \"Hans Müller\"  <hans@x.de>"_s, u"Hans Müller"_s, u"hans@x.de"_s},
        {u"'Jörg' <j@x.de>"_s, u"Jörg"_s, u"j@x.de"_s},
        {u"h@x.de"_s, QString(), u"h@x.de"_s},
    };
    for (const auto& c : cases) {
        const std::optional<MailAddress> a = splitAddress(c.text);
        ASSERT_TRUE(a.has_value()) << c.text.toStdString();
        EXPECT_EQ(a->name, c.name);
        EXPECT_EQ(a->address, c.address);
    }
    EXPECT_FALSE(splitAddress(u"Hans <h@x.de"_s).has_value());
}

}  // namespace
}  // namespace gd
