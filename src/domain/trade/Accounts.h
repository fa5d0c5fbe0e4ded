#pragma once
// Rows belong to the member name that was set when they were stored; several
// accounts can share one file. When the name changes, the user may take the
// rows of the old name along.

#include <QString>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

// How many auctions the owner has.
Result<int> countTrades(const Store& store, const QString& owner);
// Gives the owner's auctions and contacts to another owner, in one transaction.
// A partner the new owner has already keeps the new owner's contact row.
// Gives back how many auctions were moved.
Result<int> moveTrades(const Store& store, const QString& from, const QString& to);

}  // namespace gd
