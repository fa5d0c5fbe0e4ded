#include "app/ShippingCommands.h"

#include <QCommandLineParser>

#include "app/CliCommon.h"
#include "base/SafeWrite.h"
#include "domain/invoice/Invoice.h"
#include "domain/settings/modGlobal.h"
#include "domain/shipping/DhlImport.h"

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
    const Result<QList<ReadyParcel>> ready = readyParcels(currentStore());
    if (!ready.ok()) return fail(oneLine(ready.error()));
    QList<DhlShipment> shipments;
    QStringList notes;
    for (const ReadyParcel& r : ready.value()) {
        if (r.unreadable.isEmpty())
            shipments << DhlShipment{r.auktionsNr, r.to, product};
        else
            notes << QStringLiteral("Auktion %1 (%2): nicht in der Datei. %3")
                         .arg(r.auktionsNr, r.ebayName, r.unreadable);
    }
    const InvoiceProfile seller = invoiceProfile(currentSettings());
    const DhlImport made = dhlImportFiles(
        senderAddress(seller.holder.isEmpty() ? seller.member : seller.holder, seller.address).valueOr(PostalAddress()),
        shipments);
    for (qsizetype i = 0; i < made.files.size(); ++i) {
        const Status written = writeFileSafely(importFileName(p.value(labelsOption()), i), made.files[i]);
        if (!written.ok()) return fail(oneLine(written.error()));
    }
    for (const QString& n : notes + made.notes) err() << oneLine(n) << '\n';
    err() << made.written << " von " << ready.value().size() << " versandbereiten Sendungen in " << made.files.size()
          << (made.files.size() == 1 ? " Datei" : " Dateien") << " geschrieben.\n";
    err().flush();
    return made.written == ready.value().size() ? 0 : 1;
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
