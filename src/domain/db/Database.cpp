#include "domain/db/Database.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "base/PerThread.h"
#include "base/SafeWrite.h"
#include "base/modFunktions.h"
#include "domain/db/Connection.h"
#include "domain/db/PgEngine.h"
#include "domain/db/Schema.h"
#include "domain/db/SqliteError.h"
#include "domain/db/Store.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {

namespace {

QVariant columnValue(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            return QVariant(qlonglong(sqlite3_column_int64(st, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(st, i));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                              sqlite3_column_bytes(st, i)));
        case SQLITE_BLOB:
            return QVariant(
                QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
        default:
            return QVariant();
    }
}

// Equal as stored: the same text, or the same whole number however it was typed.
bool sameValue(const QVariant& stored, const QVariant& v) {
    if (stored.isNull() || v.isNull()) return stored.isNull() && v.isNull();
    if (isWholeNumber(stored) && isWholeNumber(v)) return stored.toLongLong() == v.toLongLong();
    return stored.typeId() == v.typeId() && stored == v;
}

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QMutex g_damagedMutex;
std::set<QString>& damagedFiles() {
    static std::set<QString> files;
    return files;
}

// SQLite reports damage in English ("Page 43: unable to get the page", "database disk
// image is malformed"): the user reads which pages, in German.
QString germanDamage(const QString& detail) {
    static const QRegularExpression page(QStringLiteral("[Pp]age (\\d+)"));
    QStringList pages;
    for (auto it = page.globalMatch(detail); it.hasNext() && pages.size() < 5;) {
        const QString p = it.next().captured(1);
        if (!pages.contains(p)) pages << p;
    }
    if (!pages.isEmpty()) return QStringLiteral("Fehler auf Seite ") + pages.join(QStringLiteral(", "));
    // Our own sentences are German already; anything else is said in general.
    if (detail.contains(QStringLiteral("Datenbank")) || detail.contains(QStringLiteral("Datei")))
        return detail.left(200);
    return QStringLiteral("die Prüfung der Seiten meldet Fehler");
}

[[noreturn]] void throwDamaged(const QString& path) {
    throw DbError(kDatabaseDamaged,
                  QStringLiteral("Die Datenbank '%1' ist beschädigt; Gaveldesk schreibt nichts hinein, bis Sie "
                                 "entschieden haben, wie es weitergeht.")
                      .arg(path));
}

}  // namespace

QVariant DbRow::value(int i) const {
    if (st_) return columnValue(st_, i);
    return pgValue(pr_, row_, i);
}

bool isMarkedDamaged(const QString& path) {
    if (isServerAddress(path)) return false;  // the server looks after its own pages
    QMutexLocker lock(&g_damagedMutex);
    // Asked before every write: no path lookup while nothing is damaged.
    return !damagedFiles().empty() && !path.isEmpty() && damagedFiles().count(canonicalDbPath(path)) > 0;
}

void clearDamaged(const QString& path) {
    QMutexLocker lock(&g_damagedMutex);
    damagedFiles().erase(canonicalDbPath(path));
}

