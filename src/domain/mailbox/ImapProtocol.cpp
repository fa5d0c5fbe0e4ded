#include "domain/mailbox/ImapProtocol.h"

#include <algorithm>

namespace gd {

QByteArray ImapResponse::word() const {
    const qsizetype space = text.indexOf(' ');
    return (space < 0 ? text : text.left(space)).toUpper();
}

QByteArray ImapResponse::rest() const {
    const qsizetype space = text.indexOf(' ');
    return space < 0 ? QByteArray() : text.mid(space + 1);
}

void ImapReader::feed(const QByteArray& bytes) {
    if (!error_.isEmpty()) return;
    // What was read is dropped before the buffer grows: memory stays that of one response.
    if (pos_ > 0 && pos_ >= buf_.size() / 2) {
        buf_.remove(0, pos_);
        pos_ = 0;
    }
    buf_.append(bytes);
}

std::optional<ImapResponse> ImapReader::next() {
    while (error_.isEmpty()) {
        if (literalLeft_ >= 0) {
            if (buf_.size() - pos_ < literalLeft_) return std::nullopt;
            literals_.append(buf_.mid(pos_, literalLeft_));
            line_ += "{#" + QByteArray::number(literals_.size() - 1) + '}';
            pos_ += literalLeft_;
            literalBytes_ += literalLeft_;
            literalLeft_ = -1;
            continue;
        }
        const qsizetype end = buf_.indexOf("\r\n", pos_);
        if (end < 0) {
            if (line_.size() + (buf_.size() - pos_) > maxLine_)
                error_ = QStringLiteral("Der Server sendet eine Zeile, die länger ist als erlaubt.");
            return std::nullopt;
        }
        QByteArray segment = buf_.mid(pos_, end - pos_);
        pos_ = end + 2;
        if (line_.size() + segment.size() > maxLine_) {
            error_ = QStringLiteral("Der Server sendet eine Zeile, die länger ist als erlaubt.");
            return std::nullopt;
        }
        // "{123}" or "{123+}" at the end of a line: that many bytes follow, whatever they hold.
        if (segment.endsWith('}')) {
            const qsizetype open = segment.lastIndexOf('{');
            QByteArray digits = segment.mid(open + 1, segment.size() - open - 2);
            if (digits.endsWith('+')) digits.chop(1);
            bool ok = false;
            const qint64 n = open >= 0 && !digits.isEmpty() && digits.size() <= 12 ? digits.toLongLong(&ok) : -1;
            if (ok && n >= 0) {
                if (n > maxLiteral_) {
                    error_ = QStringLiteral("Der Server sendet %1 Bytes auf einmal; mehr als %2 werden nicht gelesen.")
                                 .arg(n)
                                 .arg(maxLiteral_);
                    return std::nullopt;
                }
                line_ += segment.left(open);
                literalLeft_ = n;
                continue;
            }
        }
        line_ += segment;
        ImapResponse r;
        if (line_.startsWith("* ")) {
            r.kind = ImapResponse::Kind::Untagged;
            r.text = line_.mid(2);
        } else if (line_.startsWith('+')) {
            r.kind = ImapResponse::Kind::Continuation;
            r.text = line_.mid(line_.startsWith("+ ") ? 2 : 1);
        } else {
            r.kind = ImapResponse::Kind::Tagged;
            const qsizetype space = line_.indexOf(' ');
            r.tag = space < 0 ? line_ : line_.left(space);
            r.text = space < 0 ? QByteArray() : line_.mid(space + 1);
        }
        r.literals = std::move(literals_);
        literals_.clear();
        line_.clear();
        literalBytes_ = 0;
        return r;
    }
    return std::nullopt;
}

ImapToken ImapTokens::next() {
    while (i_ < t_.size() && t_[i_] == ' ') ++i_;
    ImapToken tok;
    if (i_ >= t_.size()) return tok;
    const char c = t_[i_];
    if (c == '(') {
        ++i_;
        tok.type = ImapToken::Type::Open;
        return tok;
    }
    if (c == ')') {
        ++i_;
        tok.type = ImapToken::Type::Close;
        return tok;
    }
    if (c == '"') {
        tok.type = ImapToken::Type::String;
        for (++i_; i_ < t_.size() && t_[i_] != '"'; ++i_) {
            if (t_[i_] == '\\' && i_ + 1 < t_.size()) ++i_;
            tok.text += t_[i_];
        }
        ++i_;
        return tok;
    }
    if (c == '{' && t_.mid(i_, 2) == "{#") {
        const qsizetype close = t_.indexOf('}', i_);
        if (close > 0) {
            tok.type = ImapToken::Type::Literal;
            tok.literal = t_.mid(i_ + 2, close - i_ - 2).toInt();
            i_ = close + 1;
            return tok;
        }
    }
    tok.type = ImapToken::Type::Atom;
    int brackets = 0;  // "BODY[HEADER.FIELDS (SUBJECT)]" is one atom, spaces and all
    for (; i_ < t_.size(); ++i_) {
        const char d = t_[i_];
        if (d == '[') ++brackets;
        if (d == ']' && brackets > 0) --brackets;
        if (brackets == 0 && (d == ' ' || d == '(' || d == ')')) break;
        tok.text += d;
    }
    return tok;
}

void ImapTokens::skipValue() {
    ImapToken t = next();
    if (t.type != ImapToken::Type::Open) return;
    for (int depth = 1; depth > 0;) {
        t = next();
        if (t.type == ImapToken::Type::End) return;
        if (t.type == ImapToken::Type::Open) ++depth;
        if (t.type == ImapToken::Type::Close) --depth;
    }
}

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

}  // namespace

