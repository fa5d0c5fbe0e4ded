#pragma once
// Milestones with their dates and status text; the unpaid auctions of one
// member grouped under one group id.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>
#include <optional>

#include "db/Records.h"

namespace gd {

bool SaveStatus(const tAuktion& oAuktion, int Index);
bool SaveStatusMail(const QString& sAuktionsID, const QDateTime& Datum, int Index);
bool saveGruppenID(const QString& sGruppenID, const QString& sebayname);
QString LoadMaxGruppenID(const QString& sebayname);
bool checkgruppierteMails(const QString& sKundennr);

// One entry an auction, earliest end first: AuktionsNr, Titel, EndeDatum, Preis,
// Menge, Betrag, Versandkosten, Versandversicherung, AuktionsID.
using GroupEntry = QVariantList;
std::optional<QList<GroupEntry>> funLoadAuktiongruppiert(const QString& sKundennr);

}  // namespace gd
