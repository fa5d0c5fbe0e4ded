#pragma once
// A buyer's address as a carrier takes it: street and house number apart, postcode and town
// apart, the country as its three-letter code. Read from the contact's free-text fields.
#include <QString>

#include "base/Result.h"

namespace gd {

struct PostalAddress {
    QString name1, name2;  // the person; a company's name first when there is one
    QString street, house;
    QString postcode, city;
    QString country;  // ISO 3166-1 alpha-3: "DEU"
};

// "Lindenweg 3a" → {"Lindenweg", "3a"}; "12 rue de la Paix" → {"rue de la Paix", "12"}; no number: {text, ""}.
std::pair<QString, QString> splitStreet(const QString& street);
// The code of a country as sellers type it ("Deutschland", "Österreich", "AT", "POL"); empty when unknown.
QString countryAlpha3(const QString& land);
// From the contact's fields; an empty country is Germany. What cannot be read is said in German.
Result<PostalAddress> postalAddress(const QString& name, const QString& firma, const QString& strasse,
                                    const QString& ort, const QString& land);

}  // namespace gd
