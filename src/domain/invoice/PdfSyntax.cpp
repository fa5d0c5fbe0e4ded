#include "domain/invoice/PdfSyntax.h"

#include <zlib.h>

#include <cstring>

namespace gd::pdf {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void damaged(const QString& why) { throw Refusal{false, why}; }
void tooMuch(const QString& why) { throw Refusal{true, why}; }

bool isSpace(char c) { return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }
bool isDelimiter(char c) { return c != 0 && std::strchr("()<>[]{}/%", c) != nullptr; }

void Lexer::skipSpace() {
    while (pos < d_.size()) {
        if (isSpace(d_[pos])) {
            ++pos;
        } else if (d_[pos] == '%') {
            while (pos < d_.size() && d_[pos] != '\n' && d_[pos] != '\r') ++pos;
        } else {
            break;
        }
    }
}

QByteArray Lexer::word() {
    skipSpace();
    const qsizetype start = pos;
    while (pos < d_.size() && !isSpace(d_[pos]) && !isDelimiter(d_[pos])) ++pos;
    return d_.mid(start, pos - start);
}

qint64 Lexer::unsignedInt() {
    const qsizetype start = pos;
    const QByteArray w = word();
    bool ok = false;
    const qint64 v = w.size() <= 12 ? w.toLongLong(&ok) : 0;
    if (ok && v >= 0 && !w.startsWith('+') && !w.startsWith('-')) return v;
    pos = start;
    return -1;
}

bool Lexer::keyword(const char* k) {
    const qsizetype start = pos;
    if (word() == k) return true;
    pos = start;
    return false;
}

Value Lexer::value(int depth) {
    if (depth > kMostDepth) tooMuch(QStringLiteral("Sie ist tiefer als %1 Ebenen verschachtelt.").arg(kMostDepth));
    if (++values_ > kMostValues) tooMuch(QStringLiteral("Auf dem Weg zur Rechnung stehen mehr als 200.000 Werte."));
    skipSpace();
    if (pos >= d_.size()) damaged(QStringLiteral("Sie endet mitten in einem Objekt."));
    const char c = d_[pos];
    Value v;
    if (c == '[') {
        ++pos;
        v.kind = Value::Kind::Array;
        for (;;) {
            skipSpace();
            if (pos >= d_.size()) damaged(QStringLiteral("Eine Liste ist nicht abgeschlossen."));
            if (d_[pos] == ']') {
                ++pos;
                return v;
            }
            v.items.append(value(depth + 1));
        }
    }
    if (c == '<' && pos + 1 < d_.size() && d_[pos + 1] == '<') {
        pos += 2;
        v.kind = Value::Kind::Dict;
        for (;;) {
            skipSpace();
            if (pos + 1 >= d_.size()) damaged(QStringLiteral("Ein Verzeichnis ist nicht abgeschlossen."));
            if (d_[pos] == '>' && d_[pos + 1] == '>') {
                pos += 2;
                return v;
            }
            Value key = value(depth + 1);
            if (!key.is(Value::Kind::Name)) damaged(QStringLiteral("Ein Verzeichnis hat einen Schlüssel ohne Namen."));
            v.items.append(std::move(key));
            v.items.append(value(depth + 1));
        }
    }
    if (c == '<') return hexString();
    if (c == '(') return literalString();
    if (c == '/') return name();
    if (c == ']' || c == '>' || c == ')' || c == '{' || c == '}')
        damaged(QStringLiteral("Unerwartetes Zeichen „%1“ an Stelle %2.").arg(QLatin1Char(c)).arg(pos));
    const QByteArray w = word();
    if (w.isEmpty()) damaged(QStringLiteral("Unerwartetes Zeichen an Stelle %1.").arg(pos));
    if (w == "true" || w == "false") {
        v.kind = Value::Kind::Bool;
        v.integer = w == "true";
        return v;
    }
    if (w == "null") return v;
    const char first = w[0];
    if ((first >= '0' && first <= '9') || first == '+' || first == '-' || first == '.') {
        v.kind = Value::Kind::Number;
        bool ok = false;
        if (w.contains('.')) {
            v.real = true;
            w.toDouble(&ok);
        } else {
            v.integer = w.size() <= 18 ? w.toLongLong(&ok) : 0;
        }
        if (!ok) damaged(QStringLiteral("„%1“ ist keine Zahl.").arg(QString::fromLatin1(w.left(20))));
        // "12 0 R" is a reference; anything else leaves the second number for later.
        if (!v.real && v.integer >= 0 && first != '+' && first != '-') {
            const qsizetype after = pos;
            const qint64 gen = unsignedInt();
            if (gen >= 0 && keyword("R")) {
                v.kind = Value::Kind::Ref;
                return v;
            }
            pos = after;
        }
        return v;
    }
    v.kind = Value::Kind::Keyword;
    v.text = w;
    return v;
}

Value Lexer::name() {
    ++pos;
    Value v;
    v.kind = Value::Kind::Name;
    while (pos < d_.size() && !isSpace(d_[pos]) && !isDelimiter(d_[pos])) {
        const char c = d_[pos++];
        if (c == '#' && pos + 1 < d_.size() && hexDigit(d_[pos]) >= 0 && hexDigit(d_[pos + 1]) >= 0) {
            v.text.append(char(hexDigit(d_[pos]) * 16 + hexDigit(d_[pos + 1])));
            pos += 2;
        } else {
            v.text.append(c);
        }
    }
    return v;
}

Value Lexer::hexString() {
    ++pos;
    Value v;
    v.kind = Value::Kind::String;
    int high = -1;
    for (; pos < d_.size() && d_[pos] != '>'; ++pos) {
        const int h = hexDigit(d_[pos]);
        if (h < 0) continue;
        if (high < 0) {
            high = h;
        } else {
            v.text.append(char(high * 16 + h));
            high = -1;
        }
    }
    if (pos >= d_.size()) damaged(QStringLiteral("Eine Zeichenkette ist nicht abgeschlossen."));
    ++pos;
    if (high >= 0) v.text.append(char(high * 16));
    return v;
}

Value Lexer::literalString() {
    ++pos;
    Value v;
    v.kind = Value::Kind::String;
    int open = 1;
    while (pos < d_.size()) {
        char c = d_[pos++];
        if (c == '(') {
            ++open;
        } else if (c == ')' && --open == 0) {
            return v;
        } else if (c == '\\' && pos < d_.size()) {
            c = d_[pos++];
            static const char from[] = "nrtbf", to[] = "\n\r\t\b\f";
            if (const char* at = std::strchr(from, c); at && c) {
                c = to[at - from];
            } else if (c >= '0' && c <= '7') {
                int octal = c - '0';
                for (int i = 0; i < 2 && pos < d_.size() && d_[pos] >= '0' && d_[pos] <= '7'; ++i)
                    octal = octal * 8 + (d_[pos++] - '0');
                c = char(octal);
            } else if (c == '\r' || c == '\n') {
                if (c == '\r' && pos < d_.size() && d_[pos] == '\n') ++pos;
                continue;
            }
        }
        v.text.append(c);
    }
    damaged(QStringLiteral("Eine Zeichenkette ist nicht abgeschlossen."));
}

QByteArray inflated(const QByteArray& in, qsizetype limit, const QString& what) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) damaged(QStringLiteral("Entpacken ist nicht möglich."));
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        const qsizetype had = out.size(), chunk = 64 * 1024;
        if (had > limit) {
            inflateEnd(&z);
            tooMuch(what);
        }
        out.resize(had + chunk);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + had);
        z.avail_out = uInt(chunk);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(had + chunk - qsizetype(z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_in == 0) rc = Z_STREAM_END;  // cut short: what came is kept
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) damaged(QStringLiteral("Ein Datenstrom ist beschädigt."));
    if (out.size() > limit) tooMuch(what);
    return out;
}

