#include "domain/db/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "base/AppPath.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "base/profile.h"
#include "domain/db/Connection.h"
#include "domain/db/Database.h"
#include "domain/db/Documents.h"
#include "domain/db/Move.h"
#include "domain/db/SqliteError.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

const QString kFilesTable = QStringLiteral("Sicherung_Dateien");

QString cannotBackUp(const QString& target) {
    return QStringLiteral("Die Datensicherung '%1' konnte nicht geschrieben werden:")
        .arg(QDir::toNativeSeparators(target));
}

// The settings: the files directly in bin/ (INI files and templates).
const QStringList kSettingsPatterns{QStringLiteral("*.ini"), QStringLiteral("*.dat"), QStringLiteral("*.datV")};
// Far above any settings file or template; what a restore takes back is bounded by it.
constexpr qint64 kMostSettingsBytes = 4 * 1024 * 1024;

QStringList settingsFiles(const QString& folder) {
    return QDir(folder).entryList(kSettingsPatterns, QDir::Files, QDir::Name);
}

// config.ini without the passwords of the mail accounts: a backup travels (a stick, a cloud
// folder), the accounts' passwords stay on this machine.
QByteArray withoutSecrets(const QByteArray& ini) {
    QByteArray out;
    bool konto = false;
    for (const QByteArray& line : ini.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.startsWith('[')) konto = t.toLower().startsWith("[konto]") || t.toLower().startsWith("[posteingang]");
        const qsizetype eq = t.indexOf('=');
        if (konto && eq > 0 && t.left(eq).trimmed().toLower() == "kennwort") continue;
        out += line + '\n';
    }
    out.chop(1);
    return out;
}

// Every page in one step: a reader's snapshot of the file, whatever writers do meanwhile.
// A writer in the middle of its commit holds the file for a moment: try again.
// Each page is read once: a small cache on both sides, else the copy holds the file twice
// in memory (and the source's cache keeps it after). The connections' own size comes back after.
class SmallCache {
public:
    explicit SmallCache(sqlite3* db) : db_(db) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA cache_size;", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            before_ = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_exec(db, "PRAGMA cache_size = -1024;", nullptr, nullptr, nullptr);
    }
    ~SmallCache() {
        sqlite3_exec(db_, "PRAGMA shrink_memory;", nullptr, nullptr, nullptr);
        const QByteArray back = "PRAGMA cache_size = " + QByteArray::number(before_) + ';';
        sqlite3_exec(db_, back.constData(), nullptr, nullptr, nullptr);
    }
    SmallCache(const SmallCache&) = delete;
    SmallCache& operator=(const SmallCache&) = delete;

private:
    sqlite3* db_;
    int before_ = -2000;
};

// In pieces of 4 MB: a stop asked for (the program closes) ends it within a piece, and a writer
// gets in between pieces (a change to the file starts the copy anew, so it stays consistent).
void copyPages(sqlite3* from, sqlite3* to, const std::atomic<bool>* stop) {
    const SmallCache small(from), smallToo(to);
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) throwSqlite(to, sqlite3_errcode(to));
    int rc = SQLITE_OK;
    int restarts = 0, left = std::numeric_limits<int>::max();
    for (int busy = 0; busy < 200;) {
        if (stop && *stop) {
            sqlite3_backup_finish(b);
            throw DbError(3001, QStringLiteral("Die Sicherung wurde abgebrochen."));
        }
        // A file written without pause would restart it for ever: then the rest in one step.
        rc = sqlite3_backup_step(b, restarts > 20 ? -1 : 4096);
        if (rc == SQLITE_OK) {
            if (sqlite3_backup_remaining(b) > left) ++restarts;
            left = sqlite3_backup_remaining(b);
            continue;
        }
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
        ++busy;
        QThread::msleep(50);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) throw DbError(3001, QString::fromUtf8(sqlite3_errstr(rc)));
}

