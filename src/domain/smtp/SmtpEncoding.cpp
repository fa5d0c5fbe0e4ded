#include "domain/smtp/SmtpEncoding.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/codepage.h"

namespace gd {
namespace {

const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");

QString hex2(int c) {
    static const char digits[] = "0123456789ABCDEF";
    const char pair[3] = {digits[(c >> 4) & 15], digits[c & 15], 0};
    return QString::fromLatin1(pair, 2);
}

// Whether the text holds characters that ISO-8859-1 (or -15, with a euro sign) shows
// differently from Windows-1252.
bool needsWindows1252(const QByteArray& ansi, bool euro) {
    for (char ch : ansi) {
        const int c = static_cast<unsigned char>(ch);
        if (c >= 0x81 && c <= 0x9F) return true;  // „ “ – … and the like exist in neither
        if (euro &&
            (c == 0xA4 || c == 0xA6 || c == 0xA8 || c == 0xB4 || c == 0xB8 || c == 0xBC || c == 0xBD || c == 0xBE))
            return true;  // taken by other characters in ISO-8859-15
    }
    return false;
}

QString charsetFor(const QByteArray& ansi) {
    const bool euro = ansi.contains('\x80');
    if (needsWindows1252(ansi, euro)) return QStringLiteral("windows-1252");
    return euro ? QStringLiteral("ISO-8859-15") : QStringLiteral("ISO-8859-1");
}

// The charset of a text: ISO-8859-1, ISO-8859-15 or windows-1252 for what Windows-1252
// holds, UTF-8 for anything else, so no character turns into "?" on its way out.
struct Charset {
    QString name;
    bool utf8 = false;
};

Charset charsetOf(const QString& text) {
    if (!win::representable(text)) return {QStringLiteral("UTF-8"), true};
    return {charsetFor(win::toAnsi(text)), false};
}

QByteArray bytesIn(const QString& text, const Charset& cs) { return cs.utf8 ? text.toUtf8() : win::toAnsi(text); }

// The byte as the declared charset writes it: the euro is 0xA4 in ISO-8859-15.
int byteIn(int c, const Charset& cs) {
    return (c == 128 && !cs.utf8 && cs.name != QStringLiteral("windows-1252")) ? 0xA4 : c;
}

// A body byte as quoted-printable: "=" and every byte above ASCII as =XX.
void appendQpByte(std::string& out, char ch, const Charset& cs) {
    static const char digits[] = "0123456789ABCDEF";
    const int c = static_cast<unsigned char>(ch);
    if (ch != '=' && c < 128) {
        out += ch;
        return;
    }
    const int v = byteIn(c, cs);
    out += '=';
    out += digits[v >> 4];
    out += digits[v & 15];
}

// RFC 2047 §5 (3): in a word that may stand in a phrase only letters, digits and
// "!*+-/" stay; a blank is "_"; everything else, "_", "=" and "?" included, is =XX.
void appendQ(QString& out, const QByteArray& bytes, const Charset& cs) {
    for (char ch : bytes) {
        const int c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
            c == '+' || c == '-' || c == '/')
            out += QLatin1Char(ch);
        else if (c == ' ')
            out += QLatin1Char('_');
        else
            out += QLatin1Char('=') + hex2(byteIn(c, cs));
    }
}

// Besides what ASCII lacks, a word too long to fold: a header line may not grow past 998.
bool needsEncodedWords(const QString& text) {
    qsizetype word = 0;
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x7F || ch.unicode() < 0x20) return true;
        word = ch == QLatin1Char(' ') ? 0 : word + 1;
        if (word > 70) return true;
    }
    return false;
}

bool matchesQuoted(const QString& s, QChar q) { return s.size() >= 2 && s.front() == q && s.back() == q; }

}  // namespace

QString Base10ToBinary(qint32 n) {
    if (n <= 0) return QStringLiteral("0");
    QString out;
    int last = -1;
    while (n > 0) {
        const int p = int(std::floor(std::log2(double(n))));
        if (last >= 0)
            for (int k = last - 1; k > p; --k) out += QLatin1Char('0');
        out += QLatin1Char('1');
        n -= qint32(1) << p;
        last = p;
    }
    for (int k = last - 1; k >= 0; --k) out += QLatin1Char('0');
    return out;
}

