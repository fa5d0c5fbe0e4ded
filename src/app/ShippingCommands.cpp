#include "app/ShippingCommands.h"

#include <QCommandLineParser>

#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "domain/invoice/Invoice.h"
#include "domain/settings/modGlobal.h"
#include "domain/shipping/DhlImport.h"
#include "domain/shipping/Packaging.h"
#include "domain/shipping/TrackingBack.h"

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

const QCommandLineOption& trackingOption() {
    static const QCommandLineOption o(
        QStringLiteral("tracking"),
        QStringLiteral("Liest die Sendungsliste des Paketdienstes (CSV-Export mit Sendungsnummer, Empfänger und PLZ) "
                       "und zeigt, welche Nummer zu welchem versandbereiten Verkauf gehört; mit --apply werden sie "
                       "eingetragen und die Verkäufe „Versendet“."),
        QStringLiteral("DATEI"));
    return o;
}
const QCommandLineOption& carrierOption() {
    static const QCommandLineOption o(QStringLiteral("versanddienst"),
                                      QStringLiteral("Zu --tracking: der Paketdienst (Vorgabe DHL)."),
                                      QStringLiteral("NAME"), QStringLiteral("DHL"));
    return o;
}

const QCommandLineOption& packagingOption() {
    static const QCommandLineOption o(
        QStringLiteral("verpackung"),
        QStringLiteral("Zeigt die Verpackungen der im Jahr versendeten Verkäufe je Materialart in kg, wie das "
                       "Verpackungsregister sie abfragt: --verpackung JAHR [DATEI.csv]."),
        QStringLiteral("JAHR"));
    return o;
}

// Material, parcels, kilograms: tab-separated; the register's CSV into the file when one is named.
int packagingCommand(const QCommandLineParser& p) {
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    bool number = false;
    const int year = p.value(packagingOption()).toInt(&number);
    if (!number || year < 2000 || year > 2100)
        return fail(QStringLiteral("--verpackung braucht ein Jahr, etwa --verpackung 2026."));
    const Result<QList<MaterialYear>> figures = packagingYear(currentStore(), year);
    if (!figures.ok()) return fail(oneLine(figures.error()));
    for (const MaterialYear& m : figures.value())
        out() << m.material << '\t' << m.parcels << '\t' << kgText(m.gramm) << '\n';
    out().flush();
    if (p.positionalArguments().isEmpty()) return 0;
    const Status written = writeFileSafely(p.positionalArguments().first(), packagingCsv(figures.value()));
    if (!written.ok()) return fail(oneLine(written.error()));
    return 0;
}

// One line a shipment: state, line, number, receiver, postcode, the sale, why.
int trackingCommand(const QCommandLineParser& p) {
    if (!initApp()) return 1;
    const bool apply = p.isSet(QStringLiteral("apply"));
    if (apply) {
        if (const auto refused = refuseDamaged()) return *refused;
    } else {
        warnIfDamaged();
    }
    const Result<QByteArray> bytes = readBoundedFile(p.value(trackingOption()), 32 * 1024 * 1024);
    if (!bytes.ok()) return fail(oneLine(bytes.error()));
    const Result<QList<ShipmentLine>> lines = readShipmentList(bytes.value());
    if (!lines.ok()) return fail(oneLine(lines.error()));
    const Result<QList<TrackingMatch>> found = matchTracking(currentStore(), lines.value());
    if (!found.ok()) return fail(oneLine(found.error()));
    out() << "Stand\tZeile\tSendungsnummer\tEmpfaenger\tPLZ\tAuktionsNr\tebayName\tGrund\n";
    int sure = 0;
    for (const TrackingMatch& m : found.value()) {
        const bool one = !m.auktionsID.isEmpty();
        sure += one;
        out() << (m.erfasst ? QStringLiteral("bereits erfasst")
                  : one     ? QStringLiteral("zugeordnet")
                            : QStringLiteral("offen"))
              << '\t' << m.line.zeile << '\t' << m.line.sendungsnummer << '\t' << tsvField(m.line.name) << '\t'
              << m.line.postcode << '\t' << m.auktionsNr << '\t' << m.ebayName << '\t' << tsvField(m.grund) << '\n';
    }
    out().flush();
    if (!apply) {
        err() << sure << " von " << found.value().size()
              << " Sendungen zugeordnet. Nichts geändert; --apply trägt sie ein.\n";
        err().flush();
        return 0;
    }
    QStringList notes;
    const Result<int> sent = applyTracking(currentStore(), found.value(), p.value(carrierOption()), now(), &notes);
    if (!sent.ok()) return fail(oneLine(sent.error()));
    for (const QString& n : notes) err() << oneLine(n) << '\n';
    err() << sent.value() << (sent.value() == 1 ? " Verkauf" : " Verkäufe") << " als versendet eingetragen.\n";
    err().flush();
    return 0;
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
    parser.addOption(trackingOption());
    parser.addOption(carrierOption());
    parser.addOption(packagingOption());
}

bool shippingOptionTakesWords(const QCommandLineParser& parser) { return parser.isSet(packagingOption()); }

std::optional<int> shippingOptions(const QCommandLineParser& parser) {
    if (parser.isSet(labelsOption())) return labelsCommand(parser);
    if (parser.isSet(trackingOption())) return trackingCommand(parser);
    if (parser.isSet(packagingOption())) return packagingCommand(parser);
    return std::nullopt;
}

}  // namespace gd
