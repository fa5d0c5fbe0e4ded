#include "domain/db/PgEngine.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <optional>
#include <vector>

#include "base/PerThread.h"
#include "domain/db/PgSchema.h"
#include "domain/settings/Keyring.h"

namespace gd {

namespace {

// Type oids of the server's catalogue (stable since its first versions).
constexpr unsigned kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
                   kNumeric = 1700;

QString serverMessage(const PGconn* conn, const PGresult* r) {
    const char* m = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (!m) m = PQerrorMessage(conn);
    return QString::fromUtf8(m ? m : "").trimmed();
}

[[noreturn]] void throwLost(const QString& detail) {
    throw DbError(3151, QStringLiteral("Die Verbindung zum Datenbankserver ist unterbrochen (%1). Es wurde nichts "
                                       "halb gespeichert; Ihre Eingaben bleiben erhalten. Gaveldesk verbindet "
                                       "sich beim nächsten Schritt neu.")
                            .arg(detail.left(200)));
}

[[noreturn]] void throwFor(PgConnection& c, const PGresult* r) {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const QString code = QString::fromLatin1(state ? state : "");
    const QString message = serverMessage(c.conn, r);
    if (PQstatus(c.conn) == CONNECTION_BAD || code.startsWith(QLatin1String("08")) ||
        code.startsWith(QLatin1String("57P")))
        throwLost(message);
    if (code == QLatin1String("23505"))
        throw DbError(3022, QStringLiteral("Der Datensatz verletzt eine Regel der Datenbank (doppelter Schlüssel)."));
    if (code == QLatin1String("P0001")) throw DbError(3022, message);  // a rule of ours says why in German
    if (code == QLatin1String("55P03") || code == QLatin1String("40001") || code == QLatin1String("40P01"))
        throw DbError(kDatabaseLocked,
                      QStringLiteral("Die Datenbank wird gerade an einem anderen Platz geändert und ist gesperrt."));
    if (code.startsWith(QLatin1String("28")) || code == QLatin1String("42501"))
        throw DbError(3051, QStringLiteral("Der Zugriff auf die Datenbank wurde verweigert (%1).").arg(message));
    if (code == QLatin1String("53100"))
        throw DbError(3026, QStringLiteral("Der Datenträger des Datenbankservers ist voll."));
    throw DbError(3000, QStringLiteral("Datenbankfehler (%1).").arg(message));
}

QByteArray paramText(const QVariant& v, bool& binary) {
    binary = false;
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? "1" : "0";
        case QMetaType::QByteArray:
            binary = true;
            return v.toByteArray();
        case QMetaType::QDateTime:
            return toDbDate(v.toDateTime()).toUtf8();
        default:
            return v.toString().toUtf8();
    }
}

}  // namespace

PgConnection::~PgConnection() {
    if (conn) PQfinish(conn);
}

PgResult& PgResult::operator=(PgResult&& o) noexcept {
    if (this != &o) {
        if (r_) PQclear(r_);
        r_ = o.r_;
        o.r_ = nullptr;
    }
    return *this;
}
PgResult::~PgResult() {
    if (r_) PQclear(r_);
}
int PgResult::rows() const { return r_ ? PQntuples(r_) : 0; }
int PgResult::columns() const { return r_ ? PQnfields(r_) : 0; }

namespace {
QMutex g_keptMutex;
QHash<QString, std::optional<QString>>& keptPasswords() {
    static QHash<QString, std::optional<QString>> kept;
    return kept;
}
}  // namespace

void pgKeepPassword(const QString& url, const QString& password) {
    QMutexLocker lock(&g_keptMutex);
    keptPasswords().insert(pgKeyringKey(url), password);
}

std::optional<QString> keptPassword(const QString& url) {
    const QString key = pgKeyringKey(url);
    {
        QMutexLocker lock(&g_keptMutex);
        if (const auto it = keptPasswords().constFind(key); it != keptPasswords().constEnd()) return it.value();
    }
    // The desktop's keyring answers on the main thread only (its jobs live in an event loop); a
    // worker's connection uses what the main thread read, or libpq's own ~/.pgpass.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!keyringInUse() || (app && QThread::currentThread() != app->thread())) return std::nullopt;
    const KeyringRead read = readSecret(key);
    const std::optional<QString> found = read.found ? std::optional<QString>(read.password) : std::nullopt;
    QMutexLocker lock(&g_keptMutex);
    keptPasswords().insert(key, found);
    return found;
}

QString pgKeyringKey(const QString& url) {
    const QUrl u(url);
    return QStringLiteral("postgresql/%1@%2:%3/%4").arg(u.userName(), u.host()).arg(u.port(5432)).arg(u.path().mid(1));
}

