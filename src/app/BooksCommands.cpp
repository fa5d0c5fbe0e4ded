#include "app/BooksCommands.h"

#include <QDir>
#include <QFile>
#include <variant>

#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "domain/bank/Csv.h"
#include "domain/bank/Payouts.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"
#include "domain/import/OrderReport.h"
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
    const Result<DatevExport> ex = datevExport(currentStore(), datevSetup(currentSettings()), from, to, now());
    if (!ex.ok()) return fail(oneLine(ex.error()));
    const Status w = writeFileSafely(args[2], ex.value().bytes);
    if (!w.ok())
        return fail(QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(args[2]), w.error().description));
    err() << "DATEV-Buchungsstapel nach " << args[2] << " geschrieben: " << datevSummary(ex.value()) << "\n";
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
    const Result<QList<PlatformYear>> figures = yearFigures(currentStore(), year, mainPlatform(currentSettings()));
    if (!figures.ok()) return fail(oneLine(figures.error()));
    for (const QStringList& row : yearTable(figures.value())) out() << row.join(QLatin1Char('\t')) << '\n';
    out().flush();
    const LimitNote report = reportingNote(figures.value(), year, reportLimits(gSettings.GrenzeMeldepflicht));
    if (report.level != LimitNote::Level::None) err() << report.text << '\n';
    if (gSettings.Kleinunternehmer) {
        const Result<QList<PlatformYear>> last = yearFigures(currentStore(), year - 1, mainPlatform(currentSettings()));
        if (!last.ok()) return fail(oneLine(last.error()));
        const LimitNote small = smallBusinessNote(yearTotal(last.value()).gross(), yearTotal(figures.value()).gross(),
                                                  year, smallBusinessLimits(gSettings.GrenzeKleinunternehmer));
        if (small.level != LimitNote::Level::None) err() << small.text << '\n';
    }
    err().flush();
    return 0;
}

namespace {

// A report to be applied: the program started and the file read; else the exit status.
std::variant<QByteArray, int> reportFile(const QString& file) {
    readOnce();
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<QByteArray> bytes = readBoundedFile(file, kMostTableBytes);
    if (!bytes.ok()) return fail(bytes.error().sentence);
    return bytes.value();
}

}  // namespace

int payoutsCommand(const QString& file) {
    const auto bytes = reportFile(file);
    if (const int* code = std::get_if<int>(&bytes)) return *code;
    const Result<PayoutReport> report = parsePayoutReport(std::get<QByteArray>(bytes), loadProfiles());
    if (!report.ok()) return fail(oneLine(report.error()));
    const Result<PayoutOutcome> done = applyPayoutReport(currentStore(), report.value());
    if (!done.ok()) return fail(oneLine(done.error()));
    const Result<QList<PayoutSummary>> all = payoutSummaries(currentStore());
    if (!all.ok()) return fail(oneLine(all.error()));
    for (const PayoutSummary& p : all.value()) out() << p.id << '\t' << payoutText(p) << '\n';
    out().flush();
    for (const BankStatement::Skipped& s : report.value().notRead)
        err() << "nicht gelesen: Zeile " << s.Zeile << ": " << oneLine(s.Grund) << '\n';
    if (!done.value().unknown.isEmpty())
        err() << "noch nicht als Verkauf bekannt (wird gebucht, sobald er eingelesen ist): "
              << done.value().unknown.join(QStringLiteral(", ")) << '\n';
    for (const QString& line : done.value().refused) err() << "nicht gebucht: " << oneLine(line) << '\n';
    err() << report.value().profile << ": " << payoutOutcomeText(done.value()) << "\n";
    err().flush();
    return 0;
}

int ordersCommand(const QString& file) {
    const auto bytes = reportFile(file);
    if (const int* code = std::get_if<int>(&bytes)) return *code;
    const Result<OrderReport> report =
        parseOrderReport(std::get<QByteArray>(bytes), loadProfiles(), mainPlatform(currentSettings()));
    if (!report.ok()) return fail(oneLine(report.error()));
    const Result<OrderOutcome> done = applyOrderReport(currentStore(), report.value());
    if (!done.ok()) return fail(oneLine(done.error()));
    for (const QString& line : orderOutcomeLines(report.value(), done.value())) err() << oneLine(line) << '\n';
    err().flush();
    return 0;
}

int linkPayoutCredits(const QList<Credit>& credits) {
    QStringList unmatched;
    const Result<QList<PayoutSummary>> linked = linkPayouts(currentStore(), credits, &unmatched);
    if (!linked.ok()) return fail(oneLine(linked.error()));
    for (const PayoutSummary& p : linked.value()) err() << payoutText(p) << '\n';
    for (const QString& u : unmatched) err() << "Gutschrift ohne Auszahlungsbericht: " << u << '\n';
    err().flush();
    return 0;
}

}  // namespace gd
