#include <gtest/gtest.h>

#include <QRegularExpression>

#include "domain/smtp/SmtpEncoding.h"
#include "domain/smtp/SmtpSession.h"
#include "support/TestApp.h"

namespace gd {
namespace {

TEST(QuotedPrintable, HeaderWords) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) EXPECT_EQ(EncodeHeader_qp(QString::fromUtf8(c.in)).toStdString(), c.out) << c.in;
}

// The text of RFC 2047 words joined as a reader shows them.
QString decodeWords(const QString& header) {
    QString out;
    for (const QString& w : header.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const QStringList parts = w.split(QLatin1Char('?'));
        if (parts.size() != 5) return QStringLiteral("<kein Wort: ") + w + QLatin1Char('>');
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
        out += parts[1] == QStringLiteral("UTF-8") ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }
    return out;
}

TEST(QuotedPrintable, LongHeadersAreShortWordsOnFoldedLines) {
    const QStringList subjects = {
        QStringLiteral("Ihr Kauf bei gavel_haendler: ") + QString(40, QChar(u'ü')) + QStringLiteral(" Ende"),
        QString(60, QChar(u'Ł')) + QStringLiteral(" улица Ленина 5 ") + QString(30, QChar(u'_')),
        QStringLiteral("Link: http://shop.example/") + QString(2000, QLatin1Char('a'))};  // no blank to fold at
    for (const QString& subject : subjects) {
        const QStringList words = encodedWords(subject);
        EXPECT_GT(words.size(), 1);
        for (const QString& w : words) EXPECT_LE(w.size(), 75) << w.toStdString();
        const QString line = foldHeader(QStringLiteral("Subject: ") + EncodeHeader_qp(subject));
        for (const QString& l : line.split(QStringLiteral("\r\n"))) EXPECT_LE(l.size(), 78) << l.toStdString();
        EXPECT_EQ(decodeWords(line.mid(9)), subject);
    }
    // An ASCII line folds at its blanks; a word longer than a line stays whole.
    const QString plain = QStringLiteral("Subject: ") + QStringList(30, QStringLiteral("Wort")).join(QLatin1Char(' '));
    EXPECT_EQ(foldHeader(plain).remove(QStringLiteral("\r\n")), plain);
    EXPECT_TRUE(
        foldHeader(QStringLiteral("X: ") + QString(100, QLatin1Char('a'))).contains(QString(100, QLatin1Char('a'))));
}

TEST(QuotedPrintable, BodyAndSoftBreaks) {
    QString cs;
    EXPECT_EQ(EncodeBody_qp(QStringLiteral("a=b\r\nc"), cs), QStringLiteral("a=3Db\r\nc"));
    EXPECT_EQ(cs, QStringLiteral("ISO-8859-1"));
    EXPECT_EQ(EncodeBody_qp(QStringLiteral("12 € für Sie"), cs), QStringLiteral("12 =A4 f=FCr Sie"));
    EXPECT_EQ(cs, QStringLiteral("ISO-8859-15"));
    EXPECT_EQ(EncodeBody_qp(QStringLiteral("ул. Ленина 5 €"), cs),
              QStringLiteral("=D1=83=D0=BB. =D0=9B=D0=B5=D0=BD=D0=B8=D0=BD=D0=B0 5 =E2=82=AC"));
    EXPECT_EQ(cs, QStringLiteral("UTF-8"));

    const QString longLine = QString(100, QLatin1Char('a')) + QStringLiteral("ü") + QString(100, QLatin1Char('b'));
    const QString wrapped = wrapQuotedPrintable(EncodeBody_qp(longLine, cs));
    for (const QString& l : wrapped.split(QStringLiteral("\r\n"))) EXPECT_LE(l.size(), 76) << l.toStdString();
    // decoding the soft breaks gives the text back, the "=FC" not split
    QString decoded = wrapped;
    decoded.remove(QStringLiteral("=\r\n"));
    EXPECT_EQ(decoded, EncodeBody_qp(longLine, cs));
    EXPECT_EQ(wrapQuotedPrintable(QStringLiteral("Ende \r\nTab\t")), QStringLiteral("Ende=20\r\nTab=09"));
}

