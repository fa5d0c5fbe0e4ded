#include "domain/db/LoadSave.h"

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"
#include "domain/db/Store.h"
#include "domain/settings/modGlobal.h"

#define CALLSTACK_DB() CALLSTACK_MODULE("modGlobal")

namespace gd {
namespace {

void makeKundenNr(tKunde& k, const QString& sAuktionsNr) {
    if (k.KundenNr.isEmpty()) k.KundenNr = today().toString(QStringLiteral("yyyyMMdd")) + sAuktionsNr;
}

// The contact columns every contact save writes.
void writeContactColumns(const Store& store, Recordset& rs, const tKunde& k, bool kunde, bool lieferant) {
    rs.set(QStringLiteral("Name"), k.Name);
    rs.set(QStringLiteral("Strasse"), k.Strasse);
    rs.set(QStringLiteral("Ort"), k.Ort);
    rs.set(QStringLiteral("Land"), k.Land);
    rs.set(QStringLiteral("Email"), k.Email);
    rs.set(QStringLiteral("ebayName"), k.ebayName);
    rs.set(QStringLiteral("Kunde"), kunde);
    rs.set(QStringLiteral("Lieferant"), lieferant);
    rs.set(QStringLiteral("Standarduser"), store.user);
}

// Buyer and seller saves differ only in the flags.
Status saveContact(const Store& store, tKunde& k, const QString& sAuktionsNr, bool kunde, const QString& sentence) {
    return dbStep(sentence, [&]() -> Status {
        Database db = store.open();
        Recordset rs = db.OpenRecordset(QStringLiteral("select * from Kunden where ebayName = ? and standarduser = ?"),
                                        {k.ebayName, store.user});
        if (rs.RecordCount() < 1) {
            rs.AddNew();
            makeKundenNr(k, sAuktionsNr);
            rs.set(QStringLiteral("KundenNr"), k.KundenNr);
        } else {
            rs.MoveFirst();
            rs.Edit();
        }
        writeContactColumns(store, rs, k, kunde, !kunde);
        rs.Update();
        return {};
    });
}

bool idTaken(Database& db, const QString& id) {
    return db.exists(QStringLiteral("select 1 from Auktionen where AuktionsID = ? limit 1"), {id});
}

// The row key: date and time of the insert, then the item number. A key taken
// by an insert in the same second moves on by a second.
QString newAuktionsID(Database& db, const QString& auktionsNr) {
    QDateTime t = now();
    for (int i = 0; i < 100000; ++i, t = t.addSecs(1)) {
        const QString id = t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + auktionsNr;
        if (!idTaken(db, id)) return id;
    }
    throw DbError(3022, QStringLiteral("Für die Auktion kann kein eindeutiger Schlüssel gebildet werden."));
}

void writeAuktionColumns(const Store& store, Recordset& rs, const tAuktion& a, const QString& sKundennr) {
    rs.set(QStringLiteral("KundenNr"), sKundennr);
    rs.set(QStringLiteral("AuktionsNr"), a.AuktionsNr);
    rs.set(QStringLiteral("Titel"), checklaenge(a.Titel));
    rs.set(QStringLiteral("EndeDatum"), funCDate(a.EndeDatum));
    rs.set(QStringLiteral("Status"), a.Status);
    rs.set(QStringLiteral("Preis"), a.Preis);
    rs.set(QStringLiteral("Menge"), a.Menge);
    rs.set(QStringLiteral("Betrag"), a.Betrag);
    rs.set(QStringLiteral("Versandkosten"), checklaenge(a.Versandkosten));
    rs.set(QStringLiteral("Hinweise"), checklaenge(a.Hinweise));
    rs.set(QStringLiteral("Zahlungshinweise"), checklaenge(a.Zahlungshinweise));
    rs.set(QStringLiteral("Bemerkungen"), checklaenge(a.Bemerkungen));
    rs.set(QStringLiteral("Mitteilungen"), checklaenge(a.Mitteilungen));
    rs.set(QStringLiteral("Bezahlung"), checklaenge(a.Bezahlung));
    rs.set(QStringLiteral("EmailText"), a.EmailText);
    rs.set(QStringLiteral("standarduser"), store.user);
}

// Columns written only when a row is new.
void writeNewRowColumns(Recordset& rs, const tAuktion& a, QString& sKundennr) {
    rs.set(QStringLiteral("Versandinfos"), checklaenge(a.Versandinfos));
    rs.set(QStringLiteral("Versandversicherung"), checklaenge(a.Versandversicherung));
    rs.set(QStringLiteral("ebayName"), a.ebayName);
    if (!a.GruppenID.isEmpty()) sKundennr = a.GruppenID;
    rs.set(QStringLiteral("GruppenID"), a.GruppenID);
}

}  // namespace

QString checklaenge(const QString& sText) {
    CALLSTACK_DB();
    return sText.size() >= 255 ? sText.left(254) : sText;
}

QString milestoneName(int index) {
    if (index < 0 || index >= kMilestones) return QString();
    return QString::fromUtf8(kMilestoneTable[std::size_t(index)].name);
}

Status funSaveKunde(const Store& store, tKunde& oKunde, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return saveContact(store, oKunde, sAuktionsNr, true, sentences::kKaeuferSpeichern);
}

Status funSaveLieferant(const Store& store, tKunde& oLieferant, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return saveContact(store, oLieferant, sAuktionsNr, false, sentences::kVerkaeuferSpeichern);
}

Status funSaveLieferantupdate(const Store& store, tKunde& oLieferant, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return dbStep(sentences::kVerkaeuferSpeichern, [&]() -> Status {
        makeKundenNr(oLieferant, sAuktionsNr);
        Database db = store.open();
        Recordset rs = db.OpenRecordset(QStringLiteral("select * from Kunden where KundenNr = ? and standarduser = ?"),
                                        {oLieferant.KundenNr, store.user});
        if (rs.RecordCount() < 1) {
            rs.AddNew();
        } else {
            rs.MoveFirst();
            rs.Edit();
        }
        rs.set(QStringLiteral("KundenNr"), oLieferant.KundenNr);
        writeContactColumns(store, rs, oLieferant, oLieferant.Kunde, oLieferant.Lieferant);
        rs.Update();
        return {};
    });
}

Status funSaveAuktionnew(const Store& store, const tAuktion& oAuktion, QString& sKundennr, QString* sAuktionsID) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Status {
        // The trade and what its buyer owes: both or neither.
        Transaction tx(store);
        Database db = tx.database();
        // Only the columns for the new row: earlier auctions of the number, mail texts and all, stay on disk.
        Recordset rs = db.OpenRecordset(QStringLiteral("select * from Auktionen where 0 = 1"));
        // A date the conversion cannot read stops the insert before anything is written.
        const QDateTime ende = funCDate(oAuktion.EndeDatum);
        rs.AddNew();
        QString kundennr = sKundennr;
        writeNewRowColumns(rs, oAuktion, kundennr);
        writeAuktionColumns(store.within(tx), rs, oAuktion, kundennr);
        const QString id = newAuktionsID(db, oAuktion.AuktionsNr);
        rs.set(QStringLiteral("AuktionsID"), id);
        rs.Update();
        journal::syncClaim(db, store.user, id, ende.date(), quelle::Mail);
        // A payout report may have named the sale before its mail came.
        journal::applyWaitingPayouts(db, store.user, id);
        tx.commit();
        sKundennr = kundennr;
        if (sAuktionsID) *sAuktionsID = id;
        return {};
    });
}

