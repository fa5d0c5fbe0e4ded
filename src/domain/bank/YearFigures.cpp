#include "domain/bank/YearFigures.h"

#include <QHash>
#include <QLocale>
#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/Words.h"
#include "domain/bank/Invoice.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/TaxData.h"
#include "domain/settings/modGlobal.h"

namespace gd {
namespace {

const QString kSales = QStringLiteral(
    "select a.rowid as Nr, a.AuktionsNr, a.EndeDatum, a.Preis, a.Menge, a.Versandkosten, a.Versandversicherung, "
    "a.Bezahlt, a.AuktionsID, h.Plattform from Auktionen a join Kunden k on k.ebayName = a.ebayName and k.Standarduser "
    "= "
    "a.Standarduser left join Herkunft h on h.AuktionsNr = a.AuktionsNr and h.Standarduser = a.Standarduser "
    "where a.Standarduser = ? and k.Kunde <> 0 and a.EndeDatum >= ? and a.EndeDatum < ? ");

Recordset salesOf(Database& db, const Store& store, int year, const QString& order = QString()) {
    return db.OpenRecordset(kSales + order, {store.user, QStringLiteral("%1-01-01").arg(year, 4, 10, QLatin1Char('0')),
                                             QStringLiteral("%1-01-01").arg(year + 1, 4, 10, QLatin1Char('0'))});
}

qint64 goodsOf(const Recordset& rs) {
    bool whole = false;
    const int menge = rs.text(QStringLiteral("Menge")).trimmed().toInt(&whole);
    return centsOr0(rs.text(QStringLiteral("Preis"))) * (whole && menge > 0 && menge <= kMostQuantity ? menge : 1);
}

qint64 shippingOf(const Recordset& rs) {
    return centsOr0(rs.text(QStringLiteral("Versandkosten"))) +
           centsOr0(rs.text(QStringLiteral("Versandversicherung")));
}

QString euros(qint64 cents) { return centsText(cents) + QStringLiteral(" €"); }
QString wholeEuros(qint64 cents) { return QLocale(QLocale::German).toString(cents / 100) + QStringLiteral(" €"); }

QList<qint64> numbers(const QString& setting, QList<qint64> defaults) {
    const QStringList parts = setting.split(QLatin1Char(';'));
    for (qsizetype i = 0; i < defaults.size() && i < parts.size(); ++i) {
        bool ok = false;
        const qint64 v = parts[i].trimmed().toLongLong(&ok);
        if (ok && v > 0) defaults[i] = v;
    }
    return defaults;
}

struct Crossing {
    QString nr;
    QString ende;
    qint64 row = 0;
};

std::optional<Crossing> crossing(Database& db, const Store& store, int year, qint64 limit) {
    Recordset rs = salesOf(db, store, year, QStringLiteral("order by a.EndeDatum, a.rowid"));
    qint64 sum = 0;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        sum += goodsOf(rs) + shippingOf(rs);
        if (sum > limit)
            return Crossing{rs.text(QStringLiteral("AuktionsNr")), rs.text(QStringLiteral("EndeDatum")),
                            rs.value(QStringLiteral("Nr")).toLongLong()};
    }
    return std::nullopt;
}

}  // namespace

void MonthFigures::add(const MonthFigures& m) {
    sales += m.sales;
    goods += m.goods;
    shipping += m.shipping;
    cancellations += m.cancellations;
    paid += m.paid;
    unpaid += m.unpaid;
    paidCents += m.paidCents;
    unpaidCents += m.unpaidCents;
}

MonthFigures PlatformYear::total() const {
    MonthFigures t;
    for (const MonthFigures& m : months) t.add(m);
    return t;
}

MonthFigures yearTotal(const QList<PlatformYear>& year) {
    MonthFigures t;
    for (const PlatformYear& p : year) t.add(p.total());
    return t;
}

QList<QStringList> yearTable(const QList<PlatformYear>& year) {
    QList<QStringList> rows{{QStringLiteral("Plattform"), QStringLiteral("Monat"), QStringLiteral("Verkäufe"),
                             QStringLiteral("Summe"), QStringLiteral("Versand"), QStringLiteral("Stornos"),
                             QStringLiteral("Bezahlt"), QStringLiteral("Unbezahlt"), QStringLiteral("Offen")}};
    const auto row = [&](const QString& platform, const QString& month, const MonthFigures& m) {
        rows << QStringList{platform,
                            month,
                            QString::number(m.sales),
                            centsText(m.goods).remove(QLatin1Char('.')),
                            centsText(m.shipping).remove(QLatin1Char('.')),
                            QString::number(m.cancellations),
                            QString::number(m.paid),
                            QString::number(m.unpaid),
                            centsText(m.unpaidCents).remove(QLatin1Char('.'))};
    };
    for (const PlatformYear& p : year) {
        for (int i = 0; i < 12; ++i)
            if (p.months[std::size_t(i)].sales > 0 || p.months[std::size_t(i)].cancellations > 0)
                row(p.platform, QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), p.months[std::size_t(i)]);
        row(p.platform, QStringLiteral("Jahr"), p.total());
    }
    row(QStringLiteral("Gesamt"), QStringLiteral("Jahr"), yearTotal(year));
    return rows;
}

