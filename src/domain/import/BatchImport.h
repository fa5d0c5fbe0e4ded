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

// Reads, parses and (store = true) stores one file. messages gets what the
// dialog would have shown, each on one line.
FileImport importMailFile(const QString& path, bool store, ImportRecords* records = nullptr,
                          QStringList* messages = nullptr);

// The same for a mail already read (one of a mailbox).
FileImport importMailText(const QString& text, bool store, ImportRecords* records = nullptr,
                          QStringList* messages = nullptr);
// Stored into the store given (a batch's transaction), or only read when it is null.
FileImport importMailText(const Store* into, const QString& text, ImportRecords* records = nullptr,
                          QStringList* messages = nullptr);

QJsonObject recordsToJson(MailKind kind, const ImportRecords& r, const QStringList& messages);

}  // namespace gd
