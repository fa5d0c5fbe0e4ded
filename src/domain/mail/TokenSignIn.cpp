#include "domain/mail/TokenSignIn.h"

#include "base/AppPath.h"
#include "domain/smtp/OAuth.h"

namespace gd {

QStringList tokenProviders() { return {QStringLiteral("Microsoft"), QStringLiteral("Google")}; }

QString tokenSignInLabel(const QString& key) { return signInLabel(key); }

QString tokenSignInUnavailable(const QString& key) {
    return oauthProvider(key, configIniPath()) ? QString() : missingClientId(key);
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
