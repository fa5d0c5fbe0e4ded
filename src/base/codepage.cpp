#include "base/codepage.h"

namespace gd::win {
namespace {

bool isValidUtf8WithMultibyte(const QByteArray& b) {
    bool multi = false;
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int extra = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        for (int k = 1; k <= extra; ++k)
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80) return false;
        multi = true;
        i += extra + 1;
    }
    return multi;
}

// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the code points of
// the same value, so every byte survives the way to text and back.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString fromAnsi(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        d[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

QByteArray toAnsi(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    char* d = out.data();
    const QChar* src = text.constData();
    const qsizetype n = text.size();
    qsizetype w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = src[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            d[w++] = char(c);
            continue;
        }
        char b = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == c) {
                b = char(0x80 + k);
                break;
            }
        if (QChar::isHighSurrogate(c) && i + 1 < n && src[i + 1].isLowSurrogate()) ++i;
        d[w++] = b;
    }
    out.truncate(w);
    return out;
}

bool representable(const QString& text) {
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) continue;
        bool found = false;
        for (int k = 0; k < 32 && !found; ++k) found = kHigh[k] == c;
        if (!found) return false;
    }
    return true;
}

DecodedText decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3), TextEncoding::Utf8Bom};
    if (isValidUtf8WithMultibyte(bytes)) return {QString::fromUtf8(bytes), TextEncoding::Utf8};
    return {fromAnsi(bytes), TextEncoding::Windows1252};
}

QByteArray encodeText(const QString& text, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return text.toUtf8();
        case TextEncoding::Utf8Bom:
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        case TextEncoding::Windows1252:
            break;
    }
    return toAnsi(text);
}

}  // namespace gd::win
