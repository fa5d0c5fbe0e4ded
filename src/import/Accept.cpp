#include "import/Accept.h"

#include "app/modGlobal.h"
#include "db/Database.h"
#include "db/LoadSave.h"
#include "db/StatusGruppen.h"
#include "errors/CallStack.h"
#include "platform/Platform.h"

namespace gd {
namespace {

void askGrouping(ImportRecords& r, const QString& ebayName, const QString& question) {
    if (!checkkundeStatus(ebayName, r.oAuktion.EndeDatum)) return;
    if (platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Question, QString()) !=
        Platform::Answer::Yes)
        return;
    const QString g = LoadMaxGruppenID(ebayName);
    r.oAuktion.GruppenID = g;
    saveGruppenID(g, ebayName);
}

}  // namespace

bool acceptImport(ImportRecords& r) {
    CALLSTACK_MODULE("frmEinlesen");
    std::optional<Transaction> tx;
    try {
        tx.emplace(gsDataSource);
    } catch (const RunError& e) {
        showDbError(QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:"), e);
        return false;
    }
    // A stored item number is asked about for sales too: importing the same
    // notification twice would otherwise store the auction twice.
    if (!checkAuktionnew(r.oAuktion)) return false;

    bool ok = false;
    QString partnerNr;
    tKunde& partner = r.sellerShown() ? r.oLieferant : r.oKunde;
    if (!r.sellerShown()) {
        r.oAuktion.ebayName = r.oKunde.ebayName;
        ok = funSaveKunde(r.oKunde, r.oAuktion.AuktionsNr);
        partnerNr = r.oKunde.KundenNr;
        askGrouping(r, r.oKunde.ebayName,
                    QStringLiteral("Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind und noch nicht "
                                   "bezahlt worden sind.. Sollen die Auktionen gruppiert werden?"));
    } else {
        ok = funSaveLieferant(r.oLieferant, r.oAuktion.AuktionsNr);
        r.oAuktion.ebayName = r.oLieferant.ebayName;
        askGrouping(r, r.oLieferant.ebayName,
                    QStringLiteral("Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind und noch nicht "
                                   "bezahlt worden sind. Sollen die Auktionen gruppiert werden?"));
        partnerNr = r.oLieferant.KundenNr;
    }
    // A partner already stored keeps its number in the table only; the auction gets it too,
    // so that it is not left without a contact number.
    if (ok && partnerNr.isEmpty()) partnerNr = LoadMaxGruppenID(partner.ebayName);
    if (ok) ok = funSaveAuktionnew(r.oAuktion, partnerNr);
    if (!ok) return false;
    try {
        tx->commit();
    } catch (const RunError& e) {
        showDbError(QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:"), e);
        return false;
    }
    return true;
}

}  // namespace gd
