#include "domain/books/Returns.h"

#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"

namespace gd {
namespace {

const QString kRecord = QStringLiteral("Die Rückgabe kann nicht gespeichert werden:");
const QString kRead = QStringLiteral("Die Rückgaben können nicht gelesen werden:");

struct Sale {
    QString id, nr;
    bool versendet = false;
    QDate ende;
};

// The sale of this item number; a purchase, an unknown or a doubled number is said.
Result<Sale> saleOf(Database& db, const QString& user, const QString& auktionsNr) {
    const QString nr = auktionsNr.trimmed();
    QList<Sale> found;
    bool purchase = false;
    QStringList names;
    db.forEachRow(QStringLiteral("select a.AuktionsID, a.AuktionsNr, a.Versendet, (select max(k.Kunde) from Kunden k "
                                 "where k.ebayName = a.ebayName and k.Standarduser = a.Standarduser), a.EndeDatum from "
                                 "Auktionen a where a.Standarduser = ? and a.AuktionsNr = ?"),
                  {user, nr}, names, [&](const DbRow& r) {
                      if (r.int64(3) == 0) {
                          purchase = true;
                          return;
                      }
                      found << Sale{r.text(0), r.text(1), r.int64(2) != 0, r.date(4).date()};
                  });
    if (found.isEmpty())
        return Error::plain(purchase
                                ? QStringLiteral("Die Auktion %1 ist ein Kauf; eine Rückgabe wird nur für Verkäufe "
                                                 "erfasst.")
                                      .arg(nr)
                                : QStringLiteral("Die Auktion \u201E%1\u201C ist nicht gespeichert.").arg(nr));
    if (found.size() > 1)
        return Error::plain(
            QStringLiteral("Die Artikelnummer %1 gehört zu %2 Verkäufen; bitte wählen Sie den Verkauf im "
                           "Fenster.")
                .arg(nr)
                .arg(found.size()));
    return found.front();
}

// The kind of the sale's return still open; nothing when none is.
std::optional<QString> openKind(Database& db, const QString& user, const QString& auktionsID) {
    return db.firstRow(QStringLiteral("select Art from Rueckgaben where Standarduser = ? and AuktionsID = ? and "
                                      "Erledigt = ''"),
                       {user, auktionsID}, [](const DbRow& r) { return r.text(0); });
}

const char* const kOpenColumns =
    "select r.ID, r.AuktionsID, a.AuktionsNr, a.ebayName, a.Titel, r.Art, r.Eingang, r.Bestaetigt, r.WareZurueck, "
    "a.Versendet, r.Grund from Rueckgaben r join Auktionen a on a.AuktionsID = r.AuktionsID and a.Standarduser = "
    "r.Standarduser where r.Standarduser = ? and r.Erledigt = '' ";

OpenReturn openRow(const DbRow& r) {
    OpenReturn o;
    o.id = r.int64(0);
    o.AuktionsID = r.text(1);
    o.AuktionsNr = r.text(2);
    o.ebayName = r.text(3);
    o.Titel = r.text(4);
    o.art = returnKindOf(r.text(5)).value_or(ReturnKind::Widerruf);
    o.eingang = QDateTime::fromString(r.text(6), Qt::ISODate);
    o.bestaetigt = QDateTime::fromString(r.text(7), Qt::ISODate);
    o.wareZurueck = QDate::fromString(r.text(8), Qt::ISODate);
    o.versendet = r.int64(9) != 0;
    o.grund = r.text(10);
    return o;
}

QString stamp(const QDateTime& t) { return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); }

}  // namespace

QString returnKindName(ReturnKind k) {
    switch (k) {
        case ReturnKind::Widerruf:
            return QStringLiteral("Widerruf");
        case ReturnKind::Mangel:
            return QStringLiteral("Mangel");
        case ReturnKind::Storno:
            return QStringLiteral("Storno");
    }
    return {};
}

QString returnKindText(ReturnKind k) {
    switch (k) {
        case ReturnKind::Widerruf:
            return QStringLiteral("Widerruf");
        case ReturnKind::Mangel:
            return QStringLiteral("Rückgabe wegen eines Mangels");
        case ReturnKind::Storno:
            return QStringLiteral("Storno vor dem Versand");
    }
    return {};
}

