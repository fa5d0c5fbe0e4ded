// Apart from the fetch: the command line's light program says a report and keeps its day without
// loading the network libraries the fetch needs.
#include "base/AppPath.h"
#include "base/profile.h"
#include "domain/mailbox/MailboxFetch.h"
#include "domain/settings/modGlobal.h"

namespace gd {

QString fetchSummary(const FetchReport& r) {
    const auto n = [](int count, const char* one, const char* many) -> QString {
        return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(count == 1 ? one : many);
    };
    QStringList parts{n(r.stored, "Auktion gespeichert", "Auktionen gespeichert")};
    if (r.duplicates) parts << n(r.duplicates, "schon vorhanden", "schon vorhanden");
    if (r.known) parts << n(r.known, "schon abgerufen", "schon abgerufen");
    if (r.doubtful) parts << n(r.doubtful, "zu prüfen", "zu prüfen");
    if (r.tooLarge) parts << n(r.tooLarge, "zu groß", "zu groß");
    parts << n(r.untouched, "andere E-Mail unberührt", "andere E-Mails unberührt");
    QString out = QStringLiteral("Posteingang: ") + parts.join(QStringLiteral(", ")) + QLatin1Char('.');
    for (const QString& note : r.notes) out += QLatin1Char('\n') + note;
    if (!r.ok()) out += QStringLiteral("\nDer Abruf wurde abgebrochen: ") + r.failure;
    return out;
}

Status rememberWholeFetch(const QDate& day) {
    const QString text = day.toString(Qt::ISODate);
    const Status kept = win::writeProfileStrings(
        {{QStringLiteral("Posteingang"), QStringLiteral("LetzterAbruf"), text}}, configIniPath());
    if (kept.ok()) gSettings.PostLetzterAbruf = text;
    return kept;
}

}  // namespace gd