Status checkDatabase(const QString& path, const CheckLimits& limits) {
    if (isServerAddress(path)) {
        if (limits.finished) *limits.finished = true;
        return {};
    }
    if (limits.finished) *limits.finished = false;
    if (limits.stop && *limits.stop) return {};
    const auto damaged = [&](const QString& detail) -> Status {
        {
            QMutexLocker lock(&g_damagedMutex);
            damagedFiles().insert(canonicalDbPath(path));
        }
        const QString shown = germanDamage(detail);
        return Error{QStringLiteral("Die Datenbank '%1' ist beschädigt (%2).").arg(path, shown), kDatabaseDamaged,
                     QStringLiteral("Gaveldesk schreibt nichts mehr in diese Datei. Legen Sie eine Kopie von ihr an "
                                    "und spielen Sie Ihre letzte Sicherung zurück.")};
    };
    std::shared_ptr<Database::Impl> impl;
    try {
        impl = connect(path, false);
    } catch (const RunError& e) {
        // Missing, unreadable or held by another program is not damage; a file that no longer decrypts is.
        if (e.number() == 3024 || e.number() == 3051 || e.number() == 3044 || e.number() == kDatabaseLocked) return {};
        // A key that does not fit is no damage: restoring a backup would throw away the work since.
        if (e.number() == kWrongKey)
            return Error{
                QStringLiteral("Die Datenbank '%1' lässt sich mit diesem Kennwort nicht öffnen.").arg(path), kWrongKey,
                QStringLiteral(
                    "Sie ist mit einem anderen Kennwort verschlüsselt, oder sie ist keine Gaveldesk-Datenbank. "
                    "Ein eigenes Kennwort fragt das Programmfenster beim Start ab; auf der Kommandozeile "
                    "steht es in GAVELDESK_KENNWORT.")};
        return damaged(e.description());
    }
    // Bounded: a huge file is not checked longer than maxMs; unchecked is not damaged.
    QElapsedTimer t;
    t.start();
    struct Bound {
        QElapsedTimer* timer;
        int maxMs;
        const std::atomic<bool>* stop;
    } bound{&t, limits.maxMs, limits.stop};
    sqlite3_progress_handler(
        impl->db, 1000,
        [](void* b) -> int {
            const auto* p = static_cast<Bound*>(b);
            return p->timer->elapsed() > p->maxMs || (p->stop && p->stop->load()) ? 1 : 0;
        },
        &bound);
    // The quick check is one step of SQLite's that no bound interrupts: a large file
    // is read page by page instead (every row, every mail text), which proves what
    // the cipher proves of each page and can stop at any row.
    const bool whole = QFileInfo(path).size() <= limits.quickCheckUpToBytes;
    const char* sql =
        whole ? "PRAGMA quick_check(5);"
              : "SELECT 'ok' WHERE (SELECT count(*) FROM Kunden WHERE length(Kunden.Name || Kunden.Strasse || "
                "Kunden.Ort || Kunden.Email || Kunden.ebayName) >= 0) >= 0 AND (SELECT count(*) FROM "
                "Auktionen WHERE length(Auktionen.Titel || Auktionen.Hinweise || Auktionen.EmailText) >= 0) >= 0";
    sqlite3_stmt* st = nullptr;
    QString result;
    int rc = sqlite3_prepare_v2(impl->db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            if (!result.isEmpty()) result += QStringLiteral("; ");
            result += QString::fromUtf8(text ? text : "");
        }
    }
    sqlite3_finalize(st);
    sqlite3_progress_handler(impl->db, 0, nullptr, nullptr);
    if (rc == SQLITE_INTERRUPT) return {};
    if (limits.finished) *limits.finished = true;
    if (rc != SQLITE_DONE) return damaged(QString::fromUtf8(sqlite3_errmsg(impl->db)));
    if (result != QStringLiteral("ok")) return damaged(result);
    return {};
}

