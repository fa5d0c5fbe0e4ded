#include "domain/invoice/SmallBusiness.h"

#include <QLocale>
#include <algorithm>

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/invoice/Invoice.h"
#include "domain/trade/Sales.h"

namespace gd {
namespace {

struct Crossing {
    QString nr;
    QString ende;
    qint64 row = 0;
};

std::optional<Crossing> crossing(Database& db, const Store& store, int year, qint64 limit) {
    qint64 sum = 0;
    std::optional<Crossing> found;
    forEachSaleOfYear(db, store.user, year, true, [&](const SaleRow& s) {
        sum += s.gross();
        if (sum > limit) found = Crossing{s.auktionsNr, s.ende, s.row};
        return !found;
    });
    return found;
}

}  // namespace

QList<qint64> limitNumbers(const QString& setting, QList<qint64> defaults) {
    const QStringList parts = setting.split(QLatin1Char(';'));
    for (qsizetype i = 0; i < defaults.size() && i < parts.size(); ++i) {
        bool ok = false;
        const qint64 v = parts[i].trimmed().toLongLong(&ok);
        if (ok && v > 0) defaults[i] = v;
    }
    return defaults;
}

QString wholeEuros(qint64 cents) { return QLocale(QLocale::German).toString(cents / 100) + QStringLiteral(" €"); }

SmallBusinessLimits smallBusinessLimits(const QString& setting) {
    const QList<qint64> n = limitNumbers(setting, {25000, 100000, 80});
    return SmallBusinessLimits{n[0] * 100, n[1] * 100, int(std::min<qint64>(n[2], 100))};
}

QString smallBusinessEndsText(qint64 limit) {
    return QStringLiteral(
               "Mit dieser Rechnung übersteigt Ihr Umsatz in diesem Jahr %1. Ab diesem Verkauf gilt die "
               "Kleinunternehmerregelung (§ 19 UStG) nicht mehr: diese und alle weiteren Rechnungen werden "
               "mit Umsatzsteuer ausgestellt. Stellen Sie dazu unter Einstellungen, Allgemein die "
               "Regelbesteuerung ein.")
        .arg(wholeEuros(limit));
}

Result<std::optional<QString>> saleCrossing(const Store& store, int year, qint64 limit) {
    CALLSTACK_MODULE("modJahr");
    return dbStep(QStringLiteral("Der Jahresumsatz kann nicht gelesen werden:"),
                  [&]() -> Result<std::optional<QString>> {
                      Database db = store.open();
                      const std::optional<Crossing> c = crossing(db, store, year, limit);
                      return c ? std::optional<QString>(c->nr) : std::nullopt;
                  });
}

Result<bool> beyondSmallBusinessLimit(const Store& store, const QString& auktionsNr, qint64 limit) {
    CALLSTACK_MODULE("modJahr");
    return dbStep(QStringLiteral("Der Jahresumsatz kann nicht gelesen werden:"), [&]() -> Result<bool> {
        Database db = store.open();
        // The latest sale of the group decides: the invoice is issued for all of them at once.
        const Result<QString> sale = saleId(db, store.user, auktionsNr);
        if (!sale.ok()) return false;  // the invoice itself says why there is none
        QString ende;
        qint64 row = 0;
        db.forEachRowWhile(
            QStringLiteral("select b.EndeDatum, b.rowid from Auktionen a join Auktionen b on b.Standarduser = "
                           "a.Standarduser and (b.AuktionsNr = a.AuktionsNr or (a.GruppenID <> '' and b.GruppenID = "
                           "a.GruppenID)) where a.AuktionsID = ? and a.Standarduser = ? order by b.EndeDatum desc, "
                           "b.rowid desc limit 1"),
            {sale.value(), store.user}, [&](const DbRow& r) {
                ende = r.text(0);
                row = r.int64(1);
                return false;
            });
        if (ende.isEmpty()) return false;
        const std::optional<Crossing> c = crossing(db, store, ende.left(4).toInt(), limit);
        return c && (ende > c->ende || (ende == c->ende && row >= c->row));
    });
}

}  // namespace gd
