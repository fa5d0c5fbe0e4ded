#pragma once
// The token sign-in as the options offer it; the protocol stays with the SMTP client.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "base/Result.h"

namespace gd {

// The providers a token sign-in knows: "Microsoft", "Google".
QStringList tokenProviders();
// "Mit Microsoft anmelden"
QString tokenSignInLabel(const QString& key);
// Empty when this build or config.ini has a client ID for the provider; else why not, and what to do.
QString tokenSignInUnavailable(const QString& key);
bool tokenSignedIn(const QString& key, const QString& user);
// The sign-in in the browser, kept for the sends that follow; the sentence to show.
Result<QString> signInWithToken(const QString& key, const QString& user,
                                const std::function<bool(const QUrl&)>& openBrowser, int timeoutSecs = 300);

}  // namespace gd
