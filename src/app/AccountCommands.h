#pragma once
// A trade's money and mails from a script: its account, and any template's mail as the window
// would write it.
#include <QString>
#include <QStringList>

#include "domain/invoice/IssuedInvoices.h"

namespace gd {

// --konto AUKTIONSNR: every entry of the sale (or its group), a line each, the balance last.
int kontoCommand(const QString& auktionsNr);
// --erstatten AUKTIONSNR: the buyer's credit paid back by bank today.
int refundCommand(const QString& auktionsNr);
// --mail VORLAGE AUKTIONSNR: subject, body and the payment code's text, nothing sent.
int mailCommand(const QStringList& args);
// --bank-import DATEI [--apply]: a line a credit, a returned debit or a refund with its sale; booked
// with --apply (a refund's cancellation painted on `page`).
int bankImport(const QString& file, bool apply, const InvoicePage& page);

}  // namespace gd
