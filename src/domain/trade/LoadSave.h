#pragma once
// Contacts and auctions between memory and the tables Kunden and Auktionen.
// Every function works on the store it is given (the historic names without one
// on the settings' store), limits every statement to the store's member and gives
// back its failure with the German sentence the user is shown.

#include <QString>
#include <optional>

#include "base/Result.h"
#include "domain/db/Records.h"
#include "domain/db/Store.h"

namespace gd {

// Each returns the contact's number: the stored row's, or the one a new row got (the day and
// the item number).
Result<QString> funSaveKunde(const Store& store, const tKunde& oKunde, const QString& sAuktionsNr);
Result<QString> funSaveLieferant(const Store& store, const tKunde& oLieferant, const QString& sAuktionsNr);
// Found by its number rather than its member name.
Result<QString> funSaveLieferantupdate(const Store& store, const tKunde& oLieferant, const QString& sAuktionsNr);
// A trade as stored: the contact number its row got (a grouped trade's is its group's) and its key.
struct SavedTrade {
    QString kundenNr, auktionsID;
};
Result<SavedTrade> funSaveAuktionnew(const Store& store, const tAuktion& oAuktion, const QString& sKundennr);
// The contact number the row holds afterwards.
Result<QString> funSaveAuktion(const Store& store, const tAuktion& oAuktion, const QString& sKundennr);
// True when the owner has no auction with this item number yet.
Result<bool> checkAuktionnew(const Store& store, const tAuktion& oAuktion);
// True when the member has an auction without a milestone reached.
Result<bool> checkkundeStatus(const Store& store, const QString& sebayname, const QString& sDatum);
// The contact of the member name, the trade of the AuktionsID; none when there is no such row.
Result<std::optional<tKunde>> funLoadKunde(const Store& store, const QString& sebayname);
Result<std::optional<tAuktion>> funLoadAuktion(const Store& store, const QString& sNummer);
Status subDeleteAuktion(const Store& store, const tAuktion& oAuktion);

// The rows a trade's save writes, named for a Transaction that waits only for them: the trade, and
// its group, whose balance a payment settles (none for a trade without its key: making one needs
// the team's lock).
QStringList tradeRows(const Store& store, const tAuktion& a);

// The rowid of the member's trade with that key; none when there is no such row.
std::optional<qint64> tradeRow(Database& db, const Store& store, const QString& auktionsID);

// The number of a refused save: another seat changed the trade since it was read.
inline constexpr int kChangedElsewhere = 3197;
// Inside the caller's transaction: refuses with who changed it and when, when the trade's stored
// version is not the one it was read at (unchecked when it was not read, Stand -1).
Status checkStand(Database& db, const tAuktion& oAuktion);
// After the write, in the same transaction: the version now stored, for the next save.
void takeStand(Database& db, const tAuktion& oAuktion);

}  // namespace gd
