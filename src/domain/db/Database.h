#pragma once
// A thin DAO-like layer over SQLCipher: a database that behaves as if opened
// per operation (one kept connection, checked against the file each time), and
// record sets over prepared statements with every value bound. A record set of
// one table is updatable (AddNew/Edit/Update/Delete); a join is read-only.
// Every failure throws DbError, which the calling function's handler reports.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "base/Result.h"
#include "base/RunError.h"
#include "domain/db/Dialect.h"

struct sqlite3;
struct sqlite3_stmt;
typedef struct pg_result PGresult;

namespace gd {

// The run-time error number of a database another program holds locked.
inline constexpr int kDatabaseLocked = 3008;
// ... and of one whose pages are damaged.
inline constexpr int kDatabaseDamaged = 3049;
// ... and of one that the key in use does not open (or that is no database).
inline constexpr int kWrongKey = 3031;

struct CheckLimits {
    int maxMs = 3000;
    const std::atomic<bool>* stop = nullptr;          // ends the check early when it turns true
    qint64 quickCheckUpToBytes = 16LL * 1024 * 1024;  // larger files are read row by row
    bool* finished = nullptr;                         // set to whether the whole file was read
};
// A check of the file (PRAGMA quick_check, or every row of a large file), within
// its limits; a damaged file is remembered, and no write goes into it from this
// process until cleared. Unfinished counts as not damaged.
Status checkDatabase(const QString& path, const CheckLimits& limits = {});
// The same at most once a day for a file: the last whole check is noted in `record` with the
// file's identity, size and time and the day. Checked again when the file was replaced (a restore)
// or changed by anything but this program since, a write was cut short (SQLite's journal lies
// beside it), or today's check did not finish within its bound.
Status checkDatabaseDaily(const QString& path, const QString& record, const QDate& day, const CheckLimits& limits = {});
// When this process leaves the file: its size and time noted as this program's own change, so
// the next command does not read every page again. Only for a file this process found sound.
void noteDatabaseLeft(const QString& path, const QString& record, const QDate& day);
bool isMarkedDamaged(const QString& path);
void clearDamaged(const QString& path);

class DbError : public RunError {
public:
    using RunError::RunError;
};

// Bound parameters, in the order of the "?" of the statement.
using Params = QVariantList;

// One row of a streamed result, of either engine; what it gives is valid until the next row.
class DbRow {
public:
    // The column's text as UTF-8, null for Null.
    const char* cstr(int i) const;
    int bytes(int i) const;
    QString text(int i) const;
    qint64 int64(int i) const;
    int integer(int i) const { return int(int64(i)); }
    // Typed as stored: a whole number, a text, bytes or Null.
    QVariant value(int i) const;
    // A date as stored by either engine; the zero date for none.
    QDateTime date(int i) const;

private:
    friend class Database;
    sqlite3_stmt* st_ = nullptr;
    const PGresult* pr_ = nullptr;
    int row_ = 0;
};

// A database file on a network share (NFS, SMB/CIFS, SSHFS) is refused at start, with the reason
// and the way to a team's server: its locks do not hold there.
Status refuseNetworkShare(const QString& path);

// Reads the server's password from the desktop's keyring once, on the calling (main) thread, for
// every connection of this process; false when none is kept there.
bool serverPasswordFromKeyring(const QString& source);

// Whether a data source names a database server ("postgresql://user@host/db") rather than a file.
bool isServerAddress(const QString& source);
// The refusal of a server address that carries a password (user:kennwort@ or password=); empty
// when it carries none. Such an address is never used: the password would show in the process
// list, in messages and in the settings.
QString passwordInAddress(const QString& source);
// The address as messages show it: never with a password.
QString shownAddress(const QString& source);

class Database final {
public:
    // Opens an existing database file with the program's password; a missing
    // file, a wrong password or a file that is no database throws.
    static Database open(const QString& path);
    // Creates a new database with the full schema; refuses an existing file.
    static void create(const QString& path);

    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database();

    void execute(const QString& sql, const Params& params = {});
    // Whether the query has a row; reads no more than the first.
    bool exists(const QString& sql, const Params& params = {});
    // Streams a read-only result row by row, for results too large to hold:
    // names gets "table.column" in lower case before the first row.
    void forEachRow(const QString& sql, const Params& params, QStringList& names,
                    const std::function<void(const DbRow&)>& row);
    // Steps until the rows end or `row` returns false.
    void forEachRowWhile(const QString& sql, const Params& params, const std::function<bool(const DbRow&)>& row);
    // The first row as `read` makes it of its columns; none when there is no row.
    template <class Read>
    auto firstRow(const QString& sql, const Params& params, Read read)
        -> std::optional<std::invoke_result_t<Read, const DbRow&>> {
        std::optional<std::invoke_result_t<Read, const DbRow&>> found;
        forEachRowWhile(sql, params, [&](const DbRow& r) {
            found = read(r);
            return false;
        });
        return found;
    }
    // Every row as `read` makes it of its columns.
    template <class Read>
    auto allRows(const QString& sql, const Params& params, Read read)
        -> QList<std::invoke_result_t<Read, const DbRow&>> {
        QList<std::invoke_result_t<Read, const DbRow&>> out;
        forEachRowWhile(sql, params, [&](const DbRow& r) {
            out << read(r);
            return true;
        });
        return out;
    }
    void Close();
    // Many rows into `table`'s `columns` (names as a statement writes them), each handed to the
    // `add` that `produce` gets: on a server one COPY stream (a round trip per buffer, not per row),
    // in the file one prepared insert. Throws as execute() does; nothing is kept of a failed stream
    // beyond what the caller's transaction keeps.
    void insertRows(const QString& table, const QStringList& columns,
                    const std::function<void(const std::function<void(const Params&)>& add)>& produce);

