#include "domain/settings/modIni.h"

#include <limits>

#include "base/CallStack.h"
#include "base/RunError.h"
#include "base/codepage.h"
#include "base/modFunktions.h"
#include "base/profile.h"

namespace gd {

namespace modIni_detail {

const QString kIniKey = QStringLiteral("KBW Tafelrunde & Wandelgarten Nordwerk AG");

QString funKrypt(const QString& sInput, const QString& sKey, bool bMode, qint32& lSum) {
    CALLSTACK_MODULE("modIni");
    const QByteArray in = win::toAnsi(sInput);
    const QByteArray key = win::toAnsi(sKey);
    QByteArray out;
    const qsizetype n = in.size();
    qsizetype k = 0;
    for (qsizetype i = 1; i <= n; ++i) {
        if (key.isEmpty()) break;
        k = k + 1;
        if (k > key.size()) k = 1;
        const int kc = static_cast<unsigned char>(key[k - 1]);
        int c = 0;
        if (bMode) {
            c = static_cast<unsigned char>(in[i - 1]);
            out += QByteArray::number(kc ^ c, 16).toUpper().rightJustified(2, '0');
        } else {
            if (i > n / 2) break;
            bool ok = false;
            const int b = in.mid(2 * i - 2, 2).toInt(&ok, 16);
            if (!ok) throw errors::typeMismatch();
            c = b ^ kc;
            out += char(c);
        }
        if (qint64(lSum) + c > std::numeric_limits<qint32>::max()) throw errors::overflow();
        lSum += c;
    }
    return bMode ? QString::fromLatin1(out) : win::fromAnsi(out);
}

QString funIni_Krypt(const QString& sText) {
    CALLSTACK_MODULE("modIni");
    qint32 lSum = 0;
    const QString cipher = funKrypt(sText, kIniKey, true, lSum);
    const QString sumText = QString::number(lSum);
    return cipher + sumText + QString::number(sumText.size());
}

QString funIni_Dekrypt(const QString& sKrypt) {
    CALLSTACK_MODULE("modIni");
    if (sKrypt.isEmpty()) return QString();  // no checksum digit to read
    const int d = funCLng(sKrypt.right(1));
    if (d < 0 || d > sKrypt.size() - 1) return QString();
    const QString sumText = sKrypt.mid(sKrypt.size() - 1 - d, d);
    const QString cipher = sKrypt.left(sKrypt.size() - 1 - d);
    qint32 lSum = 0;
    QString plain;
    try {
        plain = funKrypt(cipher, kIniKey, false, lSum);
    } catch (const RunError&) {
        return QString();
    }
    return funCDbl(sumText) == double(lSum) ? plain : QString();
}

}  // namespace modIni_detail

using namespace modIni_detail;

QString funIni_GetString(const QString& sIniDatei, const QString& sSection, const QString& sKey,
                         const QString& sDefault, bool bCrypted) {
    CALLSTACK();
    QString buffer;
    int r = 0;
    if (bCrypted)
        r = win::GetPrivateProfileString(funIni_Krypt(sSection), funIni_Krypt(sKey), funIni_Krypt(sDefault), buffer,
                                         255, sIniDatei);
    else
        r = win::GetPrivateProfileString(sSection, sKey, sDefault, buffer, 255, sIniDatei);
    const QString value = buffer.left(r);
    return bCrypted ? funIni_Dekrypt(value) : value;
}

bool funIni_SetString(const QString& sIniDatei, const QString& sSection, const QString& sKey, const QString& sText,
                      bool bCrypted) {
    CALLSTACK();
    if (bCrypted)
        return win::WritePrivateProfileString(funIni_Krypt(sSection), funIni_Krypt(sKey), funIni_Krypt(sText),
                                              sIniDatei);
    return win::WritePrivateProfileString(sSection, sKey, sText, sIniDatei);
}

std::optional<QStringList> funIni_GetAllKeys(const QString& sIniDatei, const QString& sSection, bool /*bCrypted*/) {
    CALLSTACK();
    int size = 256;
    int c = 0;
    QString buffer;
    int used = 0;
    do {
        used = size;
        c = win::GetPrivateProfileSection(sSection, buffer, used, sIniDatei);
        // Doubling reads a large section in a few passes; growing by 256 each time
        // made a 10,000-line keyword file take a minute.
        size *= 2;
    } while (c + 2 == used);
    if (c == 0) return std::nullopt;
    QStringList out;
    qsizetype pos = 0;
    while (pos < c) {
        qsizetype nul = buffer.indexOf(QChar(0), pos);
        if (nul < 0) nul = buffer.size();
        out << buffer.mid(pos, nul - pos);
        pos = nul + 1;
    }
    return out;
}

}  // namespace gd
