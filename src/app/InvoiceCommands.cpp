#include "app/InvoiceCommands.h"

#include <QCommandLineParser>
#include <QDir>
#include <algorithm>

#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "domain/bank/Statement.h"
#include "domain/db/Documents.h"
#include "domain/invoice/EInvoice.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/invoice/ReceivedInvoices.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

namespace {

int written(const IssuedInvoice& inv, const QString& file, const char* what) {
    const Status w = writeFileSafely(file, inv.Pdf);
    if (!w.ok())
        return fail(QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(file), w.error().description));
    err() << what << " " << inv.Nummer << " (" << euroText(inv.Cent) << ") nach " << file << " geschrieben.\n";
    if (!inv.Hinweis.isEmpty()) err() << "gaveldesk: Warnung: " << oneLine(Error::plain(inv.Hinweis)) << "\n";
    err().flush();
    return 0;
}

}  // namespace

int invoiceCommand(const QStringList& args, const InvoicePage& page) {
    if (!page) return fail(QStringLiteral("Dieses Programm kann keine Rechnung zeichnen."));
    if (args.size() != 2)
        return fail(QStringLiteral("--invoice braucht die Auktionsnummer und den Namen der PDF-Datei."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    // A number of the series names that document, cancellations included: written as issued.
    if (isIssuedNumber(currentStore(), args[0])) {
        const auto issued = issuedInvoice(currentStore(), args[0]);
        if (!issued.ok()) return fail(oneLine(issued.error()));
        const IssuedInvoice& doc = issued.value().first;
        return written(doc, args[1], doc.Art != QStringLiteral("Rechnung") ? "Stornorechnung" : "Rechnung");
    }
    const Result<IssuedInvoice> inv =
        issueInvoice(currentStore(), invoiceProfile(currentSettings()), args[0], gSettings.Nummernkreis, now(), page);
    if (!inv.ok()) return fail(oneLine(inv.error()));
    return written(inv.value(), args[1], "Rechnung");
}

int cancelInvoiceCommand(const QString& nummer, const QStringList& args, const InvoicePage& page) {
    if (!page) return fail(QStringLiteral("Dieses Programm kann keine Rechnung zeichnen."));
    if (args.size() != 1) return fail(QStringLiteral("--cancel-invoice braucht den Namen der PDF-Datei."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<IssuedInvoice> inv = cancelInvoice(currentStore(), nummer, gSettings.Nummernkreis, now(), page);
    if (!inv.ok()) return fail(oneLine(inv.error()));
    return written(inv.value(), args[0], "Stornorechnung");
}

int invoicesCommand(const QString& year) {
    bool number = year.isEmpty();
    const int y = year.isEmpty() ? 0 : year.toInt(&number);
    if (!number || y < 0) return fail(QStringLiteral("--year braucht eine Jahreszahl, etwa 2026."));
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<QList<IssuedInvoice>> all = issuedInvoices(currentStore(), y);
    if (!all.ok()) return fail(oneLine(all.error()));
    // Number, date, buyer, total, state, items: tab-separated like --list.
    for (const IssuedInvoice& i : all.value()) {
        const QString state = stateText(i);
        out() << i.Nummer << '\t' << i.Ausgestellt.toString(QStringLiteral("dd.MM.yyyy")) << '\t' << i.Kaeufer << '\t'
              << euroText(i.Cent) << '\t' << state << '\t' << i.Artikel.join(QStringLiteral(", ")) << '\n';
    }
    out().flush();
    return 0;
}

int checkDocumentsCommand() {
    readOnce();
    if (!initApp()) return 1;
    if (gsDataSource.isEmpty())
        return fail(QStringLiteral("Es gibt keine Datenbank, deren Belege geprüft werden könnten."));
    warnIfDamaged();
    const Result<DocumentCheck> checked = checkDocuments(gsDataSource);
    if (!checked.ok()) return fail(oneLine(checked.error()));
    for (const QString& n : checked.value().notes) err() << n << "\n";
    for (const QString& f : checked.value().findings) out() << f << "\n";
    out().flush();
    const int n = checked.value().documents, found = int(checked.value().findings.size());
    const QString documents = n == 1 ? QStringLiteral("1 Beleg") : QStringLiteral("%1 Belege").arg(n);
    if (checked.value().ok())
        err() << documents
              << " geprüft: jeder ist so, wie er ausgestellt wurde; Kette und Belegarchiv stimmen "
                 "überein.\n";
    else
        err() << (found == 1 ? QStringLiteral("1 Abweichung") : QStringLiteral("%1 Abweichungen").arg(found)) << " bei "
              << (n == 1 ? QStringLiteral("1 Beleg") : QStringLiteral("%1 Belegen").arg(n)) << ".\n";
    err().flush();
    return checked.value().ok() ? 0 : 1;
}

int invoiceXmlCommand(const QStringList& args) {
    if (args.size() != 2)
        return fail(
            QStringLiteral("--invoice-xml braucht die Auktions- oder Rechnungsnummer und den Namen der "
                           "XML-Datei."));
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    // A number of the series names the invoice; else the sale's valid one.
    const QString asked = args[0].trimmed();
    auto issued = issuedInvoice(currentStore(), asked);
    if (!issued.ok()) {
        if (isIssuedNumber(currentStore(), asked)) return fail(oneLine(issued.error()));
        const Result<std::optional<IssuedInvoice>> sale = invoiceOfSale(currentStore(), asked);
        if (!sale.ok()) return fail(oneLine(sale.error()));
        if (!sale.value())
            return fail(
                QStringLiteral("Für '%1' ist keine Rechnung ausgestellt; --invoice stellt sie aus.").arg(asked));
        issued = issuedInvoice(currentStore(), sale.value()->Nummer);
        if (!issued.ok()) return fail(oneLine(issued.error()));
    }
    const QString nummer = issued.value().first.Nummer;
    const Result<QByteArray> xml = invoiceXml(issued.value().first, issued.value().second);
    if (!xml.ok()) return fail(oneLine(xml.error()));
    const Status w = writeFileSafely(args[1], xml.value());
    if (!w.ok())
        return fail(QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(args[1]), w.error().description));
    err() << "E-Rechnung " << nummer << " nach " << args[1] << " geschrieben.\n";
    err().flush();
    return 0;
}

void addDocumentOptions(QCommandLineParser& parser) {
    parser.addOption(
        {QStringLiteral("belege-pruefen"),
         QStringLiteral("Prüft die ausgestellten Rechnungen und Stornos: die Kette ihrer Prüfsummen, ihre "
                        "gespeicherten Dateien und das Belegarchiv; nennt jeden veränderten, fehlenden oder "
                        "hinzugefügten Beleg.")});
    parser.addOption({QStringLiteral("einvoice-show"),
                      QStringLiteral("Zeigt eine erhaltene E-Rechnung (XML, oder PDF mit der XML darin) als Text, wie "
                                     "„E-Rechnung ansehen…“ sie zeigt."),
                      QStringLiteral("datei")});
}

std::optional<int> documentOptions(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("belege-pruefen"))) return checkDocumentsCommand();
    if (!parser.isSet(QStringLiteral("einvoice-show"))) return std::nullopt;
    const Result<EInvoiceFile> read = readEInvoiceFile(parser.value(QStringLiteral("einvoice-show")));
    if (!read.ok()) return fail(oneLine(read.error()));
    out() << readableText(read.value().invoice) << "\n";
    out().flush();
    return 0;
}

}  // namespace gd
