#include "app/BooksCommands.h"

#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "domain/bank/Datev.h"
#include "domain/bank/YearFigures.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

int datevCommand(const QStringList& args) {
    const QDate from = QDate::fromString(args.value(0), Qt::ISODate),
                to = QDate::fromString(args.value(1), Qt::ISODate);
    if (args.size() != 3 || !from.isValid() || !to.isValid())
        return fail(
            QStringLiteral("--datev braucht Anfang und Ende als JJJJ-MM-TT und den Namen der Datei, etwa "
                           "--datev 2026-01-01 2026-12-31 EXTF_Buchungsstapel.csv."));
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<DatevExport> ex = datevExport(currentStore(), datevSetupFromSettings(), from, to, now());
    if (!ex.ok()) return fail(oneLine(ex.error()));
    const Status w = writeFileSafely(args[2], ex.value().bytes);
    if (!w.ok())
        return fail(
            QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2").arg(args[2], w.error().description));
    err() << "DATEV-Buchungsstapel nach " << args[2] << " geschrieben: " << ex.value().invoices << " Rechnungen, "
          << ex.value().cancellations << " Stornos, " << ex.value().payments << " Zahlungen.\n";
    err().flush();
    return 0;
}

int yearCommand(const QString& yearText) {
    bool ok = false;
    const int year = yearText.toInt(&ok);
    if (!ok || year < 1900 || year > 9999) return fail(QStringLiteral("--jahr braucht ein Jahr, etwa --jahr 2026."));
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<QList<PlatformYear>> figures = yearFigures(currentStore(), year);
    if (!figures.ok()) return fail(oneLine(figures.error()));
    for (const QStringList& row : yearTable(figures.value())) out() << row.join(QLatin1Char('\t')) << '\n';
    out().flush();
    const LimitNote report = reportingNote(figures.value(), year, reportLimits(gSettings.GrenzeMeldepflicht));
    if (report.level != LimitNote::Level::None) err() << report.text << '\n';
    if (gSettings.Kleinunternehmer) {
        const Result<QList<PlatformYear>> last = yearFigures(currentStore(), year - 1);
        if (!last.ok()) return fail(oneLine(last.error()));
        const LimitNote small = smallBusinessNote(yearTotal(last.value()).gross(), yearTotal(figures.value()).gross(),
                                                  year, smallBusinessLimits(gSettings.GrenzeKleinunternehmer));
        if (small.level != LimitNote::Level::None) err() << small.text << '\n';
    }
    err().flush();
    return 0;
}

}  // namespace gd
