#pragma once
// A backup as one file: a page-for-page copy of the database under its own key,
// with the settings files of bin/ in a table of their own. Made while the program
// (or another one) writes; put back only after the present state was saved the same way.

#include <QDate>
#include <QString>
#include <QStringList>
#include <atomic>

#include "base/Result.h"

namespace gd {

inline constexpr const char* kBackupSuffix = ".gdsicherung";

// AppPath()/Sicherungen: the daily backups and the states a restore replaced.
QString backupFolder();
// A consistent copy of the database with the files of settingsFolder; the target is
// replaced only when the whole copy is on disk. A stop asked for ends it soon, nothing written.
Status writeBackup(const QString& dbPath, const QString& settingsFolder, const QString& target,
                   const std::atomic<bool>* stop = nullptr);
// Checks the backup, saves the present database and settings as a backup in keepFolder
// (when there is a database), then puts the backup's database and settings in place.
// Gives back the file that holds the replaced state, empty when there was none.
// A backup keeps the password it was made under: give it as backupPassword when it is
// not the present one (wrongPassword says so); the restored file takes the present one, unless
// that is the program's own: a backup's own password is kept, never lowered (`notes` says so).
// Issued documents are never taken back: those the backup lacks are brought back from the
// archive (a server keeps its own); `notes` names them and anything else to be told.
Result<QString> restoreBackup(const QString& backupFile, const QString& dbPath, const QString& settingsFolder,
                              const QString& keepFolder, const QString& backupPassword = QString(),
                              bool* wrongPassword = nullptr, QStringList* notes = nullptr);
// The backups in folder, daily ones and those a restore kept.
QStringList backupsIn(const QString& folder);
// Puts in place what a restore cut short had ready (its journal in settingsFolder); to be
// called at start, before anything reads the settings or the database.
Status finishUnfinishedRestore(const QString& settingsFolder);
// What a start does before the settings are read: finishes a restore cut short, removes
// what killed backups, restores and writes left, and makes the data folder private.
// Gives back what the user should be told.
QStringList tidyDataFolder(const QString& appFolder);
// After the settings: the same for the database's own folder and file, wherever it is.
QStringList tidyDatabaseFile(const QString& dbPath, const QString& appFolder);
// Today's backup in folder unless there is one, then only the newest `keep` daily ones kept.
// Gives back the file written, empty when today's was there.
Result<QString> dailyBackup(const QString& dbPath, const QString& settingsFolder, const QString& folder,
                            const QDate& today, int keep = 7, const std::atomic<bool>* stop = nullptr);

}  // namespace gd
