#pragma once
// Tracking numbers back from the carrier: after labels were bought on its web page, its list of
// the shipments made (a CSV export) gives each parcel's number. DHL documents no layout for that
// export, so its columns are found by their headings. Each number goes onto the one sale ready to
// ship to that name and postcode, once; where that is not one sale, nothing is guessed.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct ShipmentLine {
    int zeile = 0;  // the line of the file, for the seller
    QString sendungsnummer, name, postcode, street;
    QDate tag;  // the day it was posted, when the list says
};

// Windows-1252 or UTF-8, ";" or "," between fields; refused without the number's, the name's and
// the postcode's columns (their headings named).
Result<QList<ShipmentLine>> readShipmentList(const QByteArray& bytes);

struct TrackingMatch {
    ShipmentLine line;
    QString auktionsID, auktionsNr, ebayName;  // empty: no single sale found
    QString grund;                             // why this sale, or why none
    bool erfasst = false;                      // the number is recorded on a trade already
};
Result<QList<TrackingMatch>> matchTracking(const Store& store, const QList<ShipmentLine>& lines);
// Each found one: the carrier and number recorded, the sale "Versendet" on the line's day (else
// `now`), both or neither. One line a match in `notes`. The number of sales sent.
Result<int> applyTracking(const Store& store, const QList<TrackingMatch>& matches, const QString& carrier,
                          const QDateTime& now, QStringList* notes = nullptr);

}  // namespace gd
