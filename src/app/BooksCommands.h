#pragma once
// The tax advisor's commands: the DATEV file of a period, the figures of a year.
#include <QList>
#include <QStringList>

#include "domain/bank/Statement.h"

namespace gd {

// --datev JJJJ-MM-TT JJJJ-MM-TT DATEI
int datevCommand(const QStringList& args);
// --jahr J: the year per platform and month, tab-separated, and the limits it reaches.
int yearCommand(const QString& year);
// --payouts DATEI: a platform's payout report applied; every payout with its state.
int payoutsCommand(const QString& file);
// --orders DATEI: a platform's order report; missing addresses filled, missed trades created.
int ordersCommand(const QString& file);
// After a statement was applied: its credits that are payouts linked; 0, or 1 on failure.
int linkPayoutCredits(const QList<Credit>& credits);

}  // namespace gd