namespace {
// The version row of a trade: version, seat, user, time; empty when the trade was never changed.
struct StandRow {
    qint64 version = 0;
    QString platz, benutzer, zeit;
};
StandRow standOf(Database& db, const QString& auktionsID) {
    Recordset rs = db.OpenRecordset(
        QStringLiteral("select Version, Platz, Benutzer, Zeit from Stand where AuktionsID = ?"), {auktionsID});
    if (rs.isEOF()) return {};
    return {rs.value(QStringLiteral("Version")).toLongLong(), rs.text(QStringLiteral("Platz")),
            rs.text(QStringLiteral("Benutzer")), rs.text(QStringLiteral("Zeit"))};
}
}  // namespace

Status checkStand(Database& db, const tAuktion& oAuktion) {
    if (oAuktion.Stand < 0 || oAuktion.AuktionsID.isEmpty()) return {};
    const StandRow now = standOf(db, oAuktion.AuktionsID);
    if (now.version == oAuktion.Stand) return {};
    const QString who = now.platz.isEmpty()
                            ? QStringLiteral("an einem anderen Platz")
                            : QStringLiteral("am Platz „%1“").arg(now.platz) +
                                  (now.benutzer.isEmpty() ? QString() : QStringLiteral(" von %1").arg(now.benutzer));
    return Error{QStringLiteral("Die Auktion %1 wurde inzwischen %2 geändert (%3). Ihre Änderung wurde nicht "
                                "gespeichert, damit die andere nicht verloren geht.")
                     .arg(oAuktion.AuktionsNr, who, dbDateToText(now.zeit)),
                 kChangedElsewhere,
                 QStringLiteral("Laden Sie die Auktion neu und tragen Sie Ihre Änderung dann noch einmal ein.")};
}

