#include "domain/trade/LoadSave.h"

#include <optional>

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

QString kundenNrFor(const tKunde& k, const QString& sAuktionsNr) {
    return k.KundenNr.isEmpty() ? today().toString(QStringLiteral("yyyyMMdd")) + sAuktionsNr : k.KundenNr;
}

// Kunden, the one place its columns are named: what a contact save writes, and what a load reads.
RowValues contactValues(const Store& store, const tKunde& k, bool kunde, bool lieferant) {
    RowValues v;
    v.add("Name", k.Name);
    v.add("Strasse", k.Strasse);
    v.add("Ort", k.Ort);
    v.add("Land", k.Land);
    v.add("Email", k.Email);
    v.add("ebayName", k.ebayName);
    v.add("Kunde", kunde);
    v.add("Lieferant", lieferant);
    v.add("Standarduser", store.user);
    return v;
}

// The row version comes in the same statement as the row: what is read is what the version says.
const char* const kContactColumns =
    "rowid, KundenNr, Name, Strasse, Ort, Land, Email, ebayName, Kunde, Lieferant, coalesce((select s.Version from "
    "KundenStand s where s.Standarduser = Kunden.Standarduser and s.KundenNr = Kunden.KundenNr), 0)";

struct ContactRow {
    qint64 rowid = 0;
    tKunde k;
};

// A contact's key for a Transaction that writes only it: by its member name or its number, as it is
// found (a save found by one waits for one found by the other at the row itself, see firstContact).
QString contactRow(const Store& store, const QString& key) {
    return QStringLiteral("Kunde:") + store.user + QLatin1Char(':') + key;
}

// The first row of a select of kContactColumns; held for this transaction's write when asked.
std::optional<ContactRow> firstContact(Database& db, const QString& where, const Params& params,
                                       bool forWrite = false) {
    std::optional<ContactRow> found;
    db.forEachRowWhile(QStringLiteral("select ") + QLatin1String(kContactColumns) +
                           QStringLiteral(" from Kunden where ") + where +
                           (forWrite ? db.dialect().forUpdate() : QString()),
                       params, [&found](const DbRow& r) {
                           tKunde k;
                           k.KundenNr = r.text(1);
                           k.Name = r.text(2);
                           k.Strasse = r.text(3);
                           k.Ort = r.text(4);
                           k.Land = r.text(5);
                           k.Email = r.text(6);
                           k.ebayName = r.text(7);
                           k.Kunde = r.int64(8) != 0;
                           k.Lieferant = r.int64(9) != 0;
                           k.Stand = r.int64(10);
                           found = ContactRow{r.int64(0), k};
                           return false;
                       });
    return found;
}

// The version row of a trade or contact: version, seat, user, time; empty when it was never changed.
struct StandRow {
    qint64 version = 0;
    QString platz, benutzer, zeit;
};
StandRow standWhere(Database& db, const QString& table, const QString& where, const Params& params) {
    return db
        .firstRow(QStringLiteral("select Version, Platz, Benutzer, Zeit from %1 where %2").arg(table, where), params,
                  [](const DbRow& r) {
                      return StandRow{r.int64(0), r.text(1), r.text(2), r.text(3)};
                  })
        .value_or(StandRow());
}
StandRow standOf(Database& db, const QString& auktionsID) {
    return standWhere(db, QStringLiteral("Stand"), QStringLiteral("AuktionsID = ?"), {auktionsID});
}
StandRow contactStandOf(Database& db, const QString& user, const QString& kundenNr) {
    return standWhere(db, QStringLiteral("KundenStand"), QStringLiteral("Standarduser = ? and KundenNr = ?"),
                      {user, kundenNr});
}
QString whereChanged(const StandRow& now) {
    return now.platz.isEmpty() ? QStringLiteral("an einem anderen Platz")
                               : QStringLiteral("am Platz „%1“").arg(now.platz) +
                                     (now.benutzer.isEmpty() ? QString() : QStringLiteral(" von %1").arg(now.benutzer));
}
const QString kReloadHint =
    QStringLiteral("Laden Sie die Auktion neu und tragen Sie Ihre Änderung dann noch einmal ein.");

