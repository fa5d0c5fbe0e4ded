#pragma once
// The accept step of an import. The dialog first learns what it has to ask
// (checkImport reads only), asks, and then everything is written in one short
// transaction: partner, optional grouping and auction, together or not at all.
// No lock is held while the user thinks.

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/import/Parser.h"

namespace gd {

inline const QString kDuplicateQuestion = QStringLiteral(
    "Diese Auktionsnummer existiert schon in der Datenbank, soll diese Email trotzdem gespeichert werden?");

// What a notification cannot plausibly hold: a member name, e-mail address or
// item number longer than its column (254), an empty member name, an address
// without "@", an item number that is not digits. One German sentence each.
inline constexpr qsizetype kMaxColumnChars = 254;
QStringList implausibleFields(ImportRecords& r);
// After the user accepted them anyway: cut to what the columns hold.
void cutToColumns(ImportRecords& r);

struct ImportFacts {
    bool duplicate = false;  // the item number is stored already
    bool groupable = false;  // the partner has other auctions without a milestone
};
Result<ImportFacts> checkImport(const Store& store, const ImportRecords& r);

struct ImportChoices {
    bool storeDuplicate = false;  // the user said "Ja" to the duplicate question
    bool group = false;           // the user said "Ja" to grouping
};

enum class Stored { Yes, DuplicateAppeared };

// Stores the import as chosen. DuplicateAppeared: another program stored the
// item number after checkImport; nothing was written and the dialog asks again.
// The records change only when the import was stored.
Result<Stored> acceptImport(const Store& store, ImportRecords& r, const ImportChoices& c);

}  // namespace gd
