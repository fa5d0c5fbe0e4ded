#include "domain/trade/StatusGruppen.h"

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"
#include "domain/trade/LoadSave.h"

#define CALLSTACK_DB() CALLSTACK_MODULE("modGlobal")

namespace gd {
namespace {

// A milestone's flag and date as the trade's row stores them.
void addMilestone(RowValues& v, int index, const QDateTime& d) {
    const Milestone& m = kMilestoneTable[std::size_t(index)];
    v.add(m.dateColumn, toDbDate(isZeroDate(d) ? zeroDate() : d));
    v.add(m.flagColumn, !isZeroDate(d));
}

}  // namespace

Status SaveStatus(const Store& store, const tAuktion& oAuktion, int Index) {
    CALLSTACK_DB();
    return dbStep(sentences::kVerkaeuferSpeichern, [&]() -> Status {
        Transaction tx(store, tradeRows(store, oAuktion));
        Database db = tx.database();
        if (const Status same = checkStand(db, oAuktion); !same.ok()) return same;
        const std::optional<qint64> row = tradeRow(db, store, oAuktion.AuktionsID);
        if (!row) return {};
        RowValues v;
        if (Index >= 0 && Index < kMilestones) addMilestone(v, Index, oAuktion.Datum[std::size_t(Index)]);
        QString status;
        for (int i = kMilestones - 1; i >= 0; --i)
            if (!isZeroDate(oAuktion.Datum[std::size_t(i)])) {
                status = milestoneName(i);
                break;
            }
        v.add("Status", status);
        updateRow(db, QStringLiteral("Auktionen"), *row, v);
        // A sale's tick pays what is open by hand on the picker's day; taken away, a counter-entry.
        if (Index == 2 && isZeroDate(oAuktion.Datum[2]))
            journal::reopen(db, store.user, oAuktion.AuktionsID, today());
        else if (Index == 2)
            journal::payRest(db, store.user, {oAuktion.AuktionsID}, oAuktion.Datum[2].date(), quelle::Hand);
        takeStand(db, oAuktion);
        tx.commit();
        return {};
    });
}

Status SaveStatusMail(const Store& store, const QString& sAuktionsID, const QDateTime& Datum, int Index) {
    CALLSTACK_DB();
    return dbStep(sentences::kVerkaeuferSpeichern, [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        const std::optional<qint64> row = tradeRow(db, store, sAuktionsID);
        if (!row) return {};
        RowValues v;
        if (Index >= 0 && Index < kMilestones) {
            const Milestone& m = kMilestoneTable[std::size_t(Index)];
            v.add(m.dateColumn, toDbDate(Datum));
            v.add(m.flagColumn, true);
        }
        v.add("Status", milestoneName(Index));
        updateRow(db, QStringLiteral("Auktionen"), *row, v);
        // "Bezahlt" after a mail: what was open is taken as paid that day.
        if (Index == 2) journal::payRest(db, store.user, {sAuktionsID}, Datum.date(), quelle::Hand);
        tx.commit();
        return {};
    });
}

Status saveGruppenID(const Store& store, const QString& sGruppenID, const QString& sebayname) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Status {
        // All rows of the group or none.
        Transaction tx(store);
        Database db = tx.database();
        QList<qint64> rows;
        QStringList names;
        db.forEachRow(
            QStringLiteral("select rowid from Auktionen where ebayName = ? and Bezahlt = 0 and Standarduser = ?"),
            {sebayname, store.user}, names, [&rows](const DbRow& r) { rows << r.int64(0); });
        RowValues v;
        v.add("GruppenID", sGruppenID);
        v.add("Kundennr", sGruppenID);
        for (const qint64 row : rows) updateRow(db, QStringLiteral("Auktionen"), row, v);
        tx.commit();
        return {};
    });
}

Result<QString> kundenNrOf(const Store& store, const QString& sebayname) {
    CALLSTACK_DB();
    return dbStep(sentences::kGruppeLaden, [&]() -> Result<QString> {
        Database db = store.open();
        QString nr;
        db.forEachRowWhile(QStringLiteral("select Kundennr from Kunden where Standarduser = ? and ebayName = ?"),
                           {store.user, sebayname}, [&nr](const DbRow& r) {
                               nr = r.text(0);
                               return false;
                           });
        return nr;
    });
}

Result<bool> checkgruppierteMails(const Store& store, const QString& sKundennr) {
    CALLSTACK_DB();
    return dbStep(sentences::kGruppeLaden, [&]() -> Result<bool> {
        Database db = store.open();
        return db.exists(QStringLiteral("select 1 from Auktionen where Standarduser = ? and GruppenID = ? limit 1"),
                         {store.user, sKundennr});
    });
}

Result<QList<GroupEntry>> funLoadAuktiongruppiert(const Store& store, const QString& sKundennr) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<QList<GroupEntry>> {
        Database db = store.open();
        QList<GroupEntry> out;
        QStringList names;
        db.forEachRow(QStringLiteral("select AuktionsNr, Titel, EndeDatum, Preis, Menge, Betrag, Versandkosten, "
                                     "Versandversicherung, AuktionsID from Auktionen where Kundennr = ? and "
                                     "Standarduser = ? order BY EndeDatum asc"),
                      {sKundennr, store.user}, names, [&out](const DbRow& r) {
                          out.append(GroupEntry{r.text(0), r.text(1), dateToText(r.date(2)), r.text(3), r.text(4),
                                                r.text(5), r.text(6), r.text(7), r.text(8)});
                      });
        return out;
    });
}

}  // namespace gd
