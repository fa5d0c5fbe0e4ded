#pragma once
// Inside the database layer only: the connection behind a Database, kept per
// file and thread, with its prepared statements.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <unordered_map>

#include "base/SafeWrite.h"
#include "domain/db/Database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace gd {

struct PgConnection;

using FileStamp = FileIdentity;

// The files' encryption: SQLCipher 4's settings. Earlier versions of the program wrote SQLCipher 3's.
enum class Cipher { V4, V3 };

struct Database::Impl {
    sqlite3* db = nullptr;
    std::shared_ptr<PgConnection> pg;  // instead of db, on a server
    QString path;
    QByteArray salt;
    FileStamp stamp;
    bool writable = true;
    // Set by an I/O failure: the next operation starts on a fresh connection.
    bool stale = false;
    int keyGeneration = 0;  // the password it was opened with
    Cipher cipher = Cipher::V4;
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool busy = false;
    };
    std::unordered_map<QString, Cached> statements;
    ~Impl();
};

// A prepared statement for one operation, from the connection's cache; reset
// when done, so that no lock outlives the operation. A statement still
// stepping (a query inside a loop over the same query) gets a fresh one.
class Statement {
public:
    Statement(Database::Impl& impl, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // Apart from the constructor, so that a failing bind still resets the statement.
    void bind(const Params& params);
    sqlite3_stmt* stmt = nullptr;

private:
    sqlite3* db_;
    Database::Impl::Cached* cached_ = nullptr;
};

// The connection of this thread to the file, opened or reused; throws DbError.
std::shared_ptr<Database::Impl> cachedConnection(const QString& path);
// Closes this thread's idle connection to the file: Windows renames no file SQLite holds open.
void releaseConnections(const QString& path);
// The same for every thread's idle connection; false when one is in use right now (it stays).
bool releaseConnectionsEverywhere(const QString& path);
// A connection of its own, not shared. A file of an earlier version is brought up
// to date first, unless migrate is false (the file check reads it as it is).
std::shared_ptr<Database::Impl> connect(const QString& path, bool migrate = true);
// The file as one key, however its path was written.
QString canonicalDbPath(const QString& path);
// Throws the error of rc; an I/O-class failure retires the connection.
[[noreturn]] void fail(Database::Impl& impl, int rc);
void execOn(Database::Impl& impl, const char* sql);
// Bound and compared as a whole number: bool, int and their kin.
bool isWholeNumber(const QVariant& v);
void setBusyTimeout(int ms);
int busyTimeout();
void setPageCache(int kib);
// A new file's connection with its key set, before the schema exists.
std::shared_ptr<Database::Impl> createConnection(const QString& path);
// The raw key for a file's salt under the password in use (derived once per start).
QByteArray fileKey(const QByteArray& salt, Cipher cipher);
// A SQLCipher 3 file written anew in SQLCipher 4 and put in its place in one step, the file as it
// was kept beside it; the connection is closed. Throws DbError and leaves the file as it was.
void upgradeCipher(Database::Impl& impl);
// Measures a file of thousands of trades whose statistics are missing or outgrown, so that the
// planner uses the item number's index; without waiting for a lock, and a failure changes nothing.
void keepStatisticsCurrent(Database::Impl& impl);

}  // namespace gd