Result<QList<PlatformYear>> yearFigures(const Store& store, int year) {
    CALLSTACK_MODULE("modJahr");
    return dbStep(
        QStringLiteral("Die Jahreszahlen können nicht gelesen werden:"), [&]() -> Result<QList<PlatformYear>> {
            Database db = store.open();
            QList<PlatformYear> out;
            QHash<QString, qsizetype> index;
            QHash<QString, QString> platformOf;
            const auto of = [&](const QString& platform) -> PlatformYear& {
                if (!index.contains(platform)) {
                    index.insert(platform, out.size());
                    out << PlatformYear{platform};
                }
                return out[index.value(platform)];
            };
            // What each unpaid sale has received so far, from its journal: few have anything.
            QHash<QString, qint64> received;
            QStringList names;
            db.forEachRow(QStringLiteral("select b.AuktionsID, sum(b.Cent) from Buchungen b join Auktionen a on "
                                         "a.AuktionsID = b.AuktionsID where b.Standarduser = ? and a.Bezahlt = 0 and "
                                         "b.Art in ('Zahlung', 'Erstattung', 'Rueckbuchung', 'Storno', 'Abschreibung') "
                                         "group by b.AuktionsID"),
                          {store.user}, names,
                          [&received](const DbRow& r) { received.insert(r.text(0), -r.int64(1)); });
            Recordset rs = salesOf(db, store, year);
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
                const QString platform = rs.text(QStringLiteral("Plattform")).isEmpty()
                                             ? mainPlatform()
                                             : rs.text(QStringLiteral("Plattform"));
                const int month = rs.text(QStringLiteral("EndeDatum")).mid(5, 2).toInt();
                if (month < 1 || month > 12) continue;
                MonthFigures& m = of(platform).months[std::size_t(month - 1)];
                const qint64 goods = goodsOf(rs), shipping = shippingOf(rs);
                ++m.sales;
                m.goods += goods;
                m.shipping += shipping;
                const bool paid = rs.value(QStringLiteral("Bezahlt")).toLongLong() != 0;
                (paid ? m.paid : m.unpaid) += 1;
                // "Offen" is what is still owed, as the status bar counts it: part payments off.
                if (paid)
                    m.paidCents += goods + shipping;
                else
                    m.unpaidCents +=
                        qMax<qint64>(0, goods + shipping - received.value(rs.text(QStringLiteral("AuktionsID"))));
                platformOf.insert(rs.text(QStringLiteral("AuktionsNr")), platform);
            }
            Recordset storno = db.OpenRecordset(
                QStringLiteral("select Artikel, Ausgestellt from Rechnungen where Art = 'Storno' and Jahr = ? and "
                               "Standarduser = ?"),
                {year, store.user});
            for (storno.MoveFirst(); !storno.isEOF(); storno.MoveNext()) {
                const QString first =
                    storno.text(QStringLiteral("Artikel")).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
                const int month = storno.date(QStringLiteral("Ausgestellt")).date().month();
                if (month >= 1 && month <= 12)
                    ++of(platformOf.value(first, mainPlatform())).months[std::size_t(month - 1)].cancellations;
            }
            std::stable_sort(out.begin(), out.end(), [](const PlatformYear& a, const PlatformYear& b) {
                return a.total().gross() > b.total().gross();
            });
            return out;
        });
}

ReportLimits reportLimits(const QString& setting) {
    const QList<qint64> n = numbers(setting, {30, 2000, 25, 1800});
    return ReportLimits{int(n[0]), n[1] * 100, int(n[2]), n[3] * 100};
}

SmallBusinessLimits smallBusinessLimits(const QString& setting) {
    const QList<qint64> n = numbers(setting, {25000, 100000, 80});
    return SmallBusinessLimits{n[0] * 100, n[1] * 100, int(std::min<qint64>(n[2], 100))};
}

