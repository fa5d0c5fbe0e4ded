#pragma once
// The e-invoice inside the invoice: a PDF/A-3 that carries its EN 16931 XML as factur-x.xml,
// the form business buyers' software reads and people read as a page.

#include <QByteArray>
#include <QString>

#include "base/Result.h"
#include "domain/invoice/PdfAttachment.h"

namespace gd {

inline constexpr char kEmbeddedInvoiceName[] = "factur-x.xml";

// The colour profile PDF/A asks for: the system's sRGB profile; empty when there is none (the
// one the page was written with then stays).
QString systemSrgbProfile();

// `pdf` written by QPdfWriter as PDF/A-1b, made PDF/A-3b with `xml` attached as the
// invoice's alternative form and the XMP naming the EN 16931 profile.
Result<QByteArray> hybridPdf(const QByteArray& pdf, const QByteArray& xml, const QString& iccProfile);

}  // namespace gd
