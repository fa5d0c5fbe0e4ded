#pragma once
// DHL's upload file for labels bought on its web page ("Online-Frankierung", CSV import), after
// DHL's document "DHL Online Frankierung – Format der CSV-Importdatei": Windows-1252; ";" between
// fields; a field holding ";" or '"' in quotes, a '"' in it doubled; no line break inside a field;
// the heading line below, its columns in this order; at most 100 shipments a file. The sender's
// fields are needed in the first row only; every row carries them here.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "domain/db/Store.h"
#include "domain/shipping/PostalAddress.h"

namespace gd {

inline constexpr const char* kDhlImportHeading =
    "SEND_NAME1;SEND_NAME2;SEND_STREET;SEND_HOUSENUMBER;SEND_PLZ;SEND_CITY;SEND_COUNTRY;RECV_NAME1;RECV_NAME2;"
    "RECV_STREET;RECV_HOUSENUMBER;RECV_PLZ;RECV_CITY;RECV_COUNTRY;PRODUCT;COUPON";
inline constexpr int kDhlImportRows = 100;

// The field lengths: DHL's document, as far as it could be read, sets none; these are the ones
// DHL's shipping API (Parcel DE Shipping v2) sets for the same fields of an address.
struct FieldLimits {
    int name = 50, street = 50, house = 10, postcode = 10, city = 40;
};

// The products of the upload ("PAK02.DEU": the product, the region), as DHL's template names them.
// DHL changes them with its prices: any key of that form is written as given.
struct DhlProduct {
    const char *key, *text;
};
inline constexpr DhlProduct kDhlProducts[] = {
    {"PAECKS.DEU", "Päckchen S"},       {"PAECK.DEU", "Päckchen M"},          {"PAK02.DEU", "Paket bis 2 kg"},
    {"PAK05.DEU", "Paket bis 5 kg"},    {"PAK10.DEU", "Paket bis 10 kg"},     {"PAK31.DEU", "Paket bis 31,5 kg"},
    {"PAECK.EU", "Päckchen EU"},        {"PAK05.EU", "Paket EU bis 5 kg"},    {"PAK10.EU", "Paket EU bis 10 kg"},
    {"PAK20.EU", "Paket EU bis 20 kg"}, {"PAK315.EU", "Paket EU bis 31,5 kg"}};
bool validDhlProduct(const QString& key);

struct DhlShipment {
    QString auktionsNr;  // for the notes
    PostalAddress to;
    QString product;
};

struct DhlImport {
    QList<QByteArray> files;  // of at most kDhlImportRows shipments each
    QStringList notes;        // every field cut or spelt otherwise, every shipment left out, in German
    int written = 0;
};

DhlImport dhlImportFiles(const PostalAddress& sender, const QList<DhlShipment>& shipments,
                         const FieldLimits& limits = {});
// FILE.csv, FILE-2.csv, … for the i-th file of an upload.
QString importFileName(const QString& file, qsizetype i);

// A sale paid and not yet sent, with its buyer's address as a carrier reads it, or why it cannot.
struct ReadyParcel {
    QString auktionsID, auktionsNr, ebayName, titel;
    PostalAddress to;
    QString unreadable;  // the address cannot be read: why, in German
};
Result<QList<ReadyParcel>> readyParcels(const Store& store);
// The seller as the options keep it: the account holder and "Lindenweg 3, 24103 Kiel".
Result<PostalAddress> senderAddress(const QString& holder, const QString& addressLine);

}  // namespace gd