// Issued documents a restore did not take away, named: they keep their numbers, the series goes on after them.
void noteKeptDocuments(const QStringList& inBackup, const QStringList& after, bool server, QStringList& notes) {
    const QSet<QString> had(inBackup.begin(), inBackup.end());
    QStringList kept;
    for (const QString& n : after)
        if (!had.contains(n)) kept << n;
    if (kept.isEmpty()) return;
    const bool one = kept.size() == 1;
    const QString where = server ? (one ? QStringLiteral("er bleibt auf dem Server erhalten")
                                        : QStringLiteral("sie bleiben auf dem Server erhalten"))
                                 : (one ? QStringLiteral("er wurde aus dem Belegarchiv übernommen")
                                        : QStringLiteral("sie wurden aus dem Belegarchiv übernommen"));
    notes << QStringLiteral(
                 "%1 %2 %3 in der Sicherung; %4. Ausgestellte Belege bleiben gültig; die nächste Rechnung "
                 "erhält die nächste freie Nummer.")
                 .arg(one ? QStringLiteral("Der Beleg") : QStringLiteral("Die Belege"), kept.join(QStringLiteral(", ")),
                      one ? QStringLiteral("fehlte") : QStringLiteral("fehlten"), where);
}

// POSIX rename: the target is replaced in one step or not at all.
bool replaceFile(const QString& from, const QString& to) {
    releaseConnections(from);
    releaseConnections(to);
    return renameOver(from, to);
}

}  // namespace

QStringList backupsIn(const QString& folder) {
    QStringList out;
    for (const QFileInfo& f :
         QDir(folder).entryInfoList({QStringLiteral("*") + QString::fromLatin1(kBackupSuffix)}, QDir::Files))
        out << f.absoluteFilePath();
    return out;
}

QString backupFolder() { return AppPath() + QStringLiteral("/Sicherungen"); }

Status writeBackup(const QString& dbPath, const QString& settingsFolder, const QString& target,
                   const std::atomic<bool>* stop) {
    const QString temp = target + QString::fromLatin1(kTemporarySuffix) + QStringLiteral("sicherung");
    QFile::remove(temp);
    try {
        if (!makePrivateFolder(QFileInfo(target).absolutePath()))
            return Error::plain(cannotBackUp(target) +
                                QStringLiteral(" Der Ordner fehlt und kann nicht angelegt werden."));
        // A server's rows, read in one transaction, make the same file as a file's pages.
        if (isServerAddress(dbPath)) {
            const Result<QStringList> copied = copyDatabase(dbPath, temp);
            if (!copied.ok()) throw DbError(copied.error().number, copied.error().message());
        } else {
            Database::create(temp);
        }
        const WritingMark writing(temp);
        if (!isServerAddress(dbPath)) {
            Database source = Database::open(dbPath);
            Database copy = Database::open(temp);
            try {
                copyPages(source.handle(), copy.handle(), stop);
            } catch (const RunError& e) {
                // The page copy reads every page: a damaged one is named as damage, in German.
                if (stop && *stop) throw;
                CheckLimits whole;
                whole.maxMs = 60000;
                whole.stop = stop;
                const Status intact = checkDatabase(dbPath, whole);
                if (!intact.ok()) throw DbError(intact.error().number, intact.error().sentence);
                throw;
            }
        }
        {
            Transaction tx(temp);
            Database files = tx.database();
            files.execute(QStringLiteral("CREATE TABLE ") + kFilesTable +
                          QStringLiteral(" (Datei TEXT PRIMARY KEY, Inhalt BLOB)"));
            for (const QString& name : settingsFiles(settingsFolder)) {
                QFile f(settingsFolder + QLatin1Char('/') + name);
                if (!f.open(QIODevice::ReadOnly))
                    throw DbError(3043, QStringLiteral("Die Datei '%1' kann nicht gelesen werden.")
                                            .arg(QDir::toNativeSeparators(f.fileName())));
                const QByteArray bytes = name.compare(QStringLiteral("config.ini"), Qt::CaseInsensitive) == 0
                                             ? withoutSecrets(f.readAll())
                                             : f.readAll();
                files.execute(QStringLiteral("INSERT INTO ") + kFilesTable + QStringLiteral(" VALUES (?, ?)"),
                              {name, bytes});
            }
            tx.commit();
        }
        // The copy's connections are closed before it takes the target's place.
        Database::open(temp).Close();
        if (!replaceFile(temp, target)) {
            QFile::remove(temp);
            return Error::plain(cannotBackUp(target) + QLatin1Char(' ') + fileErrorReason(errno, target));
        }
        return {};
    } catch (const RunError& e) {
        QFile::remove(temp);
        return Error::from(cannotBackUp(target), e);
    }
}