QByteArray encodeMailboxName(const QString& name) {
    QByteArray out;
    QList<char16_t> run;
    const auto flush = [&] {
        if (run.isEmpty()) return;
        out += '&';
        quint32 bits = 0;
        int nbits = 0;
        for (const char16_t u : run) {
            for (const int b : {u >> 8, u & 0xff}) {
                bits = (bits << 8) | quint32(b);
                nbits += 8;
                while (nbits >= 6) {
                    nbits -= 6;
                    out += kBase64[(bits >> nbits) & 0x3f];
                }
            }
        }
        if (nbits > 0) out += kBase64[(bits << (6 - nbits)) & 0x3f];
        out += '-';
        run.clear();
    };
    for (const QChar ch : name) {
        const char16_t u = ch.unicode();
        if (u >= 0x20 && u <= 0x7e) {
            flush();
            out += u == '&' ? QByteArray("&-") : QByteArray(1, char(u));
        } else {
            run.append(u);
        }
    }
    flush();
    return out;
}

QString decodeMailboxName(const QByteArray& name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] != '&') {
            out += QLatin1Char(name[i]);
            continue;
        }
        const qsizetype end = name.indexOf('-', i);
        if (end < 0) return out + QString::fromLatin1(name.mid(i));
        if (end == i + 1) {
            out += QLatin1Char('&');
        } else {
            quint32 bits = 0;
            int nbits = 0;
            QByteArray bytes;
            for (qsizetype k = i + 1; k < end; ++k) {
                const char* at = std::find(kBase64, kBase64 + 64, name[k]);
                bits = (bits << 6) | quint32(at - kBase64);
                nbits += 6;
                if (nbits >= 8) {
                    nbits -= 8;
                    bytes += char((bits >> nbits) & 0xff);
                }
            }
            for (qsizetype k = 0; k + 1 < bytes.size(); k += 2)
                out += QChar(char16_t((uchar(bytes[k]) << 8) | uchar(bytes[k + 1])));
        }
        i = end;
    }
    return out;
}

std::optional<QByteArray> quoted(const QByteArray& text) {
    QByteArray out = "\"";
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == '\0' || uchar(c) >= 0x80) return std::nullopt;
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

QByteArray uidSet(const QList<quint32>& ascending) {
    QByteArray out;
    for (qsizetype i = 0; i < ascending.size();) {
        qsizetype j = i;
        while (j + 1 < ascending.size() && ascending[j + 1] == ascending[j] + 1) ++j;
        if (!out.isEmpty()) out += ',';
        out += QByteArray::number(ascending[i]);
        if (j > i) out += ':' + QByteArray::number(ascending[j]);
        i = j + 1;
    }
    return out;
}

}  // namespace gd
