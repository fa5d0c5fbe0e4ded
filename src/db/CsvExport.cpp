#include "db/CsvExport.h"

#include "db/Database.h"
#include "db/Records.h"

namespace gd {
namespace {

const char* const kAuctionColumns[] = {
    "AuktionsID", "AuktionsNr", "Titel", "EndeDatum", "Status", "GruppenID", "KundenNr", "Preis", "Menge", "Betrag",
    "Versandkosten", "Versandversicherung", "Hinweise", "Versandinfos", "Zahlungshinweise", "Bemerkungen",
    "Mitteilungen", "Bezahlung", "ebayName", "Antwort", "AntwortDatum", "Bestätigung", "BestätigungDatum", "Bezahlt",
    "BezahltDatum", "Versendet", "VersendetDatum", "Bewertet", "BewertetDatum", "Bewerungabgegeben",
    "BewerungabgegebenDatum", "Abgeschlossen", "AbgeschlossenDatum", "EmailText"};
const char* const kContactColumns[] = {"KundenNr", "Name", "Strasse", "Ort", "Land", "Email", "ebayName", "Kunde",
                                       "Lieferant"};

bool isDateColumn(const QString& c) { return c.endsWith(QStringLiteral("Datum")); }
bool isFlagColumn(const QString& c) {
    for (const Milestone& m : kMilestoneTable)
        if (c == QString::fromUtf8(m.flagColumn)) return true;
    return c == QStringLiteral("Kunde") || c == QStringLiteral("Lieferant");
}

QString quoted(QString s) { return QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); }

QString cell(const Recordset& rs, const QString& column) {
    const QVariant v = rs.value(column);
    const QString bare = column.mid(column.indexOf(QLatin1Char('.')) + 1);
    if (isDateColumn(bare)) {
        const QDateTime d = fromDbDate(v);
        return d.date() == QDate(1899, 12, 30) ? QString() : d.date().toString(QStringLiteral("dd.MM.yyyy"));
    }
    if (isFlagColumn(bare)) return v.toLongLong() ? QStringLiteral("Ja") : QStringLiteral("Nein");
    return v.isNull() ? QString() : v.toString();
}

}  // namespace

QByteArray exportCsv(const QString& dataSource, const QString& standardUser, ListFilter filter, int* rows) {
    QString where;
    switch (filter) {
        case ListFilter::Verkauf: where = QStringLiteral("Auktionen.Abgeschlossen = 0 and Kunde = 1"); break;
        case ListFilter::Einkauf: where = QStringLiteral("Auktionen.Abgeschlossen = 0 and Lieferant = 1"); break;
        case ListFilter::Alle: where = QStringLiteral("Auktionen.Abgeschlossen = 0"); break;
        case ListFilter::Abgeschlossen: where = QStringLiteral("Auktionen.Abgeschlossen = 1"); break;
    }
    Database db = Database::open(dataSource);
    Recordset rs = db.OpenRecordset(QStringLiteral("select Kunden.*, Auktionen.* from Kunden,Auktionen where ") + where +
                                        QStringLiteral(" and Kunden.ebayname = Auktionen.ebayname and "
                                                       "Auktionen.Standarduser = ? and Kunden.Standarduser = ? "
                                                       "order by Auktionen.EndeDatum DESC"),
                                    {standardUser, standardUser});
    QStringList columns, header;
    for (const char* c : kAuctionColumns) {
        columns << QStringLiteral("Auktionen.") + QString::fromUtf8(c);
        header << QString::fromUtf8(c);
    }
    for (const char* c : kContactColumns) {
        columns << QStringLiteral("Kunden.") + QString::fromUtf8(c);
        header << QStringLiteral("Kunde_") + QString::fromUtf8(c);
    }
    QString out;
    const auto line = [&out](const QStringList& fields) {
        QStringList q;
        for (const QString& f : fields) q << quoted(f);
        out += q.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    };
    line(header);
    int n = 0;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext(), ++n) {
        QStringList fields;
        for (const QString& c : columns) fields << cell(rs, c);
        line(fields);
    }
    if (rows) *rows = n;
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

}  // namespace gd
