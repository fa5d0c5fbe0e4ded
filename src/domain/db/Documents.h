#pragma once
// Issued documents (invoices and cancellations) made evident: each is a link of a chain, its
// hash taken over its place, data, the hashes of its PDF and XML, its time and the link before;
// and each is kept a second time in an archive beside the database file that only grows and
// that no restore reaches (a server keeps them in tables that refuse to lose a row).

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Database.h"
#include "domain/db/Journal.h"

namespace gd {

// The archive of a database file: a folder beside it; empty for a server.
QString documentArchive(const QString& dbPath);

// Links the document just kept under `nummer` to the chain, in the caller's transaction. Throws
// when `archive` already holds a document at that place: the file is older than what was issued.
void chainDocument(Database& db, const QString& nummer, const QDateTime& zeit, const QString& archive = {});

// The chain of a file or server that kept documents before it had one, in the caller's
// transaction; the statements as the journal's opening fill takes them.
void fillDocumentChain(const OpeningRows& rows, const OpeningExec& exec);

// The file's gd_sha256(text or blob) for the fill: the hex SHA-256 the program takes itself.
void addSha256Function(sqlite3* db);

// After its transaction: the document into the archive (its PDF, its XML, a line with its link).
Status archiveDocument(const QString& dbPath, const QString& nummer);

struct DocumentCheck {
    int documents = 0;
    QStringList findings;  // altered, missing or extra documents, in the chain's order
    QStringList notes;     // what was set right meanwhile
    bool ok() const { return findings.isEmpty(); }
};
// Walks the chain, the stored bytes and the archive. Documents the archive lacks and whose
// record holds are added to it (named as findings, unless the archive is new).
Result<DocumentCheck> checkDocuments(const QString& dbPath);

// The check at start, once a day per database (noted in `record` when it found nothing).
Result<DocumentCheck> checkDocumentsDaily(const QString& dbPath, const QString& record, const QDate& day);
// What the user reads when the check found something: the first findings, the count of the rest.
QString documentWarning(const DocumentCheck& check);

// Why the document must not be handed out again (its bytes or data no longer match its link
// or the archive); empty when it holds.
QString alteredDocument(Database& db, const QString& dbPath, const QString& nummer);

// What a restore does before the restored file takes its place: the archive's documents that
// the file lacks go back into it. Gives back one line per document brought back or in conflict.
Result<QStringList> bringBackDocuments(const QString& restoredFile, const QString& archive);

// Before issuing: documents of the archive that the file lacks (it was put back by hand, or an
// older copy) are brought back first, so that no number is issued twice. One line per document.
Result<QStringList> catchUpFromArchive(const QString& dbPath);

// The numbers of every issued document, for saying what a restore kept.
QStringList documentNumbers(const QString& dbPath);

}  // namespace gd