namespace {

const QString kRestoreJournal = QStringLiteral("wiederherstellung.gdjournal");
// The copies an opening of an earlier version leaves beside the file ("<file>.v7.bak").
void dropVersionCopies(const QString& file) {
    const QFileInfo f(file);
    for (const QString& name :
         f.dir().entryList({f.fileName() + QStringLiteral(".v*.bak")}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(f.dir().filePath(name));
}

const QString kRestoreSuffix = QString::fromLatin1(kTemporarySuffix) + QStringLiteral("wiederherstellen");

// Puts every file of an unfinished restore in place, as its journal lists them ("copy TAB
// target" a line); each rename is whole, so doing it again after a kill is safe.
Status applyJournal(const QString& journal) {
    QFile f(journal);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    QStringList folders;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 2) continue;
        const QString from = QString::fromUtf8(parts[0]), to = QString::fromUtf8(parts[1]);
        if (QFileInfo::exists(from) && !replaceFile(from, to))
            return Error::plain(QStringLiteral("'%1' kann nicht an seinen Platz gelegt werden: %2")
                                    .arg(QDir::toNativeSeparators(to), fileErrorReason(errno, to)));
        if (!folders.contains(QFileInfo(to).absolutePath())) folders << QFileInfo(to).absolutePath();
    }
    // Every rename on the disk before the journal goes: a power cut cannot leave half.
    for (const QString& folder : folders) syncFolder(folder);
    QFile::remove(journal);
    syncFolder(QFileInfo(journal).absolutePath());
    return {};
}

// The restored config.ini names the restored database and the password it is under now;
// the mail accounts' passwords, which no backup holds, come from the settings it replaces.
void adjustRestoredSettings(const QString& config, const QString& present, const QString& dbPath,
                            const QString& defaultDb) {
    QList<win::ProfileWrite> writes;
    const bool atDefault = QFileInfo(dbPath).absoluteFilePath() == QFileInfo(defaultDb).absoluteFilePath();
    writes.append({QStringLiteral("Main"), QStringLiteral("Database"),
                   atDefault ? win::OptString() : win::OptString(QFileInfo(dbPath).absoluteFilePath())});
    writes.append({QStringLiteral("Datenbank"), QStringLiteral("EigenesKennwort"),
                   hasOwnPassphrase() ? QStringLiteral("Wahr") : QStringLiteral("Falsch")});
    for (const QString& section : {QStringLiteral("Konto"), QStringLiteral("Posteingang")}) {
        QString restored, kept;
        win::GetPrivateProfileString(section, QStringLiteral("Kennwort"), QString(), restored, 4096, config);
        win::GetPrivateProfileString(section, QStringLiteral("Kennwort"), QString(), kept, 4096, present);
        if (restored.isEmpty() && !kept.isEmpty()) writes.append({section, QStringLiteral("Kennwort"), kept});
    }
    win::WritePrivateProfileStrings(writes, config);
}

}  // namespace

Status finishUnfinishedRestore(const QString& settingsFolder) {
    const QString journal = settingsFolder + QLatin1Char('/') + kRestoreJournal;
    if (!QFileInfo::exists(journal) || beingWritten(journal)) return {};
    const Status done = applyJournal(journal);
    if (!done.ok())
        return Error{QStringLiteral("Eine unterbrochene Wiederherstellung konnte nicht beendet werden:"), 0,
                     done.error().sentence};
    return {};
}

