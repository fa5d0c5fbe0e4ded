#pragma once
// E-invoices a seller receives from suppliers, read as German text: UN/CEFACT Cross
// Industry Invoice (CII) and OASIS UBL 2.1 Invoice or CreditNote, the two syntaxes of EN 16931.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

// Quantities and rates as the XML writes them ("2.0000", "19.00"); amounts in cents.
struct ReceivedLine {
    QString name;
    QString quantity;
    QString unit;  // UN/ECE code, "H87"
    qint64 net = 0;
    QString taxRate;
    QString taxCategory;
};

struct ReceivedTax {
    QString category;  // "S", "E", "AE", …
    QString rate;
    qint64 basis = 0;
    qint64 tax = 0;
    QString exemption;
};

struct ReceivedInvoice {
    QString syntax;    // "CII" or "UBL"
    QString typeCode;  // 380 invoice, 381 credit note, 384 correction, …
    QString number, buyerReference;
    QDate issued, delivered, due;
    QString currency;
    QString sellerName, sellerVatId, sellerTaxNumber;
    QStringList sellerAddress;  // street lines, "postcode town", the country code unless DE
    QString sellerEmail;
    QString buyerName;
    QStringList buyerAddress;
    QList<ReceivedLine> lines;
    QList<ReceivedTax> taxes;
    qint64 netTotal = 0, taxTotal = 0, grossTotal = 0, duePayable = 0;
    QString paymentTerms, iban, bic, accountName, paymentReference;
    QStringList notes;
};

// No invoice is this large; a file that is, or a PDF that would unpack to it, is refused.
inline constexpr qsizetype kMostEInvoiceBytes = 2 * 1024 * 1024;

// Refused with a German sentence: empty, more than 2 MB, a DOCTYPE (entities are a way to
// attack the reader), broken XML (with its line), neither syntax, no invoice number. Amounts
// that are not plain decimals with at most two places that count stay 0.
Result<ReceivedInvoice> readEInvoice(const QByteArray& xml);
// For a read-only view: a heading and the sections that have something to say.
QString readableText(const ReceivedInvoice& inv);

}  // namespace gd
