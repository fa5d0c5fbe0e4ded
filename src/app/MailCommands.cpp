#include "app/MailCommands.h"

#include <QCommandLineParser>

#include "app/CliCommon.h"
#include "app/CommandLine.h"
#include "base/Clock.h"
#include "domain/settings/modGlobal.h"

namespace gd {

using namespace cli;

namespace {

const QCommandLineOption& testmailOption() {
    static const QCommandLineOption testmail(QStringLiteral("testmail"),
                                             QStringLiteral("Sendet eine Testmail mit den eingestellten SMTP-Daten an "
                                                            "die Adresse."),
                                             QStringLiteral("adresse"));
    return testmail;
}

const QCommandLineOption& fetchOption() {
    static const QCommandLineOption fetch(
        QStringLiteral("fetch"),
        QStringLiteral("Ruft den Posteingang ab (Einstellungen, Optionen, Posteingang): speichert die "
                       "Benachrichtigungen der Plattform wie der Einlese-Dialog und legt sie ab; jede andere E-Mail "
                       "bleibt unberührt."));
    return fetch;
}

int testMail(const WindowProgramParts& parts, const QString& address) {
    if (!parts.sendTestMail) return fail(QStringLiteral("Dieses Programm kann keine E-Mail senden."));
    initApp();
    if (gSettings.Absender.trimmed().isEmpty())
        return fail(QStringLiteral("Es ist keine Absenderadresse eingestellt."));
    const Status sent = parts.sendTestMail(currentSettings(), address);
    if (!sent.ok()) return fail(QStringLiteral("Die Testmail wurde nicht gesendet: ") + sent.error().message());
    out() << "Testmail gesendet.\n";
    out().flush();
    return 0;
}

// The notifications of the seller's mailbox stored; the day remembered for the next search.
int fetchCommand(const WindowProgramParts& parts) {
    if (!parts.fetch) return fail(QStringLiteral("Dieses Programm kann keine E-Mails abrufen."));
    if (!initApp()) return 1;
    if (const auto refused = refuseWithoutMemberName()) return *refused;
    if (const auto refused = refuseDamaged()) return *refused;
    const FetchReport r = parts.fetch(currentSettings(), rulesInForce(), currentStore());
    out() << fetchSummary(r).section(QLatin1Char('\n'), 0, 0) << "\n";
    for (const QString& note : r.notes) out() << note << "\n";
    for (const QString& nr : r.auktionsNrn) out() << QStringLiteral("gespeichert: ") << nr << "\n";
    out().flush();
    if (!r.ok()) return fail(QStringLiteral("Der Abruf wurde abgebrochen: ") + oneLine(r.failure));
    if (!rememberWholeFetch(today()).ok())
        err() << "gaveldesk: Der Tag des Abrufs kann nicht in config.ini vermerkt werden; der nächste Abruf sucht "
                 "länger.\n";
    return 0;
}

}  // namespace

void addMailOptions(QCommandLineParser& parser) {
    parser.addOption(testmailOption());
    parser.addOption(fetchOption());
}

std::optional<int> mailOptions(const QCommandLineParser& parser, const WindowProgramParts& parts) {
    if (parser.isSet(testmailOption())) return testMail(parts, parser.value(testmailOption()));
    if (parser.isSet(fetchOption())) return fetchCommand(parts);
    return std::nullopt;
}

}  // namespace gd