Result<QString> restoreBackup(const QString& backupFile, const QString& dbPath, const QString& settingsFolder,
                              const QString& keepFolder, const QString& backupPassword, bool* wrongPassword,
                              QStringList* notes) {
    if (wrongPassword) *wrongPassword = false;
    QStringList said;
    if (!notes) notes = &said;
    const bool server = isServerAddress(dbPath);
    const QString temp = (server ? settingsFolder + QStringLiteral("/gaveldesk") : dbPath) + kRestoreSuffix;
    const QString refused =
        QStringLiteral("Die Datensicherung '%1' wurde nicht eingespielt:").arg(QDir::toNativeSeparators(backupFile));
    QFile::remove(temp);
    if (!QFileInfo(backupFile).isFile()) return Error{refused, 0, QStringLiteral("Die Datei gibt es nicht.")};
    // What the window's other threads keep open is closed first; one at work right now (a check, the
    // daily backup) would keep the file from being swapped: then nothing starts.
    if (!server && !releaseConnectionsEverywhere(dbPath))
        return Error{refused, 0,
                     QStringLiteral("Die Datenbank wird gerade im Hintergrund gelesen (Prüfung oder tägliche "
                                    "Datensicherung). Bitte versuchen Sie es in einer Minute noch einmal; es wurde "
                                    "nichts verändert.")};
    const Status copied = copyFileSafely(backupFile, temp);
    if (!copied.ok())
        return Error{refused, 0,
                     copied.error().description.isEmpty() ? copied.error().sentence : copied.error().description};
    const WritingMark writing(temp);
    QList<std::pair<QString, QByteArray>> files;
    const QString present = databasePassphrase();
    // The password it was made under: the one given, the present one, or the program's own
    // (a backup from before the user chose a password of their own).
    QStringList tries;
    if (!backupPassword.isEmpty()) tries << backupPassword;
    tries << present;
    if (!present.isEmpty()) tries << QString();
    std::optional<QString> madeUnder;
    try {
        for (const QString& p : tries) {
            setDatabasePassphrase(p);
            if (!opensWithCurrentPassphrase(temp)) continue;
            madeUnder = p;
            break;
        }
        if (!madeUnder) throw DbError(kWrongKey, QStringLiteral("Die Datensicherung hat ein anderes Kennwort."));
        // Opening checks the tables and the version; then every page.
        clearDamaged(temp);
        Database::open(temp).Close();
        // A backup of an earlier version was brought up to date in the copy: the backup file is
        // the earlier state, so the copy's own copy of it goes.
        dropVersionCopies(temp);
        const Status whole = checkDatabase(temp, {60000, nullptr, 1LL << 40});
        clearDamaged(temp);  // the temporary copy's mark: it is removed below either way
        if (!whole.ok()) throw DbError(3049, whole.error().description);
        Database db = Database::open(temp);
        if (!db.exists(QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ?"), {kFilesTable}))
            throw DbError(3078,
                          QStringLiteral("Die Datei ist eine Datenbank, aber keine Datensicherung von Gaveldesk."));
        // Only what a backup holds: settings and templates of bounded size, never a path outside bin/.
        const QList<std::pair<QString, qint64>> kept =
            db.allRows(QStringLiteral("select Datei, length(Inhalt) from ") + kFilesTable, {},
                       [](const DbRow& r) { return std::pair(r.text(0), r.int64(1)); });
        qint64 total = 0;
        for (const auto& [stored, length] : kept) {
            const QString name = QFileInfo(stored).fileName();
            if (name.isEmpty() || !QDir::match(kSettingsPatterns, name)) continue;
            total += length;
            if (length > kMostSettingsBytes || total > 4 * kMostSettingsBytes || files.size() >= 1000)
                throw DbError(3078, QStringLiteral("Die Datensicherung enthält mehr Einstellungen, als eine Sicherung "
                                                   "von Gaveldesk je hat (bei „%1“); sie wird nicht zurückgeholt.")
                                        .arg(name));
            files.append({name, db.firstRow(QStringLiteral("select Inhalt from ") + kFilesTable +
                                                QStringLiteral(" where Datei = ?"),
                                            {stored}, [](const DbRow& r) { return r.value(0).toByteArray(); })
                                    .value_or(QByteArray())});
        }
        db.execute(QStringLiteral("DROP TABLE ") + kFilesTable);
        db.Close();
    } catch (const RunError& e) {
        setDatabasePassphrase(present);
        QFile::remove(temp);
        dropVersionCopies(temp);
        if (wrongPassword) *wrongPassword = e.number() == kWrongKey;
        return Error::from(refused, e);
    }
    // Made under another password: the copy takes the present one, so the program opens it as before.
    // A password of the user's is never lowered to the program's public one: then the restored file
    // keeps the backup's, and the program asks for it from now on.
    const bool keepsOwn = !server && present.isEmpty() && !madeUnder->isEmpty();
    if (*madeUnder != present && !keepsOwn) {
        const Status rekeyed = changeDatabasePassphrase(temp, present);
        setDatabasePassphrase(present);
        if (!rekeyed.ok()) {
            QFile::remove(temp);
            return Error{refused, 0, rekeyed.error().message()};
        }
    }
    setDatabasePassphrase(keepsOwn ? *madeUnder : present);
    // What was issued stays issued: the archive's documents the backup lacks go back into it, and
    // a server keeps its own (they cannot be removed there).
    const QStringList inBackup = documentNumbers(temp);
    if (!server) {
        const Result<QStringList> back = bringBackDocuments(temp, documentArchive(dbPath));
        releaseConnections(temp);
        setDatabasePassphrase(present);
        if (!back.ok()) {
            QFile::remove(temp);
            return Error{refused, 0, back.error().message()};
        }
        for (const QString& line : back.value())
            if (!line.endsWith(QStringLiteral("übernommen."))) *notes << line;
    }
    // The present state first, as a backup of its own: nothing is lost if the user chose the wrong file.
    QString kept;
    if (server || QFileInfo::exists(dbPath)) {
        const QString stamp =
            QStringLiteral("vor-Wiederherstellung-") + now().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
        kept = keepFolder + QLatin1Char('/') + stamp + QString::fromLatin1(kBackupSuffix);
        const Status saved = writeBackup(dbPath, settingsFolder, kept);
        if (!saved.ok()) {
            // A damaged file (or one no key opens) cannot be copied page by page; its bytes are
            // kept as they are, so the advised way out of damage works.
            kept = keepFolder + QLatin1Char('/') + stamp;
            Status copiedAside = makePrivateFolder(kept)
                                     ? copyFileSafely(dbPath, kept + QLatin1Char('/') + QFileInfo(dbPath).fileName())
                                     : Status(Error::plain(QStringLiteral("Der Ordner '%1' kann nicht angelegt werden.")
                                                               .arg(QDir::toNativeSeparators(kept))));
            for (const QString& name : settingsFiles(settingsFolder))
                if (copiedAside.ok())
                    copiedAside =
                        copyFileSafely(settingsFolder + QLatin1Char('/') + name, kept + QLatin1Char('/') + name);
            if (!copiedAside.ok()) {
                QFile::remove(temp);
                return Error{refused, 0,
                             QStringLiteral("Der jetzige Stand ließ sich nicht sichern: ") + saved.error().message() +
                                 QLatin1Char(' ') + copiedAside.error().message()};
            }
        }
    }
    // A server takes the rows in one transaction: all of them or none. The settings of this seat stay.
    if (server) {
        const Result<QStringList> moved = copyDatabase(temp, dbPath, MoveTarget::Replace);
        releaseConnections(temp);
        QFile::remove(temp);
        if (!moved.ok()) return Error{refused, 0, moved.error().message()};
        noteKeptDocuments(inBackup, documentNumbers(dbPath), true, *notes);
        return kept;
    }
    // Every file beside its place first, then all of them put in place from a journal: a
    // kill leaves the old state whole, or a journal the next start finishes.
    QStringList journal{temp + QLatin1Char('\t') + dbPath};
    const QString defaultDb =
        QFileInfo(settingsFolder).absolutePath() + QLatin1Char('/') + ExeName() + QStringLiteral(".mdb");
    const auto discard = [&] {
        for (const QString& l : journal) QFile::remove(l.section(QLatin1Char('\t'), 0, 0));
    };
    std::vector<std::unique_ptr<WritingMark>> marks;
    for (const auto& [name, bytes] : files) {
        const QString target = settingsFolder + QLatin1Char('/') + name;
        const QString beside = target + kRestoreSuffix;
        Status w = writeFileSafely(beside, bytes);
        if (w.ok() && name.compare(QStringLiteral("config.ini"), Qt::CaseInsensitive) == 0)
            adjustRestoredSettings(beside, target, dbPath, defaultDb);
        // Marked once it has its final contents: a profile write replaces the file it is given.
        marks.push_back(std::make_unique<WritingMark>(beside));
        journal << beside + QLatin1Char('\t') + target;
        if (!w.ok()) {
            discard();
            return Error{refused, 0, w.error().description};
        }
    }
    const QString journalFile = settingsFolder + QLatin1Char('/') + kRestoreJournal;
    const Status noted = writeFileSafely(journalFile, journal.join(QLatin1Char('\n')).toUtf8());
    if (!noted.ok()) {
        discard();
        return Error{refused, 0, noted.error().description};
    }
    const WritingMark applying(journalFile);  // a start meanwhile leaves it to this process
    const Status placed = applyJournal(journalFile);
    // The copies are in place now; a mark left open would keep Windows from replacing them again.
    marks.clear();
    if (!placed.ok())
        return Error{
            QStringLiteral("Die Wiederherstellung ist unterbrochen; Gaveldesk beendet sie beim nächsten Start:"), 0,
            placed.error().sentence};
    clearDamaged(dbPath);  // the file that was damaged is no longer there
    if (keepsOwn) {
        releaseConnections(dbPath);
        setDatabasePassphrase(*madeUnder);
        *notes << QStringLiteral(
            "Die Datenbank behält das eigene Kennwort der Sicherung; Gaveldesk fragt beim Start "
            "danach (auf der Kommandozeile steht es in GAVELDESK_KENNWORT). Unter Einstellungen "
            "→ \u201EDatenbank-Kennwort ändern…\u201C lässt es sich ändern.");
    }
    noteKeptDocuments(inBackup, documentNumbers(dbPath), false, *notes);
    // Documents of the backup that this archive never saw (another computer's) join it.
    if (const Result<DocumentCheck> checked = checkDocuments(dbPath); checked.ok())
        *notes << checked.value().notes << checked.value().findings;
    // Files of the backup have their contents; a config.ini it lacked still names the password in use.
    if (!rememberPassphraseKind(settingsFolder + QStringLiteral("/config.ini")))
        return Error{refused, 0, QStringLiteral("config.ini kann nicht geschrieben werden.")};
    return kept;
}

namespace {
QString tightenedNote(int n) {
    return QStringLiteral(
               "Gaveldesk hat die Zugriffsrechte von %1 Dateien oder Ordnern eingeschränkt: Sie waren für andere "
               "Benutzer dieses Rechners lesbar. Jetzt kann nur noch Ihr Benutzerkonto die Kundendaten lesen.")
        .arg(n);
}
}  // namespace

QStringList tidyDataFolder(const QString& appFolder) {
    QStringList notes;
    const QString bin = appFolder + QStringLiteral("/bin");
    const Status finished = finishUnfinishedRestore(bin);
    if (!finished.ok()) notes << finished.error().message();
    const QString backups = appFolder + QStringLiteral("/Sicherungen");
    int tightened = 0;
    for (const QString& folder : {appFolder, bin, backups}) {
        removeStaleTemporaries(folder);
        tightened += tightenPermissions(folder);
    }
    if (tightened > 0) notes << tightenedNote(tightened);
    return notes;
}

QStringList tidyDatabaseFile(const QString& dbPath, const QString& appFolder) {
    if (dbPath.isEmpty() || isServerAddress(dbPath)) return {};
    const QString folder = QFileInfo(dbPath).absolutePath();
    // The issued documents' archive beside the file: as private as the file.
    int tightened = QFileInfo(documentArchive(dbPath)).isDir() ? tightenPermissions(documentArchive(dbPath)) : 0;
    if (folder == QFileInfo(appFolder).absoluteFilePath())  // done with the data folder
        return tightened > 0 ? QStringList{tightenedNote(tightened)} : QStringList{};
    removeStaleTemporaries(folder);
    for (const QString& f : QStringList{dbPath, dbPath + QStringLiteral("-journal")})
        tightened += tightenFile(f) ? 1 : 0;
    return tightened > 0 ? QStringList{tightenedNote(tightened)} : QStringList{};
}

Result<QString> dailyBackup(const QString& dbPath, const QString& settingsFolder, const QString& folder,
                            const QDate& today, int keep, const std::atomic<bool>* stop) {
    const QString name =
        QStringLiteral("gaveldesk-") + today.toString(Qt::ISODate) + QString::fromLatin1(kBackupSuffix);
    const QString target = folder + QLatin1Char('/') + name;
    QString written;
    if (!QFileInfo::exists(target)) {
        const Status s = writeBackup(dbPath, settingsFolder, target, stop);
        if (!s.ok()) return s.error();
        written = target;
    }
    // Names sort by their dates; the states a restore replaced are never removed here.
    QStringList daily = QDir(folder).entryList(
        {QStringLiteral("gaveldesk-[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]") + QString::fromLatin1(kBackupSuffix)},
        QDir::Files, QDir::Name);
    while (daily.size() > keep) QFile::remove(folder + QLatin1Char('/') + daily.takeFirst());
    return written;
}

}  // namespace gd
