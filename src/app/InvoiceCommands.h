#pragma once
// The invoice commands: issue (or write again, byte for byte), cancel, list.
#include <QByteArray>
#include <QStringList>
#include <functional>
#include <optional>

#include "domain/invoice/IssuedInvoices.h"

class QCommandLineParser;

namespace gd {

int invoiceCommand(const QStringList& args, const InvoicePage& page);
int cancelInvoiceCommand(const QString& nummer, const QStringList& args, const InvoicePage& page);
int invoicesCommand(const QString& year);
// The issued invoice of the sale (or the invoice with this number) as EN 16931 XML.
int invoiceXmlCommand(const QStringList& args);
// Walks the issued documents' chain, bytes and archive; exit 1 when one is altered, missing or extra.
int checkDocumentsCommand();

// --belege-pruefen and --einvoice-show: added to the parser, and run when given.
void addDocumentOptions(QCommandLineParser& parser);
std::optional<int> documentOptions(const QCommandLineParser& parser);

}  // namespace gd
