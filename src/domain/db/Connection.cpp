#include "domain/db/Connection.h"

#include <openssl/evp.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "base/PerThread.h"
#include "base/SafeWrite.h"
#include "base/modFunktions.h"
#include "base/profile.h"
#include "domain/db/PgEngine.h"
#include "domain/db/Schema.h"
#include "domain/db/SearchFold.h"
#include "domain/db/SqliteError.h"
#include "domain/settings/modGlobal.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {

namespace {

// The program's built-in database password; a user may set one of their own.
const QByteArray kPassphrase = "kaltwind";
std::atomic<int> g_busyTimeoutMs{3000};
std::atomic<int> g_pageCacheKiB{65536};
QMutex g_passMutex;
QByteArray g_passphrase = kPassphrase;
// Connections made under an earlier password are not reused.
std::atomic<int> g_keyGeneration{0};

QByteArray currentPassphrase() {
    QMutexLocker lock(&g_passMutex);
    return g_passphrase;
}

// The derived key depends only on the password, the file's salt and its format: derived once per start.
// SQLCipher 4's derivation (PBKDF2-HMAC-SHA512, GD_KDF_ROUNDS: 256,000), so that its own tools open our
// files with the password; SQLCipher 3's (HMAC-SHA1, 64,000) for the files of earlier versions.
QByteArray rawKeyFor(const QByteArray& salt, const QByteArray& passphrase, Cipher cipher) {
    static QMutex mutex;
    static std::map<std::tuple<QByteArray, QByteArray, Cipher>, QByteArray> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.find({passphrase, salt, cipher});
    if (it != cache.end()) return it->second;
    // OpenSSL's PBKDF2 takes half the time of Qt's for the same key.
    QByteArray key(32, '\0');
    const bool v4 = cipher == Cipher::V4;
    if (PKCS5_PBKDF2_HMAC(passphrase.constData(), int(passphrase.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), int(salt.size()),
                          v4 ? GD_KDF_ROUNDS : 64000, v4 ? EVP_sha512() : EVP_sha1(), int(key.size()),
                          reinterpret_cast<unsigned char*>(key.data())) != 1)
        throw DbError(3051, QStringLiteral("Der Schlüssel der Datenbank kann nicht gebildet werden."));
    cache.emplace(std::make_tuple(passphrase, salt, cipher), key);
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

void applyKey(sqlite3* db, const QByteArray& key, const QByteArray& salt, Cipher cipher) {
    // Raw key (and salt on creation): no key derivation per open.
    const QByteArray pragma = "PRAGMA key = \"x'" + key.toHex() + salt.toHex() + "'\";";
    exec(db, pragma.constData());
    // SQLCipher would print each failed decryption (a file of the earlier format, a wrong password) to
    // stderr; the program says it in German.
    exec(db, "PRAGMA cipher_log_level = NONE;");
    // The settings pinned, so that a later SQLCipher reads the files alike.
    exec(db, cipher == Cipher::V4 ? "PRAGMA cipher_compatibility = 4;" : "PRAGMA cipher_compatibility = 3;");
}

void bindAll(sqlite3* db, sqlite3_stmt* st, const Params& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int rc = SQLITE_OK;
        if (v.isNull() || !v.isValid()) {
            rc = sqlite3_bind_null(st, i + 1);
        } else {
            if (isWholeNumber(v)) {
                rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
                if (rc != SQLITE_OK) throwSqlite(db, rc);
                continue;
            }
            switch (v.typeId()) {
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

std::optional<FileStamp> stampOf(const QString& path) { return fileIdentity(path); }

bool writableOnDisk(const QString& path) { return writableByUs(path); }

QByteArray saltOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(16);
}

constexpr std::size_t kMaxCachedStatements = 64;
constexpr std::size_t kMaxConnections = 4;

}  // namespace

[[noreturn]] void throwSqlite(sqlite3* db, int rc) {
    const auto msg = [](const char* t) { return QString::fromUtf8(t); };
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw DbError(kDatabaseLocked,
                          msg("Die Datenbank wird gerade von einem anderen Programm verwendet und ist gesperrt."));
        case SQLITE_READONLY:
            throw DbError(3051, msg("Die Datenbank ist schreibgeschützt."));
        case SQLITE_CANTOPEN:
            throw DbError(3051, msg("Die Datenbankdatei kann nicht geöffnet werden."));
        case SQLITE_NOTADB:
            throw DbError(3031,
                          msg("Das Kennwort der Datenbank ist falsch, oder die Datei ist keine Gaveldesk-Datenbank."));
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
            // A rule of ours (a trigger) says in German why: an issued invoice is not changed.
            if (db && sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_TRIGGER)
                throw DbError(3022, msg(sqlite3_errmsg(db)));
            throw DbError(3022, msg("Der Datensatz verletzt eine Regel der Datenbank (doppelter Schlüssel)."));
        default:
            throw DbError(
                3000 + (rc & 0xFF),
                QStringLiteral("Datenbankfehler (%1).").arg(msg(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
    }
}

[[noreturn]] void fail(Database::Impl& impl, int rc) {
    switch (rc & 0xFF) {
        case SQLITE_IOERR:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FULL:
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
            impl.stale = true;
            break;
        default:
            break;
    }
    throwSqlite(impl.db, rc);
}

void execOn(Database::Impl& impl, const char* sql) {
    const int rc = sqlite3_exec(impl.db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(impl, rc);
}

bool isWholeNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

void setBusyTimeout(int ms) { g_busyTimeoutMs = ms; }
int busyTimeout() { return g_busyTimeoutMs; }
void setPageCache(int kib) { g_pageCacheKiB = kib; }

Database::Impl::~Impl() {
    for (auto& [sql, c] : statements) sqlite3_finalize(c.stmt);
    if (db) sqlite3_close_v2(db);
}

Statement::Statement(Database::Impl& impl, const QString& sql) : db_(impl.db) {
    auto it = impl.statements.find(sql);
    if (it != impl.statements.end() && !it->second.busy) {
        cached_ = &it->second;
    } else {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(impl.db, text.constData(), int(text.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            fail(impl, rc);
        }
        if (it == impl.statements.end() && impl.statements.size() < kMaxCachedStatements)
            cached_ = &impl.statements.emplace(sql, Database::Impl::Cached{stmt, false}).first->second;
    }
    if (cached_) {
        cached_->busy = true;
        stmt = cached_->stmt;
    }
}

Statement::~Statement() {
    if (cached_) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        cached_->busy = false;
    } else {
        sqlite3_finalize(stmt);
    }
}

void Statement::bind(const Params& params) {
    if (sqlite3_bind_parameter_count(stmt) != params.size())
        throw DbError(3061, QStringLiteral("Zu wenige Parameter."));
    bindAll(db_, stmt, params);
}

QString canonicalDbPath(const QString& path) {
    // Asked before every operation; resolving a path costs a system call per folder.
    // Only a key: the file behind it is compared by its identity each time anyway.
    static PerThread<QHash<QString, QString>> perThread;
    QHash<QString, QString>& known = perThread.get();
    const auto it = known.constFind(path);
    if (it != known.constEnd()) return it.value();
    const QString c = QFileInfo(path).canonicalFilePath();
    if (c.isEmpty()) return QFileInfo(path).absoluteFilePath();  // not there (yet): asked again next time
    if (known.size() > 64) known.clear();
    known.insert(path, c);
    return c;
}

Status refuseNetworkShare(const QString& path) {
    if (path.isEmpty() || isServerAddress(path)) return {};
    const QString kind = networkFileSystem(path);
    if (kind.isEmpty()) return {};
    return Error::from(
        QStringLiteral("Die Datenbank kann nicht geöffnet werden:"),
        DbError(3050, QStringLiteral("Die Datenbank '%1' liegt auf einem Netzlaufwerk (%2). Dort halten die Sperren "
                                     "der Datenbankdatei nicht, und sobald zwei Plätze gleichzeitig schreiben, wird "
                                     "sie beschädigt; Gaveldesk öffnet sie deshalb nicht. Für einen Platz legen Sie "
                                     "die Datei auf die eigene Festplatte. Für mehrere Plätze richten Sie einen "
                                     "PostgreSQL-Server ein und übertragen die Daten mit „gaveldesk --database "
                                     "DATEI --move-to postgresql://benutzer@server/datenbank“.")
                          .arg(path, kind)));
}

namespace {

// A file of an earlier version is brought to the current one on its first open:
// checked, copied beside itself ("<name>.v1.bak"), then changed in one
// transaction. Any failure leaves it as it was.
void migrateToCurrent(Database::Impl& impl, int from) {
    const QString& path = impl.path;
    const auto refused = [&](int number, const QString& cause) {
        return DbError(number,
                       QStringLiteral("Die Datenbank '%1' stammt von einer früheren Programmversion (Version %2) "
                                      "und muss für diese Version umgestellt werden. Das ist nicht gelungen: %3 "
                                      "Die Datei ist unverändert.")
                           .arg(path)
                           .arg(from)
                           .arg(cause));
    };
    // Nothing is written into a damaged file; this check has no time bound, a migration needs it whole.
    CheckLimits whole;
    whole.maxMs = std::numeric_limits<int>::max();
    const Status intact = checkDatabase(path, whole);
    if (!intact.ok()) throw refused(kDatabaseDamaged, intact.error().sentence);
    try {
        execOn(impl, "BEGIN EXCLUSIVE;");
    } catch (const RunError& e) {
        throw refused(e.number(), e.description());
    }
    const auto undo = [&] { sqlite3_exec(impl.db, "ROLLBACK;", nullptr, nullptr, nullptr); };
    int now = from;
    try {
        now = schemaVersion(impl.db);  // another instance may have been quicker
    } catch (const RunError& e) {
        undo();
        throw refused(e.number(), e.description());
    }
    if (now < kSchemaVersion) {
        const Status copied = copyFileSafely(path, path + QStringLiteral(".v%1.bak").arg(now));
        if (!copied.ok()) {
            undo();
            throw refused(3043, copied.error().sentence + QLatin1Char(' ') + copied.error().description);
        }
    }
    try {
        if (now < kSchemaVersion) migrateSchema(impl.db, now);
        execOn(impl, "COMMIT;");
    } catch (const RunError& e) {
        undo();
        throw refused(e.number(), e.description());
    }
}

// The file opened and keyed in the given format, its page cache and lock wait set; nothing read yet.
void openKeyed(Database::Impl& impl, Cipher cipher) {
    if (impl.db) sqlite3_close_v2(impl.db);
    impl.db = nullptr;
    impl.cipher = cipher;
    const int rc = sqlite3_open_v2(impl.path.toUtf8().constData(), &impl.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) throwSqlite(impl.db, rc);
    sqlite3_extended_result_codes(impl.db, 0);
    applyKey(impl.db, fileKey(impl.salt, cipher), QByteArray(), cipher);
    // Before the first statement: with a key set, even a pragma reads the first page, and a file
    // another program is just committing to must be waited for, not called locked.
    sqlite3_busy_timeout(impl.db, g_busyTimeoutMs);
    // Room for the list pages of 100,000 trades, kept between operations while the file is unchanged.
    // The size also bounds what a sort holds in memory before it goes to a temporary file.
    const QByteArray cache = "PRAGMA cache_size = -" + QByteArray::number(g_pageCacheKiB.load()) + ';';
    exec(impl.db, cache.constData());
    addFoldFunction(impl.db);
}

}  // namespace

std::shared_ptr<Database::Impl> connect(const QString& path, bool migrate) {
    if (isServerAddress(path)) {
        auto impl = std::make_shared<Database::Impl>();
        impl->path = path;
        impl->pg = pgConnect(path, settingsLogin(), migrate);
        return impl;
    }
    if (path.isEmpty())
        throw DbError(3044, QStringLiteral("Es ist keine Datenbank eingestellt, und neben dem Programm liegt keine "
                                           "Datenbankdatei."));
    const QFileInfo info(path);
    if (info.isDir())
        throw DbError(3024, QStringLiteral("Unter dem Pfad der Datenbank '%1' liegt ein Ordner, keine Datei.")
                                .arg(QDir::toNativeSeparators(path)));
    if (!info.exists())
        throw DbError(
            3024, QStringLiteral("Die Datenbankdatei '%1' wurde nicht gefunden.").arg(QDir::toNativeSeparators(path)));
    const std::optional<FileStamp> stamp = stampOf(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(3051, QStringLiteral("Die Datenbankdatei '%1' kann nicht gelesen werden: Es fehlt die "
                                           "Berechtigung.")
                                .arg(QDir::toNativeSeparators(path)));
    const QByteArray salt = f.read(16);
    f.close();
    if (salt.size() < 16) throwSqlite(nullptr, SQLITE_NOTADB);

    auto impl = std::make_shared<Database::Impl>();
    impl->path = path;
    impl->salt = salt;
    if (stamp) impl->stamp = *stamp;
    impl->writable = writableOnDisk(path);
    impl->keyGeneration = g_keyGeneration;
    int version = 0;
    try {
        // The first read (already the page cache's pragma) proves the key; a wrong one or a foreign file fails.
        openKeyed(*impl, Cipher::V4);
        version = checkSchema(impl->db);
    } catch (const RunError& e) {
        // Not SQLCipher 4 under this password: perhaps a file of an earlier version, in SQLCipher 3.
        if (e.number() != kWrongKey) throw;
        const std::exception_ptr first = std::current_exception();
        try {
            openKeyed(*impl, Cipher::V3);
            version = checkSchema(impl->db);
        } catch (const RunError&) {
            std::rethrow_exception(first);
        }
    }
    if (impl->cipher == Cipher::V3 && migrate && impl->writable) {
        upgradeCipher(*impl);
        return connect(path, migrate);
    }
    if (migrate && version < kSchemaVersion) migrateToCurrent(*impl, version);
    if (migrate && impl->writable) keepStatisticsCurrent(*impl);
    return impl;
}

std::shared_ptr<Database::Impl> createConnection(const QString& path) {
    auto impl = std::make_shared<Database::Impl>();
    impl->path = path;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &impl->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) throwSqlite(impl->db, rc);
    const QByteArray salt = creationSalt();
    applyKey(impl->db, fileKey(salt, Cipher::V4), salt, Cipher::V4);
    return impl;
}

// One connection per file and thread, kept between operations. It holds no lock
// while idle, so other programs may write; before each use the file's identity
// is compared, and a file replaced on disk (a restore, a copy by the user) gets
// a new connection, as if the file were opened per operation.
// Each thread's cache is known to all, so that a restore can close what idle threads keep open
// (Windows renames no file SQLite holds open); its own thread takes its lock, uncontended.
namespace {
struct ThreadConnections;
QMutex g_threadsMutex;
QList<ThreadConnections*> g_threads;
struct ThreadConnections {
    QMutex mutex;
    std::vector<std::pair<QString, std::shared_ptr<Database::Impl>>> entries;
    ThreadConnections() {
        const QMutexLocker lock(&g_threadsMutex);
        g_threads.append(this);
    }
    ~ThreadConnections() {
        const QMutexLocker lock(&g_threadsMutex);
        g_threads.removeOne(this);
    }
};
// A thread's connections close while it still runs: on Windows, closing them in a thread_local
// destructor (after the thread's storage was returned) broke the heap.
ThreadConnections& threadConnections() {
    static PerThread<ThreadConnections> perThread;
    return perThread.get();
}
QString cacheKey(const QString& path) { return isServerAddress(path) ? path : canonicalDbPath(path); }
}  // namespace

void releaseConnections(const QString& path) {
    ThreadConnections& mine = threadConnections();
    const QMutexLocker lock(&mine.mutex);
    const QString key = cacheKey(path);
    std::erase_if(mine.entries, [&](const auto& e) { return e.first == key; });
}

bool releaseConnectionsEverywhere(const QString& path) {
    threadConnections();  // registered before the list is locked
    const QString key = cacheKey(path);
    bool idle = true;
    const QMutexLocker all(&g_threadsMutex);
    for (ThreadConnections* t : std::as_const(g_threads)) {
        const QMutexLocker lock(&t->mutex);
        std::erase_if(t->entries, [&](const auto& e) {
            if (e.first != key) return false;
            if (e.second.use_count() > 1) idle = false;  // in use right now: left alone
            return e.second.use_count() == 1;
        });
    }
    return idle;
}

std::shared_ptr<Database::Impl> cachedConnection(const QString& path) {
    ThreadConnections& mine = threadConnections();
    const QMutexLocker lock(&mine.mutex);
    auto& cache = mine.entries;
    if (isServerAddress(path)) {
        // Kept while it works; a lost one is replaced by a new connection on the next operation.
        const auto it = std::find_if(cache.begin(), cache.end(), [&](const auto& e) { return e.first == path; });
        if (it != cache.end()) {
            if (!it->second->stale && !pgBroken(*it->second->pg)) return it->second;
            cache.erase(it);
        }
        std::shared_ptr<Database::Impl> impl = connect(path);
        cache.insert(cache.begin(), {path, impl});
        if (cache.size() > kMaxConnections) cache.pop_back();
        return impl;
    }
    const QString key = path.isEmpty() ? path : canonicalDbPath(path);
    const auto it = std::find_if(cache.begin(), cache.end(), [&](const auto& e) { return e.first == key; });
    if (it != cache.end()) {
        std::shared_ptr<Database::Impl> impl = it->second;
        std::optional<FileStamp> now = stampOf(path);
        if (impl->keyGeneration != g_keyGeneration) now.reset();  // made with another password
        if (now && !impl->stale && *now == impl->stamp) {
            sqlite3_busy_timeout(impl->db, g_busyTimeoutMs);
            return impl;
        }
        // Changed. Written by another program: SQLite sees that itself. Replaced,
        // or its permissions changed: a new connection, as a fresh open would be.
        if (now && !impl->stale && now->sameFile(impl->stamp) && writableOnDisk(path) == impl->writable &&
            QFileInfo(path).isFile() && saltOf(path) == impl->salt) {
            impl->stamp = *now;
            sqlite3_busy_timeout(impl->db, g_busyTimeoutMs);
            return impl;
        }
        cache.erase(it);
    }
    std::shared_ptr<Database::Impl> impl = connect(path);
    cache.insert(cache.begin(), {key, impl});
    if (cache.size() > kMaxConnections) cache.pop_back();
    return impl;
}

namespace {
// Later opens use it; connections made under the one before are not reused.
void usePassphrase(const QByteArray& passphrase) {
    {
        QMutexLocker lock(&g_passMutex);
        g_passphrase = passphrase;
    }
    ++g_keyGeneration;
}
}  // namespace

void setDatabasePassphrase(const QString& passphrase) {
    usePassphrase(passphrase.isEmpty() ? kPassphrase : passphrase.toUtf8());
}

QByteArray fileKey(const QByteArray& salt, Cipher cipher) { return rawKeyFor(salt, currentPassphrase(), cipher); }

bool hasOwnPassphrase() { return currentPassphrase() != kPassphrase; }

QString databasePassphrase() { return hasOwnPassphrase() ? QString::fromUtf8(currentPassphrase()) : QString(); }

bool opensWithCurrentPassphrase(const QString& path) {
    try {
        connect(path, false);
        return true;
    } catch (const RunError& e) {
        // Only a wrong key says so; any other fault is the first real open's to report.
        return e.number() != 3031;  // SQLITE_NOTADB
    }
}

Status changeDatabasePassphrase(const QString& path, const QString& passphrase) {
    if (isServerAddress(path))
        return Error::plain(
            QStringLiteral("Eine Datenbank auf einem Server hat kein Kennwort von Gaveldesk: Dort "
                           "gilt das Kennwort des Server-Benutzers, und die Verbindung ist "
                           "verschlüsselt. Ändern Sie es auf dem Server."));
    const QByteArray next = passphrase.isEmpty() ? kPassphrase : passphrase.toUtf8();
    const QString notChanged = QStringLiteral("Das Kennwort der Datenbank wurde nicht geändert:");
    // Every page is written anew while the journal keeps the old ones: about the file's size once more.
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    const qint64 needed = QFileInfo(path).size() + (1 << 20);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < needed)
        return Error{notChanged, 3026,
                     QStringLiteral("Der Datenträger ist voll. Für das neue Kennwort braucht Gaveldesk etwa %1 MB frei "
                                    "neben der Datenbank, frei sind %2 MB; sie hat weiter ihr bisheriges Kennwort.")
                         .arg((needed + (1 << 20) - 1) >> 20)
                         .arg(disk.bytesAvailable() >> 20)};
    try {
        std::shared_ptr<Database::Impl> c = connect(path, false);
        // One transaction re-encrypts every page: a kill leaves the old key or the new one, never a mix.
        const QByteArray pragma = "PRAGMA rekey = \"x'" + rawKeyFor(c->salt, next, c->cipher).toHex() + "'\";";
        exec(c->db, pragma.constData());
        usePassphrase(next);
        c.reset();
        connect(path, false);  // the new key opens it
        return {};
    } catch (const RunError& e) {
        // A write that failed half-way reads back as "not a database": the old key still opens it.
        if (e.number() == kWrongKey && opensWithCurrentPassphrase(path))
            return Error{notChanged, 3043,
                         QStringLiteral("Die Datei ließ sich nicht neu schreiben (ist der Datenträger voll?); sie hat "
                                        "weiter ihr bisheriges Kennwort.")};
        return Error::from(notChanged, e);
    }
}

Result<bool> unlockDatabase(const QString& path, const QString& userPassword, const QString& configIni) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return true;
    // Shorter than one page no key opens it: said as what it is, not as a question of the password.
    if (const qint64 size = QFileInfo(path).size(); size < kSmallestDatabase)
        return Error{QStringLiteral("Die Datenbank '%1' ist leer oder abgeschnitten (%2 Byte); sie enthält keine Daten "
                                    "von Gaveldesk.")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(size),
                     0,
                     QStringLiteral("Spielen Sie Ihre letzte Datensicherung ein (Einstellungen → Wiederherstellen…, "
                                    "auf der Kommandozeile --restore) oder legen Sie eine neue Datenbank an.")};
    const QByteArray inUse = currentPassphrase();
    // Whatever the settings say: an interrupted change or restore may have left them behind the file.
    QList<QByteArray> tries{inUse};
    if (inUse != kPassphrase) tries << kPassphrase;
    if (!userPassword.isEmpty() && !tries.contains(userPassword.toUtf8())) tries << userPassword.toUtf8();
    for (const QByteArray& p : tries) {
        usePassphrase(p);
        if (!opensWithCurrentPassphrase(path)) continue;
        const bool own = p != kPassphrase;
        QString recordedText;
        win::GetPrivateProfileString(QStringLiteral("Datenbank"), QStringLiteral("EigenesKennwort"), QString(),
                                     recordedText, 255, configIni);
        const std::optional<bool> recorded = textToBool(recordedText);
        if (recorded.value_or(false) != own && !rememberPassphraseKind(configIni))
            return Error::plain(QStringLiteral("Die Einstellungsdatei '%1' kann nicht geschrieben werden.")
                                    .arg(QDir::toNativeSeparators(configIni)));
        return true;
    }
    usePassphrase(inUse);
    return false;
}

bool rememberPassphraseKind(const QString& configIni) {
    return win::WritePrivateProfileString(QStringLiteral("Datenbank"), QStringLiteral("EigenesKennwort"),
                                          hasOwnPassphrase() ? QStringLiteral("Wahr") : QStringLiteral("Falsch"),
                                          configIni);
}

}  // namespace gd