    // The file's connection; null on a server.
    sqlite3* handle() const;
    bool onServer() const;
    // How this engine says what the two say differently.
    const Dialect& dialect() const;

    // How long a write waits for another program's lock before it fails.
    static void setBusyTimeoutMs(int ms);
    // The page cache of connections opened from now on (64 MB by default, for the window's list).
    // A command that reads the file once needs little: the memory it takes stays that of its work.
    static void setPageCacheKiB(int kib);

    // What opening files did that the user is to be told (a file brought to the new encryption), once.
    static QStringList takeUpgradeNotices();

    struct Impl;  // the connection; opaque

private:
    explicit Database(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> d;
    friend class Transaction;
};

// One transaction around several database operations, held by the caller and
// passed on in a Store; it rolls back unless committed, so a failure leaves
// nothing half-written.
struct Store;

class Transaction final {
public:
    explicit Transaction(const QString& path);  // throws DbError
    // Inside the store's transaction when it names one (a savepoint of it), else a new one. On a
    // server a new one holds the team's lock: nothing else writes until it ends, so what it read
    // (the next number, whether a mail is in already) is still so when it commits.
    explicit Transaction(const Store& store);
    // One that writes only the rows these keys name ("Auktion:<id>", "Kunde:<name>"): on a server it
    // waits only for writes of the same keys and for those holding the team's lock. Empty keys: as above.
    Transaction(const Store& store, const QStringList& rows);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();  // throws DbError
    bool active() const { return active_; }
    // Its connection, for the operations that belong to it.
    Database database() const;

private:
    std::shared_ptr<Database::Impl> d_;
    bool active_ = false;
    bool nested_ = false;
};

// A new, empty database with the full schema; refuses an existing file.
Status createDatabase(const QString& path);

// A database file is at least one page; anything shorter is empty or cut off, under any key.
inline constexpr qint64 kSmallestDatabase = 1024;
// The password every later open uses; empty: the program's built-in one. Derived once per file and start.
void setDatabasePassphrase(const QString& passphrase);
bool hasOwnPassphrase();
QString databasePassphrase();  // empty for the program's own
// False only when the file is a database under another password.
bool opensWithCurrentPassphrase(const QString& path);
// Re-encrypts the file under the new password (empty: the built-in one) and uses it from now on.
Status changeDatabasePassphrase(const QString& path, const QString& passphrase);
// Notes in the settings whether the password in use is the user's, so the next start asks for it.
bool rememberPassphraseKind(const QString& configIni);
// Finds the password that opens the file: the one in use, the program's own, the user's
// given one, whatever the settings say (a kill between re-keying and saving the settings
// leaves them behind). Uses it and corrects the settings; false when none of them opens it.
Result<bool> unlockDatabase(const QString& path, const QString& userPassword, const QString& configIni);
// Whether the file is of an earlier version and is brought up to date on its
// first open (which checks and copies it: minutes at 100,000 trades).
bool needsMigration(const QString& path);
// Opens the file once, so that an earlier version is brought up to date now.
Status migrateDatabase(const QString& path);

// Dates are stored as "yyyy-MM-dd HH:mm:ss"; the zero date is day zero, midnight.
QString toDbDate(const QDateTime& d);

// A record's columns in one table and their values, in the order its mapper names them.
struct RowValues {
    QStringList columns;
    Params values;
    void add(const char* column, const QVariant& v) {
        columns << QString::fromUtf8(column);
        values << v;
    }
};
// The record as a new row.
void insertRow(Database& db, const QString& table, const RowValues& row);
// Only the columns whose stored value differs are written: no index entry is rewritten for nothing.
void updateRow(Database& db, const QString& table, qint64 rowid, const RowValues& row);
QDateTime fromDbDate(const QVariant& v);
// The stored text straight to "dd.MM.yyyy[ HH:mm:ss]", as dateToText shows it.
// No QDateTime: local-time conversions cost a time-zone lookup each.
QString dbDateToText(const QVariant& v);

}  // namespace gd