std::optional<ReturnKind> returnKindOf(const QString& text) {
    for (const ReturnKind k : kReturnKinds)
        if (text.trimmed().compare(returnKindName(k), Qt::CaseInsensitive) == 0) return k;
    return std::nullopt;
}

Result<qint64> recordReturn(const Store& store, const ReturnNotice& notice, const QDateTime& now) {
    CALLSTACK_MODULE("modRueckgabe");
    if (!notice.eingang.isValid()) return Error::plain(QStringLiteral("Wann kam die Erklärung des Käufers?"));
    if (notice.eingang > now.addSecs(60))
        return Error::plain(QStringLiteral("Die Erklärung kann nicht nach dem heutigen Tag eingegangen sein (%1).")
                                .arg(notice.eingang.toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
    return dbStep(kRecord, [&]() -> Result<qint64> {
        Transaction tx(store);
        Database db = tx.database();
        const Result<Sale> sale = saleOf(db, store.user, notice.auktionsNr);
        if (!sale.ok()) return sale.error();
        if (openKind(db, store.user, sale.value().id))
            return Error::plain(
                QStringLiteral("Für die Auktion %1 ist schon eine Rückgabe offen.").arg(sale.value().nr));
        if (sale.value().ende.isValid() && notice.eingang.date() < sale.value().ende)
            return Error::plain(
                QStringLiteral("Die Erklärung kann nicht vor dem Ende der Auktion %1 am %2 eingegangen sein.")
                    .arg(sale.value().nr, sale.value().ende.toString(QStringLiteral("dd.MM.yyyy"))));
        if (notice.art == ReturnKind::Storno && sale.value().versendet)
            return Error::plain(QStringLiteral("Die Auktion %1 ist schon versendet: Wählen Sie Widerruf oder Mangel.")
                                    .arg(sale.value().nr));
        RowValues v;
        v.add("Standarduser", store.user);
        v.add("AuktionsID", sale.value().id);
        v.add("Art", returnKindName(notice.art));
        v.add("Eingang", stamp(notice.eingang));
        v.add("Grund", notice.grund.trimmed());
        v.add("Erfasst", stamp(now));
        insertRow(db, QStringLiteral("Rueckgaben"), v);
        const std::optional<qint64> id =
            db.firstRow(QStringLiteral("select max(ID) from Rueckgaben where Standarduser = ? and AuktionsID = ?"),
                        {store.user, sale.value().id}, [](const DbRow& r) { return r.int64(0); });
        tx.commit();
        return id.value_or(0);
    });
}

Result<QList<OpenReturn>> openReturns(const Store& store) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRead, [&]() -> Result<QList<OpenReturn>> {
        Database db = store.open();
        QList<OpenReturn> out;
        QStringList names;
        db.forEachRow(QLatin1String(kOpenColumns) + QStringLiteral("order by r.Eingang, r.ID"), {store.user}, names,
                      [&out](const DbRow& r) { out << openRow(r); });
        return out;
    });
}

Result<std::optional<OpenReturn>> openReturnOf(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRead, [&]() -> Result<std::optional<OpenReturn>> {
        Database db = store.open();
        return db.firstRow(QLatin1String(kOpenColumns) + QStringLiteral("and a.AuktionsNr = ?"),
                           {store.user, auktionsNr.trimmed()}, openRow);
    });
}

Status confirmReturn(const Store& store, qint64 id, const QDateTime& when) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRecord, [&]() -> Status {
        Transaction tx(store);
        tx.database().execute(
            QStringLiteral(
                "update Rueckgaben set Bestaetigt = ? where ID = ? and Standarduser = ? and Bestaetigt = ''"),
            {stamp(when), id, store.user});
        tx.commit();
        return {};
    });
}

Status goodsBack(const Store& store, const QString& auktionsNr, const QDate& day) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRecord, [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        const Result<Sale> sale = saleOf(db, store.user, auktionsNr);
        if (!sale.ok()) return sale.error();
        if (!openKind(db, store.user, sale.value().id))
            return Error::plain(QStringLiteral("Für die Auktion %1 ist keine Rückgabe offen.").arg(sale.value().nr));
        db.execute(QStringLiteral("update Rueckgaben set WareZurueck = ? where Standarduser = ? and AuktionsID = ? and "
                                  "Erledigt = ''"),
                   {day.toString(Qt::ISODate), store.user, sale.value().id});
        tx.commit();
        return {};
    });
}

