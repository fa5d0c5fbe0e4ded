#pragma once
// Saved notification emails imported as the dialog would accept them, every
// question answered "Nein".

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "domain/db/Store.h"
#include "domain/import/Parser.h"

namespace gd {

struct FileImport {
    bool stored = false;
    MailKind kind = MailKind::Keine;
    QString auktionsNr;
    QString refusal;  // the German message that stopped it, on one line
};

// Reads, parses and stores one file into the store given (or only reads it when that is null).
// messages gets what the dialog would have shown, each on one line.
FileImport importMailFile(const ParserRules& rules, const QString& path, const Store* into,
                          ImportRecords* records = nullptr, QStringList* messages = nullptr);
// The same for a mail already read (one of a mailbox); the store may be a batch's transaction.
FileImport importMailText(const ParserRules& rules, const Store* into, const QString& text,
                          ImportRecords* records = nullptr, QStringList* messages = nullptr);

QJsonObject recordsToJson(MailKind kind, const ImportRecords& r, const QStringList& messages);

}  // namespace gd
