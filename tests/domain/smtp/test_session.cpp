#include <gtest/gtest.h>

#include <QRegularExpression>
#include <functional>

#include "domain/smtp/SmtpEncoding.h"
#include "domain/smtp/SmtpSession.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kWhen(QDate(2026, 12, 4), QTime(8, 44, 2));

SmtpMessage message(bool auth, bool cc = false) {
    SmtpMessage m;
    m.MailSenderName = u"Gavel Händler"_s;
    m.MailSenderEMail = u"shop@gavel.example"_s;
    m.MailRecipientName = u"Hans Müller"_s;
    m.MailRecipientEMail = u"hans@example.de"_s;
    if (cc) m.MailSenderEMailCC = u"kopie@gavel.example"_s;
    m.MailBody = u"subject: Danke\r\nHallo\r\n.Punkt am Anfang\r\nGruß"_s;
    m.MessageId = u"<20261204084402.1@gavel.example>"_s;
    if (auth) {
        m.SMTPAuthUser = u"haendler@gavel.example"_s;
        m.SMTPAuthPass = u"geheim"_s;
    }
    return m;
}

struct Step {
    const char* reply;
    const char* sent;  // what the session answers
    SmtpSession::State state;
};

// Prepares and starts the session, then checks what it answers to each reply.
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
    run(s, {{"220 mx ready\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo},
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

// Each recipient waits for the server's reply unless it announced PIPELINING (servers that
// forbid unannounced pipelining drop the line); a refused copy is not passed over.
TEST(SmtpSession, AuthLoginWithCopyAndMultiLineReplies) {
    for (const bool pipelining : {false, true}) {
        SmtpSession s(message(true, true), false, true, kWhen, 1);
        s.setLocalAddress(u"192.0.2.7"_s);
        const char* rcpt = "RCPT TO: <hans@example.de>\r\n";
        const std::string both = std::string(rcpt) + "RCPT TO: <kopie@gavel.example>\r\n";
        run(s, {{"220 mx\r\n", "EHLO [192.0.2.7]\r\n", SmtpSession::Helo},
                {pipelining ? "250-mx\r\n250-PIPELINING\r\n250 AUTH LOGIN\r\n" : "250-mx\r\n250 AUTH LOGIN\r\n",
                 "AUTH LOGIN\r\n", SmtpSession::AuthLogin},
                {"334 VXNlcm5hbWU6\r\n", "aGFlbmRsZXJAZ2F2ZWwuZXhhbXBsZQ==\r\n", SmtpSession::AuthUser},
                {"334 UGFzc3dvcmQ6\r\n", "Z2VoZWlt\r\n", SmtpSession::AuthPass},
                {"235 ok\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom},
                {"250 ok\r\n", pipelining ? both.c_str() : rcpt, SmtpSession::RcptTo},
                {"250 ok\r\n", pipelining ? "" : "RCPT TO: <kopie@gavel.example>\r\n", SmtpSession::RcptTo},
                {"250 ok\r\n", "DATA\r\n", SmtpSession::Data}});
        EXPECT_TRUE(s.received("354 go\r\n").send.startsWith("DATE: "));
    }
    SmtpSession refused(message(true, true), false, true, kWhen, 1);
    run(refused, {});
    for (const char* r : {"220 mx\r\n", "250 AUTH PLAIN\r\n", "235 ok\r\n", "250 ok\r\n", "250 ok\r\n"})
        refused.received(r);
    EXPECT_EQ(refused.received("550 no such user\r\n").send, QByteArray("DATA\r\n"));  // the buyer's mail goes on
    EXPECT_EQ(refused.copyRefused(), u"550 no such user"_s);
    SmtpSession main(message(true), false, true, kWhen, 1);  // the buyer refused: nothing goes out
    run(main, {});
    for (const char* r : {"220 mx\r\n", "250 AUTH PLAIN\r\n", "235 ok\r\n", "250 ok\r\n"}) main.received(r);
    EXPECT_TRUE(main.received("550 no such user\r\n").close);
    EXPECT_FALSE(main.success());
}

TEST(SmtpSession, HeloOnlyWhereEhloIsRefused) {
    SmtpSession s(message(false), false, false, kWhen, 1, kNone);
    run(s, {{"220 mx\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo},
            {"502 not implemented\r\n", "HELO [127.0.0.1]\r\n", SmtpSession::Helo},
            {"250 hi\r\n", "MAIL FROM: <shop@gavel.example>\r\n", SmtpSession::MailFrom}});
}

TEST(SmtpSession, RepliesSplitAnywhereAreReadWhole) {
    SmtpSession s(message(false), false, false, kWhen, 1, kNone);
    run(s, {});
    QByteArray sent;
    for (char c : QByteArray("220-mx ready\r\n220 really\r\n")) sent += s.received(QByteArray(1, c)).send;
    EXPECT_EQ(sent, QByteArray("EHLO [127.0.0.1]\r\n"));
    // two replies in one chunk
    const auto a = s.received("250 hi\r\n250 ok\r\n");
    EXPECT_EQ(a.send, QByteArray("MAIL FROM: <shop@gavel.example>\r\nRCPT TO: <hans@example.de>\r\n"));
}

TEST(SmtpSession, TestOnlySendsNoData) {
    SmtpSession s(message(false), true, false, kWhen, 1, kNone);
    run(s, {{"220 mx\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo},
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
            run(s, {});
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
    m.SMTPAuthUser = u"   "_s;
    SmtpSession s(m, false, false, kWhen, 1, kNone);
    run(s, {{"220 mx\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo}});

    m = message(false);
    m.MailRecipientEMail = u"hans@example.de>\r\nRCPT TO: <spam@x"_s;
    SmtpSession bad(m, false, false, kWhen, 1);
    const Status refused = bad.prepare();
    ASSERT_FALSE(refused.ok());
    EXPECT_FALSE(refused.error().sentence.isEmpty());
    EXPECT_TRUE(bad.finished());
}

TEST(SmtpSession, WhatCameWithTheStartTlsGoAheadIsThrownAway) {
    SmtpSession s(message(true), false, false, kWhen, 1);
    run(s, {{"220 mx\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo},
            {"250-mx\r\n250 STARTTLS\r\n", "STARTTLS\r\n", SmtpSession::StartTls}});
    // A man in the middle appends a capability list in clear text.
    const auto a = s.received("220 go ahead\r\n250-mx\r\n250 AUTH PLAIN\r\n235 ok\r\n");
    EXPECT_TRUE(a.startTls);
    EXPECT_TRUE(a.send.isEmpty());
    EXPECT_EQ(s.tlsEstablished().send, QByteArray("EHLO [127.0.0.1]\r\n"));
    EXPECT_EQ(s.state(), SmtpSession::Helo);
    // Only the server's answer through TLS counts, and STARTTLS is not asked twice.
    EXPECT_EQ(s.received("250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n").send, QByteArray("AUTH LOGIN\r\n"));
}

// "STARTTLS" chosen and not offered (or struck from the reply by someone on the way): nothing
// goes out in clear, with or without a login.
TEST(SmtpSession, NoMailInClearWhenStartTlsWasChosen) {
    SmtpSession s(message(false), false, false, kWhen, 1, SmtpSecurity::StartTls);
    run(s, {{"220 mx\r\n", "EHLO [127.0.0.1]\r\n", SmtpSession::Helo}});
    const auto a = s.received("250-mx\r\n250 8BITMIME\r\n");
    EXPECT_TRUE(a.close);
    EXPECT_FALSE(a.send.contains("MAIL FROM"));
    EXPECT_TRUE(s.failure().contains(u"keine Verschlüsselung (STARTTLS)"_s)) << s.failure().toStdString();
}

TEST(SmtpSession, ThePasswordGoesOutOnlyOverTlsUnlessAllowed) {
    const struct {
        SmtpSecurity security;
        bool tls, allowPlain;
        const char* capabilities;
        const char* expectSent;  // empty: refused
    } cases[] = {
        {SmtpSecurity::StartTls, false, false, "250-mx\r\n250 AUTH LOGIN PLAIN\r\n", ""},
        {SmtpSecurity::None, false, false, "250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", ""},
        {SmtpSecurity::StartTls, false, true, "250-mx\r\n250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::None, false, true, "250-mx\r\n250 AUTH=LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH PLAIN CRAM-MD5\r\n",
         "AUTH PLAIN AGhhZW5kbGVyQGdhdmVsLmV4YW1wbGUAZ2VoZWlt\r\n"},
        {SmtpSecurity::ImplicitTls, true, false, "250-mx\r\n250 AUTH CRAM-MD5\r\n", ""},
    };
    for (const auto& c : cases) {
        SmtpSession s(message(true), false, c.tls, kWhen, 1, c.security, c.allowPlain);
        run(s, {});
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
                EXPECT_TRUE(s.failure().contains(u"Kennwort auch unverschlüsselt senden (unsicher)"_s))
                    << s.failure().toStdString();
                // "Keine Verschlüsselung" is the user's choice, not the server's lack.
                EXPECT_EQ(s.failure().contains(u"Der Server bietet keine"_s), c.security != SmtpSecurity::None);
            }
        } else {
            EXPECT_EQ(a.send.toStdString(), expected) << c.capabilities;
        }
    }
}

// A token is sent only over TLS (whatever the user allowed for passwords) and only where
// XOAUTH2 is offered; its refusal comes as a challenge, answered empty, then 535.
TEST(SmtpSession, TokenSignIn) {
    SmtpMessage m = message(false);
    m.SMTPAuthUser = u"haendler@outlook.example"_s;
    m.SMTPAuthToken = u"ya29.abc"_s;
    const QByteArray sasl = xoauth2Response(m.SMTPAuthUser, m.SMTPAuthToken);
    EXPECT_EQ(QByteArray::fromBase64(sasl), QByteArray("user=haendler@outlook.example\x01"
                                                       "auth=Bearer ya29.abc\x01\x01"));
    const struct {
        bool tls;
        const char* capabilities;
        std::string expectSent;  // empty: refused
    } cases[] = {
        {false, "250-mx\r\n250 AUTH XOAUTH2 LOGIN\r\n", ""},
        {true, "250-mx\r\n250 AUTH LOGIN PLAIN\r\n", ""},
        {true, "250-mx\r\n250 AUTH LOGIN XOAUTH2\r\n", "AUTH XOAUTH2 " + sasl.toStdString() + "\r\n"},
    };
    for (const auto& c : cases) {
        SmtpSession s(m, false, c.tls, kWhen, 1, SmtpSecurity::ImplicitTls, true);
        run(s, {});
        s.received("220 mx\r\n");
        const auto a = s.received(c.capabilities);
        if (c.expectSent.empty()) {
            EXPECT_EQ(a.send, QByteArray("QUIT\r\n")) << c.capabilities;
            EXPECT_TRUE(a.close);
            EXPECT_FALSE(s.failure().contains(u"ya29"_s));
            continue;
        }
        EXPECT_EQ(a.send.toStdString(), c.expectSent) << c.capabilities;
        EXPECT_EQ(s.received("334 eyJzdGF0dXMiOiI0MDEifQ==\r\n").send, QByteArray("\r\n"));
        s.received("535 5.7.8 Username and Password not accepted\r\n");
        EXPECT_TRUE(s.signInRefused());
        EXPECT_FALSE(s.success());
    }
}

TEST(SmtpSession, AServerCannotHoldOrFloodTheSession) {
    const struct {
        const char* what;
        std::function<QByteArray(int)> chunk;  // the n-th piece the server sends
        int pieces;
    } cases[] = {
        {"one line without end", [](int) { return QByteArray(1000, 'x'); }, 100},
        {"a reply that never ends", [](int) { return QByteArray("220-still greeting\r\n"); }, 1000},
        {"a long line in a reply", [](int n) { return n == 0 ? QByteArray("220-a\r\n") : QByteArray(5000, 'y'); }, 3},
    };
    for (const auto& c : cases) {
        SmtpSession s(message(false), false, false, kWhen, 1, kNone);
        run(s, {});
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
    run(s, {});
    for (int i = 0; i < 1000; ++i) s.received("2");
    EXPECT_EQ(s.trace().size(), SmtpSession::kMaxTrace);
    s.tookTooLong(120);
    EXPECT_TRUE(s.failure().contains(u"120 Sekunden"_s)) << s.failure().toStdString();
}

TEST(QuotedPrintable, HeaderWords) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Kaffeemuehle = 3? Ja", "Kaffeemuehle = 3? Ja"},
        {"Hans Müller jun", "=?ISO-8859-1?Q?Hans_M=FCller_jun?="},
        {"Preis 5 €", "=?ISO-8859-15?Q?Preis_5_=A4?="},
        {"Größe=40?", "=?ISO-8859-1?Q?Gr=F6=DFe=3D40=3F?="},
        {"„Zitat“", "=?windows-1252?Q?=84Zitat=93?="},  // not in ISO-8859-1: windows-1252
        // "_" would read as a blank, ":" "(" ")" are specials in a phrase
        {"gavel_haendler: Kaffeemühle (12)", "=?ISO-8859-1?Q?gavel=5Fhaendler=3A_Kaffeem=FChle_=2812=29?="},
        {"Łukasz Wiśniewski", "=?UTF-8?Q?=C5=81ukasz_Wi=C5=9Bniewski?="},  // beyond Windows-1252: UTF-8
        {"Dvořák", "=?UTF-8?Q?Dvo=C5=99=C3=A1k?="},
        {"Пётр 😀", "=?UTF-8?Q?=D0=9F=D1=91=D1=82=D1=80_=F0=9F=98=80?="},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeHeader_qp(QString::fromUtf8(c.in)).toStdString(), c.out) << c.in;
}

// The text of RFC 2047 words joined as a reader shows them.
QString decodeWords(const QString& header) {
    QString out;
    for (const QString& w : header.split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts)) {
        const QStringList parts = w.split(QLatin1Char('?'));
        if (parts.size() != 5) return u"<kein Wort: "_s + w + QLatin1Char('>');
        QByteArray bytes;
        const QString q = parts[3];
        for (qsizetype i = 0; i < q.size(); ++i) {
            if (q[i] == QLatin1Char('_'))
                bytes += ' ';
            else if (q[i] == QLatin1Char('='))
                bytes += char(q.mid(i + 1, 2).toInt(nullptr, 16)), i += 2;
            else
                bytes += char(q[i].unicode());
        }
        out += parts[1] == u"UTF-8"_s ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }
    return out;
}

TEST(QuotedPrintable, LongHeadersAreShortWordsOnFoldedLines) {
    const QStringList subjects = {
        u"Ihr Kauf bei gavel_haendler: "_s + QString(40, QChar(u'ü')) + u" Ende"_s,
        QString(60, QChar(u'Ł')) + u" улица Ленина 5 "_s + QString(30, QChar(u'_')),
        u"Link: http://shop.example/"_s + QString(2000, QLatin1Char('a'))};  // no blank to fold at
    for (const QString& subject : subjects) {
        const QStringList words = encodedWords(subject);
        EXPECT_GT(words.size(), 1);
        for (const QString& w : words) EXPECT_LE(w.size(), 75) << w.toStdString();
        const QString line = foldHeader(u"Subject: "_s + EncodeHeader_qp(subject));
        for (const QString& l : line.split(u"\r\n"_s)) EXPECT_LE(l.size(), 78) << l.toStdString();
        EXPECT_EQ(decodeWords(line.mid(9)), subject);
    }
    // An ASCII line folds at its blanks; a word longer than a line stays whole.
    const QString plain = u"Subject: "_s + QStringList(30, u"Wort"_s).join(QLatin1Char(' '));
    EXPECT_EQ(foldHeader(plain).remove(u"\r\n"_s), plain);
    EXPECT_TRUE(foldHeader(u"X: "_s + QString(100, QLatin1Char('a'))).contains(QString(100, QLatin1Char('a'))));
}

TEST(QuotedPrintable, BodyAndSoftBreaks) {
    const struct {
        QString text, body, charset;
    } cases[] = {
        {u"a=b\r\nc"_s, u"a=3Db\r\nc"_s, u"ISO-8859-1"_s},
        {u"12 € für Sie"_s, u"12 =A4 f=FCr Sie"_s, u"ISO-8859-15"_s},
        {u"ул. Ленина 5 €"_s, u"=D1=83=D0=BB. =D0=9B=D0=B5=D0=BD=D0=B8=D0=BD=D0=B0 5 =E2=82=AC"_s, u"UTF-8"_s},
    };
    for (const auto& c : cases) {
        const QpEncoded<QString> qp = EncodeBody_qp(c.text);
        EXPECT_EQ(qp.body, c.body);
        EXPECT_EQ(qp.charset, c.charset);
    }

    const QString longLine = QString(100, QLatin1Char('a')) + u"ü"_s + QString(100, QLatin1Char('b'));
    const QString wrapped = wrapQuotedPrintable(EncodeBody_qp(longLine).body);
    for (const QString& l : wrapped.split(u"\r\n"_s)) EXPECT_LE(l.size(), 76) << l.toStdString();
    // decoding the soft breaks gives the text back, the "=FC" not split
    QString decoded = wrapped;
    decoded.remove(u"=\r\n"_s);
    EXPECT_EQ(decoded, EncodeBody_qp(longLine).body);
    EXPECT_EQ(wrapQuotedPrintable(u"Ende \r\nTab\t"_s), u"Ende=20\r\nTab=09"_s);
}

// The one-pass body encoder sends what encoding and wrapping in two steps give.
TEST(QuotedPrintable, OnePassBodyMatchesTheTwoSteps) {
    const QString cases[] = {
        QString(),
        u"kurz"_s,
        u"Ende mit Blank \r\nTab\t\r\n"_s,
        QString(74, QLatin1Char('a')) + u"ü"_s + QString(80, QLatin1Char('b')),
        QString(73, QLatin1Char('x')) + u"="_s + QString(10, QLatin1Char('y')),
        QString(200, QChar(u'Ł')) + u"\rCR allein\nLF allein"_s,
        u"5 € "_s + QString(100, QLatin1Char('=')),
    };
    for (const QString& c : cases) {
        const QpEncoded<QString> twoSteps = EncodeBody_qp(c);
        const QpEncoded<QByteArray> onePass = quotedPrintableBody(c);
        EXPECT_EQ(QString::fromLatin1(onePass.body), wrapQuotedPrintable(twoSteps.body)) << c.toStdString();
        EXPECT_EQ(onePass.charset, twoSteps.charset);
    }
}

TEST(MailDate, LineAndZones) {
    const QDateTime t(QDate(2005, 1, 3), QTime(14, 5, 9));
    EXPECT_EQ(mailDateLine(t, 1), u"DATE: Mon, 03 Jan 2005 14:05:09 +0100"_s);
    EXPECT_EQ(mailDateLine(t, -5), u"DATE: Mon, 03 Jan 2005 14:05:09 -0500"_s);
    EXPECT_EQ(mailDateLine(QDateTime(QDate(2026, 12, 6), QTime(0, 0)), 0), u"DATE: Sun, 06 Dec 2026 00:00:00 +0000"_s);
}

TEST(PrepareMessage, HeadersNamesAndRefusals) {
    SmtpMessage m;
    m.MailSenderName = u"'Gavel Händler'"_s;
    m.MailRecipientName = u"'Hans'"_s;
    m.MailBody = u"vorweg\r\nSubject: Zahlung erhalten – danke\r\nGuten Tag,\r\n.\r\nGruß"_s;
    const Result<PreparedMessage> prepared = PrepareMessage(m);
    ASSERT_TRUE(prepared.ok());
    const PreparedMessage& p = prepared.value();
    EXPECT_EQ(p.senderName, u"=?ISO-8859-1?Q?Gavel_H=E4ndler?="_s);
    EXPECT_EQ(p.recipientName, u"\"'Hans'\""_s);  // single quotes stay for the recipient
    EXPECT_EQ(p.body,
              u"X-Mailer: Orvo Gaveldesk 2005\r\nSubject: =?windows-1252?Q?Zahlung_erhalten_=96_danke?=\r\n"
              "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n\r\nGuten Tag,\r\n.\r\nGru=DF"_s);
    m.MailBody = u"kein Betreff"_s;
    EXPECT_EQ(PrepareMessage(m)->body, u"kein Betreff"_s);
    m.MailRecipientName = u"Böse\r\nBcc: alle@example.org"_s;
    EXPECT_FALSE(PrepareMessage(m).ok());
    m.MailRecipientName.clear();
    m.MailBody = u"Subject: a\nBcc: x@y\r\ntext"_s;
    EXPECT_FALSE(PrepareMessage(m).ok());
}

}  // namespace
}  // namespace gd
