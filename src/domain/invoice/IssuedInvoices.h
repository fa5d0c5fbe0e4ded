#pragma once
// Issued invoices: a number from the user's series, given once and without gaps in the
// transaction that keeps the invoice's data and its PDF; what was issued is shown again
// byte for byte, never changed, and only undone by a cancellation invoice.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/invoice/Invoice.h"

namespace gd {

struct IssuedInvoice {
    QString Nummer;
    QString Art;    // "Rechnung", "Storno" or "Teilstorno"
    QString Bezug;  // a cancellation's original; an invoice's cancellation, once there is one
    QDateTime Ausgestellt;
    QString Kaeufer;  // member name
    qint64 Cent = 0;
    QStringList Artikel;
    QByteArray Pdf;
    QString Sha256;   // hex, of Pdf as issued
    QByteArray Xml;   // the EN 16931 XML issued with it; empty when none could be made
    QString Hinweis;  // issued, but something after it to be told (the archive could not take it)
    bool valid() const { return Art == QStringLiteral("Rechnung") && Bezug.isEmpty(); }
};

// The page of an invoice; the render layer's, handed in. `xml` is the EN 16931 XML made once
// for the invoice (empty when none could be made); an e-invoice's page carries it. A page that
// cannot be made says why.
using InvoicePage = std::function<Result<QByteArray>(const Invoice& inv, const QByteArray& xml)>;

// "RE-{JJJJ}-{NNNN}": {JJJJ} the year, {NNNN} the running number with as many digits as N.
QString invoiceNumber(const QString& pattern, int year, int running);
// The pattern is usable: it holds the running number.
bool validNumberPattern(const QString& pattern);

// The valid invoice of the sale (and its group), issued now when there is none. The sale is named
// by its AuktionsID or its item number (refused when two sales share it). An empty pattern is the
// usual "RE-{JJJJ}-{NNNN}". One that no longer matches its record is refused, never handed out.
Result<IssuedInvoice> issueInvoice(const Store& store, const InvoiceProfile& seller, const QString& auktionsNr,
                                   const QString& pattern, const QDateTime& now, const InvoicePage& page);
// Issues the cancellation of a valid invoice: own number, the amounts negated, the original named.
// Lines a partial cancellation took before are not taken again.
Result<IssuedInvoice> cancelInvoice(const Store& store, const QString& nummer, const QString& pattern,
                                    const QDateTime& now, const InvoicePage& page);
// Cancels the lines of these sales (AuktionsIDs) only, "Teilstorno": the invoice stays valid for the
// rest and its shipping. When they are the last lines standing, the whole invoice is cancelled.
Result<IssuedInvoice> cancelInvoiceLines(const Store& store, const QString& nummer, const QStringList& sales,
                                         const QString& pattern, const QDateTime& now, const InvoicePage& page);
// The lines of a valid invoice that no partial cancellation has taken.
Result<QList<InvoiceItem>> standingLines(const Store& store, const QString& nummer);
// The sale's valid invoice, if one is issued: by the sale's AuktionsID or exact item number.
Result<std::optional<IssuedInvoice>> invoiceOfSale(const Store& store, const QString& reference);
// The number the sale's invoice has or would get if issued now; another seat may take it first.
Result<QString> expectedInvoiceNumber(const Store& store, const QString& sale, const QString& pattern,
                                      const QDateTime& now);
// A file name for a document of that number: "RE-2026-0007.pdf"; characters no file system
// takes become "-".
QString invoiceFileName(const QString& nummer, const QString& extension);
// Whether the series holds a document of that number.
bool isIssuedNumber(const Store& store, const QString& nummer);
// One issued invoice or cancellation with the data it was issued from; refused when altered.
Result<std::pair<IssuedInvoice, Invoice>> issuedInvoice(const Store& store, const QString& nummer);
// Those of a year (0: all), newest first; `search` in number, buyer and item numbers. Without
// their pages: issuedInvoice gives one.
Result<QList<IssuedInvoice>> issuedInvoices(const Store& store, int year = 0, const QString& search = QString());
// The data an invoice was issued from, as kept in its row (column Daten).
Invoice invoiceData(const QString& daten);
// The XML kept with it; made from its data for invoices issued before XML was kept.
Result<QByteArray> invoiceXml(const IssuedInvoice& issued, const Invoice& data);
// "gültig", "storniert durch RE-…", "Storno zu RE-…".
QString stateText(const IssuedInvoice& i);

}  // namespace gd
