#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "domain/import/BatchImport.h"
#include "domain/import/Html.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "support/TestApp.h"

namespace gd {
namespace {

TEST(HtmlToText, WhatAMailProgramShows) {
    struct Case {
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        {"<p>Hallo</p><p>Welt</p>", "Hallo\r\n\r\nWelt"},
        {"<div>eins</div><div>zwei</div>", "eins\r\nzwei"},
        {"Name: Hans<br>Ort:  Berlin<BR/>", "Name: Hans\r\nOrt: Berlin"},
        {"<table><tr><td>Preis:</td>\n  <td>EUR 24,50</td></tr><tr><th>Menge:</th><td>1</td></tr></table>",
         "Preis: EUR 24,50\r\nMenge: 1"},
        {"M&uuml;ller &amp; S&ouml;hne &#8211; &#x20AC;&nbsp;5 &lt;b&gt;", "Müller & Söhne – € 5 <b>"},
        {"Ma&lstrok;gorzata Wi&sacute;niewska, &Scaron;koda", "Małgorzata Wiśniewska, Škoda"},
        {"&unbekannt; &#0; &amp", "&unbekannt; \uFFFD &amp"},
        {"<head><title>Betreff</title><style>p{color:red}</style></head><body>Text</body>", "Text"},
        {"a<script>Artikelnummer: 666</script>b<SCRIPT type=x>if (a<b) {}</SCRIPT >c", "abc"},
        {"<!-- Artikelnummer: 1 -->x<!DOCTYPE html>y", "xy"},
        {"<pre>  zwei  Blanks\n  und Zeile</pre>danach", "  zwei  Blanks\r\n  und Zeile\r\ndanach"},
        {"<a href=\"x>y\" title='>'>Link</a> text", "Link text"},
        {"3 < 4 und 5 > 2", "3 < 4 und 5 > 2"},
        {"offen <b", "offen"},
        {"  viel \n\t Raum  ", "viel Raum"},
    };
    for (const Case& c : cases) EXPECT_EQ(htmlToText(QString::fromUtf8(c.html)), QString::fromUtf8(c.text)) << c.html;
    EXPECT_EQ(
        htmlMetaCharset("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1252\">"),
        QByteArray("windows-1252"));
    EXPECT_EQ(htmlMetaCharset("<meta charset='utf-8'>"), QByteArray("utf-8"));
}

// Hostile HTML: nothing it does may crash or stall the window.
TEST(HtmlToText, HostileInputStaysQuick) {
    const QString deep = QString(QStringLiteral("<div><span><table><tr><td>")).repeated(400000) + QStringLiteral("x");
    const QString unclosedComment = QStringLiteral("a<!--") + QString(10 << 20, QLatin1Char('-'));
    const QString manyEntities = QStringLiteral("&auml;&#12345678;&").repeated(500000);
    const QString unclosedScript = QStringLiteral("<script>") + QStringLiteral("</scrip").repeated(1500000);
    const QString quoteForever = QStringLiteral("<a title=\"") + QString(10 << 20, QLatin1Char('<'));
    for (const QString* html : {&deep, &unclosedComment, &manyEntities, &unclosedScript, &quoteForever}) {
        QElapsedTimer t;
        t.start();
        const QString text = htmlToText(*html);
        // A hang guard, not a speed claim: ten times the slowest measured (0.37 s under ASan).
        EXPECT_LT(t.elapsed(), 4000) << html->left(40).toStdString();
        EXPECT_LE(text.size(), html->size());
    }
}

QString sample(const char* name) {
    return normalizeMailText(*readMailFile(test::dataFile(QStringLiteral("mails/") + QString::fromUtf8(name))));
}

QString escaped(const QString& s) {
    QString out;
    for (const QChar c : s) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'ä')
            out += QStringLiteral("&auml;");
        else if (c == u'ü')
            out += QStringLiteral("&#252;");
        else
            out += c;
    }
    return out;
}

// The HTML a platform would send for a text mail: "Label: value" paragraphs as a
// two-column table or as one <div> per line, the rest as paragraphs with <br>.
QString asHtml(const QString& text, bool table) {
    static const QRegularExpression label(QStringLiteral("^([^:]{1,40}:) (.+)$"));
    QString html = QStringLiteral("<html><head><style>td{padding:2px}</style><title>x</title></head>\n<body>\n");
    for (const QString& para : text.split(QStringLiteral("\r\n\r\n"), Qt::SkipEmptyParts)) {
        const QStringList lines = para.split(QStringLiteral("\r\n"));
        const bool labels =
            std::all_of(lines.begin(), lines.end(), [](const QString& l) { return label.match(l).hasMatch(); });
        if (!labels) {
            QStringList escapedLines;
            for (const QString& l : lines) escapedLines << escaped(l);
            html += QStringLiteral("<p>") + escapedLines.join(QStringLiteral("<br>\n")) + QStringLiteral("</p>\n");
            continue;
        }
        html += table ? QStringLiteral("<table>\n") : QStringLiteral("<div class=\"block\">\n");
        for (const QString& l : lines) {
            const auto m = label.match(l);
            html += table
                        ? QStringLiteral("  <tr><td>") + escaped(m.captured(1)) + QStringLiteral("</td>\n      <td>") +
                              escaped(m.captured(2)) + QStringLiteral("</td></tr>\n")
                        : QStringLiteral("  <div>") + escaped(m.captured(1)) + QStringLiteral("&nbsp;") +
                              escaped(m.captured(2)) + QStringLiteral("</div>\n");
        }
        html += table ? QStringLiteral("</table>\n") : QStringLiteral("</div>\n");
    }
    return html + QStringLiteral("<script>document.write('Artikelnummer: 999')</script></body></html>\n");
}

