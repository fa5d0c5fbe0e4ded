#include "domain/db/AuktionsListe.h"

#include "base/CallStack.h"
#include "base/modFunktions.h"
#include "domain/db/Database.h"

namespace gd {

QString listFilterWhere(ListFilter filter) {
    switch (filter) {
        case ListFilter::Verkauf: return QStringLiteral("Auktionen.Abgeschlossen = 0 and Kunde = 1");
        case ListFilter::Einkauf: return QStringLiteral("Auktionen.Abgeschlossen = 0 and Lieferant = 1");
        case ListFilter::Alle: return QStringLiteral("Auktionen.Abgeschlossen = 0");
        case ListFilter::Abgeschlossen: break;
    }
    return QStringLiteral("Auktionen.Abgeschlossen = 1");
}

Result<QList<ListRow>> loadAuktionsListe(const QString& dataSource, const QString& standardUser, ListFilter filter) {
    // Only the columns the grid shows: the whole email texts of 10,000 rows stay on disk.
    const QString where = listFilterWhere(filter) + QStringLiteral(" and Kunden.ebayname = Auktionen.ebayname");
    const QString sql = QStringLiteral(
                            "select Kunden.ebayName, Kunden.Name, Auktionen.Titel, Auktionen.EndeDatum, "
                            "Auktionen.Status, Auktionen.AuktionsNr, Auktionen.GruppenID, Auktionen.AuktionsID, Auktionen.Betrag "
                            "from Kunden,Auktionen where ") +
                        where +
                        QStringLiteral(" and Auktionen.Standarduser = ? and Kunden.Standarduser = ? "
                                       "order by Auktionen.EndeDatum DESC");
    try {
    Database db = Database::open(dataSource);
    Recordset rs = db.OpenRecordset(sql, {standardUser, standardUser});
    QList<ListRow> rows;
    rows.reserve(rs.RecordCount());
    const int ebay = rs.fieldIndex(QStringLiteral("Kunden.ebayName")), name = rs.fieldIndex(QStringLiteral("Name")),
              titel = rs.fieldIndex(QStringLiteral("Titel")), ende = rs.fieldIndex(QStringLiteral("EndeDatum")),
              status = rs.fieldIndex(QStringLiteral("Status")), nr = rs.fieldIndex(QStringLiteral("AuktionsNr")),
              gruppe = rs.fieldIndex(QStringLiteral("GruppenID")), id = rs.fieldIndex(QStringLiteral("AuktionsID")),
              betrag = rs.fieldIndex(QStringLiteral("Betrag"));
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        rows.append(ListRow{rs.textAt(ebay), rs.textAt(name), rs.textAt(titel), dbDateToText(rs.valueAt(ende)),
                            rs.textAt(status), rs.textAt(nr), funNullWertS(rs.valueAt(gruppe)), rs.textAt(id),
                            rs.textAt(betrag)});
    }
    return rows;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:"), e);
    }
}

}  // namespace gd
