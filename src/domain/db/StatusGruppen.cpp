#include "domain/db/StatusGruppen.h"

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"
#include "domain/db/LoadSave.h"
#include "domain/settings/modGlobal.h"

#define CALLSTACK_DB() CALLSTACK_MODULE("modGlobal")

namespace gd {
namespace {

const QString kByID = QStringLiteral("select * from Auktionen where AuktionsID = ? and standarduser = ?");

QString col(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

Status SaveStatus(const Store& store, const tAuktion& oAuktion, int Index) {
    CALLSTACK_DB();
    return dbStep(sentences::kVerkaeuferSpeichern, [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        if (const Status same = checkStand(db, oAuktion); !same.ok()) return same;
        Recordset rs = db.OpenRecordset(kByID, {oAuktion.AuktionsID, store.user});
        if (rs.RecordCount() < 1) return {};
        rs.MoveFirst();
        rs.Edit();
        if (Index >= 0 && Index < kMilestones) {
            const Milestone& m = kMilestoneTable[std::size_t(Index)];
            const QDateTime& d = oAuktion.Datum[std::size_t(Index)];
            rs.set(col(m.dateColumn), isZeroDate(d) ? zeroDate() : d);
            rs.set(col(m.flagColumn), !isZeroDate(d));
        }
        QString status;
        for (int i = kMilestones - 1; i >= 0; --i)
            if (!isZeroDate(oAuktion.Datum[std::size_t(i)])) {
                status = milestoneName(i);
                break;
            }
        rs.set(QStringLiteral("Status"), status);
        rs.Update();
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
        Recordset rs = db.OpenRecordset(kByID, {sAuktionsID, store.user});
        if (rs.RecordCount() < 1) return {};
        rs.MoveFirst();
        rs.Edit();
        if (Index >= 0 && Index < kMilestones) {
            const Milestone& m = kMilestoneTable[std::size_t(Index)];
            rs.set(col(m.dateColumn), Datum);
            rs.set(col(m.flagColumn), true);
        }
        rs.set(QStringLiteral("Status"), milestoneName(Index));
        rs.Update();
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
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select * from Auktionen where ebayName = ? and Bezahlt = 0 and Standarduser = ?"),
            {sebayname, store.user});
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            rs.Edit();
            rs.set(QStringLiteral("GruppenID"), sGruppenID);
            rs.set(QStringLiteral("Kundennr"), sGruppenID);
            rs.Update();
        }
        tx.commit();
        return {};
    });
}

Result<QString> kundenNrOf(const Store& store, const QString& sebayname) {
    CALLSTACK_DB();
    return dbStep(sentences::kGruppeLaden, [&]() -> Result<QString> {
        Database db = store.open();
        Recordset rs =
            db.OpenRecordset(QStringLiteral("select Kundennr from Kunden where Standarduser = ? and ebayName = ?"),
                             {store.user, sebayname});
        if (rs.RecordCount() < 1) return QString();
        rs.MoveFirst();
        return rs.text(QStringLiteral("Kundennr"));
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
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select * from Auktionen where Kundennr = ? and Standarduser = ? order BY EndeDatum asc"),
            {sKundennr, store.user});
        QList<GroupEntry> out;
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            out.append(GroupEntry{rs.text(QStringLiteral("AuktionsNr")), rs.text(QStringLiteral("Titel")),
                                  dateToText(rs.date(QStringLiteral("EndeDatum"))), rs.text(QStringLiteral("Preis")),
                                  rs.text(QStringLiteral("Menge")), rs.text(QStringLiteral("Betrag")),
                                  rs.text(QStringLiteral("Versandkosten")),
                                  rs.text(QStringLiteral("Versandversicherung")),
                                  rs.text(QStringLiteral("AuktionsID"))});
        }
        return out;
    });
}

}  // namespace gd
