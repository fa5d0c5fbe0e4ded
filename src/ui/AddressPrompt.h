#pragma once
// Before an invoice above 250 € is issued: the buyer's address it must name, asked for when
// parts of it are missing and kept with the contact.

#include <QString>

class QWidget;

namespace gd {

// True when the sale's invoice may be issued now: it is issued already, its address is
// complete, or the user completed it. False after an error (shown) or a cancel.
bool completeAddressFor(QWidget* parent, const QString& auktionsNr);
// A small business whose year passes the limit with this sale: asked to switch to standard
// VAT (the options then say so); true when the invoice may be issued now.
bool taxModeReadyFor(QWidget* parent, const QString& auktionsNr);

}  // namespace gd