qint32 BinaryToBase10(const QString& bits) {
    qint64 v = 0;
    const int n = int(bits.size());
    for (int i = 1; i <= n; ++i) v += qint64(bits[i - 1].digitValue()) << (n - i);
    return qint32(v);
}

std::array<QString, 4> Bin3x8To4x6(const QString& a, const QString& b, const QString& c) {
    const QString A = a.rightJustified(8, QLatin1Char('0')), B = b.rightJustified(8, QLatin1Char('0')),
                  C = c.rightJustified(8, QLatin1Char('0'));
    return {A.left(6), A.right(2) + B.left(4), B.right(4) + C.left(2), C.right(6)};
}

std::array<QString, 3> Bin4x6To3x8(const QString& a, const QString& b, const QString& c, const QString& d) {
    const QString A = a.rightJustified(6, QLatin1Char('0')), B = b.rightJustified(6, QLatin1Char('0')),
                  C = c.rightJustified(6, QLatin1Char('0')), D = d.rightJustified(6, QLatin1Char('0'));
    return {A + B.left(2), B.right(4) + C.left(4), C.right(2) + D};
}

QString RemoveFromString(const QString& text, const QString& part) {
    if (part.isEmpty()) return QString();
    QString t = text;
    qsizetype at;
    while ((at = t.indexOf(part)) >= 0) t.remove(at, part.size());
    return t;
}

QString Base64Encode(const QString& text, qint16 lineLength) {
    if (text.isEmpty()) return QString();
    const QByteArray b = win::toAnsi(text);
    const qsizetype n = b.size();
    const auto bits = [&b](qsizetype i) { return Base10ToBinary(static_cast<unsigned char>(b[i])); };
    QString out;
    out.reserve(n * 4 / 3 + 4);
    const auto emit4 = [&](const std::array<QString, 4>& o, int valid) {
        out += kAlphabet[BinaryToBase10(o[0])];
        out += kAlphabet[BinaryToBase10(o[1])];
        out += valid >= 2 ? kAlphabet[BinaryToBase10(o[2])] : QLatin1Char('=');
        out += valid >= 3 ? kAlphabet[BinaryToBase10(o[3])] : QLatin1Char('=');
    };
    qsizetype i = 0;
    for (; i + 3 < n; i += 3) {  // full groups while i is at most length - 3 (1-based)
        emit4(Bin3x8To4x6(bits(i), bits(i + 1), bits(i + 2)), 3);
    }
    const qsizetype rest = n - i;
    emit4(Bin3x8To4x6(bits(i), rest > 1 ? bits(i + 1) : QStringLiteral("0"),
                      rest > 2 ? bits(i + 2) : QStringLiteral("0")),
          int(rest));
    if (lineLength <= 0) return out;
    QString wrapped;
    for (qsizetype p = 0; p < out.size(); p += lineLength) {
        if (p > 0) wrapped += QStringLiteral("\r\n");
        wrapped += out.mid(p, lineLength);
    }
    return wrapped;
}

QString Base64Decode(const QString& text) {
    QString t = RemoveFromString(RemoveFromString(RemoveFromString(text, QStringLiteral(" ")), QStringLiteral("\r")),
                                 QStringLiteral("\n"));
    if (t.isEmpty()) return QString();
    for (QChar c : t)
        if (c != QLatin1Char('=') && !kAlphabet.contains(c)) return QString();
    if (t.size() % 4 != 0) return QString();
    QByteArray out;
    const auto bitsOf = [](QChar c) {
        return c == QLatin1Char('=') ? QStringLiteral("0") : Base10ToBinary(qint32(kAlphabet.indexOf(c)));
    };
    for (qsizetype i = 0; i < t.size(); i += 4) {
        const auto o = Bin4x6To3x8(bitsOf(t[i]), bitsOf(t[i + 1]), bitsOf(t[i + 2]), bitsOf(t[i + 3]));
        out += char(BinaryToBase10(o[0]));
        if (t[i + 2] != QLatin1Char('=')) out += char(BinaryToBase10(o[1]));
        if (t[i + 3] != QLatin1Char('=')) out += char(BinaryToBase10(o[2]));
    }
    return win::fromAnsi(out);
}