bool pgBroken(const PgConnection& c) { return !c.conn || PQstatus(c.conn) != CONNECTION_OK; }

const char* pgCell(const PGresult* r, int row, int col) {
    return PQgetisnull(r, row, col) ? nullptr : PQgetvalue(r, row, col);
}
int pgCellLength(const PGresult* r, int row, int col) { return PQgetlength(r, row, col); }
void pgExecQuietly(PgConnection& c, const char* sql) {
    if (c.conn) PQclear(PQexec(c.conn, sql));
}
std::shared_ptr<PgConnection> pgListen(const QString& url) {
    std::shared_ptr<PgConnection> c = pgConnect(url, settingsLogin(), false);
    (void)pgExec(*c, "LISTEN gaveldesk");
    return c;
}

int pgSocket(const PgConnection& c) { return c.conn ? PQsocket(c.conn) : -1; }

int pgTakeNotices(PgConnection& c) {
    if (!c.conn || !PQconsumeInput(c.conn) || PQstatus(c.conn) != CONNECTION_OK) return -1;
    int n = 0;
    while (PGnotify* note = PQnotifies(c.conn)) {
        PQfreemem(note);
        ++n;
    }
    return n;
}

bool pgInTransaction(const PgConnection& c) { return c.conn && PQtransactionStatus(c.conn) != PQTRANS_IDLE; }

std::shared_ptr<PgConnection> pgConnect(const QString& url, const PgLogin& login, bool prepare) {
    if (const QString refused = passwordInAddress(url); !refused.isEmpty()) throw DbError(3029, refused);
    auto c = std::make_shared<PgConnection>();
    c->url = url;
    // Defaults first: what the address itself says overrides them.
    std::vector<QByteArray> keys, values;
    const auto add = [&](const char* k, const QByteArray& v) {
        keys.emplace_back(k);
        values.push_back(v);
    };
    add("sslmode", "verify-full");
    if (!login.caFile.isEmpty()) add("sslrootcert", login.caFile.toUtf8());
    add("connect_timeout", "5");
    // A pulled cable is noticed within seconds, not after the system's two hours.
    add("keepalives_idle", "5");
    add("keepalives_interval", "2");
    add("keepalives_count", "3");
    add("tcp_user_timeout", "10000");
    add("application_name", "Gaveldesk");
    add("client_encoding", "UTF8");
    if (!login.password.isEmpty()) {
        add("password", login.password.toUtf8());
    } else if (const std::optional<QString> kept = keptPassword(url)) {
        add("password", kept->toUtf8());
    }
    add("dbname", url.toUtf8());
    std::vector<const char*> k, v;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    c->conn = PQconnectdbParams(k.data(), v.data(), 1);
    for (QByteArray& secret : values) secret.fill('\0');
    if (PQstatus(c->conn) != CONNECTION_OK) {
        const QString detail = serverMessage(c->conn, nullptr);
        if (detail.contains(QLatin1String("password")) || detail.contains(QLatin1String("authentication")))
            throw DbError(3029, QStringLiteral("Der Datenbankserver hat die Anmeldung abgelehnt (%1). Das Kennwort "
                                               "steht im Schlüsselbund unter '%2'.")
                                    .arg(detail.left(200), pgKeyringKey(url)));
        if (detail.contains(QLatin1String("certificate")) || detail.contains(QLatin1String("SSL")))
            throw DbError(3151, QStringLiteral("Die verschlüsselte Verbindung zum Datenbankserver kommt nicht "
                                               "zustande (%1). Ist das Zertifikat der Zertifizierungsstelle in den "
                                               "Optionen eingetragen?")
                                    .arg(detail.left(200)));
        throw DbError(3151, QStringLiteral("Der Datenbankserver ist nicht erreichbar (%1).").arg(detail.left(200)));
    }
    // The server's notices ("truncate cascades ...") are for a console, not for the user.
    PQsetNoticeProcessor(
        c->conn, [](void*, const char*) {}, nullptr);
    // Who changes a trade is recorded with it: this seat and its user.
    const QByteArray seat = QSysInfo::machineHostName().toUtf8();
    const QByteArray user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")).toUtf8();
    const char* setParams[] = {seat.constData(), user.constData()};
    PgResult set(PQexecParams(c->conn,
                              "select set_config('gaveldesk.platz', $1, false), "
                              "set_config('gaveldesk.benutzer', $2, false), set_config('lock_timeout', '10s', false)",
                              2, nullptr, setParams, nullptr, nullptr, 0));
    if (PQresultStatus(set.get()) != PGRES_TUPLES_OK) throwFor(*c, set.get());
    if (prepare) c->schemaVersion = pgPrepareSchema(*c);
    PgResult tables(PQexec(c->conn,
                           "select c.oid, lower(c.relname) from pg_class c join pg_namespace n on n.oid = "
                           "c.relnamespace where n.nspname = current_schema() and c.relkind in ('r', 'v')"));
    for (int i = 0; i < tables.rows(); ++i)
        c->tableNames.insert(QByteArray(PQgetvalue(tables.get(), i, 0)).toUInt(),
                             QString::fromUtf8(PQgetvalue(tables.get(), i, 1)));
    return c;
}

