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
inline Status SaveStatus(const tAuktion& oAuktion, int Index) { return SaveStatus(currentStore(), oAuktion, Index); }
Status SaveStatusMail(const Store& store, const QString& sAuktionsID, const QDateTime& Datum, int Index);
inline Status SaveStatusMail(const QString& sAuktionsID, const QDateTime& Datum, int Index) {
    return SaveStatusMail(currentStore(), sAuktionsID, Datum, Index);
}
Status saveGruppenID(const Store& store, const QString& sGruppenID, const QString& sebayname);
inline Status saveGruppenID(const QString& sGruppenID, const QString& sebayname) {
    return saveGruppenID(currentStore(), sGruppenID, sebayname);
}
// The member's contact number (KundenNr); a member's grouped trades carry it as their
// GruppenID. Empty when the member is not stored.
Result<QString> kundenNrOf(const Store& store, const QString& sebayname);
inline Result<QString> kundenNrOf(const QString& sebayname) { return kundenNrOf(currentStore(), sebayname); }
Result<bool> checkgruppierteMails(const Store& store, const QString& sKundennr);
inline Result<bool> checkgruppierteMails(const QString& sKundennr) {
    return checkgruppierteMails(currentStore(), sKundennr);
}

// One entry an auction, earliest end first: AuktionsNr, Titel, EndeDatum, Preis,
// Menge, Betrag, Versandkosten, Versandversicherung, AuktionsID.
using GroupEntry = QVariantList;
// Empty when the contact number has no auction.
Result<QList<GroupEntry>> funLoadAuktiongruppiert(const Store& store, const QString& sKundennr);
inline Result<QList<GroupEntry>> funLoadAuktiongruppiert(const QString& sKundennr) {
    return funLoadAuktiongruppiert(currentStore(), sKundennr);
}

}  // namespace gd