QStringList encodedWords(const QString& text, qsizetype firstRoom) {
    const Charset cs = charsetOf(text);
    const QString prefix = QStringLiteral("=?") + cs.name + QStringLiteral("?Q?"), suffix = QStringLiteral("?=");
    // The first word shares its line with the field name; every word holds at least one character (=F0=9F=98=80).
    const qsizetype frame = prefix.size() + suffix.size();
    qsizetype room = std::max<qsizetype>(std::min<qsizetype>(75, firstRoom) - frame, 12);
    QStringList words;
    QString word;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // One character at a time, so no word ends inside one.
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QString piece;
        appendQ(piece, bytesIn(text.mid(i, n), cs), cs);
        i += n - 1;
        if (!word.isEmpty() && word.size() + piece.size() > room) {
            words << prefix + word + suffix;
            word.clear();
            room = 75 - frame;
        }
        word += piece;
    }
    if (!word.isEmpty() || words.isEmpty()) words << prefix + word + suffix;
    return words;
}

QString EncodeHeader_qp(const QString& text, qsizetype firstRoom) {
    if (!needsEncodedWords(text)) return text;  // plain ASCII comes back unchanged
    return encodedWords(text, firstRoom).join(QLatin1Char(' '));
}

QString foldHeader(const QString& line) {
    if (line.size() <= 78) return line;
    // Fold at the blanks; a single word longer than a line stays whole.
    QString out, current;
    for (const QString& word : line.split(QLatin1Char(' '))) {
        if (current.isEmpty()) {
            current = word;
        } else if (current.size() + 1 + word.size() <= 78) {
            current += QLatin1Char(' ') + word;
        } else {
            out += current + QStringLiteral("\r\n");
            current = QLatin1Char(' ') + word;
        }
    }
    return out + current;
}

QpEncoded<QString> EncodeBody_qp(const QString& text) {
    const Charset cs = charsetOf(text);
    const QByteArray bytes = bytesIn(text, cs);
    std::string out;
    out.reserve(std::size_t(bytes.size() + bytes.size() / 8));
    for (char ch : bytes) appendQpByte(out, ch, cs);
    return {QString::fromLatin1(out.data(), qsizetype(out.size())), cs.name};
}

QpEncoded<QByteArray> quotedPrintableBody(const QString& text) {
    const Charset cs = charsetOf(text);
    const QByteArray bytes = bytesIn(text, cs);
    // At most three characters a byte, and a soft break for every 73 of them.
    QByteArray out(bytes.size() * 4 + 16, Qt::Uninitialized);
    char* o = out.data();
    std::string line;
    line.reserve(1024);
    // One line at a time: blanks at its end made visible, then soft breaks that never split "=XX".
    const auto flush = [&](bool last) {
        if (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
            const char blank = line.back();
            line.pop_back();
            line += blank == ' ' ? "=20" : "=09";
        }
        std::size_t pos = 0;
        while (line.size() - pos > 76) {
            std::size_t cut = 75;  // 75 characters and "=" make 76
            if (line[pos + cut - 1] == '=')
                cut -= 1;
            else if (line[pos + cut - 2] == '=')
                cut -= 2;
            std::memcpy(o, line.data() + pos, cut);
            o += cut;
            *o++ = '=';
            *o++ = '\r';
            *o++ = '\n';
            pos += cut;
        }
        std::memcpy(o, line.data() + pos, line.size() - pos);
        o += line.size() - pos;
        if (!last) {
            *o++ = '\r';
            *o++ = '\n';
        }
        line.clear();
    };
    const qsizetype n = bytes.size();
    const char* in = bytes.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char ch = in[i];
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < n && in[i + 1] == '\n') ++i;
            flush(false);
            continue;
        }
        appendQpByte(line, ch, cs);
    }
    flush(true);
    out.truncate(o - out.constData());
    return {out, cs.name};
}

