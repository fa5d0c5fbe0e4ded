#pragma once
// Inside the database layer only: the server engine. A store named by a
// "postgresql://" address is kept on a PostgreSQL server; the domain's statements
// are written once, in the file's dialect, and translated here.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

#include "domain/db/Database.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace gd {

struct PgConnection {
    PGconn* conn = nullptr;
    QString url;
    QHash<QString, QByteArray> prepared;  // translated statement -> its name
    QHash<unsigned, QString> tableNames;  // table oid -> lower-case name
    int schemaVersion = 0;
    ~PgConnection();
};

// A result owned until it goes out of scope.
class PgResult {
public:
    explicit PgResult(PGresult* r = nullptr) : r_(r) {}
    PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
    PgResult& operator=(PgResult&& o) noexcept;
    ~PgResult();
    PGresult* get() const { return r_; }
    int rows() const;
    int columns() const;

private:
    PGresult* r_;
};

// How to sign in to a server: the file of the CA that signed its certificate (empty: the system's
// CAs), and a password just typed (empty: the keyring's, else ~/.pgpass).
struct PgLogin {
    QString caFile;
    QString password;
};
// The login the settings in force give: their CA file, the kept password (in Store.cpp, beside
// currentStore(): where the settings in force meet the database).
PgLogin settingsLogin();
// Opens a connection to the server the address names: TLS with the server's name checked unless the
// address says otherwise. Creates the tables on an empty database and brings an earlier version up
// to date. Throws DbError.
std::shared_ptr<PgConnection> pgConnect(const QString& url, const PgLogin& login, bool prepare = true);
// The statement's placeholders as libpq numbers them ("?" becomes "$1", "$2", ...) and its quoted
// names in the case the server folds unquoted ones to. The meaning is the statement's own: what the
// engines say differently comes from the Dialect.
QString pgSql(const QString& sql);
// Runs a statement of the file's dialect; throws DbError (a lost connection marks it broken).
PgResult pgRun(PgConnection& c, const QString& sql, const Params& params);
// Runs a statement of the file's dialect and hands over its rows as they arrive, each in a result of
// its own, so the reader works while the server still sends; `columns` is told the columns first.
// A reader that throws stops the statement on the server.
void pgStream(PgConnection& c, const QString& sql, const Params& params,
              const std::function<void(const PGresult*)>& columns, const std::function<void(const PGresult*)>& row);
// Runs a statement of the server's own dialect without parameters.
PgResult pgExec(PgConnection& c, const char* sql);
// Rows streamed by COPY ... FROM STDIN in its text format; `produce` hands each row to `add`.
void pgCopyIn(PgConnection& c, const QString& table, const QStringList& columns,
              const std::function<void(const std::function<void(const Params&)>& add)>& produce);
QVariant pgValue(const PGresult* r, int row, int col);
// Each column as "table.column" in lower case, the table from the server's catalogue where known.
QStringList pgColumnNames(PgConnection& c, const PGresult* r);
bool pgBroken(const PgConnection& c);
// A cell of a result: its text (null for Null) and its length in bytes.
const char* pgCell(const PGresult* r, int row, int col);
int pgCellLength(const PGresult* r, int row, int col);
// A statement whose failure does not matter (a rollback on the way out).
void pgExecQuietly(PgConnection& c, const char* sql);
bool pgInTransaction(const PgConnection& c);
// A connection of its own that listens for the seats' changes; its socket, and the notices that came.
std::shared_ptr<PgConnection> pgListen(const QString& url);
int pgSocket(const PgConnection& c);
int pgTakeNotices(PgConnection& c);  // -1 when the connection is lost

// The last statement this thread sent, as the server got it, and its values: for measuring the
// same statement with the server's own client.
struct PgStatement {
    QString text;
    Params params;
};
PgStatement pgLastStatement();

// The password the keyring keeps for the address's user, read once (on the main thread) and kept for
// this process; a saved new one replaces it.
std::optional<QString> keptPassword(const QString& url);
void pgKeepPassword(const QString& url, const QString& password);

// The keyring's name for the password of the address's user at its server.
QString pgKeyringKey(const QString& url);

}  // namespace gd
