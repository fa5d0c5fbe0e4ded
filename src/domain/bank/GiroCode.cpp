#include "domain/bank/GiroCode.h"

#include <qrencode.h>

#include <QStringList>
#include <algorithm>
#include <memory>

#include "base/Money.h"
#include "domain/bank/Iban.h"

namespace gd {
namespace {

constexpr qsizetype kMostPayloadBytes = 331;

// Line breaks would shift every field after them. The code counts characters: a cut
// never splits one (half an emoji would arrive as "?").
QString field(QString s, qsizetype most) {
    s.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    s = s.trimmed();
    qsizetype end = 0;
    for (qsizetype chars = 0; end < s.size() && chars < most; ++chars)
        end += s[end].isHighSurrogate() && end + 1 < s.size() && s[end + 1].isLowSurrogate() ? 2 : 1;
    return s.left(end);
}

qsizetype characters(const QString& s) {
    return s.size() - std::count_if(s.begin(), s.end(), [](QChar c) { return c.isHighSurrogate(); });
}

}  // namespace

QByteArray epcPayload(const Transfer& t) {
    QString name = field(t.name, 70);
    if (name.isEmpty() || !ibanValid(t.iban) || t.cents < 0 || t.cents > kMostCents) return {};
    const QString bic = bicValid(t.bic) ? compactIban(t.bic) : QString();
    const QString amount =
        t.cents > 0 ? QStringLiteral("EUR%1.%2").arg(t.cents / 100).arg(t.cents % 100, 2, 10, QLatin1Char('0'))
                    : QString();
    QString reference = field(t.reference, 140);
    const auto build = [&] {
        QString out = QStringList{QStringLiteral("BCD"),
                                  QStringLiteral("002"),
                                  QStringLiteral("1"),
                                  QStringLiteral("SCT"),
                                  bic,
                                  name,
                                  compactIban(t.iban),
                                  amount,
                                  QString(),
                                  QString(),
                                  reference}
                          .join(QLatin1Char('\n'));
        while (out.endsWith(QLatin1Char('\n'))) out.chop(1);
        return out.toUtf8();
    };
    // Letters beyond Latin take up to four bytes: the reference gives way first, then the name.
    QByteArray out = build();
    while (out.size() > kMostPayloadBytes && !reference.isEmpty()) {
        reference = field(reference, characters(reference) - 1);
        out = build();
    }
    while (out.size() > kMostPayloadBytes && characters(name) > 1) {
        name = field(name, characters(name) - 1);
        out = build();
    }
    return out;
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
