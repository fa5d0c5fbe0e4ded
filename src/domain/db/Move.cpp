#include "domain/db/Move.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include "base/SafeWrite.h"
#include "domain/db/Connection.h"
#include "domain/db/Database.h"
#include "domain/db/Schema.h"

namespace gd {

namespace {

// The tables of the schema, in the order they are made; the search index is made by the target's own rules.
const QStringList& tables() {
    static const QStringList out = [] {
        static const QRegularExpression name(QStringLiteral("^CREATE TABLE (?:IF NOT EXISTS )?(\\w+)"));
        QStringList names;
        for (const QString& s : schemaStatements())
            if (const auto m = name.match(s); m.hasMatch()) names << m.captured(1);
        return names;
    }();
    return out;
}

// What must be equal on both sides: rows per table, the amounts' sums, the texts' lengths.
constexpr const char* kFigures[][2] = {
    {"Summe der Teilzahlungen (Cent)", "select coalesce(sum(Cent), 0) as n from Teilzahlungen"},
    {"Summe der Buchungen (Cent)", "select coalesce(sum(Cent), 0) as n from Buchungen"},
    {"Summe der Rechnungen (Cent)", "select coalesce(sum(Cent), 0) as n from Rechnungen"},
    {"Summe der Gebühren (Cent)", "select coalesce(sum(Cent), 0) as n from Gebuehren"},
    {"Summe der Auszahlungsposten (Cent)", "select coalesce(sum(Brutto), 0) as n from AuszahlungsPosten"},
    {"Summe der Eingangsrechnungen (Cent)", "select coalesce(sum(Cent), 0) as n from EingangsRechnungen"},
    {"Zeichen der Auktionen",
     "select coalesce(sum(length(Titel) + length(EmailText) + length(Betrag) + length(Bemerkungen) + "
     "length(EndeDatum) + length(BezahltDatum)), 0) as n from Auktionen"},
    {"Zeichen der Kontakte",
     "select coalesce(sum(length(Name) + length(Strasse) + length(Ort) + length(Email) + length(ebayName)), 0) as n "
     "from Kunden"},
    {"Meilensteine der Auktionen",
     "select coalesce(sum(Antwort + Bezahlt + Versendet + Bewertet + Abgeschlossen), 0) as n from Auktionen"},
    {"Bytes der Rechnungs-PDFs", "select coalesce(sum(length(Pdf)), 0) as n from Rechnungen"},
};

QMap<QString, qint64> figuresOf(Database& db) {
    QMap<QString, qint64> out;
    const auto one = [&db](const QString& sql) {
        return db.firstRow(sql, {}, [](const DbRow& r) { return r.int64(0); }).value_or(0);
    };
    for (const QString& t : tables())
        out.insert(QStringLiteral("Zeilen in ") + t, one(QStringLiteral("select count(*) as n from ") + t));
    for (const auto& f : kFigures) out.insert(QString::fromUtf8(f[0]), one(QString::fromUtf8(f[1])));
    return out;
}

// Issued documents: a restore adds what the target lacks and takes nothing away (the server
// refuses to lose them).
bool isDocumentTable(const QString& table) {
    return table == QLatin1String("Rechnungen") || table == QLatin1String("RechnungenXml") ||
           table == QLatin1String("Belegkette");
}

void copyTable(Database& from, Database& to, const QString& table, bool onlyMissing = false) {
    const QString read = QStringLiteral("select rowid as gd_zeile, * from ") + table;
    // The columns from the statement alone; an empty table streams no row.
    QStringList names;
    from.forEachRow(read + QStringLiteral(" limit 0"), {}, names, [](const DbRow&) {});
    QStringList cols;
    int rowidAt = -1, nummerAt = -1;
    std::vector<int> columns;
    for (int i = 0; i < names.size(); ++i) {
        const QString bare = names[i].mid(names[i].lastIndexOf(QLatin1Char('.')) + 1);
        if (bare == QLatin1String("gd_zeile")) {
            rowidAt = i;
            continue;
        }
        if (bare == QLatin1String("rowid") || cols.contains(QLatin1Char('"') + bare + QLatin1Char('"'))) continue;
        if (bare.compare(QLatin1String("Nummer"), Qt::CaseInsensitive) == 0) nummerAt = i;
        cols << QLatin1Char('"') + bare + QLatin1Char('"');
        columns.push_back(i);
    }
    QStringList ignored;
    const auto values = [&](const DbRow& row, bool withRowid) {
        Params p;
        if (withRowid) p << row.value(rowidAt);
        for (const int i : columns) p << row.value(i);
        return p;
    };
    if (onlyMissing) {
        const QString insert = QStringLiteral("insert into %1 (%2) values (%3)")
                                   .arg(table, cols.join(QLatin1Char(',')),
                                        QStringList(cols.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        from.forEachRow(read, {}, ignored, [&](const DbRow& row) {
            if (!to.exists(QStringLiteral("select 1 from %1 where Nummer = ?").arg(table), {row.value(nummerAt)}))
                to.execute(insert, values(row, false));
        });
        return;
    }
    // The row number goes along: the program orders by it, and the search index is keyed by it.
    cols.prepend(QStringLiteral("rowid"));
    to.insertRows(table, cols, [&](const std::function<void(const Params&)>& add) {
        from.forEachRow(read, {}, ignored, [&](const DbRow& row) { add(values(row, true)); });
    });
}

// Reads of a server in one repeatable snapshot, ended when done.
struct Snapshot {
    Database db;
    explicit Snapshot(const QString& source) : db(Database::open(source)) {
        if (db.onServer()) db.execute(QStringLiteral("begin isolation level repeatable read read only"));
    }
    ~Snapshot() {
        if (!db.onServer()) return;
        try {
            db.execute(QStringLiteral("rollback"));
        } catch (const RunError&) {
            // a lost connection ended it already
        }
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
};

}  // namespace

Result<QStringList> copyDatabase(const QString& from, const QString& to, MoveTarget target) {
    const QString sentence =
        QStringLiteral("Die Daten können nicht nach '%1' übertragen werden:").arg(shownAddress(to));
    const bool toServer = isServerAddress(to);
    // A new file is made beside its place and takes it only whole: a kill leaves no half file that
    // a second attempt would refuse, only this copy, which that attempt replaces.
    const bool made = !toServer && target == MoveTarget::New;
    const QString into = made ? to + QLatin1String(kTemporarySuffix) + QStringLiteral("umzug") : to;
    const auto discard = [&] {
        releaseConnections(into);
        QFile::remove(into);
        QFile::remove(into + QStringLiteral("-journal"));
    };
    try {
        if (made) {
            if (QFileInfo::exists(to))
                return Error::plain(sentence +
                                    QStringLiteral(" Die Datei gibt es schon; sie wird nicht überschrieben."));
            discard();
            Database::create(into);
        }
        QStringList out;
        {
            Transaction tx(into);
            Database target_ = tx.database();
            if (target == MoveTarget::Replace) {
                for (const QString& t : tables())
                    if (!isDocumentTable(t))
                        target_.execute(toServer ? QStringLiteral("truncate table %1 cascade").arg(t)
                                                 : QStringLiteral("delete from %1").arg(t));
            } else {
                if (target_.exists(QStringLiteral("select 1 from Auktionen union all select 1 from Kunden union all "
                                                  "select 1 from Rechnungen limit 1")))
                    return Error::plain(
                        sentence + QStringLiteral(" Die Datenbank auf dem Server enthält schon Auktionen, Kontakte "
                                                  "oder Rechnungen. Geben Sie eine leere Datenbank an."));
            }
            // A server is read in one snapshot: one state, whatever the other seats write meanwhile. A file
            // is only read (it may be read-only).
            Snapshot reading(from);
            Database& src = reading.db;
            const bool replacing = target == MoveTarget::Replace;
            // The search rows are made once at the end, in one statement: a trigger per trade and parcel
            // took most of a move's time. Inside the transaction, so no other seat sees them off.
            static const char* const kSearchTriggers[][2] = {{"auktionen", "auktionen_neu"},
                                                             {"versand", "versand_suche"}};
            // Only the tables' owner may; another role's move keeps the triggers and takes longer.
            const bool bulkSearch =
                toServer && target_.exists(QStringLiteral("select 1 from pg_tables where schemaname = current_schema() "
                                                          "and tablename = 'auktionen' and "
                                                          "pg_has_role(tableowner, 'MEMBER')"));
            if (bulkSearch)
                for (const auto& [table, trigger] : kSearchTriggers)
                    target_.execute(QStringLiteral("alter table %1 disable trigger %2")
                                        .arg(QLatin1String(table), QLatin1String(trigger)));
            for (const QString& t : tables()) copyTable(src, target_, t, replacing && isDocumentTable(t));
            if (bulkSearch) {
                target_.execute(QStringLiteral("delete from suche"));
                target_.execute(QStringLiteral("insert into suche (docid, text) select docid, text from suchquelle"));
                for (const auto& [table, trigger] : kSearchTriggers)
                    target_.execute(QStringLiteral("alter table %1 enable trigger %2")
                                        .arg(QLatin1String(table), QLatin1String(trigger)));
            }
            // Every numbering column counts on after the rows that came with their numbers: the row
            // numbers, and the own keys of sent mails, received invoices and journal entries.
            if (toServer) {
                const auto numbered = target_.allRows(
                    QStringLiteral("select table_name, column_name from information_schema.columns where "
                                   "table_schema = current_schema() and is_identity = 'YES'"),
                    {}, [](const DbRow& r) { return std::pair(r.text(0), r.text(1)); });
                for (const auto& [table, column] : numbered) {
                    target_.execute(QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), "
                                                   "greatest(max(%2), 1)) from %1")
                                        .arg(table, column));
                }
            }
            const QMap<QString, qint64> before = figuresOf(src);
            const QMap<QString, qint64> after = figuresOf(target_);
            for (auto it = before.cbegin(); it != before.cend(); ++it) {
                // The target keeps documents the source lacks: those figures may be larger there.
                static const QStringList kept{
                    QStringLiteral("Zeilen in Rechnungen"), QStringLiteral("Zeilen in RechnungenXml"),
                    QStringLiteral("Zeilen in Belegkette"), QStringLiteral("Summe der Rechnungen (Cent)"),
                    QStringLiteral("Bytes der Rechnungs-PDFs")};
                if (replacing && kept.contains(it.key())) continue;
                const qint64 there = after.value(it.key(), -1);
                if (there != it.value())
                    throw DbError(3000, QStringLiteral("%1: %2 in der Quelle, %3 im Ziel; nichts wurde übernommen.")
                                            .arg(it.key())
                                            .arg(it.value())
                                            .arg(there));
                out << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
            }
            tx.commit();
        }
        // A fresh server plans without statistics: a search took seconds instead of a fraction of one.
        if (toServer) Database::open(into).execute(QStringLiteral("analyze"));
        if (made) {
            releaseConnections(into);
            if (QFileInfo::exists(to) || !QFile::rename(into, to))
                throw DbError(3044, QStringLiteral("Die Datei kann nicht an ihren Platz gelegt werden; es gibt sie "
                                                   "inzwischen, oder der Ordner ist schreibgeschützt."));
            syncFolder(QFileInfo(to).absolutePath());
        }
        return out;
    } catch (const RunError& e) {
        if (made) discard();
        return Error::from(sentence, e);
    }
}

}  // namespace gd