QString pgSql(const QString& sql) {
    static PerThread<QHash<QString, QString>> perThread;
    QHash<QString, QString>& done = perThread.get();
    const auto known = done.constFind(sql);
    if (known != done.constEnd()) return known.value();
    QString out;
    out.reserve(sql.size() + 16);
    int n = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar ch = sql[i];
        if (ch == QLatin1Char('\'')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? sql.size() - 1 : end;
            out += QStringView(sql).mid(i, stop - i + 1);
            i = stop;
        } else if (ch == QLatin1Char('"')) {
            // Quoted names are made in lower case, as the server folds the unquoted ones.
            const qsizetype end = sql.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = end < 0 ? sql.size() - 1 : end;
            QString name = sql.mid(i, stop - i + 1);
            for (QChar& c : name)
                if (c.unicode() >= 'A' && c.unicode() <= 'Z') c = QChar(c.unicode() + 32);
            out += name;
            i = stop;
        } else if (ch == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++n);
        } else {
            out += ch;
        }
    }
    if (done.size() > 512) done.clear();
    done.insert(sql, out);
    return out;
}

PgResult pgExec(PgConnection& c, const char* sql) {
    if (pgBroken(c)) throwLost(serverMessage(c.conn, nullptr));
    PgResult r(PQexec(c.conn, sql));
    const ExecStatusType st = PQresultStatus(r.get());
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throwFor(c, r.get());
    return r;
}

namespace {

// A value in COPY's text format: \N for none, bytea as \x and hex, the separators escaped.
void appendCopyValue(QByteArray& line, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        line += "\\N";
        return;
    }
    bool binary = false;
    const QByteArray text = paramText(v, binary);
    if (binary) {
        line += "\\\\x";
        line += text.toHex();
        return;
    }
    for (const char ch : text) switch (ch) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += ch;
        }
}

}  // namespace

void pgCopyIn(PgConnection& c, const QString& table, const QStringList& columns,
              const std::function<void(const std::function<void(const Params&)>& add)>& produce) {
    if (pgBroken(c)) throwLost(serverMessage(c.conn, nullptr));
    const QByteArray copy =
        pgSql(QStringLiteral("copy %1 (%2) from stdin").arg(table, columns.join(QLatin1Char(',')))).toUtf8();
    {
        PgResult started(PQexec(c.conn, copy.constData()));
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) throwFor(c, started.get());
    }
    QByteArray buffer;
    const auto send = [&] {
        if (!buffer.isEmpty() && PQputCopyData(c.conn, buffer.constData(), int(buffer.size())) != 1)
            throwLost(serverMessage(c.conn, nullptr));
        buffer.clear();
    };
    try {
        produce([&](const Params& row) {
            for (qsizetype i = 0; i < row.size(); ++i) {
                if (i) buffer += '\t';
                appendCopyValue(buffer, row[i]);
            }
            buffer += '\n';
            if (buffer.size() >= (1 << 20)) send();
        });
        send();
    } catch (...) {
        // The server drops what it took of the stream; the connection stays usable for the rollback.
        PQputCopyEnd(c.conn, "abgebrochen");
        while (PGresult* r = PQgetResult(c.conn)) PQclear(r);
        throw;
    }
    if (PQputCopyEnd(c.conn, nullptr) != 1) throwLost(serverMessage(c.conn, nullptr));
    std::optional<PgResult> failed;
    while (PGresult* r = PQgetResult(c.conn))
        if (PQresultStatus(r) != PGRES_COMMAND_OK && !failed)
            failed.emplace(r);
        else
            PQclear(r);
    if (failed) throwFor(c, failed->get());
}

namespace {
PgStatement& lastStatement() {
    static PerThread<PgStatement> perThread;
    return perThread.get();
}
}  // namespace

PgStatement pgLastStatement() { return lastStatement(); }

