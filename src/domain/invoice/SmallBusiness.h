#pragma once
// The small-business rule (§ 19 UStG) ends with the sale whose turnover passes a limit: from
// that sale on, invoices charge VAT.

#include <QString>
#include <optional>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

// "25000;100000;80": last year at most, this year at most, a warning from that percent.
struct SmallBusinessLimits {
    qint64 lastYear = 2500000, thisYear = 10000000;
    int warnPercent = 80;
};
SmallBusinessLimits smallBusinessLimits(const QString& setting);

// "25000;100000": the numbers of a limit setting, the defaults where one is missing or not positive.
QList<qint64> limitNumbers(const QString& setting, QList<qint64> defaults);
// "100.000 €"
QString wholeEuros(qint64 cents);

// The sale of `year` with which the running turnover passes `limit`; none while it does not.
Result<std::optional<QString>> saleCrossing(const Store& store, int year, qint64 limit);
// Whether the invoice of this sale (or its group) falls on or after that sale: from it on
// the small-business rule no longer holds.
Result<bool> beyondSmallBusinessLimit(const Store& store, const QString& auktionsNr, qint64 limit);
QString smallBusinessEndsText(qint64 limit);

}  // namespace gd
