#include "domain/trade/Trade.h"

#include <QRegularExpression>

#include "base/Money.h"
#include "base/modFunktions.h"

namespace gd {

std::optional<QString> funBetrag(const QString& sPreis, const QString& sMenge, const QString& sVersand,
                                 const QString& sVersicherung) {
    bool ok = false;
    const int menge = germanLocale().toInt(sMenge.trimmed(), &ok);
    if (!ok || menge < -kMostQuantity || menge > kMostQuantity) return std::nullopt;
    const qint64 total = menge * centsOr0(sPreis) + centsOr0(sVersand) + centsOr0(sVersicherung);
    QString text = centsText(total);
    if (total > -100 && total < 100) text.replace(QRegularExpression(QStringLiteral("^(-?)0")), QStringLiteral("\\1"));
    return text;
}

qint64 daysSinceEnd(const QString& sEndeDatum, const QDate& today) {
    const auto ende = tryCDate(sEndeDatum);
    return ende ? ende->date().daysTo(today) : 0;
}

QString itemLink(const QString& linkTemplate, const QString& sAuktionsNr) {
    QString link = linkTemplate;
    link.replace(QStringLiteral("[#Artikel#]"), sAuktionsNr.trimmed().remove(QLatin1Char(')')));
    return link;
}

}  // namespace gd
