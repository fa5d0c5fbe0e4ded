#include "domain/import/MailFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>
#include <functional>

#include "base/codepage.h"
#include "domain/import/Html.h"

namespace gd {
namespace {

struct Part {
    QList<QPair<QByteArray, QByteArray>> headers;  // lower-case name, value
    QByteArray body;
    QByteArray header(const QByteArray& name) const {
        for (const auto& h : headers)
            if (h.first == name) return h.second;
        return QByteArray();
    }
};

Part splitPart(const QByteArray& raw) {
    Part p;
    qsizetype sep = raw.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype lf = raw.indexOf("\n\n");
    if (sep < 0 || (lf >= 0 && lf < sep)) {
        sep = lf;
        skip = 2;
    }
    const QByteArray head = sep < 0 ? raw : raw.left(sep);
    p.body = sep < 0 ? QByteArray() : raw.mid(sep + skip);
    QByteArray current;
    // Real mails have dozens of header lines; a head of millions is read no further than this.
    constexpr qsizetype kMostHeaders = 1000;
    const auto flush = [&] {
        const qsizetype colon = current.indexOf(':');
        if (colon > 0 && p.headers.size() < kMostHeaders)
            p.headers.append({current.left(colon).trimmed().toLower(), current.mid(colon + 1).trimmed()});
        current.clear();
    };
    for (qsizetype pos = 0; pos < head.size();) {
        qsizetype end = head.indexOf('\n', pos);
        if (end < 0) end = head.size();
        QByteArray line = head.mid(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            current += ' ' + line.trimmed();  // folded header
        } else {
            flush();
            current = line;
        }
    }
    flush();
    return p;
}

// A parameter of a header value: charset=..., boundary="...".
QByteArray parameter(const QByteArray& value, const QByteArray& name) {
    for (QByteArray piece : value.split(';')) {
        piece = piece.trimmed();
        const qsizetype eq = piece.indexOf('=');
        if (eq < 0 || piece.left(eq).trimmed().toLower() != name) continue;
        QByteArray v = piece.mid(eq + 1).trimmed();
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) v = v.mid(1, v.size() - 2);
        return v;
    }
    return QByteArray();
}

QString decodeCharset(const QByteArray& bytes, QByteArray charset) {
    charset = charset.toLower();
    if (charset.isEmpty()) return win::decodeText(bytes).text;
    if (charset == "utf-8" || charset == "utf8") return QString::fromUtf8(bytes);
    if (charset == "windows-1252" || charset == "cp1252" || charset == "us-ascii" || charset == "iso-8859-1" ||
        charset == "latin1")
        return win::fromAnsi(bytes);
    QStringDecoder dec(charset.constData());
    if (dec.isValid()) return dec.decode(bytes);
    return win::decodeText(bytes).text;
}

// Plain text is taken where a mail has it; an HTML part only when there is none.
std::optional<QString> textOf(const Part& p, int depth, bool html, QString* error) {
    const QByteArray type = p.header("content-type");
    const QByteArray mime = type.split(';').first().trimmed().toLower();
    if (mime.startsWith("multipart/")) {
        const QByteArray boundary = parameter(type, "boundary");
        if (boundary.isEmpty() || depth > 5) {
            if (error) *error = QStringLiteral("Die E-Mail ist unvollständig aufgebaut (keine Teilgrenze).");
            return std::nullopt;
        }
        // Line by line without a list of lines: a body of bare line breaks would cost 24 bytes per byte.
        const QByteArray open = "--" + boundary, close = open + "--";
        QList<QByteArray> parts;
        qsizetype partStart = -1;  // where the part being read began
        for (qsizetype pos = 0; pos < p.body.size();) {
            const qsizetype lineStart = pos;
            qsizetype end = p.body.indexOf('\n', pos);
            if (end < 0) end = p.body.size();
            const QByteArrayView line(p.body.constData() + pos, end - pos);
            pos = end + 1;
            const QByteArrayView bare = line.endsWith('\r') ? line.chopped(1) : line;
            if (bare == open || bare == close) {
                if (partStart >= 0) parts << p.body.mid(partStart, lineStart - partStart);
                partStart = bare == open ? qMin(pos, p.body.size()) : -1;
            }
        }
        for (const QByteArray& raw : parts) {
            QString ignored;
            if (auto t = textOf(splitPart(raw), depth + 1, html, &ignored)) return t;
        }
        if (error) *error = QStringLiteral("Die E-Mail enthält keinen reinen Text (text/plain).");
        return std::nullopt;
    }
    const bool isHtml = html && mime == "text/html";
    if (!mime.isEmpty() && mime != "text/plain" && !isHtml) {
        if (error) *error = QStringLiteral("Die E-Mail enthält keinen Text (text/plain oder text/html).");
        return std::nullopt;
    }
    const QByteArray cte = p.header("content-transfer-encoding").trimmed().toLower();
    QByteArray body = p.body;
    if (cte == "quoted-printable")
        body = decodeQuotedPrintable(body);
    else if (cte == "base64")
        body = QByteArray::fromBase64(body);
    QByteArray charset = parameter(type, "charset");
    if (!isHtml) return decodeCharset(body, charset);
    if (charset.isEmpty()) charset = htmlMetaCharset(body);
    return htmlToText(decodeCharset(body, charset));
}

std::optional<QString> bodyText(const QByteArray& message, QString* error) {
    const Part top = splitPart(message);
    QString ignored;
    if (auto plain = textOf(top, 0, false, &ignored)) return plain;
    return textOf(top, 0, true, error);
}

bool isMailbox(const QByteArray& bytes) { return bytes.startsWith("From "); }

// The messages of an mbox file, one at a time: each begins with a "From " line; ">From "
// lines inside were escaped by the writer and lose one ">". False when `each` stops.
bool eachOfMailbox(const QByteArray& bytes, const std::function<bool(const QByteArray&)>& each) {
    QByteArray current;
    bool started = false;
    bool blankBefore = true;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArrayView line(bytes.constData() + pos, end - pos);
        pos = end;
        if (blankBefore && line.startsWith("From ")) {
            if (started && !each(current)) return false;
            current.clear();
            started = true;
            blankBefore = false;
            continue;
        }
        blankBefore = line == "\n" || line == "\r\n";
        qsizetype gt = 0;
        while (gt < line.size() && line[gt] == '>') ++gt;
        if (gt > 0 && line.sliced(gt).startsWith("From "))
            current += line.sliced(1);
        else
            current += line;
    }
    return !started || each(current);
}

}  // namespace

QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < in.size() && in[i + 1] == '\n') {  // soft line break
            ++i;
            continue;
        }
        if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') {
            i += 2;
            continue;
        }
        if (i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
            out += char(hex(in[i + 1]) * 16 + hex(in[i + 2]));
            i += 2;
            continue;
        }
        out += c;  // a lone "=" stays
    }
    return out;
}

Result<QString> decodeMimeMessage(const QByteArray& message) {
    QString why;
    std::optional<QString> text = bodyText(message, &why);
    if (!text) return Error::plain(why);
    return *text;
}

Result<QList<MailText>> readMails(const QString& path) {
    QFile f(path);
    const QFileInfo info(path);
    const auto refuse = [](const QString& why) { return Error::plain(why); };
    if (info.isDir())
        return refuse(QStringLiteral("'%1' ist ein Ordner, keine Datei.").arg(QDir::toNativeSeparators(path)));
    if (!info.exists())
        return refuse(QStringLiteral("Die Datei '%1' gibt es nicht.").arg(QDir::toNativeSeparators(path)));
    if (!f.open(QIODevice::ReadOnly))
        return refuse(info.isReadable() ? QStringLiteral("Die Datei '%1' kann nicht gelesen werden (%2).")
                                              .arg(QDir::toNativeSeparators(path), f.errorString())
                                        : QStringLiteral("Es fehlt die Berechtigung, die Datei '%1' zu lesen.")
                                              .arg(QDir::toNativeSeparators(path)));
    // A mailbox holds many mails; each of them is bounded like a single one.
    const bool mailbox = isMailbox(f.peek(5));
    if (f.size() > (mailbox ? kMaxMailboxBytes : kMaxMailBytes))
        return refuse(mailbox ? QStringLiteral("Das Postfach ist größer als 32 MB und wird nicht eingelesen; bitte "
                                               "teilen Sie es in kleinere Ordner auf.")
                              : QStringLiteral("Die Datei ist größer als 16 MB; so groß ist keine Auktions-E-Mail. Sie "
                                               "wird nicht eingelesen."));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return refuse(QStringLiteral("Die Datei '%1' kann nicht gelesen werden (%2).")
                          .arg(QDir::toNativeSeparators(path), f.errorString()));
    QList<MailText> mails;
    const auto add = [&mails](std::optional<QString> text, const QString& why) {
        MailText m;
        if (text)
            m.text = std::move(*text);
        else
            m.error = why;
        mails << m;
    };
    const QString suffix = info.suffix().toLower();
    if (mailbox) {
        // One message held at a time; what all of them read to is bounded together.
        qsizetype chars = 0;
        QString beyond;
        eachOfMailbox(bytes, [&](const QByteArray& message) {
            QString why;
            if (message.size() > kMaxMailBytes)
                add(std::nullopt, QStringLiteral("Die E-Mail ist größer als 16 MB und wird nicht eingelesen."));
            else
                add(bodyText(message, &why), why);
            chars += mails.last().text.size();
            if (mails.size() > kMaxMailboxMails || chars > kMaxMailboxChars)
                beyond = mails.size() > kMaxMailboxMails
                             ? QStringLiteral("Das Postfach enthält mehr als 10.000 E-Mails")
                             : QStringLiteral("Das Postfach enthält mehr als 16 Millionen Zeichen Text");
            return beyond.isEmpty();
        });
        if (!beyond.isEmpty())
            return refuse(beyond +
                          QStringLiteral("; es wird nicht eingelesen. Bitte teilen Sie es in kleinere Ordner auf."));
        // A saved mail that keeps its envelope line is a box of one: no count for it.
        if (mails.size() > 1)
            for (qsizetype i = 0; i < mails.size(); ++i)
                mails[i].label = QStringLiteral("E-Mail %1 von %2").arg(i + 1).arg(mails.size());
    } else if (suffix == QLatin1String("eml")) {
        QString why;
        add(bodyText(bytes, &why), why);
    } else if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) {
        const QByteArray charset = htmlMetaCharset(bytes);
        add(htmlToText(charset.isEmpty() ? win::decodeText(bytes).text : decodeCharset(bytes, charset)), QString());
    } else {
        add(win::decodeText(bytes).text, QString());
    }
    return mails;
}

Result<QString> readMailFile(const QString& path) {
    const Result<QList<MailText>> mails = readMails(path);
    if (!mails.ok()) return mails.error();
    if (!mails->first().error.isEmpty()) return Error::plain(mails->first().error);
    return mails->first().text;
}

}  // namespace gd