LimitNote reportingNote(const QList<PlatformYear>& year, int yearNumber, const ReportLimits& limits) {
    LimitNote note;
    for (const PlatformYear& p : year) {
        const MonthFigures t = p.total();
        const QString sales = counted(t.sales, QStringLiteral("Verkauf"), QStringLiteral("Verkäufe"));
        const QString figures =
            QStringLiteral("%1: %2, %3 in %4").arg(p.platform, sales).arg(euros(t.gross())).arg(yearNumber);
        if (t.sales >= limits.count || t.gross() >= limits.cents) {
            note.level = LimitNote::Level::Clear;
            note.text =
                figures + QStringLiteral(
                              " – Meldegrenze erreicht (%1 Verkäufe oder %2): die Plattform meldet Ihre Verkäufe %3 "
                              "dem Bundeszentralamt für Steuern und schickt Ihnen bis 31. Januar eine Kopie.")
                              .arg(limits.count)
                              .arg(wholeEuros(limits.cents))
                              .arg(yearNumber);
            note.brief = QStringLiteral("Meldegrenze erreicht: %1 %2").arg(p.platform).arg(yearNumber);
            return note;
        }
        if (note.level == LimitNote::Level::None && (t.sales >= limits.noteCount || t.gross() >= limits.noteCents)) {
            note.level = LimitNote::Level::Quiet;
            note.text = figures + QStringLiteral(" – ab %1 Verkäufen oder %2 meldet die Plattform Sie dem Finanzamt.")
                                      .arg(limits.count)
                                      .arg(wholeEuros(limits.cents));
            note.brief = QStringLiteral("Meldegrenze nah: %1 %2, %3").arg(p.platform, sales, wholeEuros(t.gross()));
        }
    }
    return note;
}

static LimitNote smallBusinessText(qint64 lastYear, qint64 thisYear, int yearNumber,
                                   const SmallBusinessLimits& limits) {
    if (thisYear > limits.thisYear)
        return {LimitNote::Level::Clear,
                QStringLiteral("Umsatz %1: %2 – über %3; die Kleinunternehmerregelung gilt "
                               "nicht mehr, Rechnungen weisen Umsatzsteuer aus.")
                    .arg(yearNumber)
                    .arg(euros(thisYear), wholeEuros(limits.thisYear)),
                QString()};
    if (lastYear > limits.lastYear)
        return {LimitNote::Level::Clear,
                QStringLiteral("Umsatz %1: %2 – über %3; %4 gilt die Kleinunternehmerregelung nicht.")
                    .arg(yearNumber - 1)
                    .arg(euros(lastYear), wholeEuros(limits.lastYear))
                    .arg(yearNumber),
                QString()};
    if (thisYear * 100 >= limits.thisYear * limits.warnPercent)
        return {LimitNote::Level::Quiet,
                QStringLiteral("Umsatz %1: %2 von %3 – über dieser Grenze endet die Kleinunternehmerregelung.")
                    .arg(yearNumber)
                    .arg(euros(thisYear), wholeEuros(limits.thisYear)),
                QString()};
    if (lastYear * 100 >= limits.lastYear * limits.warnPercent)
        return {LimitNote::Level::Quiet,
                QStringLiteral(
                    "Umsatz %1: %2 von %3 – liegt er darüber, gilt die Kleinunternehmerregelung im Folgejahr nicht.")
                    .arg(yearNumber - 1)
                    .arg(euros(lastYear), wholeEuros(limits.lastYear)),
                QString()};
    return {};
}

LimitNote smallBusinessNote(qint64 lastYear, qint64 thisYear, int yearNumber, const SmallBusinessLimits& limits) {
    LimitNote n = smallBusinessText(lastYear, thisYear, yearNumber, limits);
    if (n.level != LimitNote::Level::None)
        n.brief = n.level == LimitNote::Level::Clear ? QStringLiteral("Kleinunternehmergrenze überschritten")
                                                     : QStringLiteral("Kleinunternehmergrenze nah");
    return n;
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
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select b.rowid as Nr, b.EndeDatum from Auktionen a join Auktionen b on b.Standarduser = "
                           "a.Standarduser and (b.AuktionsNr = a.AuktionsNr or (a.GruppenID <> '' and b.GruppenID = "
                           "a.GruppenID)) where a.AuktionsID = ? and a.Standarduser = ? order by b.EndeDatum desc, "
                           "b.rowid desc limit 1"),
            {sale.value(), store.user});
        if (rs.isEOF()) return false;
        const QString ende = rs.text(QStringLiteral("EndeDatum"));
        const qint64 row = rs.value(QStringLiteral("Nr")).toLongLong();
        const std::optional<Crossing> c = crossing(db, store, ende.left(4).toInt(), limit);
        return c && (ende > c->ende || (ende == c->ende && row >= c->row));
    });
}

}  // namespace gd
