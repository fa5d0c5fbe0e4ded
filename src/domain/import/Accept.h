#pragma once
// The accept step of an import. The dialog first learns what it has to ask
// (checkImport reads only), asks, and then everything is written in one short
// transaction: partner, optional grouping and auction, together or not at all.
// No lock is held while the user thinks.

#include "base/Result.h"
#include "domain/import/Parser.h"

namespace gd {

inline const QString kDuplicateQuestion =
    QStringLiteral("Diese Auktionsnummer existiert schon in der Datenbank, soll diese Email trotzdem gespeichert werden?");

struct ImportFacts {
    bool duplicate = false;  // the item number is stored already
    bool groupable = false;  // the partner has other auctions without a milestone
};
Result<ImportFacts> checkImport(const ImportRecords& r);

struct ImportChoices {
    bool storeDuplicate = false;  // the user said "Ja" to the duplicate question
    bool group = false;           // the user said "Ja" to grouping
};

enum class Stored { Yes, DuplicateAppeared };

// Stores the import as chosen. DuplicateAppeared: another program stored the
// item number after checkImport; nothing was written and the dialog asks again.
// The records change only when the import was stored.
Result<Stored> acceptImport(ImportRecords& r, const ImportChoices& c);

}  // namespace gd
