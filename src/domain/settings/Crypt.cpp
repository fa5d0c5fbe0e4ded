#include "domain/settings/Crypt.h"

#include <cctype>

#include "base/CallStack.h"
#include "base/codepage.h"

namespace gd {

const QString kPasswordKey = QStringLiteral("QMR (KVX-Zentral)");
const QString kCryptError = QString(21, QLatin1Char('x'));

QString Crypt(const QString& Inp, const QString& Key, bool mode) {
    CALLSTACK_MODULE("modGlobal");
    const QByteArray in = win::toAnsi(Inp);
    const QByteArray key = win::toAnsi(Key);
    if (key.isEmpty()) return in.isEmpty() ? QString() : kCryptError;
    const qsizetype n = in.size();
    QByteArray out;
    qsizetype k = 0;
    for (qsizetype i = 1; i <= n; ++i) {
        k = k + 1;
        if (k > key.size()) k = 1;
        const int kc = static_cast<unsigned char>(key[k - 1]);
        if (mode) {
            const int x = static_cast<unsigned char>(in[i - 1]) ^ kc;
            out += QByteArray::number(x, 16).toUpper().rightJustified(2, '0');
        } else {
            if (i > n / 2) break;
            const QByteArray pair = in.mid(2 * i - 2, 2);
            bool ok = false;
            const int b = pair.toInt(&ok, 16);
            // toInt accepts a sign or blank; a stored pair is exactly two hex digits
            if (!ok || !std::isxdigit(uchar(pair[0])) || !std::isxdigit(uchar(pair[1]))) return kCryptError;
            out += char(b ^ kc);
        }
    }
    return mode ? QString::fromLatin1(out) : win::fromAnsi(out);
}

}  // namespace gd
