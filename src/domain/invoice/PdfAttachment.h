#pragma once
// The invoice XML inside a PDF someone sent, read by a small reader of our own that bounds
// everything a hostile file could make it hold: the file, every stream it unpacks, the
// values it parses, their nesting and the objects it indexes.

#include <QByteArray>

#include "base/Result.h"

namespace gd {

// A hybrid invoice with pictures and fonts stays far below; a scan of several pages may not.
inline constexpr qsizetype kMostPdfBytes = 20 * 1024 * 1024;

// factur-x.xml, or another attached XML the known e-invoice forms use. An error when the
// file is no PDF, is damaged, is encrypted (a PDF/A never is), carries no invoice, or
// would need more than the bounds to be read.
Result<QByteArray> embeddedInvoiceXml(const QByteArray& pdf);

}  // namespace gd
