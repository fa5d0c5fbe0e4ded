#include "domain/books/YearFigures.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/Words.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/invoice/SmallBusiness.h"
#include "domain/trade/Sales.h"
#include "domain/trade/TaxData.h"

namespace gd {
namespace {

QString euros(qint64 cents) { return centsText(cents) + QStringLiteral(" €"); }

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

Result<QList<PlatformYear>> yearFigures(const Store& store, int year, const QString& mainPlatform) {
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
                                         "b.Art in ('Zahlung', 'Erstattung', 'Rueckbuchung', 'Storno', 'Abschreibung', "
                                         "'Rueckgabe') "
                                         "group by b.AuktionsID"),
                          {store.user}, names,
                          [&received](const DbRow& r) { received.insert(r.text(0), -r.int64(1)); });
            // The year's cancellations first: only their sales' platforms need keeping.
            QList<std::pair<QString, int>> cancelled;  // the first item number, the month
            db.forEachRow(
                QStringLiteral("select Artikel, Ausgestellt from Rechnungen where Art in ('Storno', 'Teilstorno') and "
                               "Jahr = ? and "
                               "Standarduser = ?"),
                {year, store.user}, names, [&](const DbRow& r) {
                    const QString first = r.text(0).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
                    const int month = r.date(1).date().month();
                    if (month < 1 || month > 12) return;
                    cancelled.append({first, month});
                    platformOf.insert(first, QString());
                });
            forEachSaleOfYear(db, store.user, year, false, [&](const SaleRow& sale) {
                const QString platform = sale.platform.isEmpty() ? mainPlatform : sale.platform;
                const int month = sale.ende.mid(5, 2).toInt();
                if (month < 1 || month > 12) return true;
                MonthFigures& m = of(platform).months[std::size_t(month - 1)];
                ++m.sales;
                m.goods += sale.goods;
                m.shipping += sale.shipping;
                (sale.paid ? m.paid : m.unpaid) += 1;
                // "Offen" is what is still owed, as the status bar counts it: part payments off.
                if (sale.paid)
                    m.paidCents += sale.gross();
                else
                    m.unpaidCents += qMax<qint64>(0, sale.gross() - received.value(sale.auktionsId));
                if (const auto kept = platformOf.find(sale.auktionsNr); kept != platformOf.end()) *kept = platform;
                return true;
            });
            for (const auto& [first, month] : cancelled) {
                const QString platform = platformOf.value(first);
                ++of(platform.isEmpty() ? mainPlatform : platform).months[std::size_t(month - 1)].cancellations;
            }
            std::stable_sort(out.begin(), out.end(), [](const PlatformYear& a, const PlatformYear& b) {
                return a.total().gross() > b.total().gross();
            });
            return out;
        });
}

ReportLimits reportLimits(const QString& setting) {
    const QList<qint64> n = limitNumbers(setting, {30, 2000, 25, 1800});
    return ReportLimits{int(n[0]), n[1] * 100, int(n[2]), n[3] * 100};
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

}  // namespace gd