QString confirmationSubject() {
    return QStringLiteral("Eingangsbestätigung Ihrer Erklärung: [#Bezeichnung#] ([#Artikelnummer#])");
}

QString confirmationBody() {
    return QStringLiteral(
        "Guten Tag [#ebaynameto#],\r\n\r\n"
        "hiermit bestätige ich den Eingang Ihrer Erklärung ([#Rueckgabeart#]) zum Artikel \u201E[#Bezeichnung#]\u201C "
        "(Artikelnummer [#Artikelnummer#]).\r\n\r\n"
        "Eingegangen am [#Rueckgabeeingang#].\r\n\r\n"
        "Was Sie bezahlt haben ([#Erstattungsbetrag#]), erstatte ich Ihnen bis spätestens [#Erstattungsfrist#] auf "
        "dem Weg, auf dem Sie bezahlt haben. Bei Waren kann ich die Erstattung zurückhalten, bis die Ware bei mir "
        "angekommen ist oder Sie nachweisen, dass Sie sie abgesandt haben.\r\n\r\n"
        "Mit freundlichen Grüßen\r\n[#Signatur#]\r\n");
}

Result<QHash<QString, QString>> returnPlaceholders(const Store& store, const OpenReturn& r) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRead, [&]() -> Result<QHash<QString, QString>> {
        Database db = store.open();
        const qint64 received = receivedOf(journal::entries(db, store.user, {r.AuktionsID}));
        return QHash<QString, QString>{
            {QStringLiteral("[#Rueckgabeart#]"), returnKindText(r.art)},
            {QStringLiteral("[#Rueckgabeeingang#]"), r.eingang.toString(QStringLiteral("dd.MM.yyyy 'um' HH:mm 'Uhr'"))},
            {QStringLiteral("[#Rueckgabegrund#]"), r.grund},
            {QStringLiteral("[#Erstattungsbetrag#]"), euroText(qMax<qint64>(0, received))},
            {QStringLiteral("[#Erstattungsfrist#]"), r.faellig().toString(QStringLiteral("dd.MM.yyyy"))}};
    });
}

Result<QString> returnNote(const Store& store, const QString& auktionsID) {
    CALLSTACK_MODULE("modRueckgabe");
    return dbStep(kRead, [&]() -> Result<QString> {
        Database db = store.open();
        const std::optional<OpenReturn> r = db.firstRow(
            QLatin1String(kOpenColumns) + QStringLiteral("and r.AuktionsID = ?"), {store.user, auktionsID}, openRow);
        return r ? returnNoteOf(*r) : QString();
    });
}

QString returnNoteOf(const OpenReturn& r) {
    return QStringLiteral("%1 vom %2 · Erstattung bis %3%4")
        .arg(returnKindName(r.art), r.eingang.toString(QStringLiteral("dd.MM.yyyy")),
             r.faellig().toString(QStringLiteral("dd.MM.yyyy")),
             r.unbestaetigt() ? QStringLiteral(" · Eingang noch nicht bestätigt") : QString());
}

