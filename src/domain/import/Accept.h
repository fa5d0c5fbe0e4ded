#pragma once
// The accept step of an import. The dialog first learns what it has to ask
// (checkImport reads only), asks, and then everything is written in one short
// transaction: partner, optional grouping and auction, together or not at all.
// No lock is held while the user thinks.

#include <QSet>
#include <optional>

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

// Where a fetched mail lay: the mailbox's own keys, kept with the trade it gave.
struct MailOrigin {
    QString konto, ordner;  // "user@server", the folder as the options name it
    quint32 uidValidity = 0, uid = 0;
    QString messageId;
};

struct ImportChoices {
    bool storeDuplicate = false;  // the user said "Ja" to the duplicate question
    bool group = false;           // the user said "Ja" to grouping
    std::optional<MailOrigin> origin;
};

// MailKnown: the mail was stored already (by an earlier fetch, or another seat at this moment);
// nothing was written.
enum class Stored { Yes, DuplicateAppeared, MailKnown };

// Stores the import as chosen. DuplicateAppeared: another program stored the
// item number after checkImport; nothing was written and the dialog asks again.
// The records change only when the import was stored.
Result<Stored> acceptImport(const Store& store, ImportRecords& r, const ImportChoices& c);

// A fetched mail whose trade is stored already: known from now on. False when it was known.
Result<bool> recordMailOrigin(const Store& store, const MailOrigin& o, const QString& auktionsID);
// The UIDs of a mailbox's folder that gave a trade.
Result<QSet<quint32>> knownMails(const Store& store, const QString& konto, const QString& ordner, quint32 uidValidity);

}  // namespace gd
