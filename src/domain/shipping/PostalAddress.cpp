#include "domain/shipping/PostalAddress.h"

#include <QHash>
#include <QRegularExpression>

namespace gd {
namespace {

// German and English names and the two-letter codes of the countries sellers here ship to.
const QHash<QString, QString>& countries() {
    static const QHash<QString, QString> known = [] {
        const struct {
            const char *alpha2, *alpha3, *names;
        } table[] = {
            {"DE", "DEU", "deutschland|germany"},
            {"AT", "AUT", "österreich|oesterreich|austria"},
            {"CH", "CHE", "schweiz|switzerland"},
            {"LI", "LIE", "liechtenstein"},
            {"NL", "NLD", "niederlande|netherlands|holland"},
            {"BE", "BEL", "belgien|belgium"},
            {"LU", "LUX", "luxemburg|luxembourg"},
            {"FR", "FRA", "frankreich|france"},
            {"IT", "ITA", "italien|italy"},
            {"ES", "ESP", "spanien|spain"},
            {"PT", "PRT", "portugal"},
            {"PL", "POL", "polen|poland"},
            {"CZ", "CZE", "tschechien|czechia|czech republic"},
            {"SK", "SVK", "slowakei|slovakia"},
            {"HU", "HUN", "ungarn|hungary"},
            {"SI", "SVN", "slowenien|slovenia"},
            {"HR", "HRV", "kroatien|croatia"},
            {"RO", "ROU", "rumänien|rumaenien|romania"},
            {"BG", "BGR", "bulgarien|bulgaria"},
            {"GR", "GRC", "griechenland|greece"},
            {"CY", "CYP", "zypern|cyprus"},
            {"MT", "MLT", "malta"},
            {"DK", "DNK", "dänemark|daenemark|denmark"},
            {"SE", "SWE", "schweden|sweden"},
            {"FI", "FIN", "finnland|finland"},
            {"NO", "NOR", "norwegen|norway"},
            {"IS", "ISL", "island|iceland"},
            {"IE", "IRL", "irland|ireland"},
            {"GB", "GBR", "großbritannien|grossbritannien|vereinigtes königreich|united kingdom|england"},
            {"EE", "EST", "estland|estonia"},
            {"LV", "LVA", "lettland|latvia"},
            {"LT", "LTU", "litauen|lithuania"},
            {"MC", "MCO", "monaco"},
        };
        QHash<QString, QString> out;
        for (const auto& c : table) {
            const QString a3 = QString::fromLatin1(c.alpha3);
            out.insert(QString::fromLatin1(c.alpha2).toLower(), a3);
            out.insert(a3.toLower(), a3);
            for (const QString& n : QString::fromUtf8(c.names).split(QLatin1Char('|'))) out.insert(n, a3);
        }
        return out;
    }();
    return known;
}

// "12345 Berlin", "D-12345 Berlin", "1010 Wien", "00-950 Warszawa", "110 00 Praha", "1012 AB Amsterdam",
// "London SW1A 1AA".
bool splitTown(const QString& ort, QString& postcode, QString& city) {
    static const QRegularExpression leading(
        QStringLiteral("^(?:[A-Z]{1,2}-)?(\\d{4}\\s?[A-Z]{2}|\\d{3}\\s\\d{2}|\\d{2}-\\d{3}|\\d{4,5})\\s+(\\S.*)$"));
    static const QRegularExpression trailing(QStringLiteral("^(.*\\S)\\s+([A-Z]{1,2}\\d[A-Z\\d]?\\s*\\d[A-Z]{2})$"));
    const QString t = ort.simplified();
    if (const QRegularExpressionMatch m = leading.match(t); m.hasMatch()) {
        postcode = m.captured(1);
        city = m.captured(2);
        return true;
    }
    if (const QRegularExpressionMatch m = trailing.match(t); m.hasMatch()) {
        city = m.captured(1);
        postcode = m.captured(2);
        return true;
    }
    return false;
}

}  // namespace

std::pair<QString, QString> splitStreet(const QString& street) {
    const QString t = street.simplified();
    // The number last ("Lindenweg 3a", "Am Markt 12-14", "Hauptstr. 5 / 2"), or first ("12 rue de la Paix").
    static const QRegularExpression last(
        QStringLiteral("^(.*?\\D)[\\s,]*(\\d+\\s?[a-zA-Z]?(?:\\s?[-/]\\s?\\d+\\s?[a-zA-Z]?)?)$"));
    static const QRegularExpression first(QStringLiteral("^(\\d+\\s?[a-zA-Z]?),?\\s+(\\D.*)$"));
    if (const QRegularExpressionMatch m = last.match(t); m.hasMatch())
        return {m.captured(1).trimmed(), m.captured(2).remove(QLatin1Char(' '))};
    if (const QRegularExpressionMatch m = first.match(t); m.hasMatch()) return {m.captured(2), m.captured(1)};
    return {t, QString()};
}

QString countryAlpha3(const QString& land) {
    return countries().value(land.simplified().toLower().remove(QLatin1Char('.')));
}

Result<PostalAddress> postalAddress(const QString& name, const QString& firma, const QString& strasse,
                                    const QString& ort, const QString& land) {
    PostalAddress a;
    a.name1 = (firma.trimmed().isEmpty() ? name : firma).simplified();
    if (!firma.trimmed().isEmpty()) a.name2 = name.simplified();
    std::tie(a.street, a.house) = splitStreet(strasse);
    a.country = land.trimmed().isEmpty() ? QStringLiteral("DEU") : countryAlpha3(land);
    QStringList missing;
    if (a.name1.isEmpty()) missing << QStringLiteral("der Name");
    if (a.street.isEmpty())
        missing << QStringLiteral("die Straße");
    else if (a.house.isEmpty())
        missing << QStringLiteral("die Hausnummer (in „%1“)").arg(strasse.simplified());
    if (!splitTown(ort, a.postcode, a.city))
        missing << (ort.trimmed().isEmpty() ? QStringLiteral("Postleitzahl und Ort")
                                            : QStringLiteral("die Postleitzahl (in „%1“)").arg(ort.simplified()));
    if (a.country.isEmpty()) missing << QStringLiteral("ein bekanntes Land (statt „%1“)").arg(land.simplified());
    if (!missing.isEmpty())
        return Error::plain(QStringLiteral("In der Anschrift fehlt %1.").arg(missing.join(QStringLiteral(", "))));
    return a;
}

}  // namespace gd
