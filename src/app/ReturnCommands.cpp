#include "app/ReturnCommands.h"

#include <QCommandLineParser>

#include "app/CliCommon.h"
#include "app/CommandLine.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "domain/books/Returns.h"
#include "domain/db/Journal.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

namespace {

const QCommandLineOption& returnOption() {
    static const QCommandLineOption o(
        QStringLiteral("return"),
        QStringLiteral("Erfasst den Widerruf oder die Rückgabe eines Verkaufs: --return AUKTIONSNR --art "
                       "widerruf|mangel|storno --datum JJJJ-MM-TT [--grund TEXT]."),
        QStringLiteral("AUKTIONSNR"));
    return o;
}
const QCommandLineOption& kindOption() {
    static const QCommandLineOption o(QStringLiteral("art"),
                                      QStringLiteral("Zu --return: widerruf, mangel oder storno (vor dem Versand)."),
                                      QStringLiteral("ART"));
    return o;
}
const QCommandLineOption& dayOption() {
    static const QCommandLineOption o(
        QStringLiteral("datum"),
        QStringLiteral("Zu --return: Eingang der Erklärung, JJJJ-MM-TT oder \"JJJJ-MM-TT HH:MM\"."),
        QStringLiteral("DATUM"));
    return o;
}
const QCommandLineOption& reasonOption() {
    static const QCommandLineOption o(QStringLiteral("grund"), QStringLiteral("Zu --return: der Grund."),
                                      QStringLiteral("TEXT"));
    return o;
}
const QCommandLineOption& refundOption() {
    static const QCommandLineOption o(
        QStringLiteral("refund"),
        QStringLiteral("Bucht die Erstattung einer erfassten Rückgabe und storniert die Rechnung: --refund "
                       "AUKTIONSNR BETRAG (etwa 29,40)."),
        QStringLiteral("AUKTIONSNR"));
    return o;
}
const QCommandLineOption& returnsOption() {
    static const QCommandLineOption o(QStringLiteral("returns"),
                                      QStringLiteral("Listet die offenen Rückgaben mit ihren Fristen."));
    return o;
}

// "2026-12-03" or "2026-12-03 14:05": a day alone is today's moment when it is today, else the
// day's start (the time was not said).
std::optional<QDateTime> noticeTime(const QString& text) {
    const QString t = text.trimmed();
    for (const char* f : {"yyyy-MM-dd HH:mm", "yyyy-MM-ddTHH:mm", "yyyy-MM-dd HH:mm:ss"}) {
        const QDateTime d = QDateTime::fromString(t, QString::fromLatin1(f));
        if (d.isValid()) return d;
    }
    const QDate day = QDate::fromString(t, Qt::ISODate);
    if (!day.isValid()) return std::nullopt;
    return day == today() ? now() : QDateTime(day, QTime(0, 0));
}

int recordCommand(const QCommandLineParser& p) {
    const std::optional<ReturnKind> kind = returnKindOf(p.value(kindOption()));
    if (!kind) return fail(QStringLiteral("--return braucht --art widerruf, mangel oder storno."));
    const std::optional<QDateTime> when = noticeTime(p.value(dayOption()));
    if (!when)
        return fail(QStringLiteral("--return braucht --datum mit dem Tag, an dem die Erklärung kam (JJJJ-MM-TT)."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<qint64> id = recordReturn(
        currentStore(), ReturnNotice{p.value(returnOption()), *kind, *when, p.value(reasonOption())}, now());
    if (!id.ok()) return fail(oneLine(id.error()));
    err() << returnKindName(*kind) << " zu " << p.value(returnOption()).trimmed() << " erfasst; Erstattung fällig am "
          << when->date().addDays(14).toString(QStringLiteral("dd.MM.yyyy")) << ".\n";
    err().flush();
    return 0;
}

int refundCommand(const QCommandLineParser& p, const WindowProgramParts& parts) {
    const QStringList words = p.positionalArguments();
    const std::optional<qint64> cents = words.size() == 1 ? parseCents(words[0]) : std::nullopt;
    if (!cents)
        return fail(
            QStringLiteral("--refund braucht die Auktionsnummer und den Betrag, etwa: --refund "
                           "3141592601 29,40"));
    if (!parts.invoicePage) return fail(QStringLiteral("Dieses Programm kann keine Stornorechnung zeichnen."));
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<RefundDone> done = refundReturn(currentStore(), p.value(refundOption()), *cents, today(), now(),
                                                 gSettings.Nummernkreis, parts.invoicePage);
    if (!done.ok()) return fail(oneLine(done.error()));
    const RefundDone& d = done.value();
    err() << euroText(d.zurueckgenommen) << " zurückgenommen";
    if (d.erstattet > 0) err() << ", " << euroText(d.erstattet) << " erstattet (" << d.konto << ")";
    if (!d.storno.isEmpty()) err() << ", Stornorechnung " << d.storno;
    err() << ".\n";
    err().flush();
    return 0;
}

int listCommand() {
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<QList<OpenReturn>> open = openReturns(currentStore());
    if (!open.ok()) return fail(oneLine(open.error()));
    const QDate day = today();
    // Item, kind, notice, refund due, state, goods back, buyer, title: tab-separated like --list.
    for (const OpenReturn& r : open.value()) {
        QStringList state;
        if (r.faellig() < day) state << QStringLiteral("überfällig");
        if (r.unbestaetigt()) state << QStringLiteral("unbestätigt");
        out() << r.AuktionsNr << '\t' << returnKindName(r.art) << '\t'
              << r.eingang.toString(QStringLiteral("dd.MM.yyyy HH:mm")) << '\t'
              << r.faellig().toString(QStringLiteral("dd.MM.yyyy")) << '\t' << state.join(QStringLiteral(", ")) << '\t'
              << (r.wareZurueck.isValid() ? r.wareZurueck.toString(QStringLiteral("dd.MM.yyyy")) : QString()) << '\t'
              << r.ebayName << '\t' << r.Titel << '\n';
    }
    out().flush();
    return 0;
}

}  // namespace

void addReturnOptions(QCommandLineParser& parser) {
    for (const QCommandLineOption* o :
         {&returnOption(), &kindOption(), &dayOption(), &reasonOption(), &refundOption(), &returnsOption()})
        parser.addOption(*o);
}

bool returnOptionTakesWords(const QCommandLineParser& parser) { return parser.isSet(refundOption()); }

std::optional<int> returnOptions(const QCommandLineParser& parser, const WindowProgramParts& parts) {
    if (parser.isSet(returnOption())) return recordCommand(parser);
    if (parser.isSet(refundOption())) return refundCommand(parser, parts);
    if (parser.isSet(returnsOption())) return listCommand();
    return std::nullopt;
}

}  // namespace gd
