#include "base/Money.h"

namespace gd {

std::optional<qint64> parseCents(const QString& typed) {
    QString t = typed;
    t.remove(QStringLiteral("EUR")).remove(QChar(0x20AC)).remove(QChar(0xA0)).remove(QLatin1Char(' '));
    bool negative = false;
    if (t.startsWith(QLatin1Char('-'))) {
        negative = true;
        t.remove(0, 1);
    }
    // Whole part with or without thousands points, then the decimals after a comma;
    // or "24.50": a point before exactly two decimals is no thousands point.
    qsizetype decimalAt = t.indexOf(QLatin1Char(','));
    if (decimalAt < 0) {
        const qsizetype point = t.lastIndexOf(QLatin1Char('.'));
        if (point >= 0 && point == t.size() - 3 && t.count(QLatin1Char('.')) == 1) decimalAt = point;
    }
    const QString whole = decimalAt < 0 ? t : t.left(decimalAt);
    const QString frac = decimalAt < 0 ? QString() : t.mid(decimalAt + 1);
    if ((whole.isEmpty() && decimalAt < 0) || frac.size() > 2 || (decimalAt >= 0 && frac.isEmpty()))
        return std::nullopt;
    qint64 euros = 0;
    int digitsInGroup = 0;
    bool grouped = false;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const QChar c = whole[i];
        if (c == QLatin1Char('.') && decimalAt != i) {
            // A thousands point stands after one to three digits, then every three.
            if (digitsInGroup == 0 || digitsInGroup > 3 || (grouped && digitsInGroup != 3)) return std::nullopt;
            grouped = true;
            digitsInGroup = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        euros = euros * 10 + (c.unicode() - u'0');
        ++digitsInGroup;
        if (euros > kMostCents / 100) return std::nullopt;
    }
    if (grouped && digitsInGroup != 3) return std::nullopt;
    qint64 cents = euros * 100;
    for (qsizetype i = 0; i < 2; ++i) {
        const QChar c = i < frac.size() ? frac[i] : QLatin1Char('0');
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        cents += (c.unicode() - u'0') * (i == 0 ? 10 : 1);
    }
    if (cents > kMostCents) return std::nullopt;
    return negative ? -cents : cents;
}

qint64 centsOr0(const QString& text) { return parseCents(text).value_or(0); }

QString centsText(qint64 cents) {
    // Unsigned: the magnitude of the smallest qint64 has no signed form.
    const quint64 a = cents < 0 ? quint64(0) - quint64(cents) : quint64(cents);
    QString whole = QString::number(a / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char('.'));
    return (cents < 0 ? QStringLiteral("-") : QString()) + whole + QLatin1Char(',') +
           QStringLiteral("%1").arg(uint(a % 100), 2, 10, QLatin1Char('0'));
}

QString euroText(qint64 cents) { return centsText(cents) + QStringLiteral(" \u20AC"); }

}  // namespace gd