void takeStand(Database& db, const tAuktion& oAuktion) {
    if (!oAuktion.AuktionsID.isEmpty()) oAuktion.Stand = standOf(db, oAuktion.AuktionsID).version;
}

Status funSaveAuktion(const Store& store, const tAuktion& oAuktion, QString& sKundennr) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Status {
        // Checked and written as one: no other seat's write comes in between.
        Transaction tx(store);
        Database db = tx.database();
        if (const Status same = checkStand(db, oAuktion); !same.ok()) return same;
        Recordset rs =
            db.OpenRecordset(QStringLiteral("select * from Auktionen where AuktionsID = ? and standarduser = ?"),
                             {oAuktion.AuktionsID, store.user});
        funCDate(oAuktion.EndeDatum);
        QString kundennr = sKundennr;
        QString id = oAuktion.AuktionsID;
        if (rs.RecordCount() < 1) {
            rs.AddNew();
            writeNewRowColumns(rs, oAuktion, kundennr);
            // A row without a key could never be loaded again: make one as on import.
            id = newAuktionsID(db, oAuktion.AuktionsNr);
            rs.set(QStringLiteral("AuktionsID"), id);
        } else {
            rs.MoveFirst();
            rs.Edit();
        }
        writeAuktionColumns(store.within(tx), rs, oAuktion, kundennr);
        rs.Update();
        // A corrected total corrects the claim; the paid state follows the balance.
        journal::syncClaim(db, store.user, id, today(), quelle::Hand);
        journal::settle(db, store.user, {id}, today());
        takeStand(db, oAuktion);
        tx.commit();
        sKundennr = kundennr;
        return {};
    });
}

Result<bool> checkAuktionnew(const Store& store, const tAuktion& oAuktion) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionPruefen, [&]() -> Result<bool> {
        Database db = store.open();
        // One row answers it; the mail texts stay on disk.
        return !db.exists(QStringLiteral("select 1 from Auktionen where AuktionsNr = ? and standarduser = ? limit 1"),
                          {oAuktion.AuktionsNr, store.user});
    });
}

Result<bool> checkkundeStatus(const Store& store, const QString& sebayname, const QString& /*sDatum*/) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<bool> {
        Database db = store.open();
        // Asked at every import: the buyer's own rows answer it. Left to itself the planner takes the
        // list index (it covers the flags) and walks every open trade of the file.
        return db.exists(QStringLiteral("select 1 from Auktionen indexed by Auktionen_User_ebayName where ebayName = ? "
                                        "and Bezahlt = 0 and "
                                        "Bewertet = 0 and Versendet = 0 and Bewerungabgegeben = 0 and "
                                        "Abgeschlossen = 0 and Standarduser = ? limit 1"),
                         {sebayname, store.user});
    });
}

