#pragma once
// The parcel of a trade: the carrier and its tracking number, recorded when the
// goods are sent.

#include <QString>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct Parcel {
    QString Versanddienst;   // "DHL", "Hermes", … or what the user typed
    QString Sendungsnummer;  // empty: none recorded
};

// The carriers offered, in the order shown.
const QStringList& carriers();

// An empty parcel when none is recorded.
Result<Parcel> loadParcel(const Store& store, const QString& sAuktionsID);
// Replaces what was recorded; an empty number removes the record.
Status saveParcel(const Store& store, const QString& sAuktionsID, const Parcel& p);

// The carrier's public tracking page for the number, or empty for a carrier
// whose page is not known (or no number).
QString trackingLink(const Parcel& p);

}  // namespace gd
