#pragma once
// Milestones with their dates and status text; the unpaid auctions of one
// member grouped under one group id.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include "base/Result.h"
#include "domain/db/Records.h"
#include "domain/db/Store.h"

namespace gd {

Status SaveStatus(const Store& store, const tAuktion& oAuktion, int Index);
Status SaveStatusMail(const Store& store, const QString& sAuktionsID, const QDateTime& Datum, int Index);
Status saveGruppenID(const Store& store, const QString& sGruppenID, const QString& sebayname);
// The member's contact number (KundenNr); a member's grouped trades carry it as their
// GruppenID. Empty when the member is not stored.
Result<QString> kundenNrOf(const Store& store, const QString& sebayname);
Result<bool> checkgruppierteMails(const Store& store, const QString& sKundennr);

// One entry an auction, earliest end first: AuktionsNr, Titel, EndeDatum, Preis,
// Menge, Betrag, Versandkosten, Versandversicherung, AuktionsID.
using GroupEntry = QVariantList;
// Empty when the contact number has no auction.
Result<QList<GroupEntry>> funLoadAuktiongruppiert(const Store& store, const QString& sKundennr);

}  // namespace gd
