#pragma once
// What an invoice needs beyond the trade: whether the buyer is a business (its company name
// and VAT ID), and a sale's own VAT rate where it is not the options' (books at 7 % among
// goods at 19 %).

#include <QString>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct Business {
    QString Firma;  // empty: a private buyer
    QString UstId;
    bool isBusiness() const { return !Firma.trimmed().isEmpty(); }
};

Result<Business> loadBusiness(const Store& store, const QString& ebayName);
// An empty company name makes the contact a private one again.
Status saveBusiness(const Store& store, const QString& ebayName, const Business& b);

// The VAT rates a sale may carry; 0 stands for the options' rate.
inline bool validItemRate(int rate) { return rate == 0 || rate == 7 || rate == 19; }
Result<int> loadItemRate(const Store& store, const QString& auktionsNr);
Status saveItemRate(const Store& store, const QString& auktionsNr, int rate);

// The platform whose mail made a trade, for the yearly figures and the reporting limits.
// A mail of a further keyword section names it after the kind ("Verkauf Kiezmarkt" →
// "Kiezmarkt"); the three sections stand for the platform of the settings.
QString platformOfSection(const QString& section, const QString& mainPlatform);
Status savePlatform(const Store& store, const QString& auktionsNr, const QString& platform);

}  // namespace gd
