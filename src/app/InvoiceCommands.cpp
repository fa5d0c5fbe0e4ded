#include "app/InvoiceCommands.h"

#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "domain/bank/IssuedInvoices.h"
#include "domain/bank/Statement.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

namespace {

int written(const IssuedInvoice& inv, const QString& file, const char* what) {
    const Status w = writeFileSafely(file, inv.Pdf);
    if (!w.ok())
        return fail(
            QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2").arg(file, w.error().description));
    err() << what << " " << inv.Nummer << " (" << euroText(inv.Cent) << ") nach " << file << " geschrieben.\n";
    err().flush();
    return 0;
}

}  // namespace

int invoiceCommand(const QStringList& args, const InvoicePainter& page) {
    if (!page) return fail(QStringLiteral("Dieses Programm kann keine Rechnung zeichnen."));
    if (args.size() != 2)
        return fail(QStringLiteral("--invoice braucht die Auktionsnummer und den Namen der PDF-Datei."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<IssuedInvoice> inv = issueInvoice(currentStore(), args[0], gsNummernkreis, now(), page);
    if (!inv.ok()) return fail(oneLine(inv.error()));
    return written(inv.value(), args[1], "Rechnung");
}

int cancelInvoiceCommand(const QString& nummer, const QStringList& args, const InvoicePainter& page) {
    if (!page) return fail(QStringLiteral("Dieses Programm kann keine Rechnung zeichnen."));
    if (args.size() != 1) return fail(QStringLiteral("--cancel-invoice braucht den Namen der PDF-Datei."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<IssuedInvoice> inv = cancelInvoice(currentStore(), nummer, gsNummernkreis, now(), page);
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
        const QString state = i.Art == QStringLiteral("Storno") ? QStringLiteral("Storno zu ") + i.Bezug
                              : i.Bezug.isEmpty()               ? QStringLiteral("gültig")
                                                                : QStringLiteral("storniert durch ") + i.Bezug;
        out() << i.Nummer << '\t' << i.Ausgestellt.toString(QStringLiteral("dd.MM.yyyy")) << '\t' << i.Kaeufer << '\t'
              << euroText(i.Cent) << '\t' << state << '\t' << i.Artikel.join(QStringLiteral(", ")) << '\n';
    }
    out().flush();
    return 0;
}

}  // namespace gd