// The contact by its key column: written in place when it is there, else a new row. Its number
// comes back. A contact read before another seat changed it is refused; one unchanged is not
// written, so saving a trade does not stand in the way of another seat's save of its buyer.
Result<QString> writeContact(Database& db, const Store& store, const char* key, const QString& keyValue,
                             const tKunde& k, const QString& sAuktionsNr, bool kunde, bool lieferant) {
    const std::optional<ContactRow> there =
        firstContact(db, QString::fromLatin1(key) + QStringLiteral(" = ? and standarduser = ? limit 1"),
                     {keyValue, store.user}, true);
    RowValues v = contactValues(store, k, kunde, lieferant);
    if (there) {
        tKunde wanted = k;
        wanted.Kunde = kunde;
        wanted.Lieferant = lieferant;
        if (sameContact(there->k, wanted)) {
            k.Stand = there->k.Stand;
            return there->k.KundenNr;
        }
        if (k.Stand >= 0 && k.Stand != there->k.Stand) {
            const StandRow now = contactStandOf(db, store.user, there->k.KundenNr);
            return Error{QStringLiteral("Der Kontakt „%1“ wurde inzwischen %2 geändert (%3). Ihre Änderung wurde "
                                        "nicht gespeichert, damit die andere nicht verloren geht.")
                             .arg(there->k.ebayName.isEmpty() ? there->k.Name : there->k.ebayName, whereChanged(now),
                                  dbDateToText(now.zeit)),
                         kChangedElsewhere, kReloadHint};
        }
        updateRow(db, QStringLiteral("Kunden"), there->rowid, v);
        k.Stand = contactStandOf(db, store.user, there->k.KundenNr).version;
        return there->k.KundenNr;
    }
    const QString nr = kundenNrFor(k, sAuktionsNr);
    v.add("KundenNr", nr);
    insertRow(db, QStringLiteral("Kunden"), v);
    k.Stand = 0;
    return nr;
}

