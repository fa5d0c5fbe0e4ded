#include "domain/bank/GiroCode.h"

#include <QStringList>
#include <qrencode.h>

#include <memory>

#include "domain/bank/Iban.h"

namespace gd {
namespace {

// Line breaks would shift every field after them; the code counts characters, not bytes.
QString field(QString s, int most) {
    s.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s.trimmed().left(most);
}

}  // namespace

QByteArray epcPayload(const Transfer& t) {
    const QString name = field(t.name, 70);
    if (name.isEmpty() || !ibanValid(t.iban) || t.cents < 0 || t.cents > 99999999999LL) return {};
    const QString bic = bicValid(t.bic) ? compactIban(t.bic) : QString();
    const QString amount = t.cents > 0 ? QStringLiteral("EUR%1.%2").arg(t.cents / 100).arg(t.cents % 100, 2, 10, QLatin1Char('0'))
                                       : QString();
    const QStringList lines = {QStringLiteral("BCD"), QStringLiteral("002"), QStringLiteral("1"), QStringLiteral("SCT"),
                               bic, name, compactIban(t.iban), amount, QString(), QString(), field(t.reference, 140)};
    QString out = lines.join(QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out.toUtf8();
}

QrMatrix qrMatrix(const QByteArray& data) {
    if (data.isEmpty()) return {};
    // Level M, as the payment code asks for.
    const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeData(int(data.size()), reinterpret_cast<const unsigned char*>(data.constData()), 0, QR_ECLEVEL_M),
        QRcode_free);
    if (!code) return {};
    QrMatrix m;
    m.width = code->width;
    m.dark.resize(qsizetype(code->width) * code->width);
    for (qsizetype i = 0; i < m.dark.size(); ++i) m.dark[i] = char(code->data[i] & 1);
    return m;
}

}  // namespace gd
