#pragma once
// Contacts and auctions between memory and the tables Kunden and Auktionen.
// Every function opens and closes the database itself, limits every statement
// to gsStandardUser, reports its own failure in one message box and returns false.

#include <QString>

#include "db/Records.h"

namespace gd {

bool funSaveKunde(tKunde& oKunde, const QString& sAuktionsNr);
bool funSaveLieferant(tKunde& oLieferant, const QString& sAuktionsNr);
bool funSaveLieferantupdate(tKunde& oLieferant, const QString& sAuktionsNr);
bool funSaveAuktionnew(const tAuktion& oAuktion, QString& sKundennr);
bool funSaveAuktion(const tAuktion& oAuktion, QString& sKundennr);
bool checkAuktionnew(const tAuktion& oAuktion);
bool checkkundeStatus(const QString& sebayname, const QString& sDatum);
bool funLoadKunde(tKunde& oKunde, const QString& sebayname);
bool funLoadAuktion(tAuktion& oAuktion, const QString& sNummer);
bool subDeleteAuktion(const tAuktion& oAuktion);

// The message box every database function shows on failure.
void showDbError(const QString& sentence, const class RunError& e);

}  // namespace gd
