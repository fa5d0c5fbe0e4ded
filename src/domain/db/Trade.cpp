#include "domain/db/Trade.h"

#include <QRegularExpression>
#include <cmath>

#include "base/modFunktions.h"
#include "domain/settings/modGlobal.h"

namespace gd {

double amountOf(const QString& text) {
    QString t = text;
    t.remove(QStringLiteral("EUR")).remove(QChar(0x20AC));
    return funCDbl(t.trimmed());
}

std::optional<QString> funBetrag(const QString& sPreis, const QString& sMenge, const QString& sVersand,
                                 const QString& sVersicherung) {
    bool ok = false;
    const int menge = germanLocale().toInt(sMenge.trimmed(), &ok);
    if (!ok) return std::nullopt;
    const double total = menge * amountOf(sPreis) + amountOf(sVersand) + amountOf(sVersicherung);
    QString text = germanLocale().toString(total, 'f', 2);
    if (std::abs(total) < 1.0) text.replace(QRegularExpression(QStringLiteral("^(-?)0")), QStringLiteral("\\1"));
    return text;
}

qint64 daysSinceEnd(const QString& sEndeDatum, const QDate& today) {
    const auto ende = tryCDate(sEndeDatum);
    return ende ? ende->date().daysTo(today) : 0;
}

QString itemLink(const QString& sAuktionsNr) {
    QString link = gsItemLink;
    link.replace(QStringLiteral("[#Artikel#]"), sAuktionsNr.trimmed().remove(QLatin1Char(')')));
    return link;
}

}  // namespace gd