namespace {

// One sale's money as its journal has it.
struct SaleMoney {
    QString id, nr;
    qint64 claim = 0, received = 0;  // the claim less what was taken back before
    QString through;                 // the account its payment came through
};

SaleMoney moneyOf(Database& db, const QString& user, const QString& id, const QString& nr) {
    SaleMoney m{id, nr, 0, 0, QString()};
    const QList<JournalEntry> all = journal::entries(db, user, {id});
    m.received = receivedOf(all);
    for (const JournalEntry& e : all) {
        if (e.Art == art::Forderung || e.Art == art::Rueckgabe) m.claim += e.Cent;
        if (e.Art == art::Zahlung && !e.Konto.isEmpty()) m.through = e.Konto;
    }
    return m;
}

// What comes off which sale, and the invoice's cancellation that goes with it.
struct Plan {
    QList<std::pair<SaleMoney, qint64>> takeBack;
    std::optional<QStringList> lines;  // cancel these sales' lines; nullopt: nothing to cancel; empty: all
    QString invoice;
};

// The invoice of the sale decides: an invoice of its own is cancelled in full, for the whole
// claim. A group's invoice loses the sale's line alone (shipping is not refunded for part of an
// order); the group's last line cancels the rest, and every sale of it gives back what it still
// claims, its shipping included.
// Without `asked`: what a refund of the whole return takes back.
Result<Plan> planOf(const Store& store, const SaleMoney& sale, std::optional<qint64> asked) {
    const qint64 cents = asked.value_or(sale.claim);
    Plan plan;
    plan.takeBack = {{sale, cents}};
    const Result<std::optional<IssuedInvoice>> invoice = invoiceOfSale(store, sale.id);
    if (!invoice.ok()) return invoice.error();
    const bool tooMuch = cents > sale.claim;
    const Error most =
        Error::plain(QStringLiteral("Zurückgenommen werden kann höchstens, was der Verkauf %1 noch kostet (%2).")
                         .arg(sale.nr, euroText(sale.claim)));
    if (!invoice.value()) {
        if (tooMuch) return most;
        return plan;
    }
    const IssuedInvoice& inv = *invoice.value();
    plan.invoice = inv.Nummer;
    const auto refused = [&](qint64 expected, const QString& what) {
        return Error::plain(QStringLiteral("Zur Rechnung %1 wird %2 über %3 ausgestellt; eine Erstattung mit Abzug "
                                           "ist bei Rechnungen noch nicht möglich. Erstatten Sie %3; es wurde nichts "
                                           "gebucht.")
                                .arg(inv.Nummer, what, euroText(expected)));
    };
    QStringList others = inv.Artikel;
    others.removeAll(sale.nr);
    if (others.isEmpty()) {
        if (tooMuch) return most;
        if (asked && cents != sale.claim) return refused(sale.claim, QStringLiteral("eine volle Stornorechnung"));
        plan.lines = QStringList();
        return plan;
    }
    const Result<QList<InvoiceItem>> standing = standingLines(store, inv.Nummer);
    if (!standing.ok()) return standing.error();
    const auto mine = [&sale](const InvoiceItem& it) {
        return it.AuktionsID.isEmpty() ? it.AuktionsNr == sale.nr : it.AuktionsID == sale.id;
    };
    const auto line = std::find_if(standing.value().begin(), standing.value().end(), mine);
    if (line == standing.value().end())
        return Error::plain(
            QStringLiteral("Der Artikel %1 ist auf der Rechnung %2 schon storniert.").arg(sale.nr, inv.Nummer));
    if (standing.value().size() > 1) {
        const qint64 expected = line->Einzelpreis * line->Menge;
        if (!asked) plan.takeBack = {{sale, expected}};
        if (asked && tooMuch) return most;
        if (asked && cents != expected)
            return refused(expected, QStringLiteral("eine Teilstornierung des Artikels %1").arg(sale.nr));
        plan.lines = QStringList{sale.id};
        return plan;
    }
    // The last line: the whole order is back.
    const Result<std::pair<IssuedInvoice, Invoice>> data = issuedInvoice(store, inv.Nummer);
    if (!data.ok()) return data.error();
    plan.takeBack.clear();
    qint64 rest = 0;
    const Status read = dbStep(kRead, [&]() -> Status {
        Database db = store.open();
        for (const InvoiceItem& it : data.value().second.Posten) {
            const Result<QString> id =
                it.AuktionsID.isEmpty() ? saleId(db, store.user, it.AuktionsNr) : Result<QString>(it.AuktionsID);
            if (!id.ok()) return id.error();
            const SaleMoney m = id.value() == sale.id ? sale : moneyOf(db, store.user, id.value(), it.AuktionsNr);
            if (m.claim <= 0) continue;
            plan.takeBack.append({m, m.claim});
            rest += m.claim;
        }
        return {};
    });
    if (!read.ok()) return read.error();
    if (asked && cents != rest)
        return refused(rest, QStringLiteral("die Stornierung der übrigen Rechnung mit dem Versand"));
    plan.lines = QStringList();
    return plan;
}

}  // namespace

Result<RefundDue> refundDue(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modRueckgabe");
    const Result<SaleMoney> sale = dbStep(kRead, [&]() -> Result<SaleMoney> {
        Database db = store.open();
        const Result<Sale> found = saleOf(db, store.user, auktionsNr);
        if (!found.ok()) return found.error();
        return moneyOf(db, store.user, found.value().id, found.value().nr);
    });
    if (!sale.ok()) return sale.error();
    const Result<Plan> plan = planOf(store, sale.value(), std::nullopt);
    if (!plan.ok()) return plan.error();
    RefundDue due;
    for (const auto& [m, back] : plan.value().takeBack) {
        due.zurueck += back;
        due.erstatten += qBound<qint64>(0, m.received, back);
    }
    return due;
}

