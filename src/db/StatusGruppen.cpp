#include "db/StatusGruppen.h"

#include "app/modGlobal.h"
#include "db/Database.h"
#include "db/LoadSave.h"
#include "errors/CallStack.h"

#define CALLSTACK_DB() CALLSTACK_MODULE("modGlobal")

namespace gd {
namespace {

const QString kStatus = QStringLiteral("Beim Speichern der Verkäuferdaten ist ein Fehler aufgetreten:");
const QString kGruppe = QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:");
const QString kLadenGruppe = QStringLiteral("Beim Laden der GruppenID ist ein Fehler aufgetreten:");
const QString kLadenAuktion = QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:");

const QString kByID = QStringLiteral("select * from Auktionen where AuktionsID = ? and standarduser = ?");

QString col(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

bool SaveStatus(const tAuktion& oAuktion, int Index) {
    CALLSTACK_DB();
    try {
        Database db = Database::open(gsDataSource);
        Recordset rs = db.OpenRecordset(kByID, {oAuktion.AuktionsID, gsStandardUser});
        if (rs.RecordCount() < 1) return true;
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
        return true;
    } catch (const RunError& e) {
        showDbError(kStatus, e);
        return false;
    }
}

bool SaveStatusMail(const QString& sAuktionsID, const QDateTime& Datum, int Index) {
    CALLSTACK_DB();
    try {
        Database db = Database::open(gsDataSource);
        Recordset rs = db.OpenRecordset(kByID, {sAuktionsID, gsStandardUser});
        if (rs.RecordCount() < 1) return true;
        rs.MoveFirst();
        rs.Edit();
        if (Index >= 0 && Index < kMilestones) {
            const Milestone& m = kMilestoneTable[std::size_t(Index)];
            rs.set(col(m.dateColumn), Datum);
            rs.set(col(m.flagColumn), true);
        }
        rs.set(QStringLiteral("Status"), milestoneName(Index));
        rs.Update();
        return true;
    } catch (const RunError& e) {
        showDbError(kStatus, e);
        return false;
    }
}

bool saveGruppenID(const QString& sGruppenID, const QString& sebayname) {
    CALLSTACK_DB();
    try {
        // All rows of the group or none.
        Transaction tx(gsDataSource);
        Database db = Database::open(gsDataSource);
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select * from Auktionen where ebayName = ? and Bezahlt = 0 and Standarduser = ?"),
            {sebayname, gsStandardUser});
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            rs.Edit();
            rs.set(QStringLiteral("GruppenID"), sGruppenID);
            rs.set(QStringLiteral("Kundennr"), sGruppenID);
            rs.Update();
        }
        tx.commit();
        return true;
    } catch (const RunError& e) {
        showDbError(kGruppe, e);
        return false;
    }
}

QString LoadMaxGruppenID(const QString& sebayname) {
    CALLSTACK_DB();
    try {
        Database db = Database::open(gsDataSource);
        Recordset rs = db.OpenRecordset(QStringLiteral("select Kundennr from Kunden where Standarduser = ? and ebayName = ?"),
                                        {gsStandardUser, sebayname});
        if (rs.RecordCount() < 1) return QString();
        rs.MoveFirst();
        return rs.text(QStringLiteral("Kundennr"));
    } catch (const RunError& e) {
        showDbError(kLadenGruppe, e);
        return QString();
    }
}

bool checkgruppierteMails(const QString& sKundennr) {
    CALLSTACK_DB();
    try {
        Database db = Database::open(gsDataSource);
        return db
                   .OpenRecordset(QStringLiteral("select * from Auktionen where Standarduser = ? and GruppenID = ?"),
                                  {gsStandardUser, sKundennr})
                   .RecordCount() > 0;
    } catch (const RunError& e) {
        showDbError(kLadenGruppe, e);
        return false;
    }
}

std::optional<QList<GroupEntry>> funLoadAuktiongruppiert(const QString& sKundennr) {
    CALLSTACK_DB();
    try {
        Database db = Database::open(gsDataSource);
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select * from Auktionen where Kundennr = ? and Standarduser = ? order BY EndeDatum asc"),
            {sKundennr, gsStandardUser});
        if (rs.RecordCount() < 1) return std::nullopt;
        QList<GroupEntry> out;
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            out.append(GroupEntry{rs.text(QStringLiteral("AuktionsNr")), rs.text(QStringLiteral("Titel")),
                                  dateToText(rs.date(QStringLiteral("EndeDatum"))), rs.text(QStringLiteral("Preis")),
                                  rs.text(QStringLiteral("Menge")), rs.text(QStringLiteral("Betrag")),
                                  rs.text(QStringLiteral("Versandkosten")),
                                  rs.text(QStringLiteral("Versandversicherung")), rs.text(QStringLiteral("AuktionsID"))});
        }
        return out;
    } catch (const RunError& e) {
        showDbError(kLadenAuktion, e);
        return std::nullopt;
    }
}

}  // namespace gd
