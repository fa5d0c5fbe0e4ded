#include "domain/import/Accept.h"

#include <optional>

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/LoadSave.h"
#include "domain/db/StatusGruppen.h"
#include "domain/settings/modGlobal.h"

namespace gd {
namespace {
const QString kAuktion = QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:");
}  // namespace

Result<ImportFacts> checkImport(const ImportRecords& r) {
    CALLSTACK_MODULE("frmEinlesen");
    ImportFacts f;
    const Result<bool> fresh = checkAuktionnew(r.oAuktion);
    if (!fresh.ok()) return fresh.error();
    f.duplicate = !fresh.value();
    const tKunde& partner = r.sellerShown() ? r.oLieferant : r.oKunde;
    const Result<bool> open = checkkundeStatus(partner.ebayName, r.oAuktion.EndeDatum);
    if (!open.ok()) return open.error();
    f.groupable = open.value();
    return f;
}

Result<Stored> acceptImport(ImportRecords& r, const ImportChoices& c) {
    CALLSTACK_MODULE("frmEinlesen");
    std::optional<Transaction> tx;
    try {
        tx.emplace(gsDataSource);
    } catch (const RunError& e) {
        return Error::from(kAuktion, e);
    }
    // Another program may have stored the number while the dialog asked.
    if (!c.storeDuplicate) {
        const Result<bool> fresh = checkAuktionnew(r.oAuktion);
        if (!fresh.ok()) return fresh.error();
        if (!fresh.value()) return Stored::DuplicateAppeared;
    }
    // Worked on a copy: a failed attempt leaves no made-up numbers behind for the next one.
    ImportRecords w = r;
    const bool seller = w.sellerShown();
    tKunde& partner = seller ? w.oLieferant : w.oKunde;
    w.oAuktion.ebayName = partner.ebayName;
    const Status saved = seller ? funSaveLieferant(partner, w.oAuktion.AuktionsNr)
                                : funSaveKunde(partner, w.oAuktion.AuktionsNr);
    if (!saved.ok()) return saved.error();
    if (c.group) {
        const Result<QString> g = LoadMaxGruppenID(partner.ebayName);
        if (!g.ok()) return g.error();
        w.oAuktion.GruppenID = g.value();
        const Status grouped = saveGruppenID(g.value(), partner.ebayName);
        if (!grouped.ok()) return grouped.error();
    }
    // A partner already stored keeps its number in the table only; the auction gets it too,
    // so that it is not left without a contact number.
    QString partnerNr = partner.KundenNr;
    if (partnerNr.isEmpty()) {
        const Result<QString> stored = LoadMaxGruppenID(partner.ebayName);
        if (!stored.ok()) return stored.error();
        partnerNr = stored.value();
    }
    const Status inserted = funSaveAuktionnew(w.oAuktion, partnerNr, &w.oAuktion.AuktionsID);
    if (!inserted.ok()) return inserted.error();
    try {
        tx->commit();
    } catch (const RunError& e) {
        return Error::from(kAuktion, e);
    }
    r = w;
    return Stored::Yes;
}

}  // namespace gd