Result<RefundDone> refundReturn(const Store& store, const QString& auktionsNr, qint64 cents, const QDate& day,
                                const QDateTime& now, const QString& invoicePattern, const InvoicePage& page,
                                const QString& statementKey) {
    CALLSTACK_MODULE("modRueckgabe");
    if (cents < 0) return Error::plain(QStringLiteral("Ein Betrag unter null wird nicht erstattet."));
    // What the sale still asks, and what came in for it: read before the invoice is touched.
    const Result<SaleMoney> before = dbStep(kRead, [&]() -> Result<SaleMoney> {
        Database db = store.open();
        const Result<Sale> sale = saleOf(db, store.user, auktionsNr);
        if (!sale.ok()) return sale.error();
        if (!openKind(db, store.user, sale.value().id))
            return Error::plain(QStringLiteral("Für die Auktion %1 ist keine Rückgabe erfasst. Erfassen Sie zuerst den "
                                               "Widerruf oder die Rückgabe.")
                                    .arg(sale.value().nr));
        return moneyOf(db, store.user, sale.value().id, sale.value().nr);
    });
    if (!before.ok()) return before.error();
    const SaleMoney& m = before.value();
    const Result<Plan> plan = planOf(store, m, cents);
    if (!plan.ok()) return plan.error();

    RefundDone done;
    if (plan.value().lines) {
        if (!page) return Error::plain(QStringLiteral("Dieses Programm kann keine Stornorechnung zeichnen."));
        const Result<IssuedInvoice> storno =
            plan.value().lines->isEmpty()
                ? cancelInvoice(store, plan.value().invoice, invoicePattern, now, page)
                : cancelInvoiceLines(store, plan.value().invoice, *plan.value().lines, invoicePattern, now, page);
        if (!storno.ok()) return storno.error();
        done.storno = storno.value().Nummer;
    }

    const Status booked = dbStep(kRecord, [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        // Another seat may have settled it meanwhile.
        const std::optional<QString> kind = openKind(db, store.user, m.id);
        if (!kind)
            return Error::plain(QStringLiteral("Die Rückgabe der Auktion %1 ist inzwischen erledigt.").arg(m.nr));
        QStringList ids;
        for (const auto& [sale, back] : plan.value().takeBack) {
            ids << sale.id;
            // A price changed since the sale was saved: its claim first, so that the balance is true.
            journal::syncClaim(db, store.user, sale.id, day, quelle::Hand);
            const qint64 paidBack = qBound<qint64>(0, sale.received, back);
            // Read from the bank's statement, it went out of the bank, whichever way it came.
            const QString konto = sale.through.isEmpty() || !statementKey.isEmpty() ? konto::Bank : sale.through;
            done.zurueckgenommen += back;
            done.erstattet += paidBack;
            if (done.konto.isEmpty() || sale.id == m.id) done.konto = konto;
            if (back > 0)
                journal::append(db, store.user,
                                makeEntry(sale.id, day, -back, art::Rueckgabe, QString(), quelle::Hand,
                                          QStringLiteral("%1: Verkauf zurückgenommen").arg(*kind)));
            if (paidBack > 0) {
                JournalEntry e = makeEntry(sale.id, day, paidBack, art::Erstattung, konto,
                                           statementKey.isEmpty() ? quelle::Hand : quelle::Kontoauszug,
                                           QStringLiteral("%1: Geld erstattet").arg(*kind));
                e.Referenz = statementKey;
                journal::append(db, store.user, e);
            }
        }
        db.execute(QStringLiteral("update Rueckgaben set Erledigt = ? where Standarduser = ? and AuktionsID = ? and "
                                  "Erledigt = ''"),
                   {day.toString(Qt::ISODate), store.user, m.id});
        journal::settle(db, store.user, ids, day);
        tx.commit();
        return {};
    });
    if (!booked.ok()) {
        if (done.storno.isEmpty()) return booked.error();
        Error e = booked.error();
        e.sentence = QStringLiteral(
                         "Die Stornorechnung %1 ist ausgestellt, die Erstattung aber nicht gebucht. Bitte "
                         "erstatten Sie noch einmal; die Rechnung wird nicht ein zweites Mal storniert. ")
                         .arg(done.storno) +
                     e.sentence;
        return e;
    }
    return done;
}

}  // namespace gd