Result<bool> funLoadKunde(const Store& store, tKunde& oKunde, const QString& sebayname) {
    CALLSTACK_DB();
    return dbStep(sentences::kKundeLaden, [&]() -> Result<bool> {
        Database db = store.open();
        Recordset rs = db.OpenRecordset(QStringLiteral("select * from Kunden where ebayname = ? and Standarduser = ?"),
                                        {sebayname, store.user});
        if (rs.RecordCount() < 1) return false;
        rs.MoveFirst();
        tKunde k;
        k.KundenNr = rs.text(QStringLiteral("KundenNr"));
        k.Name = rs.text(QStringLiteral("Name"));
        k.Strasse = rs.text(QStringLiteral("Strasse"));
        k.Ort = rs.text(QStringLiteral("Ort"));
        k.Land = rs.text(QStringLiteral("Land"));
        k.Email = rs.text(QStringLiteral("Email"));
        k.ebayName = rs.text(QStringLiteral("ebayName"));
        k.Kunde = rs.flag(QStringLiteral("Kunde"));
        k.Lieferant = rs.flag(QStringLiteral("Lieferant"));
        oKunde = k;
        return true;
    });
}

Result<bool> funLoadAuktion(const Store& store, tAuktion& oAuktion, const QString& sNummer) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<bool> {
        Database db = store.open();
        // The version before the row: a change committed in between makes the save refused, never lost.
        const qint64 stand = standOf(db, sNummer).version;
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select * from Auktionen where AuktionsID = ? and Standarduser = ?"), {sNummer, store.user});
        if (rs.RecordCount() < 1) return false;
        rs.MoveFirst();
        tAuktion a;
        a.KundenNr = rs.text(QStringLiteral("KundenNr"));
        a.AuktionsNr = rs.text(QStringLiteral("AuktionsNr"));
        a.Titel = rs.text(QStringLiteral("Titel"));
        a.EndeDatum = dateToText(rs.date(QStringLiteral("EndeDatum")));
        a.Status = rs.text(QStringLiteral("Status"));
        a.Preis = rs.text(QStringLiteral("Preis"));
        a.Menge = rs.text(QStringLiteral("Menge"));
        a.Betrag = rs.text(QStringLiteral("Betrag"));
        a.Versandkosten = rs.text(QStringLiteral("Versandkosten"));
        a.Versandversicherung = rs.text(QStringLiteral("Versandversicherung"));
        a.Hinweise = rs.text(QStringLiteral("Hinweise"));
        a.Versandinfos = funNullWertS(rs.value(QStringLiteral("Versandinfos")));
        a.Zahlungshinweise = rs.text(QStringLiteral("Zahlungshinweise"));
        a.Bemerkungen = rs.text(QStringLiteral("Bemerkungen"));
        a.Mitteilungen = rs.text(QStringLiteral("Mitteilungen"));
        a.Bezahlung = rs.text(QStringLiteral("Bezahlung"));
        a.EmailText = rs.text(QStringLiteral("EmailText"));
        a.ebayName = rs.text(QStringLiteral("ebayname"));
        a.GruppenID = rs.text(QStringLiteral("GruppenID"));
        for (int i = 0; i < kMilestones; ++i) {
            const Milestone& m = kMilestoneTable[std::size_t(i)];
            a.Datum[std::size_t(i)] =
                rs.flag(QString::fromUtf8(m.flagColumn)) ? rs.date(QString::fromUtf8(m.dateColumn)) : zeroDate();
        }
        a.AuktionsID = rs.text(QStringLiteral("AuktionsID"));
        a.Stand = stand;
        oAuktion = a;
        return true;
    });
}

Status subDeleteAuktion(const Store& store, const tAuktion& oAuktion) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Status {
        Database db = store.open();
        Recordset rs =
            db.OpenRecordset(QStringLiteral("select * from Auktionen where AuktionsID = ? and standarduser = ?"),
                             {oAuktion.AuktionsID, store.user});
        rs.MoveFirst();
        rs.Delete();  // no row: "Kein aktueller Datensatz."
        return {};
    });
}

}  // namespace gd
