#pragma once
// E-invoices the seller received for purchases, kept as they came: the file's bytes and their
// SHA-256, never changed, beside the purchase they belong to.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/invoice/EInvoiceReader.h"

namespace gd {

struct KeptInvoice {
    QString AuktionsNr, Datei, Nummer, Verkaeufer;
    qint64 Cent = 0;
    QDateTime Abgelegt;
    QByteArray Daten;
    QString Sha256;
};

// A received e-invoice as the seller opens it: an XML file, or a PDF with the XML inside,
// read within the bounds of both readers.
struct EInvoiceFile {
    QByteArray bytes;  // the file as it is, kept unchanged
    bool pdf = false;
    ReceivedInvoice invoice;
};
Result<EInvoiceFile> readEInvoiceFile(const QString& path);

// Keeps the file with the purchase; refused for a sale or an unknown number, and said when
// the same file is kept there already.
Result<KeptInvoice> keepReceivedInvoice(const Store& store, const QString& auktionsNr, const QString& fileName,
                                        const QByteArray& bytes, const ReceivedInvoice& read, const QDateTime& now);
Result<QList<KeptInvoice>> receivedInvoices(const Store& store, const QString& auktionsNr);

}  // namespace gd
