#pragma once
// Contacts and auctions between memory and the tables Kunden and Auktionen.
// Every function works on the store it is given (the historic names without one
// on the settings' store), limits every statement to the store's member and gives
// back its failure with the German sentence the user is shown.

#include <QString>

#include "base/Result.h"
#include "domain/db/Records.h"
#include "domain/db/Store.h"

namespace gd {

Status funSaveKunde(const Store& store, tKunde& oKunde, const QString& sAuktionsNr);
Status funSaveLieferant(const Store& store, tKunde& oLieferant, const QString& sAuktionsNr);
Status funSaveLieferantupdate(const Store& store, tKunde& oLieferant, const QString& sAuktionsNr);
// The new row's key comes back through sAuktionsID when given.
Status funSaveAuktionnew(const Store& store, const tAuktion& oAuktion, QString& sKundennr,
                         QString* sAuktionsID = nullptr);
Status funSaveAuktion(const Store& store, const tAuktion& oAuktion, QString& sKundennr);
// True when the owner has no auction with this item number yet.
Result<bool> checkAuktionnew(const Store& store, const tAuktion& oAuktion);
// True when the member has an auction without a milestone reached.
Result<bool> checkkundeStatus(const Store& store, const QString& sebayname, const QString& sDatum);
// True when found (the record is filled); false when there is no such row.
Result<bool> funLoadKunde(const Store& store, tKunde& oKunde, const QString& sebayname);
Result<bool> funLoadAuktion(const Store& store, tAuktion& oAuktion, const QString& sNummer);
Status subDeleteAuktion(const Store& store, const tAuktion& oAuktion);

// The number of a refused save: another seat changed the trade since it was read.
inline constexpr int kChangedElsewhere = 3197;
// Inside the caller's transaction: refuses with who changed it and when, when the trade's stored
// version is not the one it was read at (unchecked when it was not read, Stand -1).
Status checkStand(Database& db, const tAuktion& oAuktion);
// After the write, in the same transaction: the version now stored, for the next save.
void takeStand(Database& db, const tAuktion& oAuktion);

}  // namespace gd
