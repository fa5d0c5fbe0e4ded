#include "domain/trade/AuktionsListe.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "base/Clock.h"
#include "base/Money.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/SearchFold.h"

namespace gd {

QString listFilterWhere(const ListChoice& choice) {
    switch (choice.filter) {
        case ListFilter::Verkauf:
            return QStringLiteral("Auktionen.Abgeschlossen = 0 and Kunde = 1");
        case ListFilter::Einkauf:
            return QStringLiteral("Auktionen.Abgeschlossen = 0 and Lieferant = 1");
        case ListFilter::Alle:
            return QStringLiteral("Auktionen.Abgeschlossen = 0");
        case ListFilter::Ueberfaellig:
            // A date of our own making, not typed by anyone: written into the statement. A buyer
            // who withdrew is not asked to pay.
            return QStringLiteral(
                       "Auktionen.Abgeschlossen = 0 and Kunde = 1 and Auktionen.Bezahlt = 0 and "
                       "Auktionen.EndeDatum < '%1' and not exists (select 1 from Rueckgaben r where r.Standarduser = "
                       "Auktionen.Standarduser and r.AuktionsID = Auktionen.AuktionsID)")
                .arg(toDbDate(now().addDays(-qMax(0, choice.mahnTage))));
        case ListFilter::Versandbereit:
            // A sale taken back is not sent.
            return QStringLiteral(
                "Auktionen.Abgeschlossen = 0 and Kunde = 1 and Auktionen.Bezahlt <> 0 and Auktionen.Versendet = 0 and "
                "not exists (select 1 from Rueckgaben r where r.Standarduser = Auktionen.Standarduser and "
                "r.AuktionsID = Auktionen.AuktionsID and r.Erledigt = '')");
        case ListFilter::Abgeschlossen:
            break;
    }
    return QStringLiteral("Auktionen.Abgeschlossen = 1");
}

namespace {

// The milestones reached as bits 0 (answered) to 6 (closed); the flags are in the list index.
const char* const kColumns =
    "select Kunden.ebayName, Kunden.Name, Auktionen.Titel, Auktionen.EndeDatum, Auktionen.Status, "
    "Auktionen.AuktionsNr, Auktionen.GruppenID, Auktionen.AuktionsID, Auktionen.Betrag, "
    "(case when Auktionen.Antwort <> 0 then 1 else 0 end) + (case when Auktionen.\"Bestätigung\" <> 0 then 2 else 0 "
    "end) + (case when Auktionen.Bezahlt <> 0 then 4 else 0 end) + (case when Auktionen.Versendet <> 0 then 8 else 0 "
    "end) + (case when Auktionen.Bewertet <> 0 then 16 else 0 end) + (case when Auktionen.Bewerungabgegeben <> 0 then "
    "32 else 0 end) + (case when Auktionen.Abgeschlossen <> 0 then 64 else 0 end) ";
// The overdue list also tells the last reminder sent.
const char* const kReminderColumn =
    ", (select coalesce(max(Stufe), 0) from Mahnungen where Mahnungen.AuktionsID = Auktionen.AuktionsID) ";

QString textOf(const DbRow& st, int i) { return QString::fromUtf8(st.cstr(i), st.bytes(i)); }

// `take` gets the row and the statement, for the columns after the list's own.
void eachRow(Database& db, const QString& sql, const Params& params,
             const std::function<void(ListRow&, const DbRow&)>& take) {
    QStringList names;
    db.forEachRow(sql, params, names, [&](const DbRow& st) {
        ListRow r{textOf(st, 0), textOf(st, 1), textOf(st, 2), dbDateToText(textOf(st, 3)),
                  textOf(st, 4), textOf(st, 5), textOf(st, 6), textOf(st, 7),
                  textOf(st, 8)};
        r.Meilensteine = quint8(st.integer(9));
        take(r, st);
    });
}

QList<ListRow> readRows(Database& db, const QString& sql, const Params& params) {
    QList<ListRow> rows;
    eachRow(db, sql, params, [&rows](ListRow& r, const DbRow&) { rows.append(std::move(r)); });
    return rows;
}

QString overdueBefore(int mahnTage) { return toDbDate(now().addDays(-qMax(0, mahnTage))); }

const char* const kMoneyArts = "('Zahlung', 'Erstattung', 'Rueckbuchung', 'Storno', 'Abschreibung', 'Rueckgabe')";

// What moved besides the claim (part payments negative, refunds and returned debits positive) for
// these unpaid sales, in one pass over the money entries. Where the file holds more payments than
// unpaid sales (most sales paid), a paid sale's entries are passed over by their key's hash before
// any text is made of them.
QHash<QString, qint64> moneyMovedFor(Database& db, const QString& user, const QStringList& ids) {
    QHash<QString, qint64> out;
    if (ids.isEmpty()) return out;
    QStringList names;
    qint64 payments = 0;
    db.forEachRow(QStringLiteral("select count(*) from Buchungen where Standarduser = ? and Art = 'Zahlung'"), {user},
                  names, [&payments](const DbRow& st) { payments = st.int64(0); });
    QSet<size_t> wanted;
    if (payments > ids.size())
        for (const QString& id : ids) wanted.insert(qHash(QByteArrayView(id.toUtf8())));
    db.forEachRow(QStringLiteral("select AuktionsID, Cent from Buchungen where Standarduser = ? and Art in ") +
                      QLatin1String(kMoneyArts),
                  {user}, names, [&](const DbRow& st) {
                      if (!wanted.isEmpty() && !wanted.contains(qHash(QByteArrayView(st.cstr(0), st.bytes(0))))) return;
                      out[textOf(st, 0)] += st.int64(1);
                  });
    return out;
}

// The status bar's figures of the open trades: a sale without "Bezahlt" asks what is still owed,
// and is overdue when it ended before the days of the options. The unpaid sales are gathered
// while the rows come; their money is read once the rows are through.
class SummaryAdder {
public:
    SummaryAdder(ListSummary& sum, int mahnTage) : sum_(sum), before_(overdueBefore(mahnTage)) { sum_ = ListSummary(); }
    void row(bool sale, bool paid, const char* ende, const QString& betrag, const QString& id) {
        ++sum_.Offen;
        if (!sale || paid) return;
        ids_ << id;
        unpaid_.append({centsOr0(betrag), ende && QLatin1String(ende) < before_});
    }
    void finish(Database& db, const QString& user) {
        // A buyer who withdrew is not overdue; a sale taken back that owes nothing is not unpaid.
        QSet<QString> returned;
        const QString dueBefore = today().addDays(-14).toString(Qt::ISODate);
        QStringList names;
        db.forEachRow(QStringLiteral("select AuktionsID, Erledigt, Bestaetigt, Eingang from Rueckgaben where "
                                     "Standarduser = ?"),
                      {user}, names, [&](const DbRow& r) {
                          returned.insert(r.text(0));
                          if (!r.text(1).isEmpty()) return;
                          ++sum_.Rueckgaben;
                          if (r.text(2).isEmpty()) ++sum_.RueckgabenUnbestaetigt;
                          if (r.text(3) < dueBefore) ++sum_.RueckgabenUeberfaellig;
                      });
        const QHash<QString, qint64> moved = moneyMovedFor(db, user, ids_);
        for (qsizetype i = 0; i < unpaid_.size(); ++i) {
            const qint64 amount = unpaid_[i].claim + moved.value(ids_[i]);
            if (returned.contains(ids_[i])) {
                if (amount <= 0) continue;
                unpaid_[i].overdue = false;
            }
            ++sum_.Unbezahlt;
            sum_.UnbezahltSumme += amount;
            if (unpaid_[i].overdue) {
                ++sum_.Ueberfaellig;
                sum_.UeberfaelligSumme += amount;
            }
        }
    }

private:
    struct Unpaid {
        qint64 claim;
        bool overdue;
    };
    ListSummary& sum_;
    const QString before_;
    QStringList ids_;
    QList<Unpaid> unpaid_;
};

// The owner's trades with their partner: the join of every list.
QString ownerJoin(const Dialect& d) {
    const auto key = [&d](const char* c) { return d.caseless(QLatin1String(c)); };
    return QStringLiteral("%1 = %2 and %3 = %5 and %4 = %5")
        .arg(key("Kunden.ebayname"), key("Auktionen.ebayname"), key("Auktionen.Standarduser"),
             key("Kunden.Standarduser"), key("?"));
}

// Only the columns the grid shows, all in the list index: the mail texts stay on disk.
// The auctions lead the join: they come in the index's order, so nothing is sorted.
// Days overdue from the stored date, not from the text shown.
QString listSql(const ListChoice& choice, int limit, bool withKunde, const Dialect& dialect) {
    const bool server = dialect.onServer();
    const bool overdue = choice.filter == ListFilter::Ueberfaellig;
    QString sql = QString::fromUtf8(kColumns) +
                  (overdue ? QString::fromLatin1(kReminderColumn) +
                                 QStringLiteral(", %1 ").arg(dialect.daysUntil(QStringLiteral("Auktionen.EndeDatum"),
                                                                               today().toString(Qt::ISODate)))
                           : QString()) +
                  (withKunde ? QStringLiteral(", Kunden.Kunde ") : QString()) +
                  QStringLiteral("from Auktionen cross join Kunden where ") + listFilterWhere(choice) +
                  QStringLiteral(" and ") + ownerJoin(dialect) + QStringLiteral(" order by Auktionen.EndeDatum ") +
                  (overdue ? QStringLiteral("ASC") : QStringLiteral("DESC"));
    // Trades of one end time come in the file's index order; the server is told that order.
    if (server)
        for (const char* c : {"ebayName", "Titel", "Status", "AuktionsNr", "GruppenID", "AuktionsID"})
            sql += QStringLiteral(", ") + dialect.caseless(QStringLiteral("Auktionen.") + QLatin1String(c)) +
                   (overdue ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
    if (limit >= 0) sql += QStringLiteral(" limit %1").arg(limit);
    return sql;
}

}  // namespace

Status forEachListRow(const Store& store, const ListChoice& choice, const std::function<void(ListRow&)>& take,
                      int limit, ListSummary* summary) {
    const bool overdue = choice.filter == ListFilter::Ueberfaellig;
    const bool adds = summary && choice.filter == ListFilter::Alle && limit < 0;
    return dbStep(sentences::kAuktionLaden, [&]() -> Status {
        Database db = store.open();
        const QString sql = listSql(choice, limit, adds, db.dialect());
        ListSummary ignored;
        SummaryAdder sums(adds ? *summary : ignored, choice.mahnTage);
        // The overdue list's amounts are what is still owed too: its rows wait for their money.
        QStringList overdueIds;
        QList<ListRow> overdueRows;
        eachRow(db, sql, {store.user, store.user}, [&](ListRow& r, const DbRow& st) {
            if (overdue) {
                r.Mahnstufe = st.integer(10);
                r.Tage = st.integer(11);
                overdueIds << r.AuktionsID;
                overdueRows.append(std::move(r));
                return;
            }
            // The open trades are the status bar's: its figures come from the same rows.
            if (adds) sums.row(st.integer(10) != 0, (r.Meilensteine & 4) != 0, st.cstr(3), r.Betrag, r.AuktionsID);
            take(r);
        });
        if (adds) sums.finish(db, store.user);
        if (overdue) {
            const QHash<QString, qint64> moved = moneyMovedFor(db, store.user, overdueIds);
            for (ListRow& r : overdueRows) {
                if (const auto m = moved.constFind(r.AuktionsID); m != moved.constEnd())
                    r.Betrag = centsText(centsOr0(r.Betrag) + *m);
                take(r);
            }
        }
        return {};
    });
}

namespace {

// A stored date as the list shows it, straight from its bytes (see dbDateToText).
void appendDateText(QByteArray& out, const char* t, int len) {
    if (len != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ') {
        out += dbDateToText(QString::fromUtf8(t, len)).toUtf8();
        return;
    }
    const bool midnight = std::memcmp(t + 11, "00:00:00", 8) == 0;
    if (std::memcmp(t, "1899-12-30", 10) == 0) {
        out.append(midnight ? "00:00:00" : t + 11, 8);
        return;
    }
    out.append(t + 8, 2).append('.').append(t + 5, 2).append('.').append(t, 4);
    if (!midnight) out.append(' ').append(t + 11, 8);
}

}  // namespace

Status writeListTsv(const Store& store, const ListChoice& choice, const ByteSink& sink) {
    const bool overdue = choice.filter == ListFilter::Ueberfaellig;
    QByteArray out = "AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\tGruppenID\tBetrag";
    out += overdue ? "\tTage\tErinnerung\n" : "\n";
    // The columns' bytes as they are: no text object per field.
    const auto field = [&out](const DbRow& st, int i) {
        const auto* t = st.cstr(i);
        const qsizetype from = out.size();
        out.append(t ? t : "", st.bytes(i));
        for (qsizetype k = from; k < out.size(); ++k)
            if (out[k] == '\t' || out[k] == '\r' || out[k] == '\n') out[k] = ' ';
    };
    struct Stopped {};
    try {
        Database db = store.open();
        QStringList names;
        db.forEachRow(listSql(choice, -1, false, db.dialect()), {store.user, store.user}, names, [&](const DbRow& st) {
            for (const int c : {7, 5, 0, 1, 2}) {
                field(st, c);
                out += '\t';
            }
            appendDateText(out, st.cstr(3), st.bytes(3));
            out += '\t';
            field(st, 4);
            out += '\t';
            field(st, 6);
            out += '\t';
            field(st, 8);
            if (overdue) out += '\t' + QByteArray::number(st.integer(11)) + '\t' + QByteArray::number(st.integer(10));
            out += '\n';
            if (out.size() >= (1 << 16)) {
                if (!sink(out)) throw Stopped{};
                out.clear();
            }
        });
        sink(out);
        return {};
    } catch (const Stopped&) {
        return {};
    } catch (const RunError& e) {
        return Error::from(sentences::kAuktionLaden, e);
    }
}

Result<QList<ListRow>> loadAuktionsListe(const Store& store, const ListChoice& choice, int limit) {
    QList<ListRow> rows;
    const Status read = forEachListRow(
        store, choice, [&rows](ListRow& r) { rows.append(std::move(r)); }, limit);
    if (!read.ok()) return read.error();
    return rows;
}

Result<QList<ListRow>> searchAuktionsListe(const Store& store, const QString& typed, int limit) {
    const QString query = searchQuery(typed);
    if (query.isEmpty()) return QList<ListRow>();
    // The whole result: the index names the trades and they are sorted. A screenful: the index's
    // matches are taken once; few are read and sorted, of many the newest are found along the end
    // dates, so the screenful is there without reading every match.
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<QList<ListRow>> {
        Database db = store.open();
        const QString order =
            ownerJoin(db.dialect()) + QStringLiteral(" order by Auktionen.EndeDatum DESC, Auktionen.rowid DESC");
        if (limit < 0)
            return readRows(db,
                            QString::fromUtf8(kColumns) +
                                QStringLiteral("from Suche cross join Auktionen cross join Kunden where ") +
                                db.dialect().searchMatches() +
                                QStringLiteral(" and Auktionen.rowid = Suche.docid and ") + order,
                            {query, store.user, store.user});
        QStringList names;
        std::vector<qint64> ids;
        db.forEachRow(QStringLiteral("select docid from Suche where ") + db.dialect().searchMatches(), {query}, names,
                      [&ids](const DbRow& st) { ids.push_back(st.int64(0)); });
        if (ids.size() > 4 * std::size_t(limit)) {
            std::sort(ids.begin(), ids.end());
            std::vector<qint64> newest;
            db.forEachRowWhile(
                QStringLiteral(
                    "select rowid from Auktionen%1 where Standarduser = ? order by EndeDatum DESC, rowid DESC")
                    .arg(db.dialect().indexedBy(QStringLiteral("Auktionen_Ende"))),
                {store.user}, [&](const DbRow& st) {
                    const qint64 id = st.int64(0);
                    if (std::binary_search(ids.begin(), ids.end(), id)) newest.push_back(id);
                    return std::ssize(newest) < limit;
                });
            ids = std::move(newest);
        }
        if (ids.empty()) return QList<ListRow>();
        // Row numbers from the file itself, not typed text: written into the statement.
        QString in;
        in.reserve(int(ids.size()) * 8);
        for (const qint64 id : ids) in += (in.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(id);
        return readRows(
            db,
            QString::fromUtf8(kColumns) +
                QStringLiteral("from Auktionen cross join Kunden where Auktionen.rowid in (%1) and ").arg(in) + order +
                QStringLiteral(" limit %1").arg(limit),
            {store.user, store.user});
    });
}

Result<ListSummary> loadListSummary(const Store& store, int mahnTage) {
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<ListSummary> {
        Database db = store.open();
        ListSummary sum;
        SummaryAdder sums(sum, mahnTage);
        QStringList names;
        db.forEachRow(
            QStringLiteral("select Kunden.Kunde, Auktionen.Bezahlt, Auktionen.EndeDatum, Auktionen.Betrag, "
                           "Auktionen.AuktionsID from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 0 "
                           "and ") +
                ownerJoin(db.dialect()),
            {store.user, store.user}, names, [&](const DbRow& st) {
                sums.row(st.integer(0) != 0, st.integer(1) != 0, st.cstr(2), textOf(st, 3), textOf(st, 4));
            });
        sums.finish(db, store.user);
        return sum;
    });
}

}  // namespace gd
