#include "domain/mail/TokenSignIn.h"

#include "base/AppPath.h"
#include "domain/smtp/OAuth.h"

namespace gd {

QStringList tokenProviders() { return {QStringLiteral("Microsoft"), QStringLiteral("Google")}; }

QString tokenSignInLabel(const QString& key) { return signInLabel(key); }

QString tokenSignInUnavailable(const QString& key) {
    if (oauthProvider(key, configIniPath())) return QString();
    // Two lines under the choice; the send's refusal says the same at length.
    const QString missing = QStringLiteral(
                                "Diese Ausgabe kann sich nicht mit %1 anmelden: Ihr fehlt die Kennung (Client-ID) des "
                                "Herausgebers. ")
                                .arg(key);
    if (key == QLatin1String("Microsoft"))
        return missing +
               QStringLiteral("Outlook.com nimmt kein Kennwort an; bitte „Standardemailprogramm nutzen“ wählen.");
    if (key == QLatin1String("Google"))
        return missing + QStringLiteral(
                             "Für Gmail geht ein App-Passwort: Anmeldung „Kennwort“, App-Passwort als "
                             "SMTP-Kennwort.");
    return missing;
}

bool tokenSignedIn(const QString& key, const QString& user) { return hasSignIn(key, user); }

Result<QString> signInWithToken(const QString& key, const QString& user,
                                const std::function<bool(const QUrl&)>& openBrowser, int timeoutSecs) {
    const std::optional<OAuthProvider> p = oauthProvider(key, configIniPath());
    if (!p) return Error::plain(missingClientId(key));
    if (user.trimmed().isEmpty())
        return Error::plain(
            QStringLiteral("Bitte tragen Sie zuerst den SMTP-Benutzernamen (Ihre E-Mail-Adresse) ein."));
    const Result<OAuthTokens> tokens = signInWithBrowser(*p, openBrowser, timeoutSecs);
    if (!tokens.ok()) return tokens.error();
    bool lasting = false;
    if (const Status kept = keepSignIn(*p, user, tokens.value(), &lasting); !kept.ok()) return kept.error();
    QString said = QStringLiteral("Angemeldet bei %1 als %2.").arg(key, user.trimmed());
    if (!lasting)
        said += QStringLiteral(
            " Der Schlüsselbund des Desktops ist nicht erreichbar: Die Anmeldung gilt nur, bis "
            "Gaveldesk beendet wird.");
    return said;
}

}  // namespace gd
