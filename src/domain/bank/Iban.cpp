#include "domain/bank/Iban.h"

#include <QHash>
#include <QRegularExpression>

namespace gd {

QString compactIban(const QString& typed) {
    QString out;
    for (const QChar c : typed)
        if (!c.isSpace()) out += c.toUpper();
    return out;
}

bool ibanValid(const QString& typed) {
    const QString iban = compactIban(typed);
    static const QRegularExpression shape(QStringLiteral("^[A-Z]{2}[0-9]{2}[A-Z0-9]{11,30}$"));
    if (!shape.match(iban).hasMatch()) return false;
    // Lengths of the SEPA countries a German seller is paid from most.
    static const QHash<QString, int> lengths = {
        {QStringLiteral("DE"), 22}, {QStringLiteral("AT"), 20}, {QStringLiteral("CH"), 21}, {QStringLiteral("NL"), 18},
        {QStringLiteral("BE"), 16}, {QStringLiteral("LU"), 20}, {QStringLiteral("FR"), 27}, {QStringLiteral("IT"), 27},
        {QStringLiteral("ES"), 24}, {QStringLiteral("PL"), 28}, {QStringLiteral("DK"), 18}, {QStringLiteral("CZ"), 24},
        {QStringLiteral("LI"), 21}, {QStringLiteral("IE"), 22}, {QStringLiteral("GB"), 22}, {QStringLiteral("SE"), 24},
        {QStringLiteral("FI"), 18}, {QStringLiteral("PT"), 25}, {QStringLiteral("GR"), 27}, {QStringLiteral("HU"), 28}};
    const auto known = lengths.constFind(iban.left(2));
    if (known != lengths.constEnd() && iban.size() != *known) return false;
    // The first four characters move to the end, letters count as 10..35; the whole is 1 mod 97.
    const QString moved = iban.mid(4) + iban.left(4);
    int rest = 0;
    for (const QChar c : moved) {
        const int v = c.isDigit() ? c.digitValue() : c.unicode() - 'A' + 10;
        rest = v >= 10 ? (rest * 100 + v) % 97 : (rest * 10 + v) % 97;
    }
    return rest == 1;
}

QString groupedIban(const QString& typed) {
    const QString iban = compactIban(typed);
    QString out;
    for (qsizetype i = 0; i < iban.size(); i += 4)
        out += (out.isEmpty() ? QString() : QStringLiteral(" ")) + iban.mid(i, 4);
    return out;
}

bool bicValid(const QString& typed) {
    static const QRegularExpression shape(QStringLiteral("^[A-Z]{6}[A-Z0-9]{2}([A-Z0-9]{3})?$"));
    return shape.match(compactIban(typed)).hasMatch();
}

}  // namespace gd
