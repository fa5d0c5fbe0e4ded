#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

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

}  // namespace

QString fromAnsi(const QByteArray& bytes) {
    QStringDecoder dec("windows-1252");
    if (!dec.isValid()) return QString::fromLatin1(bytes);
    return dec.decode(bytes);
}

QByteArray toAnsi(const QString& text) {
    QStringEncoder enc("windows-1252");
    if (!enc.isValid()) return text.toLatin1();
    QByteArray out = enc.encode(text);
    return out;
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
