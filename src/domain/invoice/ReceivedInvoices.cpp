#include "domain/invoice/ReceivedInvoices.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include "base/CallStack.h"
#include "base/ReadFile.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/invoice/PdfAttachment.h"

namespace gd {

Result<EInvoiceFile> readEInvoiceFile(const QString& path) {
    Result<QByteArray> bytes = readBoundedFile(path, kMostPdfBytes);
    if (!bytes.ok()) return bytes.error();
    EInvoiceFile out;
    out.bytes = std::move(bytes.value());
    out.pdf = out.bytes.startsWith("%PDF-");
    // A PDF carries the XML inside; anything else is read as the XML itself.
    const Result<QByteArray> xml = out.pdf ? embeddedInvoiceXml(out.bytes) : Result<QByteArray>(out.bytes);
    if (!xml.ok()) return xml.error();
    Result<ReceivedInvoice> read = readEInvoice(xml.value());
    if (!read.ok()) return read.error();
    out.invoice = std::move(read.value());
    return out;
}

Result<KeptInvoice> keepReceivedInvoice(const Store& store, const QString& auktionsNr, const QString& fileName,
                                        const QByteArray& bytes, const ReceivedInvoice& read, const QDateTime& now) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die Rechnung kann nicht abgelegt werden:"), [&]() -> Result<KeptInvoice> {
        Transaction tx(store);
        Database db = tx.database();
        const std::optional<bool> sold =
            db.firstRow(QStringLiteral("select k.Kunde from Auktionen a join Kunden k on k.ebayName = a.ebayName and "
                                       "k.Standarduser = a.Standarduser where a.AuktionsNr = ? and a.Standarduser = ?"),
                        {auktionsNr.trimmed(), store.user}, [](const DbRow& r) { return r.int64(0) != 0; });
        if (!sold)
            return Error::plain(
                QStringLiteral("Eine Auktion mit der Nummer '%1' gibt es nicht.").arg(auktionsNr.trimmed()));
        if (*sold)
            return Error::plain(QStringLiteral("Die Auktion %1 ist ein Verkauf; eine erhaltene Rechnung gehört zu "
                                               "einem Kauf.")
                                    .arg(auktionsNr.trimmed()));
        KeptInvoice k{auktionsNr.trimmed(),
                      QFileInfo(fileName).fileName(),
                      read.number,
                      read.sellerName,
                      read.duePayable != 0 ? read.duePayable : read.grossTotal,
                      now,
                      bytes,
                      QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())};
        const std::optional<QDateTime> kept =
            db.firstRow(QStringLiteral("select Abgelegt from EingangsRechnungen where Standarduser = ? and AuktionsNr "
                                       "= ? and Sha256 = ?"),
                        {store.user, k.AuktionsNr, k.Sha256}, [](const DbRow& r) { return r.date(0); });
        if (kept)
            return Error::plain(QStringLiteral("Diese Rechnung ist beim Kauf %1 bereits abgelegt (am %2).")
                                    .arg(k.AuktionsNr, kept->toString(QStringLiteral("dd.MM.yyyy"))));
        db.execute(QStringLiteral("insert into EingangsRechnungen (Standarduser, AuktionsNr, Datei, Nummer, "
                                  "Verkaeufer, Cent, Abgelegt, Daten, Sha256) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {store.user, k.AuktionsNr, k.Datei, k.Nummer, k.Verkaeufer, k.Cent, now, bytes, k.Sha256});
        tx.commit();
        return k;
    });
}

Result<QList<KeptInvoice>> receivedInvoices(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(
        QStringLiteral("Die abgelegten Rechnungen können nicht gelesen werden:"), [&]() -> Result<QList<KeptInvoice>> {
            Database db = store.open();
            return db.allRows(
                QStringLiteral("select AuktionsNr, Datei, Nummer, Verkaeufer, Cent, Abgelegt, Daten, Sha256 "
                               "from EingangsRechnungen where Standarduser = ? and AuktionsNr = ? order by ID"),
                {store.user, auktionsNr.trimmed()}, [](const DbRow& r) {
                    return KeptInvoice{
                        r.text(0), r.text(1), r.text(2), r.text(3), r.int64(4), r.date(5), r.value(6).toByteArray(),
                        r.text(7)};
                });
        });
}

}  // namespace gd
