#pragma once
// Contacts and auctions between memory and the tables Kunden and Auktionen.
// Every function opens and closes the database itself, limits every statement
// to gsStandardUser and gives back its failure with the sentence the system
// shows for it.

#include <QString>

#include "base/Result.h"
#include "domain/db/Records.h"

namespace gd {

Status funSaveKunde(tKunde& oKunde, const QString& sAuktionsNr);
Status funSaveLieferant(tKunde& oLieferant, const QString& sAuktionsNr);
Status funSaveLieferantupdate(tKunde& oLieferant, const QString& sAuktionsNr);
// The new row's key comes back through sAuktionsID when given.
Status funSaveAuktionnew(const tAuktion& oAuktion, QString& sKundennr, QString* sAuktionsID = nullptr);
Status funSaveAuktion(const tAuktion& oAuktion, QString& sKundennr);
// True when the owner has no auction with this item number yet.
Result<bool> checkAuktionnew(const tAuktion& oAuktion);
// True when the member has an auction without a milestone reached.
Result<bool> checkkundeStatus(const QString& sebayname, const QString& sDatum);
// True when found (the record is filled); false when there is no such row.
Result<bool> funLoadKunde(tKunde& oKunde, const QString& sebayname);
Result<bool> funLoadAuktion(tAuktion& oAuktion, const QString& sNummer);
Status subDeleteAuktion(const tAuktion& oAuktion);

}  // namespace gd
