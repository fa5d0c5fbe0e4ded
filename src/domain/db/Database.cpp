#include "domain/db/Database.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <map>
#include <set>
#include <utility>

#include <openssl/evp.h>

#include "base/modFunktions.h"
#include "domain/db/Schema.h"
#include "domain/db/SqliteError.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {

namespace {

// The system's database password.
const QByteArray kPassphrase = "kaltwind";
constexpr int kKdfIterations = 64000;
int g_busyTimeoutMs = 3000;

// The derived key of a file depends only on its salt: derive once per salt.
QByteArray rawKeyFor(const QByteArray& salt) {
    static QMutex mutex;
    static std::map<QByteArray, QByteArray> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.find(salt);
    if (it != cache.end()) return it->second;
    // OpenSSL's PBKDF2 takes half the time of Qt's for the same key.
    QByteArray key(32, '\0');
    if (PKCS5_PBKDF2_HMAC(kPassphrase.constData(), int(kPassphrase.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), int(salt.size()), kKdfIterations,
                          EVP_sha1(), int(key.size()), reinterpret_cast<unsigned char*>(key.data())) != 1)
        throw DbError(3051, QStringLiteral("Der Schlüssel der Datenbank kann nicht gebildet werden."));
    cache.emplace(salt, key);
    return key;
}

// Salt for files this process creates: one derivation serves them all.
QByteArray creationSalt() {
    static const QByteArray salt = [] {
        QByteArray s(16, '\0');
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(s.data()), 4);
        return s;
    }();
    return salt;
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) throwSqlite(db, rc);
}

void applyKey(sqlite3* db, const QByteArray& key, const QByteArray& salt) {
    // Raw key (and salt on creation): no key derivation per open.
    const QByteArray pragma = "PRAGMA key = \"x'" + key.toHex() + salt.toHex() + "'\";";
    exec(db, pragma.constData());
    // The settings of the files we write, pinned so a newer SQLCipher reads them alike.
    exec(db, "PRAGMA cipher_compatibility = 3;");
    exec(db, "PRAGMA cipher_page_size = 1024;");
    exec(db, "PRAGMA kdf_iter = 64000;");
}

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

void bindAll(sqlite3* db, sqlite3_stmt* st, const Params& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int rc = SQLITE_OK;
        if (v.isNull() || !v.isValid()) {
            rc = sqlite3_bind_null(st, i + 1);
        } else {
            switch (v.typeId()) {
                case QMetaType::Bool:
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong:
                    rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
                    break;
                case QMetaType::Double:
                    rc = sqlite3_bind_double(st, i + 1, v.toDouble());
                    break;
                case QMetaType::QDateTime: {
                    const QByteArray t = toDbDate(v.toDateTime()).toUtf8();
                    rc = sqlite3_bind_text(st, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                    break;
                }
                case QMetaType::QByteArray: {
                    const QByteArray b = v.toByteArray();
                    rc = sqlite3_bind_blob(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                    break;
                }
                default: {
                    const QByteArray t = v.toString().toUtf8();
                    rc = sqlite3_bind_text(st, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                }
            }
        }
        if (rc != SQLITE_OK) throwSqlite(db, rc);
    }
}

void prepare(sqlite3* db, const QString& sql, const Params& params, Statement& s) {
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &s.stmt, nullptr);
    if (rc != SQLITE_OK) throwSqlite(db, rc);
    if (sqlite3_bind_parameter_count(s.stmt) != params.size())
        throw DbError(3061, QStringLiteral("Zu wenige Parameter."));
    bindAll(db, s.stmt, params);
}

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
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
        default:
            return QVariant();
    }
}

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

}  // namespace