// Buyer and seller saves differ only in the flags; the check and the write are one.
Result<QString> saveContact(const Store& store, const tKunde& k, const QString& sAuktionsNr, bool kunde,
                            const QString& sentence) {
    return dbStep(sentence, [&]() -> Result<QString> {
        Transaction tx(store, {contactRow(store, k.ebayName)});
        Database db = tx.database();
        const Result<QString> nr = writeContact(db, store, "ebayName", k.ebayName, k, sAuktionsNr, kunde, !kunde);
        if (nr.ok()) tx.commit();
        return nr;
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

// Auktionen, the one place its columns are named: what every save of a trade writes.
RowValues tradeValues(const Store& store, const tAuktion& a, const QString& sKundennr) {
    RowValues v;
    v.add("KundenNr", sKundennr);
    v.add("AuktionsNr", a.AuktionsNr);
    v.add("Titel", checklaenge(a.Titel));
    v.add("EndeDatum", toDbDate(funCDate(a.EndeDatum)));
    v.add("Status", a.Status);
    v.add("Preis", a.Preis);
    v.add("Menge", a.Menge);
    v.add("Betrag", a.Betrag);
    v.add("Versandkosten", checklaenge(a.Versandkosten));
    v.add("Hinweise", checklaenge(a.Hinweise));
    v.add("Zahlungshinweise", checklaenge(a.Zahlungshinweise));
    v.add("Bemerkungen", checklaenge(a.Bemerkungen));
    v.add("Mitteilungen", checklaenge(a.Mitteilungen));
    v.add("Bezahlung", checklaenge(a.Bezahlung));
    v.add("EmailText", a.EmailText);
    v.add("standarduser", store.user);
    return v;
}

// A new row of the trade, with what only a new row gets; a grouped trade's contact number is its group's.
SavedTrade insertTrade(Database& db, const Store& store, const tAuktion& a, const QString& sKundennr) {
    const SavedTrade saved{a.GruppenID.isEmpty() ? sKundennr : a.GruppenID, newAuktionsID(db, a.AuktionsNr)};
    RowValues v;
    v.add("Versandinfos", checklaenge(a.Versandinfos));
    v.add("Versandversicherung", checklaenge(a.Versandversicherung));
    v.add("ebayName", a.ebayName);
    v.add("GruppenID", a.GruppenID);
    const RowValues each = tradeValues(store, a, saved.kundenNr);
    v.columns << each.columns;
    v.values << each.values;
    v.add("AuktionsID", saved.auktionsID);
    insertRow(db, QStringLiteral("Auktionen"), v);
    return saved;
}

// The columns a load reads, milestones last: flag and date of each.
QString tradeColumns() {
    QString cols = QStringLiteral(
        "KundenNr, AuktionsNr, Titel, EndeDatum, Status, Preis, Menge, Betrag, Versandkosten, Versandversicherung, "
        "Hinweise, Versandinfos, Zahlungshinweise, Bemerkungen, Mitteilungen, Bezahlung, EmailText, ebayName, "
        "GruppenID, AuktionsID");
    for (const Milestone& m : kMilestoneTable)
        cols +=
            QStringLiteral(", \"%1\", \"%2\"").arg(QString::fromUtf8(m.flagColumn), QString::fromUtf8(m.dateColumn));
    return cols;
}

tAuktion readTrade(const DbRow& r) {
    tAuktion a;
    a.KundenNr = r.text(0);
    a.AuktionsNr = r.text(1);
    a.Titel = r.text(2);
    a.EndeDatum = dateToText(r.date(3));
    a.Status = r.text(4);
    a.Preis = r.text(5);
    a.Menge = r.text(6);
    a.Betrag = r.text(7);
    a.Versandkosten = r.text(8);
    a.Versandversicherung = r.text(9);
    a.Hinweise = r.text(10);
    a.Versandinfos = funNullWertS(r.value(11));
    a.Zahlungshinweise = r.text(12);
    a.Bemerkungen = r.text(13);
    a.Mitteilungen = r.text(14);
    a.Bezahlung = r.text(15);
    a.EmailText = r.text(16);
    a.ebayName = r.text(17);
    a.GruppenID = r.text(18);
    a.AuktionsID = r.text(19);
    for (int i = 0; i < kMilestones; ++i)
        a.Datum[std::size_t(i)] = r.int64(20 + 2 * i) != 0 ? r.date(21 + 2 * i) : zeroDate();
    return a;
}

}  // namespace

std::optional<qint64> tradeRow(Database& db, const Store& store, const QString& auktionsID) {
    std::optional<qint64> row;
    db.forEachRowWhile(QStringLiteral("select rowid from Auktionen where AuktionsID = ? and standarduser = ?"),
                       {auktionsID, store.user}, [&row](const DbRow& r) {
                           row = r.int64(0);
                           return false;
                       });
    return row;
}

Result<QString> funSaveKunde(const Store& store, const tKunde& oKunde, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return saveContact(store, oKunde, sAuktionsNr, true, sentences::kKaeuferSpeichern);
}

Result<QString> funSaveLieferant(const Store& store, const tKunde& oLieferant, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return saveContact(store, oLieferant, sAuktionsNr, false, sentences::kVerkaeuferSpeichern);
}

Result<QString> funSaveLieferantupdate(const Store& store, const tKunde& oLieferant, const QString& sAuktionsNr) {
    CALLSTACK_DB();
    return dbStep(sentences::kVerkaeuferSpeichern, [&]() -> Result<QString> {
        Transaction tx(store, {contactRow(store, kundenNrFor(oLieferant, sAuktionsNr))});
        Database db = tx.database();
        const Result<QString> nr = writeContact(db, store, "KundenNr", kundenNrFor(oLieferant, sAuktionsNr), oLieferant,
                                                sAuktionsNr, oLieferant.Kunde, oLieferant.Lieferant);
        if (nr.ok()) tx.commit();
        return nr;
    });
}

Result<SavedTrade> funSaveAuktionnew(const Store& store, const tAuktion& oAuktion, const QString& sKundennr) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Result<SavedTrade> {
        // The trade and what its buyer owes: both or neither.
        Transaction tx(store);
        Database db = tx.database();
        // A date the conversion cannot read stops the insert before anything is written.
        const QDateTime ende = funCDate(oAuktion.EndeDatum);
        const SavedTrade saved = insertTrade(db, store, oAuktion, sKundennr);
        journal::syncClaim(db, store.user, saved.auktionsID, ende.date(), quelle::Mail);
        // A payout report may have named the sale before its mail came.
        journal::applyWaitingPayouts(db, store.user, saved.auktionsID);
        tx.commit();
        return saved;
    });
}