QByteArray fromHex(const QByteArray& in) {
    QByteArray out;
    int high = -1;
    for (const char c : in) {
        if (c == '>') break;
        const int h = hexDigit(c);
        if (h < 0) continue;
        if (high < 0) {
            high = h;
        } else {
            out.append(char(high * 16 + h));
            high = -1;
        }
    }
    if (high >= 0) out.append(char(high * 16));
    return out;
}

QByteArray fromAscii85(const QByteArray& in) {
    QByteArray out;
    quint32 group = 0;
    int n = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '~') break;
        if (isSpace(c)) continue;
        if (c == 'z' && n == 0) {
            out.append(4, '\0');
            continue;
        }
        if (c < '!' || c > 'u') damaged(QStringLiteral("Ein Datenstrom ist beschädigt."));
        group = group * 85 + quint32(c - '!');
        if (++n == 5) {
            for (int s = 24; s >= 0; s -= 8) out.append(char(group >> s));
            group = 0;
            n = 0;
        }
    }
    if (n > 1) {
        for (int k = n; k < 5; ++k) group = group * 85 + 84;
        for (int k = 0; k < n - 1; ++k) out.append(char(group >> (24 - 8 * k)));
    }
    return out;
}

QByteArray unpredicted(const QByteArray& in, const Value* parms) {
    const Value* predictor = parms ? parms->get("Predictor") : nullptr;
    if (!predictor || !predictor->isInt() || predictor->integer <= 1) return in;
    if (predictor->integer < 10)
        damaged(QStringLiteral("Ein Datenstrom verwendet ein unbekanntes Vorhersageverfahren."));
    auto number = [&](const char* key, qint64 fallback) {
        const Value* v = parms->get(key);
        return v && v->isInt() ? v->integer : fallback;
    };
    const qint64 colors = number("Colors", 1), bits = number("BitsPerComponent", 8), columns = number("Columns", 1);
    if (colors < 1 || colors > 32 || bits < 1 || bits > 16 || columns < 1 || columns > (1 << 20))
        damaged(QStringLiteral("Ein Datenstrom hat unmögliche Angaben."));
    const qsizetype bpp = qMax<qsizetype>(1, qsizetype(colors * bits / 8));
    const qsizetype row = qsizetype((colors * bits * columns + 7) / 8);
    if (row >= in.size()) return {};
    QByteArray out;
    QByteArray prior(row, '\0');
    for (qsizetype at = 0; at + 1 + row <= in.size(); at += 1 + row) {
        const int filter = quint8(in[at]);
        QByteArray line = in.mid(at + 1, row);
        for (qsizetype i = 0; i < row; ++i) {
            const int left = i >= bpp ? quint8(line[i - bpp]) : 0, up = quint8(prior[i]),
                      upLeft = i >= bpp ? quint8(prior[i - bpp]) : 0;
            int add = 0;
            if (filter == 1) add = left;
            if (filter == 2) add = up;
            if (filter == 3) add = (left + up) / 2;
            if (filter == 4) {
                const int p = left + up - upLeft, pa = qAbs(p - left), pb = qAbs(p - up), pc = qAbs(p - upLeft);
                add = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
            }
            line[i] = char(quint8(line[i]) + add);
        }
        out += line;
        prior = line;
    }
    return out;
}

QString textOf(const QByteArray& s) {
    if (s.startsWith("\xFE\xFF")) {
        QString out;
        for (qsizetype i = 2; i + 1 < s.size(); i += 2) out.append(QChar(ushort(quint8(s[i]) << 8 | quint8(s[i + 1]))));
        return out;
    }
    if (s.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(s.mid(3));
    return QString::fromLatin1(s);
}

}  // namespace gd::pdf
