#include "domain/bank/ReceivedInvoices.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include "base/CallStack.h"
#include "base/ReadFile.h"
#include "domain/bank/PdfAttachment.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"

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
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select k.Kunde from Auktionen a join Kunden k on k.ebayName = a.ebayName and "
                           "k.Standarduser = a.Standarduser where a.AuktionsNr = ? and a.Standarduser = ?"),
            {auktionsNr.trimmed(), store.user});
        if (rs.isEOF())
            return Error::plain(
                QStringLiteral("Eine Auktion mit der Nummer '%1' gibt es nicht.").arg(auktionsNr.trimmed()));
        if (rs.value(QStringLiteral("Kunde")).toLongLong() != 0)
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
        Recordset same = db.OpenRecordset(
            QStringLiteral("select Abgelegt from EingangsRechnungen where Standarduser = ? and AuktionsNr = ? and "
                           "Sha256 = ?"),
            {store.user, k.AuktionsNr, k.Sha256});
        if (!same.isEOF())
            return Error::plain(
                QStringLiteral("Diese Rechnung ist beim Kauf %1 bereits abgelegt (am %2).")
                    .arg(k.AuktionsNr, same.date(QStringLiteral("Abgelegt")).toString(QStringLiteral("dd.MM.yyyy"))));
        db.execute(QStringLiteral("insert into EingangsRechnungen (Standarduser, AuktionsNr, Datei, Nummer, "
                                  "Verkaeufer, Cent, Abgelegt, Daten, Sha256) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {store.user, k.AuktionsNr, k.Datei, k.Nummer, k.Verkaeufer, k.Cent, now, bytes, k.Sha256});
        tx.commit();
        return k;
    });
}

Result<QList<KeptInvoice>> receivedInvoices(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die abgelegten Rechnungen können nicht gelesen werden:"),
                  [&]() -> Result<QList<KeptInvoice>> {
                      Database db = store.open();
                      Recordset rs = db.OpenRecordset(
                          QStringLiteral(
                              "select * from EingangsRechnungen where Standarduser = ? and AuktionsNr = ? order by ID"),
                          {store.user, auktionsNr.trimmed()});
                      QList<KeptInvoice> out;
                      for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                          out << KeptInvoice{rs.text(QStringLiteral("AuktionsNr")),
                                             rs.text(QStringLiteral("Datei")),
                                             rs.text(QStringLiteral("Nummer")),
                                             rs.text(QStringLiteral("Verkaeufer")),
                                             rs.value(QStringLiteral("Cent")).toLongLong(),
                                             rs.date(QStringLiteral("Abgelegt")),
                                             rs.value(QStringLiteral("Daten")).toByteArray(),
                                             rs.text(QStringLiteral("Sha256"))};
                      return out;
                  });
}

}  // namespace gd