QByteArray qpEncoded(const QByteArray& bytes) {
    QByteArray out;
    int column = 0;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        QByteArray piece = (u >= 33 && u <= 126 && u != '=') || u == ' ' ? QByteArray(1, c)
                           : u == '\n'                                   ? QByteArray("\n")
                                       : "=" + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        if (piece == "\n") {
            out += "\r\n";
            column = 0;
            continue;
        }
        if (column + piece.size() > 73) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += int(piece.size());
    }
    return out;
}

class HtmlMail : public ::testing::Test {
protected:
    test::TestApp app{true};
    void SetUp() override {
        subInitApp();
        gsEbayName = QStringLiteral("gavel_haendler");
    }
    QByteArray parsed(const QString& path) {
        ImportRecords r;
        QStringList messages;
        const FileImport f = importMailFile(path, false, &r, &messages);
        return QJsonDocument(recordsToJson(f.kind, r, messages)).toJson();
    }
};

// An HTML-only .eml in either transfer encoding and charset, in table or line
// layout, cuts to exactly what its text version cuts.
TEST_F(HtmlMail, CutToTheValuesOfTheTextVersion) {
    for (const char* name : {"verkauf.txt", "kauf.txt", "sofortkauf_verkauf.txt", "sofortkauf_kauf.txt"}) {
        const QString text = sample(name);
        app.write(QStringLiteral("text.txt"), text.toUtf8());
        const QByteArray expected = parsed(app.file(QStringLiteral("text.txt")));
        ASSERT_TRUE(expected.contains("\"acceptable\": true")) << expected.toStdString();
        for (const bool table : {true, false}) {
            const QString html = asHtml(text, table);
            QStringEncoder cp1252("windows-1252");
            const QByteArray qp =
                "MIME-Version: 1.0\r\nContent-Type: text/html; charset=\"UTF-8\"\r\n"
                "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                qpEncoded(html.toUtf8());
            const QByteArray b64 =
                "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"g\"\r\n\r\n"
                "--g\r\nContent-Type: text/html; charset=windows-1252\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n" +
                QByteArray(cp1252.encode(html)).toBase64() + "\r\n--g--\r\n";
            for (const auto& [file, bytes] :
                 {std::pair{QStringLiteral("qp.eml"), qp}, std::pair{QStringLiteral("b64.eml"), b64}}) {
                SCOPED_TRACE(std::string(name) + (table ? " Tabelle " : " Zeilen ") + file.toStdString());
                app.write(file, bytes);
                EXPECT_EQ(parsed(app.file(file)).toStdString(), expected.toStdString());
            }
        }
    }
}

// A mail with both parts is read from its text part, as before.
TEST_F(HtmlMail, PlainTextPartComesFirst) {
    const QByteArray both =
        "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<p>aus HTML</p>\r\n--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\naus Text\r\n--b--\r\n";
    EXPECT_EQ(decodeMimeMessage(both).valueOr(QString()).trimmed(), QStringLiteral("aus Text"));
    const Result<QString> image = decodeMimeMessage("Content-Type: image/png\r\n\r\nxx");
    ASSERT_FALSE(image.ok());
    EXPECT_TRUE(image.error().sentence.contains(QStringLiteral("text/plain oder text/html")));
}

TEST(Mailbox, EachMessageOneMail) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Posteingang"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "From haendler@example.de Mon Dec  7 10:00:00 2026\n"
        "Subject: eins\nContent-Type: text/plain; charset=utf-8\n\nErste M\xC3\xBChle\n>From here on\n\n"
        "From x@example.de Mon Dec  7 10:01:00 2026\n"
        "Subject: zwei\nContent-Type: text/html; charset=utf-8\n\n<p>Zweite &amp; HTML</p>\n\n"
        "From y@example.de Mon Dec  7 10:02:00 2026\n"
        "Subject: drei\nContent-Type: image/png\n\nxx\n");
    f.close();
    const Result<QList<MailText>> mails = readMails(path);
    ASSERT_TRUE(mails.ok());
    ASSERT_EQ(mails->size(), 3);
    EXPECT_EQ((*mails)[0].text, QStringLiteral("Erste Mühle\nFrom here on\n\n"));
    EXPECT_EQ((*mails)[1].text, QStringLiteral("Zweite & HTML"));
    EXPECT_TRUE((*mails)[2].text.isEmpty());
    EXPECT_FALSE((*mails)[2].error.isEmpty());
    EXPECT_EQ((*mails)[1].label, QStringLiteral("E-Mail 2 von 3"));
}

}  // namespace
}  // namespace gd
