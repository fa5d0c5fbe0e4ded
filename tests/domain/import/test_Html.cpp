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

using namespace Qt::StringLiterals;

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
    const QString deep = QString(u"<div><span><table><tr><td>"_s).repeated(400000) + u"x"_s;
    const QString unclosedComment = u"a<!--"_s + QString(10 << 20, QLatin1Char('-'));
    const QString manyEntities = u"&auml;&#12345678;&"_s.repeated(500000);
    const QString unclosedScript = u"<script>"_s + u"</scrip"_s.repeated(1500000);
    const QString quoteForever = u"<a title=\""_s + QString(10 << 20, QLatin1Char('<'));
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
    return normalizeMailText(*readMailFile(test::dataFile(u"mails/"_s + QString::fromUtf8(name))));
}

QString escaped(QString s) {
    return s.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'ä', u"&auml;"_s).replace(u'ü', u"&#252;"_s);
}

// The HTML a platform would send for a text mail: "Label: value" paragraphs as a
// two-column table or as one <div> per line, the rest as paragraphs with <br>.
QString asHtml(const QString& text, bool table) {
    static const QRegularExpression label(u"^([^:]{1,40}:) (.+)$"_s);
    QString html = u"<html><head><style>td{padding:2px}</style><title>x</title></head>\n<body>\n"_s;
    for (const QString& para : text.split(u"\r\n\r\n"_s, Qt::SkipEmptyParts)) {
        const QStringList lines = para.split(u"\r\n"_s);
        const bool labels =
            std::all_of(lines.begin(), lines.end(), [](const QString& l) { return label.match(l).hasMatch(); });
        if (!labels) {
            QStringList escapedLines;
            for (const QString& l : lines) escapedLines << escaped(l);
            html += u"<p>"_s + escapedLines.join(u"<br>\n"_s) + u"</p>\n"_s;
            continue;
        }
        html += table ? u"<table>\n"_s : u"<div class=\"block\">\n"_s;
        for (const QString& l : lines) {
            const auto m = label.match(l);
            html += table
                        ? u"  <tr><td>"_s + escaped(m.captured(1)) + u"</td>\n      <td>"_s + escaped(m.captured(2)) +
                              u"</td></tr>\n"_s
                        : u"  <div>"_s + escaped(m.captured(1)) + u"&nbsp;"_s + escaped(m.captured(2)) + u"</div>\n"_s;
        }
        html += table ? u"</table>\n"_s : u"</div>\n"_s;
    }
    return html + u"<script>document.write('Artikelnummer: 999')</script></body></html>\n"_s;
}

// Every byte escaped, a soft line break after each 24: quoted-printable at its most awkward.
QByteArray qpEncoded(const QByteArray& bytes) {
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 24 == 0) out += "=\r\n";
        out += "=" + bytes.mid(i, 1).toHex().toUpper();
    }
    return out;
}

class HtmlMail : public ::testing::Test {
protected:
    test::TestApp app{true};
    void SetUp() override {
        subInitApp();
        gsEbayName = u"gavel_haendler"_s;
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
        app.write(u"text.txt"_s, text.toUtf8());
        const QByteArray expected = parsed(app.file(u"text.txt"_s));
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
            for (const auto& [file, bytes] : {std::pair{u"qp.eml"_s, qp}, std::pair{u"b64.eml"_s, b64}}) {
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
    EXPECT_EQ(decodeMimeMessage(both).valueOr(QString()).trimmed(), u"aus Text"_s);
    const Result<QString> image = decodeMimeMessage("Content-Type: image/png\r\n\r\nxx");
    ASSERT_FALSE(image.ok());
    EXPECT_TRUE(image.error().sentence.contains(u"text/plain oder text/html"_s));
}

TEST(Mailbox, EachMessageOneMail) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Posteingang"_s);
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
    EXPECT_EQ((*mails)[0].text, u"Erste Mühle\nFrom here on\n\n"_s);
    EXPECT_EQ((*mails)[1].text, u"Zweite & HTML"_s);
    EXPECT_TRUE((*mails)[2].text.isEmpty());
    EXPECT_FALSE((*mails)[2].error.isEmpty());
    EXPECT_EQ((*mails)[1].label, u"E-Mail 2 von 3"_s);
}

}  // namespace
}  // namespace gd