[[noreturn]] void throwSqlite(sqlite3* db, int rc) {
    const auto msg = [](const char* t) { return QString::fromUtf8(t); };
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw DbError(kDatabaseLocked, msg("Die Datenbank wird gerade von einem anderen Programm verwendet und ist gesperrt."));
        case SQLITE_READONLY:
            throw DbError(3051, msg("Die Datenbank ist schreibgeschützt."));
        case SQLITE_CANTOPEN:
            throw DbError(3051, msg("Die Datenbankdatei kann nicht geöffnet werden."));
        case SQLITE_NOTADB:
            throw DbError(3031, msg("Das Kennwort der Datenbank ist falsch, oder die Datei ist keine Gaveldesk-Datenbank."));
        case SQLITE_CORRUPT:
            throw DbError(3049, msg("Die Datenbankdatei ist beschädigt."));
        case SQLITE_FULL:
            throw DbError(3026, msg("Der Datenträger ist voll."));
        case SQLITE_IOERR:
            throw DbError(3043, msg("Beim Lesen oder Schreiben der Datenbankdatei ist ein Fehler aufgetreten."));
        case SQLITE_PERM:
        case SQLITE_AUTH:
            throw DbError(3051, msg("Der Zugriff auf die Datenbank wurde verweigert."));
        case SQLITE_CONSTRAINT:
            throw DbError(3022, msg("Der Datensatz verletzt eine Regel der Datenbank (doppelter Schlüssel)."));
        default:
            throw DbError(3000 + (rc & 0xFF), QStringLiteral("Datenbankfehler (%1).")
                                                  .arg(msg(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
    }
}

struct Database::Impl {
    sqlite3* db = nullptr;
    QString path;
    ~Impl() {
        if (db) sqlite3_close_v2(db);
    }
};

namespace {
// The transaction that currently owns a connection, by canonical path.
std::map<QString, std::weak_ptr<Database::Impl>>& ambient() {
    static std::map<QString, std::weak_ptr<Database::Impl>> m;
    return m;
}
QString canonical(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
}

std::shared_ptr<Database::Impl> connect(const QString& path) {
    if (path.isEmpty())
        throw DbError(3044, QStringLiteral("Es ist keine Datenbank eingestellt, und neben dem Programm liegt keine "
                                           "Datenbankdatei."));
    const QFileInfo info(path);
    if (info.isDir())
        throw DbError(3024, QStringLiteral("Unter dem Pfad der Datenbank '%1' liegt ein Ordner, keine Datei.").arg(path));
    if (!info.exists())
        throw DbError(3024, QStringLiteral("Die Datenbankdatei '%1' wurde nicht gefunden.").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(3051, QStringLiteral("Die Datenbankdatei '%1' kann nicht gelesen werden: Es fehlt die "
                                           "Berechtigung.").arg(path));
    const QByteArray salt = f.read(16);
    f.close();
    if (salt.size() < 16) throwSqlite(nullptr, SQLITE_NOTADB);

    auto impl = std::make_shared<Database::Impl>();
    impl->path = path;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &impl->db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) throwSqlite(impl->db, rc);
    sqlite3_extended_result_codes(impl->db, 0);
    applyKey(impl->db, rawKeyFor(salt), QByteArray());
    sqlite3_busy_timeout(impl->db, g_busyTimeoutMs);
    // The first read proves the key; a wrong one or a foreign file fails here.
    checkSchema(impl->db);
    return impl;
}
}  // namespace

Database::Database(std::shared_ptr<Impl> impl) : d(std::move(impl)) {}
namespace {

std::set<QString>& damagedFiles() {
    static std::set<QString> files;
    return files;
}

[[noreturn]] void throwDamaged(const QString& path) {
    throw DbError(kDatabaseDamaged,
                  QStringLiteral("Die Datenbank '%1' ist beschädigt; Gaveldesk schreibt nichts hinein, bis Sie "
                                 "entschieden haben, wie es weitergeht.")
                      .arg(path));
}

}  // namespace

bool isMarkedDamaged(const QString& path) {
    // Asked before every write: no path lookup while nothing is damaged.
    return !damagedFiles().empty() && !path.isEmpty() && damagedFiles().count(canonical(path)) > 0;
}

void clearDamaged(const QString& path) { damagedFiles().erase(canonical(path)); }

Status checkDatabase(const QString& path, int maxMs) {
    const auto damaged = [&](const QString& detail) -> Status {
        damagedFiles().insert(canonical(path));
        const QString shown = detail.size() > 200 ? detail.left(200) + QStringLiteral(" …") : detail;
        return Error{QStringLiteral("Die Datenbank '%1' ist beschädigt (%2).").arg(path, shown), kDatabaseDamaged,
                     QStringLiteral("Gaveldesk schreibt nichts mehr in diese Datei. Legen Sie eine Kopie von ihr an "
                                    "und spielen Sie Ihre letzte Sicherung zurück.")};
    };
    std::shared_ptr<Database::Impl> impl;
    try {
        impl = connect(path);
    } catch (const RunError& e) {
        // Missing or unreadable is not damage; a file that no longer decrypts is.
        if (e.number() == 3024 || e.number() == 3051 || e.number() == 3044) return {};
        return damaged(e.description());
    }
    // Bounded: a huge file is not checked longer than maxMs; unchecked is not damaged.
    QElapsedTimer t;
    t.start();
    std::pair<QElapsedTimer*, int> bound{&t, maxMs};
    sqlite3_progress_handler(impl->db, 1000, [](void* b) -> int {
        const auto* p = static_cast<std::pair<QElapsedTimer*, int>*>(b);
        return p->first->elapsed() > p->second ? 1 : 0;
    }, &bound);
    sqlite3_stmt* st = nullptr;
    QString result;
    int rc = sqlite3_prepare_v2(impl->db, "PRAGMA quick_check(5);", -1, &st, nullptr);
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
    if (rc != SQLITE_DONE) return damaged(QString::fromUtf8(sqlite3_errmsg(impl->db)));
    if (result != QStringLiteral("ok")) return damaged(result);
    return {};
}

Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

void Database::setBusyTimeoutMs(int ms) { g_busyTimeoutMs = ms; }

Database Database::open(const QString& path) {
    auto& amb = ambient();
    if (!path.isEmpty()) {
        auto it = amb.find(canonical(path));
        if (it != amb.end())
            if (auto shared = it->second.lock()) return Database(shared);
    }
    return Database(connect(path));
}

void Database::create(const QString& path) {
    if (path.isEmpty()) throw DbError(3044, QStringLiteral("Es ist kein Pfad für die neue Datenbank angegeben."));
    if (QFileInfo::exists(path))
        throw DbError(3204, QStringLiteral("Die Datei '%1' existiert bereits und wird nicht überschrieben.").arg(path));
    auto impl = std::make_shared<Impl>();
    impl->path = path;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &impl->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                   nullptr);
    try {
        if (rc != SQLITE_OK) throwSqlite(impl->db, rc);
        const QByteArray salt = creationSalt();
        applyKey(impl->db, rawKeyFor(salt), salt);
        createSchema(impl->db);
    } catch (...) {
        impl.reset();
        QFile::remove(path);
        throw;
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

Recordset Database::OpenRecordset(const QString& sql, const Params& params) {
    if (!d || !d->db) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    // "select ... from Table where/order ...": updatable through its rowid.
    static const QRegularExpression single(
        QStringLiteral(R"(^\s*select\s+(.*?)\s+from\s+([A-Za-z_][A-Za-z0-9_]*)\s*(\bwhere\b.*|\border\b.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = single.match(sql);
    QString table;
    QString text = sql;
    if (m.hasMatch()) {
        table = m.captured(2);
        text = QStringLiteral("select rowid, ") + m.captured(1) + QStringLiteral(" from ") + table +
               QLatin1Char(' ') + m.captured(3);
    }
    Recordset rs(d, table);
    Statement s;
    prepare(d->db, text, params, s);
    const int n = sqlite3_column_count(s.stmt);
    const int first = table.isEmpty() ? 0 : 1;
    for (int i = first; i < n; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(s.stmt, i));
        const char* tab = sqlite3_column_table_name(s.stmt, i);
        rs.names_ << name;
        const int idx = i - first;
        if (!rs.index_.contains(name.toLower())) rs.index_.insert(name.toLower(), idx);
        if (tab) {
            const QString q = QString::fromUtf8(tab).toLower() + QLatin1Char('.') + name.toLower();
            if (!rs.index_.contains(q)) rs.index_.insert(q, idx);
        }
    }
    for (;;) {
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throwSqlite(d->db, rc);
        QVariantList row;
        row.reserve(n - first);
        for (int i = first; i < n; ++i) row << columnValue(s.stmt, i);
        rs.rows_.push_back(std::move(row));
        rs.rowids_.push_back(first ? sqlite3_column_int64(s.stmt, 0) : -1);
    }
    return rs;
}

void Database::execute(const QString& sql, const Params& params) {
    if (!d || !d->db) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    Statement s;
    prepare(d->db, sql, params, s);
    if (!sqlite3_stmt_readonly(s.stmt) && isMarkedDamaged(d->path)) throwDamaged(d->path);
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) throwSqlite(d->db, rc);
}

bool Database::exists(const QString& sql, const Params& params) {
    if (!d || !d->db) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    Statement s;
    prepare(d->db, sql, params, s);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) throwSqlite(d->db, rc);
    return false;
}

void Database::forEachRow(const QString& sql, const Params& params, QStringList& names,
                          const std::function<void(sqlite3_stmt*)>& row) {
    if (!d || !d->db) throw DbError(3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt."));
    Statement s;
    prepare(d->db, sql, params, s);
    names.clear();
    for (int i = 0; i < sqlite3_column_count(s.stmt); ++i) {
        const char* tab = sqlite3_column_table_name(s.stmt, i);
        names << (QString::fromUtf8(tab ? tab : "") + QLatin1Char('.') + QString::fromUtf8(sqlite3_column_name(s.stmt, i)))
                     .toLower();
    }
    for (;;) {
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throwSqlite(d->db, rc);
        row(s.stmt);
    }
}

void Database::Close() { d.reset(); }

sqlite3* Database::handle() const { return d ? d->db : nullptr; }

Transaction::Transaction(const QString& path) {
    auto& amb = ambient();
    const auto it = path.isEmpty() ? amb.end() : amb.find(canonical(path));
    if (it != amb.end()) d_ = it->second.lock();
    if (d_) {
        // Inside another transaction on the same file: a savepoint of its connection.
        nested_ = true;
        exec(d_->db, "SAVEPOINT gd_nested;");
    } else {
        if (isMarkedDamaged(path)) throwDamaged(path);
        d_ = connect(path);
        exec(d_->db, "BEGIN IMMEDIATE;");
        amb[canonical(path)] = d_;
    }
    active_ = true;
}

Transaction::~Transaction() {
    if (!d_) return;
    if (nested_) {
        if (active_) sqlite3_exec(d_->db, "ROLLBACK TO gd_nested; RELEASE gd_nested;", nullptr, nullptr, nullptr);
        return;
    }
    ambient().erase(canonical(d_->path));
    if (active_) sqlite3_exec(d_->db, "ROLLBACK;", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    if (!active_) return;
    exec(d_->db, nested_ ? "RELEASE gd_nested;" : "COMMIT;");
    active_ = false;
}

Recordset::Recordset(std::shared_ptr<Database::Impl> db, QString table) : db_(std::move(db)), table_(std::move(table)) {}
Recordset::~Recordset() = default;

int Recordset::columnIndex(const QString& column) const {
    const auto it = index_.constFind(column.toLower());
    if (it == index_.constEnd())
        throw DbError(3265, QStringLiteral("Element in dieser Auflistung nicht gefunden (%1).").arg(column));
    return it.value();
}

QVariant Recordset::value(const QString& column) const {
    const int i = columnIndex(column);
    if (isEOF()) throw DbError(3021, QStringLiteral("Kein aktueller Datensatz."));
    return rows_[std::size_t(pos_)][i];
}

QString Recordset::text(const QString& column) const {
    const QVariant v = value(column);
    return v.isNull() ? QString() : v.toString();
}

bool Recordset::flag(const QString& column) const { return value(column).toLongLong() != 0; }

QDateTime Recordset::date(const QString& column) const { return fromDbDate(value(column)); }

void Recordset::AddNew() {
    if (table_.isEmpty()) throw DbError(3027, QStringLiteral("Aktualisieren nicht möglich. Datenbank oder Objekt ist schreibgeschützt."));
    mode_ = Mode::AddNew;
    pending_.clear();
}

void Recordset::Edit() {
    if (table_.isEmpty()) throw DbError(3027, QStringLiteral("Aktualisieren nicht möglich. Datenbank oder Objekt ist schreibgeschützt."));
    if (isEOF()) throw DbError(3021, QStringLiteral("Kein aktueller Datensatz."));
    mode_ = Mode::Edit;
    pending_.clear();
}

void Recordset::set(const QString& column, const QVariant& v) {
    if (mode_ == Mode::None) throw DbError(3020, QStringLiteral("Update oder CancelUpdate ohne AddNew oder Edit."));
    const int i = columnIndex(column);
    pending_.insert(names_[i], v);
}

void Recordset::set(const QString& column, const QDateTime& v) { set(column, QVariant(toDbDate(v))); }

void Recordset::Update() {
    if (mode_ == Mode::None) throw DbError(3020, QStringLiteral("Update oder CancelUpdate ohne AddNew oder Edit."));
    QStringList cols;
    Params params;
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        cols << quoteIdent(it.key());
        params << it.value();
    }
    Database db{db_};
    if (mode_ == Mode::AddNew) {
        QString sql;
        if (cols.isEmpty()) {
            sql = QStringLiteral("insert into %1 default values").arg(quoteIdent(table_));
        } else {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i) marks << QStringLiteral("?");
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(quoteIdent(table_), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        db.execute(sql, params);
    } else if (!cols.isEmpty()) {
        QStringList sets;
        for (const QString& c : cols) sets << c + QStringLiteral("=?");
        params << rowids_[std::size_t(pos_)];
        db.execute(QStringLiteral("update %1 set %2 where rowid=?").arg(quoteIdent(table_), sets.join(QLatin1Char(','))),
                   params);
        QVariantList& row = rows_[std::size_t(pos_)];
        for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) row[columnIndex(it.key())] = it.value();
    }
    mode_ = Mode::None;
    pending_.clear();
}

void Recordset::Delete() {
    if (table_.isEmpty()) throw DbError(3027, QStringLiteral("Aktualisieren nicht möglich. Datenbank oder Objekt ist schreibgeschützt."));
    if (isEOF()) throw DbError(3021, QStringLiteral("Kein aktueller Datensatz."));
    Database db{db_};
    db.execute(QStringLiteral("delete from %1 where rowid=?").arg(quoteIdent(table_)), {rowids_[std::size_t(pos_)]});
    rows_.erase(rows_.begin() + pos_);
    rowids_.erase(rowids_.begin() + pos_);
}

QString toDbDate(const QDateTime& d) {
    if (!d.isValid()) return QStringLiteral("1899-12-30 00:00:00");
    return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString dbDateToText(const QVariant& v) {
    const QString t = v.toString();
    if (v.isNull() || t.size() != 19 || t[4] != QLatin1Char('-') || t[7] != QLatin1Char('-') ||
        t[10] != QLatin1Char(' '))
        return dateToText(fromDbDate(v));
    const QStringView time = QStringView(t).mid(11);
    const bool midnight = time == u"00:00:00";
    if (QStringView(t).left(10) == u"1899-12-30") return midnight ? QStringLiteral("00:00:00") : time.toString();
    QString out;
    out.reserve(19);
    out.append(QStringView(t).mid(8, 2)).append(QLatin1Char('.')).append(QStringView(t).mid(5, 2));
    out.append(QLatin1Char('.')).append(QStringView(t).left(4));
    if (!midnight) out.append(QLatin1Char(' ')).append(time);
    return out;
}

QDateTime fromDbDate(const QVariant& v) {
    if (v.isNull()) return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    const QString t = v.toString();
    // "yyyy-MM-dd HH:mm:ss" by hand: the list reads thousands of them.
    const auto num = [&t](int from, int len, bool& ok) {
        int n = 0;
        for (int i = from; i < from + len; ++i) {
            const QChar c = t[i];
            if (!c.isDigit()) ok = false;
            n = n * 10 + c.digitValue();
        }
        return n;
    };
    if (t.size() == 19 && t[4] == QLatin1Char('-') && t[7] == QLatin1Char('-') && t[13] == QLatin1Char(':') &&
        t[16] == QLatin1Char(':')) {
        bool ok = true;
        const QDate date(num(0, 4, ok), num(5, 2, ok), num(8, 2, ok));
        const QTime time(num(11, 2, ok), num(14, 2, ok), num(17, 2, ok));
        if (ok && date.isValid() && time.isValid()) return QDateTime(date, time);
    }
    QDateTime d = QDateTime::fromString(t, Qt::ISODate);
    if (!d.isValid()) throw DbError(13, QStringLiteral("Typen unverträglich"));
    return d;
}

}  // namespace gd
