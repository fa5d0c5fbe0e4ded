#include <gtest/gtest.h>

#include <functional>

#include "domain/smtp/SmtpSession.h"
#include "support/TestApp.h"

namespace gd {
namespace {

const QDateTime kWhen(QDate(2026, 12, 4), QTime(8, 44, 2));

SmtpMessage message(bool auth, bool cc = false) {
    SmtpMessage m;
    m.MailSenderName = QStringLiteral("Gavel Händler");
    m.MailSenderEMail = QStringLiteral("shop@gavel.example");
    m.MailRecipientName = QStringLiteral("Hans Müller");
    m.MailRecipientEMail = QStringLiteral("hans@example.de");
    if (cc) m.MailSenderEMailCC = QStringLiteral("kopie@gavel.example");
    m.MailBody = QStringLiteral("subject: Danke\r\nHallo\r\n.Punkt am Anfang\r\nGruß");
    m.MessageId = QStringLiteral("<20261204084402.1@gavel.example>");
    if (auth) {
        m.SMTPAuthUser = QStringLiteral("haendler@gavel.example");
        m.SMTPAuthPass = QStringLiteral("geheim");
    }
    return m;
}

struct Step {
    const char* reply;
    const char* sent;  // what the session answers
    SmtpSession::State state;
};

void run(SmtpSession& s, const std::vector<Step>& steps) {
    ASSERT_TRUE(s.prepare().ok());
    s.start();
    for (const Step& st : steps) {
        const auto a = s.received(QByteArray(st.reply));
        EXPECT_EQ(a.send.toStdString(), st.sent) << "reply " << st.reply;
        EXPECT_EQ(s.state(), st.state) << "reply " << st.reply;
    }
}

constexpr auto kNone = SmtpSecurity::None;

TEST(SmtpSession, PlainDeliveryByteForByte) {
    SmtpSession s(message(false), false, false, kWhen, 1, kNone);
    run(s, {{"220 mx ready\r\n", "HELO shop\r\n", SmtpSession::Helo},
            {"250 hello\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
            {"250 ok\r\n", "RCPT TO: <hans@example.de>\r\n", SmtpSession::RcptTo},
            {"250 ok\r\n", "DATA\r\n", SmtpSession::Data},
            {"354 go\r\n",
             "DATE: Fri, 04 Dec 2026 08:44:02 +0100\r\n"
             "FROM: =?ISO-8859-1?Q?Gavel_H=E4ndler?=<shop@gavel.example>\r\n"
             "TO: =?ISO-8859-1?Q?Hans_M=FCller?=<hans@example.de>\r\n"
             "X-Mailer: Orvo Gaveldesk 2005\r\nMessage-ID: <20261204084402.1@gavel.example>\r\n"
             "Subject: Danke\r\nMime-Version: 1.0\r\n"
             "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
             "Hallo\r\n..Punkt am Anfang\r\nGru=DF\r\n.\r\n",
             SmtpSession::Body},
            {"250 queued\r\n", "QUIT\r\n", SmtpSession::Finished}});
    EXPECT_TRUE(s.success());
}

TEST(SmtpSession, AuthLoginWithCopyAndMultiLineReplies) {
    SmtpSession s(message(true, true), false, true, kWhen, 1);
    run(s, {{"220 mx\r\n", "EHLO haendler\r\n", SmtpSession::Helo},
            {"250-mx\r\n250-AUTH LOGIN\r\n250 8BITMIME\r\n", "AUTH LOGIN\r\n", SmtpSession::AuthLogin},
            {"334 VXNlcm5hbWU6\r\n", "aGFlbmRsZXJAZ2F2ZWwuZXhhbXBsZQ==\r\n", SmtpSession::AuthUser},
            {"334 UGFzc3dvcmQ6\r\n", "Z2VoZWlt\r\n", SmtpSession::AuthPass},
            {"235 ok\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
            {"250 ok\r\n", "RCPT TO: <hans@example.de>\r\nRCPT TO: <kopie@gavel.example>\r\n", SmtpSession::RcptTo},
            {"250 ok\r\n", "DATA\r\n", SmtpSession::Data},
            {"250 ok\r\n", "", SmtpSession::Data}});  // the second RCPT's reply is ignored
    EXPECT_FALSE(s.success());
    EXPECT_TRUE(s.received("354 go\r\n").send.startsWith("DATE: "));
}

TEST(SmtpSession, RepliesSplitAnywhereAreReadWhole) {
    SmtpSession s(message(false), false, false, kWhen, 1, kNone);
    ASSERT_TRUE(s.prepare().ok());
    s.start();
    QByteArray sent;
    for (char c : QByteArray("220-mx ready\r\n220 really\r\n")) sent += s.received(QByteArray(1, c)).send;
    EXPECT_EQ(sent, QByteArray("HELO shop\r\n"));
    // two replies in one chunk
    const auto a = s.received("250 hi\r\n250 ok\r\n");
    EXPECT_EQ(a.send, QByteArray("MAIL FROM: <shop@gavel.example>\r\nRCPT TO: <hans@example.de>\r\n"));
}

TEST(SmtpSession, TestOnlySendsNoData) {
    SmtpSession s(message(false), true, false, kWhen, 1, kNone);
    run(s, {{"220 mx\r\n", "HELO shop\r\n", SmtpSession::Helo},
            {"250 hi\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
            {"250 ok\r\n", "RCPT TO: <hans@example.de>\r\n", SmtpSession::RcptTo},
            {"251 forwarded\r\n", "QUIT\r\n", SmtpSession::Finished}});
    EXPECT_TRUE(s.success());
}

TEST(SmtpSession, FailuresAtEveryStage) {
    const std::vector<QByteArray> good = {"220 mx\r\n", "250 hi\r\n", "334 u\r\n",  "334 p\r\n",
                                          "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"};
    for (std::size_t failAt = 0; failAt < good.size(); ++failAt) {
        for (const char* bad : {"421 closing\r\n", "535 wrong password\r\n", "221 bye\r\n", "xyz\r\n"}) {
            SmtpSession s(message(true), false, true, kWhen, 1);
            ASSERT_TRUE(s.prepare().ok());
            s.start();
            for (std::size_t i = 0; i < failAt; ++i) s.received(good[i]);
            const auto a = s.received(bad);
            EXPECT_TRUE(a.close) << failAt << " " << bad;
            EXPECT_TRUE(s.finished());
            EXPECT_FALSE(s.success());
            EXPECT_FALSE(s.failure().isEmpty());
        }
    }
}

TEST(SmtpSession, BlankUserMeansNoAuthAndBadAddressesAreRefused) {
    SmtpMessage m = message(true);
    m.SMTPAuthUser = QStringLiteral("   ");
    SmtpSession s(m, false, false, kWhen, 1, kNone);
    run(s, {{"220 mx\r\n", "HELO shop\r\n", SmtpSession::Helo}});

    m = message(false);
    m.MailRecipientEMail = QStringLiteral("hans@example.de>\r\nRCPT TO: <spam@x");
    SmtpSession bad(m, false, false, kWhen, 1);
    const Status refused = bad.prepare();
    ASSERT_FALSE(refused.ok());
    EXPECT_FALSE(refused.error().sentence.isEmpty());
    EXPECT_TRUE(bad.finished());
}

TEST(SmtpSession, WhatCameWithTheStartTlsGoAheadIsThrownAway) {
    SmtpSession s(message(true), false, false, kWhen, 1);
    run(s, {{"220 mx\r\n", "EHLO haendler\r\n", SmtpSession::Helo},
            {"250-mx\r\n250 STARTTLS\r\n", "STARTTLS\r\n", SmtpSession::StartTls}});
    // A man in the middle appends a capability list in clear text.
    const auto a = s.received("220 go ahead\r\n250-mx\r\n250 AUTH PLAIN\r\n235 ok\r\n");
    EXPECT_TRUE(a.startTls);
    EXPECT_TRUE(a.send.isEmpty());
    EXPECT_EQ(s.tlsEstablished().send, QByteArray("EHLO haendler\r\n"));
    EXPECT_EQ(s.state(), SmtpSession::Helo);
    // Only the server's answer through TLS counts, and STARTTLS is not asked twice.
    EXPECT_EQ(s.received("250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n").send, QByteArray("AUTH LOGIN\r\n"));
}

TEST(SmtpSession, ThePasswordGoesOutOnlyOverTlsUnlessAllowed) {
    struct Case {
        SmtpSecurity security;
        bool tls, allowPlain;
        const char* capabilities;
        const char* expectSent;  // empty: refused
    };
    const Case cases[] = {
        {SmtpSecurity::StartTls, false, false, "250-mx\r\n250 AUTH LOGIN PLAIN\r\n", ""},
        {SmtpSecurity::None, false, false, "250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", ""},
        {SmtpSecurity::StartTls, false, true, "250-mx\r\n250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::None, false, true, "250-mx\r\n250 AUTH=LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH PLAIN CRAM-MD5\r\n",
         "AUTH PLAIN AGhhZW5kbGVyQGdhdmVsLmV4YW1wbGUAZ2VoZWlt\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH CRAM-MD5\r\n", ""},
    };
    for (const Case& c : cases) {
        SmtpSession s(message(true), false, c.tls, kWhen, 1, c.security, c.allowPlain);
        ASSERT_TRUE(s.prepare().ok());
        s.start();
        QByteArray wire = s.received("220 mx\r\n").send;
        const auto a = s.received(c.capabilities);
        wire += a.send;
        const std::string expected = c.expectSent;
        if (expected.empty()) {
            EXPECT_TRUE(a.close) << c.capabilities;
            EXPECT_FALSE(s.success());
            EXPECT_FALSE(wire.contains("Z2VoZWlt")) << "the password went out";
            EXPECT_FALSE(wire.contains("AUTH")) << c.capabilities;
            if (!c.tls) {
                EXPECT_TRUE(s.failure().contains(QStringLiteral("Kennwort auch unverschlüsselt senden (unsicher)")))
                    << s.failure().toStdString();
            }
        } else {
            EXPECT_EQ(a.send.toStdString(), expected) << c.capabilities;
        }
    }
}

TEST(SmtpSession, AuthPlainLogsInAndGoesOn) {
    SmtpSession s(message(true), false, true, kWhen, 1, SmtpSecurity::ImplicitTls);
    run(s, {{"220 mx\r\n", "EHLO haendler\r\n", SmtpSession::Helo},
            {"250-mx\r\n250 AUTH PLAIN\r\n", "AUTH PLAIN AGhhZW5kbGVyQGdhdmVsLmV4YW1wbGUAZ2VoZWlt\r\n",
             SmtpSession::AuthPass},
            {"235 ok\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom}});
}

TEST(SmtpSession, AServerCannotHoldOrFloodTheSession) {
    struct Case {
        const char* what;
        std::function<QByteArray(int)> chunk;  // the n-th piece the server sends
        int pieces;
    };
    const Case cases[] = {
        {"one line without end", [](int) { return QByteArray(1000, 'x'); }, 100},
        {"a reply that never ends", [](int) { return QByteArray("220-still greeting\r\n"); }, 1000},
        {"a long line in a reply", [](int n) { return n == 0 ? QByteArray("220-a\r\n") : QByteArray(5000, 'y'); }, 3},
    };
    for (const Case& c : cases) {
        SmtpSession s(message(false), false, false, kWhen, 1, kNone);
        ASSERT_TRUE(s.prepare().ok());
        s.start();
        int n = 0;
        for (; n < c.pieces && !s.finished(); ++n) s.received(c.chunk(n));
        EXPECT_TRUE(s.finished()) << c.what;
        EXPECT_FALSE(s.success()) << c.what;
        EXPECT_FALSE(s.failure().isEmpty()) << c.what;
        EXPECT_LE(s.trace().size(), SmtpSession::kMaxTrace) << c.what;
        qsizetype traced = 0;
        for (const QString& t : s.trace()) traced += t.size();
        EXPECT_LE(traced, SmtpSession::kMaxTrace * 1010) << c.what;
    }
    // Many small replies keep the trace bounded too.
    SmtpSession s(message(false), false, false, kWhen, 1, kNone);
    ASSERT_TRUE(s.prepare().ok());
    s.start();
    for (int i = 0; i < 1000; ++i) s.received("2");
    EXPECT_EQ(s.trace().size(), SmtpSession::kMaxTrace);
    s.tookTooLong(120);
    EXPECT_TRUE(s.failure().contains(QStringLiteral("120 Sekunden"))) << s.failure().toStdString();
}

}  // namespace
}  // namespace gd
