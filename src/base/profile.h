#pragma once
// The Windows profile functions, with the semantics their callers rely on:
// sections and keys match without regard to case; names and values are trimmed;
// a value in matching quotes loses them; results are cut to the caller's buffer
// size and the counts are those the originals return. std::nullopt stands for
// a NULL argument. Files are Windows-1252 (UTF-8 files are read and kept UTF-8);
// a write replaces the file atomically, so a crash never leaves half a file.

#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "base/Result.h"

namespace gd::win {

using OptString = std::optional<QString>;

// key given: the value (or the default, trailing blanks removed), at most size-1
// characters; returns the count copied. key null: every key name of the section,
// each followed by NUL, then one more NUL; section null: every section name alike.
// Those lists return size-2 when they do not fit.
int GetPrivateProfileString(const OptString& section, const OptString& key, const QString& deflt, QString& returned,
                            int size, const QString& file);

// value null deletes the key, key null deletes the section with its lines;
// creates file and section when missing. False when the file cannot be written.
bool WritePrivateProfileString(const OptString& section, const OptString& key, const OptString& value,
                               const QString& file);

// Several assignments with the semantics above, read once and written in one
// atomic replacement: all of them reach the file or none.
struct ProfileWrite {
    QString section;
    OptString key;
    OptString value;
};
bool WritePrivateProfileStrings(const QList<ProfileWrite>& writes, const QString& file);
// The same, with the reason when the file cannot be written.
Status writeProfileStrings(const QList<ProfileWrite>& writes, const QString& file);

struct IniFile;
// One read of a file for many lookups; each lookup as GetPrivateProfileString.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const QString& file);
    int GetPrivateProfileString(const OptString& section, const OptString& key, const QString& deflt, QString& returned,
                                int size) const;

private:
    std::shared_ptr<const IniFile> file_;
};

// Every "key=value" line of the section in file order, each followed by NUL, then
// a final NUL; returns the count without the final NUL, or size-2 when it does not fit.
int GetPrivateProfileSection(const QString& section, QString& returned, int size, const QString& file);

}  // namespace gd::win