namespace {

// The values as libpq takes them, kept alive while the statement is sent.
struct Bound {
    std::vector<QByteArray> data;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    explicit Bound(const Params& params)
        : data(std::size_t(params.size())),
          values(std::size_t(params.size())),
          lengths(std::size_t(params.size())),
          formats(std::size_t(params.size())) {
        for (qsizetype i = 0; i < params.size(); ++i) {
            const auto j = std::size_t(i);
            if (params[i].isNull()) continue;
            bool binary = false;
            data[j] = paramText(params[i], binary);
            values[j] = data[j].constData();
            lengths[j] = int(data[j].size());
            formats[j] = binary ? 1 : 0;
        }
    }
};

// The statement prepared once per connection; its name.
QByteArray preparedFor(PgConnection& c, const QString& sql, const Params& params) {
    if (pgBroken(c)) throwLost(serverMessage(c.conn, nullptr));
    const QString text = pgSql(sql);
    lastStatement() = {text, params};
    auto name = c.prepared.constFind(text);
    if (name == c.prepared.constEnd()) {
        const QByteArray id = "gd" + QByteArray::number(c.prepared.size() + 1);
        PgResult p(PQprepare(c.conn, id.constData(), text.toUtf8().constData(), 0, nullptr));
        if (PQresultStatus(p.get()) != PGRES_COMMAND_OK) throwFor(c, p.get());
        name = c.prepared.insert(text, id);
    }
    return *name;
}

// What is left of a statement's answer after its reader gave up: stopped on the server and read
// away, so the connection serves the next statement.
void abandon(PgConnection& c) {
    if (PGcancel* cancel = PQgetCancel(c.conn)) {
        char why[256];
        PQcancel(cancel, why, int(sizeof why));
        PQfreeCancel(cancel);
    }
    while (PGresult* rest = PQgetResult(c.conn)) PQclear(rest);
}

}  // namespace

PgResult pgRun(PgConnection& c, const QString& sql, const Params& params) {
    const QByteArray name = preparedFor(c, sql, params);
    const Bound b(params);
    PgResult r(PQexecPrepared(c.conn, name.constData(), int(params.size()), b.values.data(), b.lengths.data(),
                              b.formats.data(), 0));
    const ExecStatusType st = PQresultStatus(r.get());
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throwFor(c, r.get());
    return r;
}

void pgStream(PgConnection& c, const QString& sql, const Params& params,
              const std::function<void(const PGresult*)>& columns, const std::function<void(const PGresult*)>& row) {
    const QByteArray name = preparedFor(c, sql, params);
    const Bound b(params);
    if (PQsendQueryPrepared(c.conn, name.constData(), int(params.size()), b.values.data(), b.lengths.data(),
                            b.formats.data(), 0) != 1)
        throwLost(serverMessage(c.conn, nullptr));
    PQsetSingleRowMode(c.conn);
    std::optional<PgResult> failed;
    bool described = false;
    try {
        while (PGresult* raw = PQgetResult(c.conn)) {
            PgResult r(raw);
            const ExecStatusType st = PQresultStatus(raw);
            if (failed) continue;
            if (st != PGRES_SINGLE_TUPLE && st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
                failed = std::move(r);
                continue;
            }
            if (!described) {
                described = true;
                columns(raw);
            }
            if (st == PGRES_SINGLE_TUPLE) row(raw);
        }
    } catch (...) {
        abandon(c);
        throw;
    }
    if (failed) throwFor(c, failed->get());
}

QVariant pgValue(const PGresult* res, int row, int col) {
    if (PQgetisnull(res, row, col)) return {};
    const char* v = PQgetvalue(res, row, col);
    const int len = PQgetlength(res, row, col);
    switch (PQftype(res, col)) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return QVariant(qlonglong(QByteArray::fromRawData(v, len).toLongLong()));
        case kBool:
            return QVariant(qlonglong(v[0] == 't' ? 1 : 0));
        case kFloat4:
        case kFloat8:
            return QVariant(QByteArray::fromRawData(v, len).toDouble());
        case kNumeric: {
            // Sums of whole numbers stay whole numbers, as in the file.
            bool whole = false;
            const qlonglong n = QByteArray::fromRawData(v, len).toLongLong(&whole);
            return whole ? QVariant(n) : QVariant(QByteArray::fromRawData(v, len).toDouble());
        }
        case kBytea: {
            std::size_t size = 0;
            unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(v), &size);
            QByteArray bytes(reinterpret_cast<const char*>(raw), qsizetype(size));
            PQfreemem(raw);
            return QVariant(bytes);
        }
        default:
            return QVariant(QString::fromUtf8(v, len));
    }
}

QStringList pgColumnNames(PgConnection& c, const PGresult* r) {
    QStringList names;
    for (int col = 0; col < PQnfields(r); ++col)
        names << c.tableNames.value(PQftable(r, col)) + QLatin1Char('.') + QString::fromUtf8(PQfname(r, col)).toLower();
    return names;
}

}  // namespace gd
