#include "domain/db/Journal.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>
#include <array>

#include "base/CallStack.h"
#include "base/Money.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Records.h"

namespace gd {

namespace {

QString placeholders(qsizetype n) {
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i) marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

QDate dayOf(const QString& stored) { return QDate::fromString(stored.left(10), Qt::ISODate); }

// Entries that count towards what the buyer owes: a fee is the seller's cost, not the buyer's.
bool counts(const QString& art) { return art != art::Gebuehr; }

// A sale called off before any money came is not paid: a return only lowers what is owed.
bool hasMoneyEntry(const QList<JournalEntry>& entries) {
    for (const JournalEntry& e : entries)
        if (e.Art != art::Forderung && e.Art != art::Gebuehr && e.Art != art::Rueckgabe) return true;
    return false;
}

}  // namespace

qint64 receivedOf(const QList<JournalEntry>& entries) {
    qint64 in = 0;
    for (const JournalEntry& e : entries)
        if (e.Art == art::Zahlung || e.Art == art::Erstattung || e.Art == art::Rueckbuchung || e.Art == art::Storno)
            in -= e.Cent;
    return in;
}

namespace {

// Taken back, and every cent that came in went back: no longer paid.
bool allGivenBack(const QList<JournalEntry>& entries) {
    const bool returned =
        std::any_of(entries.begin(), entries.end(), [](const JournalEntry& e) { return e.Art == art::Rueckgabe; });
    return returned && receivedOf(entries) == 0;
}

}  // namespace

JournalEntry makeEntry(const QString& auktionsID, const QDate& day, qint64 cent, const QString& art,
                       const QString& konto, const QString& quelle, const QString& text) {
    JournalEntry e;
    e.AuktionsID = auktionsID;
    e.Tag = day;
    e.Cent = cent;
    e.Art = art;
    e.Konto = konto;
    e.Quelle = quelle;
    e.Text = text;
    return e;
}

qint64 balanceOf(const QList<JournalEntry>& entries) {
    qint64 sum = 0;
    for (const JournalEntry& e : entries)
        if (counts(e.Art)) sum += e.Cent;
    return sum;
}

QString balanceText(qint64 balance) {
    if (balance > 0) return QStringLiteral("Offen: ") + euroText(balance);
    if (balance < 0) return QStringLiteral("Guthaben: ") + euroText(-balance);
    return QStringLiteral("Ausgeglichen");
}

QString balanceShort(qint64 balance) {
    if (balance > 0) return QStringLiteral("offen ") + euroText(balance);
    if (balance < 0) return QStringLiteral("Guthaben ") + euroText(-balance);
    return QStringLiteral("bezahlt");
}

QString artText(const QString& a) {
    if (a == art::Rueckbuchung) return QStringLiteral("Rücklastschrift");
    if (a == art::Gebuehr) return QStringLiteral("Gebühr");
    return a;
}

namespace {
QString quelleText(const QString& q) {
    if (q == quelle::Uebernahme) return QStringLiteral("Übernahme");
    if (q == quelle::Hand) return QStringLiteral("von Hand");
    if (q == quelle::Mail) return QStringLiteral("E-Mail");
    return q;
}
}  // namespace

QString entryLine(const JournalEntry& e) {
    QString line = QStringLiteral("%1  %2  %3  %4")
                       .arg(e.Tag.toString(QStringLiteral("dd.MM.yyyy")), artText(e.Art).leftJustified(15),
                            euroText(e.Cent).rightJustified(16), e.Konto.isEmpty() ? QStringLiteral("-") : e.Konto);
    if (!e.Quelle.isEmpty()) line += QStringLiteral("  ") + quelleText(e.Quelle);
    // A reference of our own making (a statement line's fingerprint) tells the user nothing.
    if (!e.Referenz.isEmpty() && !e.Referenz.startsWith(QLatin1Char('#'))) line += QStringLiteral(" ") + e.Referenz;
    if (!e.Text.isEmpty()) line += QStringLiteral("  „") + e.Text + QStringLiteral("“");
    return line;
}

QList<qint64> allocate(qint64 amount, const QList<qint64>& open) {
    QList<qint64> out(open.size(), 0);
    if (open.isEmpty()) return out;
    qint64 left = amount;
    for (qsizetype i = 0; i < open.size() && left > 0; ++i) {
        const qint64 take = qMin(left, qMax<qint64>(0, open[i]));
        out[i] = take;
        left -= take;
    }
    out.back() += left;  // over: the buyer's credit, on the last trade
    return out;
}

namespace journal {

void append(Database& db, const QString& user, const JournalEntry& e) {
    db.execute(QStringLiteral("insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle, "
                              "Referenz, Text, Erfasst) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {user, e.AuktionsID, e.Tag.toString(Qt::ISODate), e.Cent, e.Art, e.Konto, e.Quelle, e.Referenz, e.Text,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
}

QList<JournalEntry> entries(Database& db, const QString& user, const QStringList& auktionsIDs) {
    QList<JournalEntry> out;
    if (auktionsIDs.isEmpty()) return out;
    Params params{user};
    for (const QString& id : auktionsIDs) params << id;
    QStringList names;
    db.forEachRow(QStringLiteral("select b.ID, b.AuktionsID, a.AuktionsNr, b.Tag, b.Cent, b.Art, b.Konto, b.Quelle, "
                                 "b.Referenz, b.Text from Buchungen b left join Auktionen a on a.AuktionsID = "
                                 "b.AuktionsID where b.Standarduser = ? and b.AuktionsID in (%1) order by b.Tag, b.ID")
                      .arg(placeholders(auktionsIDs.size())),
                  params, names, [&out](const DbRow& r) {
                      JournalEntry e;
                      e.id = r.int64(0);
                      e.AuktionsID = r.text(1);
                      e.AuktionsNr = r.text(2);
                      e.Tag = dayOf(r.text(3));
                      e.Cent = r.int64(4);
                      e.Art = r.text(5);
                      e.Konto = r.text(6);
                      e.Quelle = r.text(7);
                      e.Referenz = r.text(8);
                      e.Text = r.text(9);
                      out << e;
                  });
    return out;
}

qint64 balance(Database& db, const QString& user, const QStringList& auktionsIDs) {
    return balanceOf(entries(db, user, auktionsIDs));
}

QStringList unitOf(Database& db, const QString& user, const QString& auktionsID) {
    const std::optional<QString> found =
        db.firstRow(QStringLiteral("select GruppenID from Auktionen where AuktionsID = ? and Standarduser = ?"),
                    {auktionsID, user}, [](const DbRow& r) { return r.text(0).trimmed(); });
    if (!found) return {};
    const QString& group = *found;
    if (group.isEmpty()) return {auktionsID};
    QStringList out;
    QStringList names;
    db.forEachRow(QStringLiteral("select AuktionsID from Auktionen where Standarduser = ? and KundenNr = ? and "
                                 "GruppenID = ? order by EndeDatum, rowid"),
                  {user, group, group}, names, [&out](const DbRow& r) { out << r.text(0); });
    if (!out.contains(auktionsID)) out.prepend(auktionsID);
    return out;
}

bool isSale(Database& db, const QString& user, const QString& auktionsID) {
    return db.exists(QStringLiteral("select 1 from Auktionen a join Kunden k on k.ebayName = a.ebayName and "
                                    "k.Standarduser = a.Standarduser where a.AuktionsID = ? and a.Standarduser = ? "
                                    "and k.Kunde <> 0"),
                     {auktionsID, user});
}

bool syncClaim(Database& db, const QString& user, const QString& auktionsID, const QDate& day, const QString& source) {
    if (!isSale(db, user, auktionsID)) return false;
    // What the trade asks, and what its claims booked so far.
    const std::optional<std::pair<qint64, qint64>> claim = db.firstRow(
        QStringLiteral("select Betrag, (select coalesce(sum(Cent), 0) from Buchungen b where b.AuktionsID = "
                       "a.AuktionsID and b.Art = 'Forderung') from Auktionen a where a.AuktionsID = ? and "
                       "a.Standarduser = ?"),
        {auktionsID, user}, [](const DbRow& r) { return std::pair(centsOr0(r.text(0)), r.int64(1)); });
    if (!claim) return false;
    const auto [asked, booked] = *claim;
    if (asked == booked) return true;
    JournalEntry e;
    e.AuktionsID = auktionsID;
    e.Tag = day;
    e.Cent = asked - booked;
    e.Art = art::Forderung;
    e.Quelle = source;
    if (booked != 0 || source == quelle::Hand) e.Text = QStringLiteral("Betrag geändert auf %1").arg(euroText(asked));
    append(db, user, e);
    return true;
}

void settle(Database& db, const QString& user, const QStringList& auktionsIDs, const QDate& day) {
    for (const QString& id : auktionsIDs) {
        if (!isSale(db, user, id)) continue;
        const QList<JournalEntry> all = entries(db, user, {id});
        const bool paid = balanceOf(all) <= 0 && hasMoneyEntry(all) && !allGivenBack(all);
        // The milestones only: the mail text stays on disk.
        struct Reached {
            qint64 rowid = 0;
            std::array<bool, kMilestones> flags{};
        };
        QString columns = QStringLiteral("rowid");
        for (const Milestone& m : kMilestoneTable)
            columns += QStringLiteral(", \"%1\"").arg(QString::fromUtf8(m.flagColumn));
        const std::optional<Reached> row =
            db.firstRow(QStringLiteral("select ") + columns +
                            QStringLiteral(" from Auktionen where AuktionsID = ? and Standarduser = ?"),
                        {id, user}, [](const DbRow& r) {
                            Reached out{r.int64(0), {}};
                            for (int i = 0; i < kMilestones; ++i) out.flags[std::size_t(i)] = r.int64(i + 1) != 0;
                            return out;
                        });
        if (!row || row->flags[2] == paid) continue;
        RowValues v;
        v.add("Bezahlt", paid);
        v.add("BezahltDatum", toDbDate(paid ? QDateTime(day, QTime(0, 0)) : zeroDate()));
        QString status;
        for (int i = kMilestones - 1; i >= 0 && status.isEmpty(); --i) {
            const bool reached = i == 2 ? paid : row->flags[std::size_t(i)];
            if (reached) status = milestoneName(i);
        }
        v.add("Status", status);
        updateRow(db, QStringLiteral("Auktionen"), row->rowid, v);
    }
}

void payRest(Database& db, const QString& user, const QStringList& auktionsIDs, const QDate& day,
             const QString& source) {
    for (const QString& id : auktionsIDs) {
        if (!syncClaim(db, user, id, day, quelle::Hand)) continue;
        const QList<JournalEntry> all = entries(db, user, {id});
        const qint64 open = balanceOf(all);
        if (open < 0 || (open == 0 && hasMoneyEntry(all))) continue;
        append(db, user,
               makeEntry(id, day, -open, art::Zahlung, konto::Kasse, source, QStringLiteral("als bezahlt markiert")));
    }
    settle(db, user, auktionsIDs, day);
}

void reopen(Database& db, const QString& user, const QString& auktionsID, const QDate& day) {
    if (!isSale(db, user, auktionsID)) return;
    qint64 received = 0;
    QString through;  // the account the money came through: it goes back the same way
    for (const JournalEntry& e : entries(db, user, {auktionsID}))
        if (e.Art != art::Forderung && e.Art != art::Rueckgabe && counts(e.Art)) {
            received += e.Cent;
            if (!e.Konto.isEmpty()) through = e.Konto;
        }
    if (received != 0)
        append(db, user,
               makeEntry(auktionsID, day, -received, art::Storno, through, quelle::Hand,
                         QStringLiteral("„Bezahlt“ zurückgenommen")));
    settle(db, user, {auktionsID}, day);
}

void writeOffRest(Database& db, const QString& user, const QStringList& unit, const QDate& day, const QString& reason,
                  const QString& referenz) {
    for (const QString& id : unit) {
        syncClaim(db, user, id, day, quelle::Hand);
        const qint64 open = balance(db, user, {id});
        if (open <= 0) continue;
        JournalEntry e =
            makeEntry(id, day, -open, art::Abschreibung, QString(), quelle::Hand,
                      reason.trimmed().isEmpty() ? QStringLiteral("bezahlt trotz Differenz") : reason.trimmed());
        e.Referenz = referenz;
        append(db, user, e);
    }
    settle(db, user, unit, day);
}

void receive(Database& db, const QString& user, const QStringList& unit, const JournalEntry& payment) {
    QList<qint64> open;
    for (const QString& id : unit) {
        syncClaim(db, user, id, payment.Tag, quelle::Hand);
        open << qMax<qint64>(0, balance(db, user, {id}));
    }
    const QList<qint64> parts = allocate(-payment.Cent, open);
    for (qsizetype i = 0; i < unit.size(); ++i) {
        if (parts[i] == 0 && (payment.Cent != 0 || i + 1 < unit.size())) continue;
        JournalEntry e = payment;
        e.AuktionsID = unit[i];
        e.Cent = -parts[i];
        append(db, user, e);
    }
    settle(db, user, unit, payment.Tag);
}

QString applyPayoutLine(Database& db, const QString& user, const QString& auktionsID, const QString& payoutId,
                        const QDate& paidDay, qint64 gross, qint64 fees, const QString& text) {
    const QStringList unit = unitOf(db, user, auktionsID);
    if (unit.isEmpty() || !isSale(db, user, auktionsID)) return QStringLiteral("kein Verkauf");
    for (const QString& id : unit) syncClaim(db, user, id, paidDay, quelle::Hand);
    for (const QString& id : bookedBy(db, user, quelle::Auszahlung, payoutId))
        if (unit.contains(id, Qt::CaseInsensitive)) return QStringLiteral("bereits gebucht");
    if (gross <= 0) return QStringLiteral("Brutto %1 ist keine Zahlung").arg(euroText(gross));
    if (fees < 0 || fees > gross)
        return QStringLiteral("Gebühr %1 liegt nicht zwischen 0 und dem Brutto %2")
            .arg(euroText(fees), euroText(gross));
    const qint64 owed = balance(db, user, unit);
    if (owed <= 0) return QStringLiteral("schon bezahlt");
    if (gross != owed) return QStringLiteral("Brutto %1, offen sind aber %2").arg(euroText(gross), euroText(owed));
    JournalEntry pay;
    pay.Tag = paidDay;
    pay.Cent = -gross;
    pay.Art = art::Zahlung;
    pay.Konto = konto::Plattform;
    pay.Quelle = quelle::Auszahlung;
    pay.Referenz = payoutId;
    pay.Text = text;
    receive(db, user, unit, pay);
    if (fees > 0) {
        JournalEntry fee = pay;
        fee.AuktionsID = auktionsID;
        fee.Cent = fees;
        fee.Art = art::Gebuehr;
        append(db, user, fee);
    }
    return {};
}

QStringList applyWaitingPayouts(Database& db, const QString& user, const QString& auktionsID) {
    const std::optional<QString> itemNr =
        db.firstRow(QStringLiteral("select AuktionsNr from Auktionen where AuktionsID = ? and Standarduser = ?"),
                    {auktionsID, user}, [](const DbRow& r) { return r.text(0); });
    if (!itemNr) return {};
    struct Waiting {
        QString id;
        QDate day;
        qint64 gross, fees;
    };
    QList<Waiting> lines;
    QStringList names;
    db.forEachRow(QStringLiteral("select AuszahlungsID, Zahlungsdatum, Brutto, Gebuehren from AuszahlungsPosten where "
                                 "Standarduser = ? and AuktionsNr = ? order by rowid"),
                  {user, *itemNr}, names, [&lines](const DbRow& r) {
                      lines.append({r.text(0), dayOf(r.text(1)), r.int64(2), r.int64(3)});
                  });
    QStringList notes;
    for (const Waiting& w : lines) {
        const QString why = applyPayoutLine(db, user, auktionsID, w.id, w.day, w.gross, w.fees,
                                            QStringLiteral("Auszahlung vor dem Verkauf gelesen"));
        if (why.isEmpty())
            notes << QStringLiteral("Auszahlung %1: %2 als bezahlt gebucht").arg(w.id, euroText(w.gross));
        else if (why != QLatin1String("bereits gebucht"))
            notes << QStringLiteral("Auszahlung %1: nicht gebucht, %2").arg(w.id, why);
    }
    return notes;
}

QStringList bookedBy(Database& db, const QString& user, const QString& source, const QString& referenz) {
    QStringList out;
    if (referenz.isEmpty()) return out;
    QStringList names;
    db.forEachRow(QStringLiteral("select distinct AuktionsID from Buchungen where Standarduser = ? and Quelle = ? "
                                 "and Referenz = ?"),
                  {user, source, referenz}, names, [&out](const DbRow& r) { out << r.text(0); });
    return out;
}

}  // namespace journal

namespace {

Result<TradeAccount> accountWhere(const Store& store, const QString& where, const QString& key) {
    CALLSTACK_MODULE("modBuchungen");
    try {
        Database db = store.open();
        const std::optional<QString> id =
            db.firstRow(QStringLiteral("select AuktionsID from Auktionen where Standarduser = ? and ") + where,
                        {store.user, key}, [](const DbRow& r) { return r.text(0); });
        if (!id) return Error::plain(QStringLiteral("Die Auktion „%1“ ist nicht gespeichert.").arg(key));
        TradeAccount out;
        out.AuktionsIDs = journal::unitOf(db, store.user, *id);
        out.Buchungen = journal::entries(db, store.user, out.AuktionsIDs);
        out.Saldo = balanceOf(out.Buchungen);
        return out;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Buchungen können nicht gelesen werden:"), e);
    }
}

}  // namespace

Result<TradeAccount> loadAccount(const Store& store, const QString& auktionsID) {
    return accountWhere(store, QStringLiteral("AuktionsID = ?"), auktionsID);
}

Result<TradeAccount> loadAccountByNr(const Store& store, const QString& auktionsNr) {
    return accountWhere(store, QStringLiteral("AuktionsNr = ? order by EndeDatum desc limit 1"), auktionsNr.trimmed());
}

Status refundCredit(const Store& store, const QString& auktionsID, const QDate& day, const QString& through) {
    CALLSTACK_MODULE("modBuchungen");
    try {
        Transaction tx(store);
        Database db = tx.database();
        const QStringList unit = journal::unitOf(db, store.user, auktionsID);
        const qint64 saldo = journal::balance(db, store.user, unit);
        if (saldo >= 0)
            return Error::plain(QStringLiteral("Der Käufer hat kein Guthaben (%1); es gibt nichts zu erstatten.")
                                    .arg(balanceText(saldo)));
        // The credit sits on the trade that was paid too much: the refund goes there.
        QString to = unit.back();
        for (const QString& id : unit)
            if (journal::balance(db, store.user, {id}) < 0) to = id;
        journal::append(db, store.user,
                        makeEntry(to, day, -saldo, art::Erstattung, through.isEmpty() ? konto::Bank : through,
                                  quelle::Hand, QStringLiteral("Guthaben erstattet")));
        journal::settle(db, store.user, unit, day);
        tx.commit();
        return {};
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Erstattung kann nicht gespeichert werden:"), e);
    }
}

Result<QString> auktionsIdOf(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modBuchungen");
    try {
        Database db = store.open();
        const std::optional<QString> id =
            db.firstRow(QStringLiteral("select AuktionsID from Auktionen where Standarduser = ? and AuktionsNr = ? "
                                       "order by EndeDatum desc limit 1"),
                        {store.user, auktionsNr.trimmed()}, [](const DbRow& r) { return r.text(0); });
        if (!id)
            return Error::plain(QStringLiteral("Die Auktion „%1“ ist nicht gespeichert.").arg(auktionsNr.trimmed()));
        return *id;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Auktion kann nicht gelesen werden:"), e);
    }
}

Status writeOff(const Store& store, const QString& auktionsID, const QDate& day, const QString& reason) {
    CALLSTACK_MODULE("modBuchungen");
    try {
        Transaction tx(store);
        Database db = tx.database();
        journal::writeOffRest(db, store.user, journal::unitOf(db, store.user, auktionsID), day, reason);
        tx.commit();
        return {};
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Abschreibung kann nicht gespeichert werden:"), e);
    }
}

QList<JournalEntry> openingEntries(const OpeningRow& row) {
    QList<JournalEntry> out;
    const auto entry = [&row](const QDate& day, qint64 cent, const QString& a, const QString& k, const QString& q,
                              const QString& ref) {
        JournalEntry e = makeEntry(row.AuktionsID, day, cent, a, k, q);
        e.Referenz = ref;
        return e;
    };
    const QDate ende = dayOf(row.EndeDatum);
    const qint64 claim = centsOr0(row.Betrag);
    if (claim != 0) out << entry(ende, claim, art::Forderung, QString(), quelle::Uebernahme, QString());
    qint64 parts = 0;
    for (const auto& [day, cent] : row.Teilzahlungen) {
        out << entry(dayOf(day), -cent, art::Zahlung, konto::Bank, quelle::Uebernahme, QStringLiteral("Teilzahlung"));
        parts += cent;
    }
    if (!row.Bezahlt) return out;
    QDate paid = dayOf(row.BezahltDatum);
    if (!paid.isValid() || paid.year() < 1900) paid = ende;
    const qint64 rest = claim - parts;
    if (!row.AuszahlungsID.isEmpty()) {
        const QDate day = dayOf(row.AuszahlungsTag).isValid() ? dayOf(row.AuszahlungsTag) : paid;
        if (rest > 0 || parts == 0)
            out << entry(day, -qMax<qint64>(0, rest), art::Zahlung, konto::Plattform, quelle::Auszahlung,
                         row.AuszahlungsID);
        if (row.AuszahlungGebuehren > 0)
            out << entry(day, row.AuszahlungGebuehren, art::Gebuehr, konto::Plattform, quelle::Auszahlung,
                         row.AuszahlungsID);
        return out;
    }
    const bool paypal = !row.PayPalGebuehren.isEmpty();
    if (rest > 0 || parts == 0)
        out << entry(paid, -qMax<qint64>(0, rest), art::Zahlung, paypal ? konto::PayPal : konto::Bank,
                     paypal ? quelle::PayPal : quelle::Uebernahme,
                     paypal ? row.PayPalGebuehren.front().first : QString());
    for (const auto& [ref, cent] : row.PayPalGebuehren)
        out << entry(paid, cent, art::Gebuehr, konto::PayPal, quelle::PayPal, ref);
    return out;
}

void fillOpeningJournal(const OpeningRows& rows, const OpeningExec& exec) {
    QList<OpeningRow> sales;
    QHash<QString, qsizetype> byId;                      // AuktionsID
    QHash<std::pair<QString, QString>, qsizetype> byNr;  // Standarduser (folded), AuktionsNr
    QStringList users;
    rows(QStringLiteral("select a.AuktionsID, a.AuktionsNr, a.Betrag, a.EndeDatum, a.Bezahlt, a.BezahltDatum, "
                        "a.Standarduser from Auktionen a where exists (select 1 from Kunden k where k.ebayName = "
                        "a.ebayName and k.Standarduser = a.Standarduser and k.Kunde <> 0) order by a.rowid"),
         [&](const QVariantList& v) {
             OpeningRow r;
             r.AuktionsID = v[0].toString();
             r.AuktionsNr = v[1].toString();
             r.Betrag = v[2].toString();
             r.EndeDatum = v[3].toString();
             r.Bezahlt = v[4].toLongLong() != 0;
             r.BezahltDatum = v[5].toString();
             byId.insert(r.AuktionsID.toLower(), sales.size());
             byNr.insert({v[6].toString().toLower(), r.AuktionsNr}, sales.size());
             users << v[6].toString();
             sales << r;
         });
    if (sales.isEmpty()) return;
    rows(QStringLiteral("select AuktionsID, Datum, Cent from Teilzahlungen order by rowid"),
         [&](const QVariantList& v) {
             if (const auto it = byId.constFind(v[0].toString().toLower()); it != byId.constEnd())
                 sales[*it].Teilzahlungen.append({v[1].toString(), v[2].toLongLong()});
         });
    rows(QStringLiteral("select Standarduser, AuktionsNr, AuszahlungsID, Zahlungsdatum, Brutto, Gebuehren from "
                        "AuszahlungsPosten order by rowid"),
         [&](const QVariantList& v) {
             const auto it = byNr.constFind({v[0].toString().toLower(), v[1].toString()});
             if (it == byNr.constEnd() || !sales[*it].AuszahlungsID.isEmpty()) return;
             OpeningRow& r = sales[*it];
             r.AuszahlungsID = v[2].toString();
             r.AuszahlungsTag = v[3].toString();
             r.AuszahlungBrutto = v[4].toLongLong();
             r.AuszahlungGebuehren = v[5].toLongLong();
         });
    rows(QStringLiteral("select Standarduser, AuktionsNr, Referenz, Cent from Gebuehren where Quelle = 'PayPal' order "
                        "by rowid"),
         [&](const QVariantList& v) {
             if (const auto it = byNr.constFind({v[0].toString().toLower(), v[1].toString()}); it != byNr.constEnd())
                 sales[*it].PayPalGebuehren.append({v[2].toString(), v[3].toLongLong()});
         });
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString insert = QStringLiteral(
        "insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle, Referenz, Text, Erfasst) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (qsizetype i = 0; i < sales.size(); ++i)
        for (const JournalEntry& e : openingEntries(sales[i]))
            exec(insert, {users[i], e.AuktionsID, e.Tag.toString(Qt::ISODate), e.Cent, e.Art, e.Konto, e.Quelle,
                          e.Referenz, e.Text, now});
}

}  // namespace gd
