#include "app/ShippingCommands.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "app/CliCommon.h"
#include "base/SafeWrite.h"
#include "domain/invoice/Invoice.h"
#include "domain/settings/modGlobal.h"
#include "domain/shipping/DhlImport.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/LoadSave.h"

namespace gd {

using namespace cli;

namespace {

const QCommandLineOption& labelsOption() {
    static const QCommandLineOption o(
        QStringLiteral("labels"),
        QStringLiteral("Schreibt die versandbereiten Verkäufe (bezahlt, nicht versendet) als Importdatei für die "
                       "DHL Online-Frankierung: --labels DATEI.csv --produkt PAK02.DEU. Über 100 Sendungen "
                       "kommen in weitere Dateien (DATEI-2.csv …)."),
        QStringLiteral("DATEI"));
    return o;
}
const QCommandLineOption& productOption() {
    static const QCommandLineOption o(QStringLiteral("produkt"),
                                      QStringLiteral("Zu --labels: das DHL-Produkt, etwa PAK02.DEU (Paket bis 2 kg)."),
                                      QStringLiteral("PRODUKT"));
    return o;
}

// "Lindenweg 3, 24103 Kiel" as the options keep the seller's address.
PostalAddress sender(const InvoiceProfile& p) {
    const QString address = p.address.trimmed();
    const qsizetype comma = address.lastIndexOf(QLatin1Char(','));
    const Result<PostalAddress> a =
        postalAddress(p.holder.isEmpty() ? p.member : p.holder, QString(), address.left(comma),
                      comma < 0 ? QString() : address.mid(comma + 1), QString());
    return a.valueOr(PostalAddress());
}

// FILE.csv, FILE-2.csv, …
QString partName(const QString& file, qsizetype i) {
    if (i == 0) return file;
    const QFileInfo f(file);
    return f.path() + QLatin1Char('/') + f.completeBaseName() + QStringLiteral("-%1.").arg(i + 1) + f.suffix();
}

int labelsCommand(const QCommandLineParser& p) {
    if (!initApp()) return 1;
    warnIfDamaged();
    const QString product = p.value(productOption()).trimmed().toUpper();
    if (!validDhlProduct(product)) {
        QStringList known;
        for (const DhlProduct& d : kDhlProducts)
            known << QStringLiteral("%1 (%2)").arg(QLatin1String(d.key), QString::fromUtf8(d.text));
        return fail(QStringLiteral("--labels braucht das Produkt, etwa --produkt PAK02.DEU: %1.")
                        .arg(known.join(QStringLiteral(", "))));
    }
    const Store store = currentStore();
    QList<ListRow> ready;
    const Status read =
        forEachListRow(store, ListChoice(ListFilter::Versandbereit), [&ready](ListRow& r) { ready << std::move(r); });
    if (!read.ok()) return fail(oneLine(read.error()));
    QList<DhlShipment> shipments;
    QStringList notes;
    for (const ListRow& r : std::as_const(ready)) {
        const Result<std::optional<tKunde>> k = funLoadKunde(store, r.ebayName);
        if (!k.ok()) return fail(oneLine(k.error()));
        const tKunde buyer = k.value().value_or(tKunde());
        const Result<PostalAddress> to = postalAddress(buyer.Name, buyer.Firma, buyer.Strasse, buyer.Ort, buyer.Land);
        if (!to.ok()) {
            notes << QStringLiteral("Auktion %1 (%2): nicht in der Datei. %3")
                         .arg(r.AuktionsNr, r.ebayName, to.error().sentence);
            continue;
        }
        shipments << DhlShipment{r.AuktionsNr, to.value(), product};
    }
    const DhlImport made = dhlImportFiles(sender(invoiceProfile(currentSettings())), shipments);
    for (qsizetype i = 0; i < made.files.size(); ++i) {
        const Status written = writeFileSafely(partName(p.value(labelsOption()), i), made.files[i]);
        if (!written.ok()) return fail(oneLine(written.error()));
    }
    for (const QString& n : notes + made.notes) err() << oneLine(n) << '\n';
    err() << made.written << " von " << ready.size() << " versandbereiten Sendungen in " << made.files.size()
          << (made.files.size() == 1 ? " Datei" : " Dateien") << " geschrieben.\n";
    err().flush();
    return made.written == ready.size() ? 0 : 1;
}

}  // namespace

void addShippingOptions(QCommandLineParser& parser) {
    parser.addOption(labelsOption());
    parser.addOption(productOption());
}

std::optional<int> shippingOptions(const QCommandLineParser& parser) {
    if (parser.isSet(labelsOption())) return labelsCommand(parser);
    return std::nullopt;
}

}  // namespace gd
