#pragma once
// Sign-in with a token (OAuth 2.0) for the mail providers that take no password from
// other programs: the authorization-code flow with PKCE in the user's browser, the
// refresh token in the desktop's keyring, a valid access token for every send.

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "base/Result.h"

namespace gd {

// What a token is for: a sign-in grants both, each use renews with its own scope.
enum class TokenUse { Send, Mailbox };

struct OAuthProvider {
    QString key;  // "Microsoft" or "Google": the setting's value
    QUrl authorizeUrl, tokenUrl;
    QString scope;        // what a renewal asks for: this use's
    QString signInScope;  // what the sign-in asks for: every use's
    QString clientId, clientSecret;
    TokenUse use = TokenUse::Send;
};

// The provider with this build's client ID; config.ini may name another in [OAuth]
// (<key>ClientID, <key>ClientSecret) and other addresses (<key>Autorisierung, <key>Token).
// Nothing for an unknown key or without a client ID.
std::optional<OAuthProvider> oauthProvider(const QString& key, const QString& configIni, TokenUse use = TokenUse::Send);
// "Mit Microsoft anmelden"
QString signInLabel(const QString& key);
// Why this build cannot sign in with the provider, and how to give it a client ID.
QString missingClientId(const QString& key);

struct OAuthTokens {
    QString access, refresh;
    QDateTime expires;
    QString scope;  // what the access token is good for, as granted
};

// The whole sign-in: `openBrowser` shows the provider's page (false when it cannot), whose
// answer comes back to a server on 127.0.0.1 that lives only for this call.
Result<OAuthTokens> signInWithBrowser(const OAuthProvider& p, const std::function<bool(const QUrl&)>& openBrowser,
                                      int timeoutSecs = 300);
// A new access token for the refresh token; a revoked one is said so.
Result<OAuthTokens> refreshTokens(const OAuthProvider& p, const QString& refreshToken, int timeoutSecs = 30);

// Keeps a sign-in: the refresh token in the keyring (without one, until the program ends;
// `lasting` says which), the access token in memory.
Status keepSignIn(const OAuthProvider& p, const QString& user, const OAuthTokens& t, bool* lasting = nullptr);
bool hasSignIn(const QString& key, const QString& user);
void forgetSignIn(const QString& key, const QString& user);
// An access token for a send: the kept one while it runs, else a new one. `renew` asks for a
// new one anyway (the server refused the kept one).
Result<QString> accessToken(const OAuthProvider& p, const QString& user, bool renew);

}  // namespace gd
