#include "domain/trade/Sales.h"

#include "base/Money.h"
#include "domain/db/Database.h"

namespace gd {

void forEachSaleOfYear(Database& db, const QString& user, int year, bool byEnd,
                       const std::function<bool(const SaleRow&)>& take) {
    QString sql = QStringLiteral(
        "select a.rowid, a.AuktionsNr, a.EndeDatum, a.Preis, a.Menge, a.Versandkosten, a.Versandversicherung, "
        "a.Bezahlt, a.AuktionsID, h.Plattform from Auktionen a join Kunden k on k.ebayName = a.ebayName and "
        "k.Standarduser = a.Standarduser left join Herkunft h on h.AuktionsNr = a.AuktionsNr and h.Standarduser = "
        "a.Standarduser where a.Standarduser = ? and k.Kunde <> 0 and a.EndeDatum >= ? and a.EndeDatum < ? ");
    if (byEnd) sql += QStringLiteral("order by a.EndeDatum, a.rowid");
    db.forEachRowWhile(sql,
                       {user, QStringLiteral("%1-01-01").arg(year, 4, 10, QLatin1Char('0')),
                        QStringLiteral("%1-01-01").arg(year + 1, 4, 10, QLatin1Char('0'))},
                       [&take](const DbRow& r) {
                           bool whole = false;
                           const int menge = r.text(4).trimmed().toInt(&whole);
                           const qint64 price = centsOr0(r.text(3));
                           return take(SaleRow{r.int64(0), r.text(1), r.text(8), r.text(2),
                                               price * (whole && menge > 0 && menge <= kMostQuantity ? menge : 1),
                                               centsOr0(r.text(5)) + centsOr0(r.text(6)), r.int64(7) != 0, r.text(9)});
                       });
}

}  // namespace gd
