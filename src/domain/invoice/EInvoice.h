#pragma once
// The invoice as an e-invoice: UN/CEFACT Cross Industry Invoice (D16B) following EN 16931,
// what ZUGFeRD/Factur-X embed as factur-x.xml.
#include <QByteArray>

#include "base/Result.h"
#include "domain/invoice/Invoice.h"

namespace gd {

// The XML of an issued invoice or cancellation. Refused without the seller's tax number or VAT
// ID, which the rules ask of every invoice that shows no VAT.
Result<QByteArray> ciiXml(const Invoice& inv);
// "Deutschland" → "DE"; a two-letter code stays; unknown: "DE".
QString countryCode(const QString& country);

}  // namespace gd