Database::Database(std::shared_ptr<Impl> impl) : d(std::move(impl)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

void Database::setBusyTimeoutMs(int ms) { setBusyTimeout(ms); }
void Database::setPageCacheKiB(int kib) { setPageCache(kib); }

Database Database::open(const QString& path) { return Database(cachedConnection(path)); }

void Database::create(const QString& path) {
    if (isServerAddress(path)) {
        // The server's database exists; its tables are made on the first connection.
        (void)pgConnect(path, settingsLogin());
        return;
    }
    if (path.isEmpty()) throw DbError(3044, QStringLiteral("Es ist kein Pfad für die neue Datenbank angegeben."));
    if (QFileInfo::exists(path))
        throw DbError(3204, QStringLiteral("Die Datei '%1' existiert bereits und wird nicht überschrieben.").arg(path));
    try {
        createSchema(createConnection(path)->db);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

bool needsMigration(const QString& path) {
    if (isServerAddress(path)) return false;  // brought up to date as it is connected
    try {
        return schemaVersion(connect(path, false)->db) < kSchemaVersion;
    } catch (const RunError&) {
        return false;  // whatever is wrong, the first real open says it
    }
}

Status migrateDatabase(const QString& path) {
    try {
        Database::open(path);
        return {};
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Datenbank kann nicht geöffnet werden:"), e);
    }
}

Status createDatabase(const QString& path) {
    try {
        Database::create(path);
        return {};
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Datenbank kann nicht angelegt werden:"), e);
    }
}

void Database::execute(const QString& sql, const Params& params) {
    if (!d || (!d->db && !d->pg)) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    if (d->pg) {
        (void)pgRun(*d->pg, sql, params);
        return;
    }
    Statement s(*d, sql);
    s.bind(params);
    if (!sqlite3_stmt_readonly(s.stmt) && isMarkedDamaged(d->path)) throwDamaged(d->path);
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(*d, rc);
}

void Database::insertRows(const QString& table, const QStringList& columns,
                          const std::function<void(const std::function<void(const Params&)>& add)>& produce) {
    if (!d || (!d->db && !d->pg)) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    if (d->pg) {
        pgCopyIn(*d->pg, table, columns, produce);
        return;
    }
    const QString sql = QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(table, columns.join(QLatin1Char(',')),
                                 QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    produce([&](const Params& row) { execute(sql, row); });
}

bool Database::exists(const QString& sql, const Params& params) {
    if (!d || (!d->db && !d->pg)) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    if (d->pg) return pgRun(*d->pg, sql, params).rows() > 0;
    Statement s(*d, sql);
    s.bind(params);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail(*d, rc);
    return false;
}

void Database::forEachRow(const QString& sql, const Params& params, QStringList& names,
                          const std::function<void(const DbRow&)>& row) {
    if (!d || (!d->db && !d->pg)) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    names.clear();
    if (d->pg) {
        PgConnection& c = *d->pg;
        pgStream(
            c, sql, params, [&](const PGresult* r) { names = pgColumnNames(c, r); },
            [&row](const PGresult* r) {
                DbRow current;
                current.pr_ = r;
                current.row_ = 0;
                row(current);
            });
        return;
    }
    Statement s(*d, sql);
    s.bind(params);
    names.clear();
    for (int i = 0; i < sqlite3_column_count(s.stmt); ++i) {
        const char* tab = sqlite3_column_table_name(s.stmt, i);
        names << (QString::fromUtf8(tab ? tab : "") + QLatin1Char('.') +
                  QString::fromUtf8(sqlite3_column_name(s.stmt, i)))
                     .toLower();
    }
    for (;;) {
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fail(*d, rc);
        DbRow current;
        current.st_ = s.stmt;
        row(current);
    }
}

void Database::forEachRowWhile(const QString& sql, const Params& params, const std::function<bool(const DbRow&)>& row) {
    if (!d || (!d->db && !d->pg)) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    if (d->pg) {
        PgResult r = pgRun(*d->pg, sql, params);
        DbRow current;
        current.pr_ = r.get();
        for (current.row_ = 0; current.row_ < r.rows(); ++current.row_)
            if (!row(current)) break;
        return;
    }
    Statement s(*d, sql);
    s.bind(params);
    for (;;) {
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fail(*d, rc);
        DbRow current;
        current.st_ = s.stmt;
        if (!row(current)) break;
    }
}

void Database::Close() { d.reset(); }

sqlite3* Database::handle() const { return d ? d->db : nullptr; }
bool Database::onServer() const { return d && d->pg; }
const Dialect& Database::dialect() const { return onServer() ? Dialect::server() : Dialect::file(); }

namespace {
// One lock per named row, taken in one order so two writers never wait for each other in a circle.
void lockEach(Database::Impl& impl, QStringList rows) {
    rows.sort();
    rows.removeDuplicates();
    for (const QString& row : rows)
        (void)pgRun(*impl.pg, QStringLiteral("SELECT pg_advisory_xact_lock(7346003, hashtext(?))"), {row.toLower()});
}

// The team's lock, whole, or shared with the locks of the rows named.
void lockRows(Database::Impl& impl, const QStringList& rows) {
    (void)pgExec(*impl.pg, rows.isEmpty() ? "SELECT pg_advisory_xact_lock(7346001)"
                                          : "SELECT pg_advisory_xact_lock_shared(7346001)");
    lockEach(impl, rows);
}

// A write transaction holds the one writer's place, on the server as in the file, unless it names
// the rows it writes: then, on a server, it shares the team's lock with other such writers and
// waits only for those of the same rows. The file has one writer whatever is named.
void begin(Database::Impl& impl, const QStringList& rows = {}) {
    if (impl.pg) {
        (void)pgExec(*impl.pg, "BEGIN");
        try {
            lockRows(impl, rows);
        } catch (...) {
            pgExecQuietly(*impl.pg, "ROLLBACK");
            throw;
        }
        return;
    }
    execOn(impl, "BEGIN IMMEDIATE;");
}
void run(Database::Impl& impl, const char* sql) {
    if (impl.pg)
        (void)pgExec(*impl.pg, sql);
    else
        execOn(impl, sql);
}
void runQuietly(Database::Impl& impl, const char* sql) {
    if (impl.pg)
        pgExecQuietly(*impl.pg, sql);
    else
        sqlite3_exec(impl.db, sql, nullptr, nullptr, nullptr);
}
}  // namespace

Transaction::Transaction(const QString& path) {
    if (isMarkedDamaged(path)) throwDamaged(path);
    d_ = cachedConnection(path);
    begin(*d_);
    active_ = true;
}

Transaction::Transaction(const Store& store) : Transaction(store, QStringList()) {}

Transaction::Transaction(const Store& store, const QStringList& rows) {
    if (!store.tx) {
        if (isMarkedDamaged(store.file)) throwDamaged(store.file);
        d_ = cachedConnection(store.file);
        begin(*d_, rows);
    } else {
        // Inside the caller's transaction: a savepoint of its connection, with the caller's locks
        // and those of the rows named here.
        d_ = store.tx->d_;
        nested_ = true;
        run(*d_, "SAVEPOINT gd_nested;");
        if (d_->pg) lockEach(*d_, rows);
    }
    active_ = true;
}

Transaction::~Transaction() {
    if (!d_) return;
    if (nested_) {
        if (active_) runQuietly(*d_, "ROLLBACK TO gd_nested; RELEASE gd_nested;");
        return;
    }
    if (active_) runQuietly(*d_, "ROLLBACK;");
    // A connection left inside a transaction would hold its lock: it is not used again.
    if (d_->pg ? pgInTransaction(*d_->pg) : !sqlite3_get_autocommit(d_->db)) d_->stale = true;
}

Database Transaction::database() const { return Database(d_); }

void Transaction::commit() {
    if (!active_) return;
    run(*d_, nested_ ? "RELEASE gd_nested;" : "COMMIT;");
    active_ = false;
}

void insertRow(Database& db, const QString& table, const RowValues& row) {
    QStringList cols, marks;
    for (const QString& c : row.columns) {
        cols << quoteIdent(c);
        marks << QStringLiteral("?");
    }
    db.execute(QStringLiteral("insert into %1 (%2) values (%3)")
                   .arg(quoteIdent(table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
               row.values);
}

void updateRow(Database& db, const QString& table, qint64 rowid, const RowValues& row) {
    QStringList quoted;
    for (const QString& c : row.columns) quoted << quoteIdent(c);
    QVariantList stored;
    db.forEachRowWhile(
        QStringLiteral("select %1 from %2 where rowid=?").arg(quoted.join(QLatin1Char(',')), quoteIdent(table)),
        {rowid}, [&](const DbRow& r) {
            for (qsizetype i = 0; i < quoted.size(); ++i) stored << r.value(int(i));
            return false;
        });
    if (stored.isEmpty()) throw DbError(3021, QStringLiteral("Kein aktueller Datensatz."));
    QStringList sets;
    Params params;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (sameValue(stored[i], row.values[i])) continue;
        sets << quoted[i] + QStringLiteral("=?");
        params << row.values[i];
    }
    if (sets.isEmpty()) return;
    params << rowid;
    db.execute(QStringLiteral("update %1 set %2 where rowid=?").arg(quoteIdent(table), sets.join(QLatin1Char(','))),
               params);
}

}  // namespace gd