// The one-pass body encoder sends what encoding and wrapping in two steps give.
TEST(QuotedPrintable, OnePassBodyMatchesTheTwoSteps) {
    const QString cases[] = {
        QString(),
        QStringLiteral("kurz"),
        QStringLiteral("Ende mit Blank \r\nTab\t\r\n"),
        QString(74, QLatin1Char('a')) + QStringLiteral("ü") + QString(80, QLatin1Char('b')),
        QString(73, QLatin1Char('x')) + QStringLiteral("=") + QString(10, QLatin1Char('y')),
        QString(200, QChar(u'Ł')) + QStringLiteral("\rCR allein\nLF allein"),
        QStringLiteral("5 € ") + QString(100, QLatin1Char('=')),
    };
    for (const QString& c : cases) {
        QString cs1, cs2;
        const QString twoSteps = wrapQuotedPrintable(EncodeBody_qp(c, cs1));
        EXPECT_EQ(QString::fromLatin1(quotedPrintableBody(c, cs2)), twoSteps) << c.toStdString();
        EXPECT_EQ(cs1, cs2);
    }
}

TEST(MailDate, LineAndZones) {
    const QDateTime t(QDate(2005, 1, 3), QTime(14, 5, 9));
    EXPECT_EQ(FormatMailDate(t), QStringLiteral("Mon, 03 Jan 2005"));
    EXPECT_EQ(mailDateLine(t, 1), QStringLiteral("DATE: Mon, 03 Jan 2005 14:05:09 +0100"));
    EXPECT_EQ(mailDateLine(t, -5), QStringLiteral("DATE: Mon, 03 Jan 2005 14:05:09 -0500"));
    EXPECT_EQ(mailDateLine(t, 0), QStringLiteral("DATE: Mon, 03 Jan 2005 14:05:09 +0000"));
    EXPECT_EQ(FormatMailDate(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), QStringLiteral("Sun, 06 Dec 2026"));
}

TEST(PrepareMessage, HeadersNamesAndRefusals) {
    SmtpMessage m;
    m.MailSenderName = QStringLiteral("'Gavel Händler'");
    m.MailRecipientName = QStringLiteral("'Hans'");
    m.MailBody = QStringLiteral("vorweg\r\nSubject: Zahlung erhalten – danke\r\nGuten Tag,\r\n.\r\nGruß");
    const Result<PreparedMessage> prepared = PrepareMessage(m);
    ASSERT_TRUE(prepared.ok());
    const PreparedMessage& p = prepared.value();
    EXPECT_EQ(p.senderName, QStringLiteral("=?ISO-8859-1?Q?Gavel_H=E4ndler?="));
    EXPECT_EQ(p.recipientName, QStringLiteral("\"'Hans'\""));  // single quotes stay for the recipient
    EXPECT_EQ(p.body, QStringLiteral(
                          "X-Mailer: Orvo Gaveldesk 2005\r\nSubject: =?windows-1252?Q?Zahlung_erhalten_=96_danke?=\r\n"
                          "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
                          "Content-Transfer-Encoding: quoted-printable\r\n\r\nGuten Tag,\r\n.\r\nGru=DF"));
    m.MailBody = QStringLiteral("kein Betreff");
    EXPECT_EQ(PrepareMessage(m)->body, QStringLiteral("kein Betreff"));
    m.MailRecipientName = QStringLiteral("Böse\r\nBcc: alle@example.org");
    EXPECT_FALSE(PrepareMessage(m).ok());
    m.MailRecipientName.clear();
    m.MailBody = QStringLiteral("Subject: a\nBcc: x@y\r\ntext");
    EXPECT_FALSE(PrepareMessage(m).ok());
}

}  // namespace
}  // namespace gd
