#pragma once
// The paper side of the money: the payment code as a picture and the invoice as
// a one-page A4 PDF.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "base/Result.h"
#include "domain/invoice/Invoice.h"

namespace gd {

// The payment code black on white with its quiet zone, `module` pixels a module; null when it fails.
QImage qrImage(const QByteArray& payload, int module = 4);
// The same as PNG bytes; empty when it fails.
QByteArray qrPng(const QByteArray& payload, int module = 4);

// The PDF's bytes: what the mail form attaches. An e-invoice carries `xml`, made here when
// empty; a page that cannot be made says why (the XML, the PDF/A-3 assembly).
Result<QByteArray> invoicePdf(const Invoice& inv, const QByteArray& xml = {});
// The file as "Rechnung als PDF…" and --invoice write it; the old one is kept on failure.
Status writeInvoice(const Invoice& inv, const QString& path);

}  // namespace gd