Status checkStand(Database& db, const tAuktion& oAuktion) {
    if (oAuktion.Stand < 0 || oAuktion.AuktionsID.isEmpty()) return {};
    const StandRow now = standOf(db, oAuktion.AuktionsID);
    if (now.version == oAuktion.Stand) return {};
    return Error{QStringLiteral("Die Auktion %1 wurde inzwischen %2 geändert (%3). Ihre Änderung wurde nicht "
                                "gespeichert, damit die andere nicht verloren geht.")
                     .arg(oAuktion.AuktionsNr, whereChanged(now), dbDateToText(now.zeit)),
                 kChangedElsewhere, kReloadHint};
}

void takeStand(Database& db, const tAuktion& oAuktion) {
    if (!oAuktion.AuktionsID.isEmpty()) oAuktion.Stand = standOf(db, oAuktion.AuktionsID).version;
}

QStringList tradeRows(const Store& store, const tAuktion& a) {
    if (a.AuktionsID.isEmpty()) return {};
    QStringList rows{QStringLiteral("Auktion:") + a.AuktionsID};
    if (!a.GruppenID.isEmpty()) rows << QStringLiteral("Gruppe:") + store.user + QLatin1Char(':') + a.GruppenID;
    return rows;
}

Result<QString> funSaveAuktion(const Store& store, const tAuktion& oAuktion, const QString& sKundennr) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Result<QString> {
        // Checked and written as one: no other seat's write of this trade comes in between.
        Transaction tx(store, tradeRows(store, oAuktion));
        Database db = tx.database();
        if (const Status same = checkStand(db, oAuktion); !same.ok()) return same.error();
        const std::optional<qint64> row = tradeRow(db, store, oAuktion.AuktionsID);
        funCDate(oAuktion.EndeDatum);
        SavedTrade saved{sKundennr, oAuktion.AuktionsID};
        if (!row)  // a row without a key could never be loaded again: made as on import
            saved = insertTrade(db, store, oAuktion, sKundennr);
        else
            updateRow(db, QStringLiteral("Auktionen"), *row, tradeValues(store, oAuktion, sKundennr));
        const QString& id = saved.auktionsID;
        // A corrected total corrects the claim; the paid state follows the balance.
        journal::syncClaim(db, store.user, id, today(), quelle::Hand);
        journal::settle(db, store.user, {id}, today());
        takeStand(db, oAuktion);
        tx.commit();
        return saved.kundenNr;
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
        return db.exists(QStringLiteral("select 1 from Auktionen%1 where ebayName = ? and Bezahlt = 0 and Bewertet = 0 "
                                        "and Versendet = 0 and Bewerungabgegeben = 0 and Abgeschlossen = 0 and "
                                        "Standarduser = ? limit 1")
                             .arg(db.dialect().indexedBy(QStringLiteral("Auktionen_User_ebayName"))),
                         {sebayname, store.user});
    });
}

Result<std::optional<tKunde>> funLoadKunde(const Store& store, const QString& sebayname) {
    CALLSTACK_DB();
    return dbStep(sentences::kKundeLaden, [&]() -> Result<std::optional<tKunde>> {
        Database db = store.open();
        const std::optional<ContactRow> found =
            firstContact(db, QStringLiteral("ebayname = ? and Standarduser = ?"), {sebayname, store.user});
        if (!found) return std::optional<tKunde>();
        return std::optional<tKunde>(found->k);
    });
}

Result<std::optional<tAuktion>> funLoadAuktion(const Store& store, const QString& sNummer) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<std::optional<tAuktion>> {
        Database db = store.open();
        // The version before the row: a change committed in between makes the save refused, never lost.
        const qint64 stand = standOf(db, sNummer).version;
        std::optional<tAuktion> found =
            db.firstRow(QStringLiteral("select ") + tradeColumns() +
                            QStringLiteral(" from Auktionen where AuktionsID = ? and Standarduser = ?"),
                        {sNummer, store.user}, readTrade);
        if (found) found->Stand = stand;
        return found;
    });
}

Status subDeleteAuktion(const Store& store, const tAuktion& oAuktion) {
    CALLSTACK_DB();
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Status {
        Database db = store.open();
        const std::optional<qint64> row = tradeRow(db, store, oAuktion.AuktionsID);
        if (!row) throw DbError(3021, QStringLiteral("Kein aktueller Datensatz."));
        db.execute(QStringLiteral("delete from Auktionen where rowid = ?"), {*row});
        return {};
    });
}

}  // namespace gd