QString wrapQuotedPrintable(const QString& encoded) {
    QString t = encoded;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList out;
    for (QString line : t.split(QLatin1Char('\n'))) {
        if (!line.isEmpty() && (line.back() == QLatin1Char(' ') || line.back() == QLatin1Char('\t'))) {
            const QChar last = line.back();
            line.chop(1);
            line += last == QLatin1Char(' ') ? QStringLiteral("=20") : QStringLiteral("=09");
        }
        while (line.size() > 76) {
            int cut = 75;  // 75 characters and "=" make 76
            if (line[cut - 1] == QLatin1Char('='))
                cut -= 1;  // never split "=XX"
            else if (line[cut - 2] == QLatin1Char('='))
                cut -= 2;
            out << line.left(cut) + QLatin1Char('=');
            line = line.mid(cut);
        }
        out << line;
    }
    return out.join(QStringLiteral("\r\n"));
}

QString EncodeAddress_qp(const QString& address) {
    const qsizetype lt = address.indexOf(QLatin1Char('<'));
    if (lt < 0 || address.indexOf(QLatin1Char('>'), lt) < 0) return address;
    QString name = address.left(lt);
    const QString rest = address.mid(lt);
    if (matchesQuoted(name, QLatin1Char('"'))) name = name.mid(1, name.size() - 2);
    name = EncodeHeader_qp(name);
    if (!name.isEmpty() && !name.startsWith(QStringLiteral("=?"))) name = QLatin1Char('"') + name + QLatin1Char('"');
    return name + rest;
}

QString HexToChar(const QString& twoDigits) {
    bool ok = false;
    const int v = twoDigits.toInt(&ok, 16);
    if (!ok || twoDigits.size() != 2 || v < 0 || v > 255) return QString();
    return win::fromAnsi(QByteArray(1, char(v)));
}

QString Decode_qp(const QString& message) {
    static const QString header = QStringLiteral("Content-Transfer-Encoding: quoted-printable");
    const qsizetype at = message.indexOf(header, 0, Qt::CaseInsensitive);
    if (at < 0) return message;
    QString t = message;
    qsizetype pos = at + 1;
    while ((pos = t.indexOf(QLatin1Char('='), pos)) >= 0) {
        const QString c = HexToChar(t.mid(pos + 1, 2));
        t.replace(pos, qMin<qsizetype>(3, t.size() - pos), c);
        pos += c.size();
    }
    return t;
}

QString FormatMailDate(const QDateTime& local) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {" Jan ", " Feb ", " Mar ", " Apr ", " May ", " Jun ",
                                         " Jul ", " Aug ", " Sep ", " Oct ", " Nov ", " Dec "};
    const QDate d = local.date();
    return QString::fromLatin1(days[d.dayOfWeek() - 1]) + QStringLiteral(", ") +
           QString::number(d.day()).rightJustified(2, QLatin1Char('0')) + QString::fromLatin1(months[d.month() - 1]) +
           QString::number(d.year()).rightJustified(4, QLatin1Char('0'));
}

qint16 GetUTCOffset() {
    CALLSTACK_MODULE("modMail");
    return qint16(now().offsetFromUtc() / 3600);
}

QString mailDateLine(const QDateTime& local, qint16 utcOffset) {
    QString zone = utcOffset >= 0
                       ? QStringLiteral("+") + QString::number(utcOffset).rightJustified(2, QLatin1Char('0'))
                       : QStringLiteral("-") + QString::number(-utcOffset).rightJustified(2, QLatin1Char('0'));
    return QStringLiteral("DATE: ") + FormatMailDate(local) + QLatin1Char(' ') +
           local.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + zone + QStringLiteral("00");
}

QString AddressLocalPart(const QString& address) {
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    return at < 0 ? address : address.left(at);
}

}  // namespace gd
