#include <gtest/gtest.h>

#include "domain/smtp/SmtpSession.h"

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
    QString error;
    ASSERT_TRUE(s.prepare(&error)) << error.toStdString();
    s.start();
    for (const Step& st : steps) {
        const auto a = s.received(QByteArray(st.reply));
        EXPECT_EQ(a.send.toStdString(), st.sent) << "reply " << st.reply;
        EXPECT_EQ(s.state(), st.state) << "reply " << st.reply;
    }
}

TEST(SmtpSession, PlainDeliveryByteForByte) {
    SmtpSession s(message(false), false, false, kWhen, 1);
    run(s, {{"220 mx ready\r\n", "HELO shop\r\n", SmtpSession::Helo},
            {"250 hello\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
            {"250 ok\r\n", "RCPT TO: <hans@example.de>\r\n", SmtpSession::RcptTo},
            {"250 ok\r\n", "DATA\r\n", SmtpSession::Data},
            {"354 go\r\n",
             "DATE: Fri, 04 Dec 2026 08:44:02 +0100\r\n"
             "FROM: =?ISO-8859-1?Q?Gavel_H=E4ndler?=<shop@gavel.example>\r\n"
             "TO: =?ISO-8859-1?Q?Hans_M=FCller?=<hans@example.de>\r\n"
             "X-Mailer: Orvo Gaveldesk 2005\r\nSubject:  Danke\r\nMime-Version: 1.0\r\n"
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
    SmtpSession s(message(false), false, false, kWhen, 1);
    QString e;
    ASSERT_TRUE(s.prepare(&e));
    s.start();
    QByteArray sent;
    for (char c : QByteArray("220-mx ready\r\n220 really\r\n")) sent += s.received(QByteArray(1, c)).send;
    EXPECT_EQ(sent, QByteArray("HELO shop\r\n"));
    // two replies in one chunk
    const auto a = s.received("250 hi\r\n250 ok\r\n");
    EXPECT_EQ(a.send, QByteArray("MAIL FROM: <shop@gavel.example>\r\nRCPT TO: <hans@example.de>\r\n"));
}

TEST(SmtpSession, StartTlsThenEhloAgain) {
    SmtpSession s(message(true), false, false, kWhen, 1);
    run(s, {{"220 mx\r\n", "EHLO haendler\r\n", SmtpSession::Helo},
            {"250-mx\r\n250 STARTTLS\r\n", "STARTTLS\r\n", SmtpSession::StartTls}});
    const auto a = s.received("220 go ahead\r\n");
    EXPECT_TRUE(a.startTls);
    EXPECT_EQ(s.tlsEstablished().send, QByteArray("EHLO haendler\r\n"));
    EXPECT_EQ(s.received("250-mx\r\n250 STARTTLS\r\n").send, QByteArray("AUTH LOGIN\r\n"));  // not twice
}

TEST(SmtpSession, TestOnlySendsNoData) {
    SmtpSession s(message(false), true, false, kWhen, 1);
    run(s, {{"220 mx\r\n", "HELO shop\r\n", SmtpSession::Helo},
            {"250 hi\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
            {"250 ok\r\n", "RCPT TO: <hans@example.de>\r\n", SmtpSession::RcptTo},
            {"251 forwarded\r\n", "QUIT\r\n", SmtpSession::Finished}});
    EXPECT_TRUE(s.success());
}

TEST(SmtpSession, FailuresAtEveryStage) {
    const std::vector<QByteArray> good = {"220 mx\r\n", "250 hi\r\n", "334 u\r\n", "334 p\r\n",
                                          "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"};
    for (std::size_t failAt = 0; failAt < good.size(); ++failAt) {
        for (const char* bad : {"421 closing\r\n", "535 wrong password\r\n", "221 bye\r\n", "xyz\r\n"}) {
            SmtpSession s(message(true), false, true, kWhen, 1);
            QString e;
            ASSERT_TRUE(s.prepare(&e));
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
    SmtpSession s(m, false, false, kWhen, 1);
    run(s, {{"220 mx\r\n", "HELO shop\r\n", SmtpSession::Helo}});

    m = message(false);
    m.MailRecipientEMail = QStringLiteral("hans@example.de>\r\nRCPT TO: <spam@x");
    SmtpSession bad(m, false, false, kWhen, 1);
    QString e;
    EXPECT_FALSE(bad.prepare(&e));
    EXPECT_FALSE(e.isEmpty());
    EXPECT_TRUE(bad.finished());
}

}  // namespace
}  // namespace gd
