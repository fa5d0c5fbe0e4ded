#pragma once
// A year of selling in figures, per platform and month, and the limits of law that these
// figures decide: a platform reports a seller to the tax office from a number of sales or a
// sum (DAC7, PStTG), and the small-business rule (§ 19 UStG) ends above a turnover.

#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/invoice/SmallBusiness.h"

namespace gd {

struct MonthFigures {
    int sales = 0;
    qint64 goods = 0, shipping = 0;  // cents
    int cancellations = 0;           // cancellation invoices issued
    int paid = 0, unpaid = 0;
    qint64 paidCents = 0, unpaidCents = 0;
    qint64 gross() const { return goods + shipping; }  // what the buyers pay
    void add(const MonthFigures& m);
};

struct PlatformYear {
    QString platform;  // the platform that recognised the mails, or "direkt"
    std::array<MonthFigures, 12> months{};
    MonthFigures total() const;
};

// Sales by the day their auction ended; the platforms in the order of their sums.
// Sales of no recorded platform count to mainPlatform.
Result<QList<PlatformYear>> yearFigures(const Store& store, int year, const QString& mainPlatform);
// Every platform of the year together.
MonthFigures yearTotal(const QList<PlatformYear>& year);
// The year as a table: a heading line, per platform each month with sales and its sum, then
// "Gesamt"; amounts as "1234,56".
QList<QStringList> yearTable(const QList<PlatformYear>& year);

// "30;2000;25;1800": report from 30 sales or 2,000 €, a note from 25 or 1,800 €.
struct ReportLimits {
    int count = 30;
    qint64 cents = 200000;
    int noteCount = 25;
    qint64 noteCents = 180000;
};
ReportLimits reportLimits(const QString& setting);
struct LimitNote {
    enum class Level { None, Quiet, Clear } level = Level::None;
    QString text;
    QString brief;  // for the status bar
};
// The most pressing note of the year's reporting limits, per platform.
LimitNote reportingNote(const QList<PlatformYear>& year, int yearNumber, const ReportLimits& limits);
// For a small business: last year's and this year's turnover against the limits.
LimitNote smallBusinessNote(qint64 lastYear, qint64 thisYear, int yearNumber, const SmallBusinessLimits& limits);

}  // namespace gd
