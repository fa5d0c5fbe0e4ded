#include "domain/smtp/OAuth.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include "base/profile.h"
#include "domain/settings/Keyring.h"

#ifndef GD_OAUTH_MICROSOFT_CLIENT_ID
#define GD_OAUTH_MICROSOFT_CLIENT_ID ""
#endif
#ifndef GD_OAUTH_GOOGLE_CLIENT_ID
#define GD_OAUTH_GOOGLE_CLIENT_ID ""
#endif
#ifndef GD_OAUTH_GOOGLE_CLIENT_SECRET
#define GD_OAUTH_GOOGLE_CLIENT_SECRET ""
#endif

namespace gd {
namespace {

struct Known {
    const char *key, *authorize, *token, *sendScope, *mailboxScope, *clientId, *clientSecret;
};
const Known kKnown[] = {
    // Microsoft identity platform, tenant "common" (personal and work accounts):
    // learn.microsoft.com/entra/identity-platform/v2-oauth2-auth-code-flow; the SMTP and IMAP scopes from
    // learn.microsoft.com/exchange/client-developer/legacy-protocols/how-to-authenticate-an-imap-pop-smtp-application-by-using-oauth
    // Each use renews with its own scope, so a sign-in made for sending only still sends.
    {"Microsoft", "https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
     "https://login.microsoftonline.com/common/oauth2/v2.0/token",
     "https://outlook.office.com/SMTP.Send offline_access",
     "https://outlook.office.com/IMAP.AccessAsUser.All offline_access", GD_OAUTH_MICROSOFT_CLIENT_ID, ""},
    // developers.google.com/identity/protocols/oauth2/native-app; one scope for SMTP and IMAP from
    // developers.google.com/gmail/imap/xoauth2-protocol. A desktop client's "secret" is no secret.
    {"Google", "https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token",
     "https://mail.google.com/", "https://mail.google.com/", GD_OAUTH_GOOGLE_CLIENT_ID, GD_OAUTH_GOOGLE_CLIENT_SECRET},
};

QString secretKey(const QString& key, const QString& user) {
    return QStringLiteral("OAuth %1 %2").arg(key, user.trimmed().toLower());
}

// Refresh tokens without a keyring, until the program ends.
QHash<QString, QString>& keptRefresh() {
    static QHash<QString, QString> tokens;
    return tokens;
}

// Access tokens, in memory only, by sign-in and scope.
QHash<QString, OAuthTokens>& keptAccess() {
    static QHash<QString, OAuthTokens> tokens;
    return tokens;
}
QString accessKey(const QString& id, const QString& scope) { return id + QLatin1Char('\n') + scope; }

void dropKept(const QString& id) {
    keptRefresh().remove(id);
    for (auto it = keptAccess().begin(); it != keptAccess().end();)
        it = it.key().startsWith(id + QLatin1Char('\n')) ? keptAccess().erase(it) : std::next(it);
}

// Whether what was granted covers what a use asks for; "offline_access" asks for the refresh
// token only and is not named back.
bool covers(const QString& granted, const QString& asked) {
    const QStringList have = granted.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& s : asked.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (s != QLatin1String("offline_access") && !have.contains(s)) return false;
    return true;
}

QString joinedScopes(const QString& a, const QString& b) {
    QStringList all = a.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& s : b.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!all.contains(s)) all << s;
    return all.join(QLatin1Char(' '));
}

QByteArray base64Url(const QByteArray& bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray formValue(const QString& v) { return QUrl::toPercentEncoding(v); }

// Waits for `done` or the time, never for ever.
bool waitFor(QEventLoop& loop, int secs) {
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    timer.start(secs * 1000);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return !timedOut;
}

QString unreachable(const OAuthProvider& p, const QString& why) {
    return QStringLiteral(
               "Der Anmeldedienst von %1 ist nicht erreichbar (%2). Bitte prüfen Sie die "
               "Internetverbindung.")
        .arg(p.key, why);
}

// Said when the mailbox's renewal is refused: a sign-in made for sending only is not revoked,
// so it is kept and goes on sending.
QString mailboxNotAllowed(const QString& key) {
    return QStringLiteral(
               "Ihre Anmeldung bei %1 erlaubt Gaveldesk nicht, den Posteingang zu lesen: Sie wurde nur f\u00FCr "
               "das Senden erteilt oder gilt nicht mehr. Bitte melden Sie sich unter Einstellungen, Emailversand mit "
               "\u201E%2\u201C neu an und stimmen Sie dabei auch dem Lesen Ihrer E-Mails zu.")
        .arg(key, signInLabel(key));
}

QString signInAgain(const QString& key) {
    return QStringLiteral(
               "Die Anmeldung bei %1 gilt nicht mehr (abgemeldet, widerrufen oder lange nicht "
               "benutzt). Bitte melden Sie sich unter Einstellungen, Emailversand mit \u201E%2\u201C neu an.")
        .arg(key, signInLabel(key));
}

}  // namespace

std::optional<OAuthProvider> oauthProvider(const QString& key, const QString& configIni, TokenUse use) {
    for (const Known& k : kKnown) {
        if (key.compare(QString::fromLatin1(k.key), Qt::CaseInsensitive) != 0) continue;
        const win::ProfileSnapshot ini(configIni);
        const QString section = QStringLiteral("OAuth");
        const auto value = [&](const char* name, const char* builtIn) {
            QString own;
            ini.GetPrivateProfileString(section, QString::fromLatin1(k.key) + QString::fromLatin1(name), QString(), own,
                                        2048);
            own = own.trimmed();
            return own.isEmpty() ? QString::fromUtf8(builtIn) : own;
        };
        const QString send = QString::fromLatin1(k.sendScope), mailbox = QString::fromLatin1(k.mailboxScope);
        OAuthProvider p{QString::fromLatin1(k.key),
                        QUrl(value("Autorisierung", k.authorize)),
                        QUrl(value("Token", k.token)),
                        use == TokenUse::Mailbox ? mailbox : send,
                        joinedScopes(send, mailbox),
                        value("ClientID", k.clientId),
                        value("ClientSecret", k.clientSecret),
                        use};
        if (p.clientId.isEmpty()) return std::nullopt;
        return p;
    }
    return std::nullopt;
}

QString signInLabel(const QString& key) { return QStringLiteral("Mit %1 anmelden").arg(key); }

// Said to a seller, who cannot register an app: what is missing, and the way that is left.
QString missingClientId(const QString& key) {
    const QString missing = QStringLiteral(
                                "Die Anmeldung mit %1 gibt es in dieser Ausgabe von Gaveldesk nicht: Ihr fehlt die "
                                "Kennung (Client-ID), die der Herausgeber des Programms bei %1 registriert. ")
                                .arg(key);
    if (key == QLatin1String("Google"))
        return missing + QStringLiteral(
                             "Für Gmail gibt es einen anderen Weg: Legen Sie in Ihrem Google-Konto ein App-Passwort an "
                             "(Sicherheit → Bestätigung in zwei Schritten → App-Passwörter), wählen Sie hier bei "
                             "„Anmeldung“ das Kennwort und tragen Sie das App-Passwort als SMTP-Kennwort ein.");
    if (key == QLatin1String("Microsoft"))
        return missing + QStringLiteral(
                             "Outlook.com, Hotmail und Microsoft 365 nehmen von anderen Programmen kein Kennwort an; "
                             "direkt senden kann Gaveldesk über diese Konten daher nicht. Wählen Sie stattdessen "
                             "„Standardemailprogramm nutzen“: Dann sendet Ihr E-Mail-Programm (etwa Outlook) jede "
                             "E-Mail, die Gaveldesk ihm übergibt.");
    return missing;
}

namespace {

// The browser's way back (RFC 8252, 7.3): one request to a port on the loopback address that
// only this process listens on; the answer page tells the user to close the window. Any program
// on this computer can reach that port: only a request with this sign-in's `state` counts, every
// other one gets a neutral page and the sign-in goes on.
class Loopback {
public:
    Loopback(QEventLoop& done, const QString& state) : done_(done), state_(state) {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { accept(); });
    }
    bool listen() { return server_.listen(QHostAddress::LocalHost, 0); }
    QString redirectUri() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }
    // The query of the request that carried a code or an error.
    const QUrlQuery& answer() const { return answer_; }
    bool answered() const { return answered_; }

private:
    void accept() {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
        }
    }
    void read(QTcpSocket* s) {
        QByteArray& request = pending_[s];
        request += s->readAll();
        if (request.size() > 16384) return s->abort();  // no browser asks this much
        const qsizetype lineEnd = request.indexOf("\r\n");
        if (lineEnd < 0 || !request.contains("\r\n\r\n")) return;
        const QList<QByteArray> line = request.left(lineEnd).split(' ');
        pending_.remove(s);
        const QUrl target(line.size() == 3 ? QString::fromLatin1(line[1]) : QString());
        const QUrlQuery query(target);
        const bool ours = line.size() == 3 && line[0] == "GET" && target.path() == QStringLiteral("/") && !answered_ &&
                          query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) == state_ &&
                          (query.hasQueryItem(QStringLiteral("code")) || query.hasQueryItem(QStringLiteral("error")));
        const QByteArray page = ours ? QStringLiteral(
                                           "<!DOCTYPE html><html lang=\"de\"><meta charset=\"utf-8\">"
                                           "<title>Gaveldesk</title><p>Gaveldesk: Die Anmeldung ist "
                                           "abgeschlossen. Sie k\u00F6nnen dieses Browserfenster "
                                           "schlie\u00DFen.</p></html>")
                                           .toUtf8()
                                     : QByteArray("Nicht gefunden");
        s->write((ours ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                 QByteArray("Content-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: ") +
                 QByteArray::number(page.size()) + "\r\n\r\n" + page);
        s->disconnectFromHost();
        if (!ours || answered_) return;
        answered_ = true;
        answer_ = query;
        done_.quit();
    }

    QEventLoop& done_;
    const QString state_;
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QUrlQuery answer_;
    bool answered_ = false;
};

// RFC 6749, 5.1: "scope" is named back only where the grant differs from the request.
OAuthTokens tokensOf(const QJsonObject& answer, const QString& asked) {
    const int secs = answer.value(QStringLiteral("expires_in")).toVariant().toInt();
    const QString granted = answer.value(QStringLiteral("scope")).toString();
    return OAuthTokens{answer.value(QStringLiteral("access_token")).toString(),
                       answer.value(QStringLiteral("refresh_token")).toString(),
                       QDateTime::currentDateTimeUtc().addSecs(secs > 0 ? secs : 3600),
                       granted.isEmpty() ? asked : granted};
}

// The code for tokens at the token endpoint (RFC 6749, 4.1.3, with the PKCE verifier).
Result<OAuthTokens> redeemCode(const OAuthProvider& p, const QString& code, const QString& redirectUri,
                               const QByteArray& verifier, int timeoutSecs) {
    QNetworkAccessManager network;
    QNetworkRequest request(p.tokenUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    request.setTransferTimeout(timeoutSecs * 1000);
    QByteArray body = "grant_type=authorization_code&code=" + formValue(code) +
                      "&redirect_uri=" + formValue(redirectUri) + "&client_id=" + formValue(p.clientId) +
                      "&code_verifier=" + verifier;
    if (!p.clientSecret.isEmpty()) body += "&client_secret=" + formValue(p.clientSecret);
    QNetworkReply* reply = network.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    const bool finished = waitFor(loop, timeoutSecs + 1);
    if (!finished) reply->abort();
    reply->deleteLater();
    if (!finished) return Error::plain(unreachable(p, QStringLiteral("Zeitüberschreitung")));
    const QJsonObject answer = QJsonDocument::fromJson(reply->read(1 << 20)).object();
    const QString access = answer.value(QStringLiteral("access_token")).toString();
    if (access.isEmpty()) {
        const QString error = answer.value(QStringLiteral("error_description")).toString();
        return Error::plain(error.isEmpty()
                                ? unreachable(p, reply->error() != QNetworkReply::NoError
                                                     ? reply->errorString()
                                                     : QStringLiteral("keine gültige Antwort"))
                                : QStringLiteral("Die Anmeldung bei %1 ist fehlgeschlagen: %2").arg(p.key, error));
    }
    return tokensOf(answer, p.signInScope);
}

}  // namespace

Result<OAuthTokens> signInWithBrowser(const OAuthProvider& p, const std::function<bool(const QUrl&)>& openBrowser,
                                      int timeoutSecs) {
    // PKCE (RFC 7636): the code is worth nothing to whoever catches it without the verifier;
    // the state ties the answer to this request.
    QByteArray random(48, Qt::Uninitialized);
    QRandomGenerator::system()->generate(random.begin(), random.end());
    const QByteArray verifier = base64Url(random.left(32));
    const QString state = QString::fromLatin1(base64Url(random.mid(32)));
    const QByteArray challenge = base64Url(QCryptographicHash::hash(verifier, QCryptographicHash::Sha256));

    QEventLoop loop;
    Loopback back(loop, state);
    if (!back.listen())
        return Error::plain(
            QStringLiteral("Die Anmeldung kann nicht beginnen: Gaveldesk kann auf diesem Rechner "
                           "keine Antwort des Browsers empfangen."));
    QUrl authorize = p.authorizeUrl;
    const QString before = authorize.query(QUrl::FullyEncoded);
    authorize.setQuery(before + (before.isEmpty() ? QString() : QStringLiteral("&")) +
                           QString::fromLatin1("response_type=code&client_id=" + formValue(p.clientId) +
                                               "&redirect_uri=" + formValue(back.redirectUri()) +
                                               "&scope=" + formValue(p.signInScope) + "&state=" + formValue(state) +
                                               "&code_challenge=" + challenge + "&code_challenge_method=S256"),
                       QUrl::StrictMode);
    if (!openBrowser(authorize)) return Error::plain(QStringLiteral("Der Browser kann nicht geöffnet werden."));
    // An answer may have come while the browser was being opened.
    if (!back.answered() && !waitFor(loop, timeoutSecs) && !back.answered())
        return Error::plain(QStringLiteral("Die Anmeldung im Browser wurde nicht innerhalb von %1 Minuten "
                                           "abgeschlossen.")
                                .arg(timeoutSecs / 60 > 0 ? timeoutSecs / 60 : 1));
    const QUrlQuery& answer = back.answer();
    const QString error = answer.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    if (error == QStringLiteral("access_denied"))
        return Error::plain(QStringLiteral("Die Anmeldung wurde im Browser abgelehnt oder abgebrochen."));
    if (!error.isEmpty()) {
        // The provider's own words, marked as such and cut short: Gaveldesk does not speak them.
        const QString description = answer.queryItemValue(QStringLiteral("error_description"), QUrl::FullyDecoded);
        return Error::plain(QStringLiteral("Die Anmeldung bei %1 ist fehlgeschlagen. %1 meldet: \u201E%2\u201C")
                                .arg(p.key, (description.isEmpty() ? error : description).simplified().left(200)));
    }
    if (answer.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != state)
        return Error::plain(unreachable(p, QStringLiteral("keine gültige Antwort")));
    const Result<OAuthTokens> tokens = redeemCode(p, answer.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded),
                                                  back.redirectUri(), verifier, timeoutSecs);
    if (!tokens.ok()) return tokens;
    if (tokens.value().access.isEmpty() || tokens.value().refresh.isEmpty())
        return Error::plain(
            QStringLiteral("%1 hat keine dauerhafte Anmeldung erteilt (kein Refresh-Token).").arg(p.key));
    return tokens;
}

Result<OAuthTokens> refreshTokens(const OAuthProvider& p, const QString& refreshToken, int timeoutSecs) {
    QNetworkAccessManager network;
    QNetworkRequest request(p.tokenUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    request.setTransferTimeout(timeoutSecs * 1000);
    QByteArray body = "grant_type=refresh_token&refresh_token=" + formValue(refreshToken) +
                      "&client_id=" + formValue(p.clientId) + "&scope=" + formValue(p.scope);
    if (!p.clientSecret.isEmpty()) body += "&client_secret=" + formValue(p.clientSecret);
    QNetworkReply* reply = network.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!waitFor(loop, timeoutSecs + 1)) {
        reply->abort();
        reply->deleteLater();
        return Error::plain(unreachable(p, QStringLiteral("Zeitüberschreitung")));
    }
    reply->deleteLater();
    const QJsonObject answer = QJsonDocument::fromJson(reply->read(1 << 20)).object();
    const QString error = answer.value(QStringLiteral("error")).toString();
    // RFC 6749, 5.2: a refresh token that is revoked or expired is "invalid_grant".
    if (error == QStringLiteral("invalid_grant"))
        return Error::plain(p.use == TokenUse::Mailbox ? mailboxNotAllowed(p.key) : signInAgain(p.key));
    const QString access = answer.value(QStringLiteral("access_token")).toString();
    if (!error.isEmpty() || access.isEmpty())
        return Error::plain(unreachable(
            p, error.isEmpty() ? (reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                           : QStringLiteral("keine gültige Antwort"))
                               : error));
    return tokensOf(answer, p.scope);
}

Status keepSignIn(const OAuthProvider& p, const QString& user, const OAuthTokens& t, bool* lasting) {
    const QString id = secretKey(p.key, user);
    dropKept(id);
    const bool stored = storeSecret(id, t.refresh);
    if (lasting) *lasting = stored;
    if (!stored) keptRefresh().insert(id, t.refresh);
    // The sign-in's access token serves every use it was granted for until it runs out.
    for (const Known& k : kKnown)
        if (p.key == QLatin1String(k.key))
            for (const char* scope : {k.sendScope, k.mailboxScope})
                if (covers(t.scope, QString::fromLatin1(scope)))
                    keptAccess().insert(accessKey(id, QString::fromLatin1(scope)), t);
    return {};
}

bool hasSignIn(const QString& key, const QString& user) {
    return keptRefresh().contains(secretKey(key, user)) || readSecret(secretKey(key, user)).found;
}

void forgetSignIn(const QString& key, const QString& user) {
    const QString id = secretKey(key, user);
    dropKept(id);
    storeSecret(id, QString());
}

Result<QString> accessToken(const OAuthProvider& p, const QString& user, bool renew) {
    const QString id = secretKey(p.key, user);
    const OAuthTokens now = keptAccess().value(accessKey(id, p.scope));
    // A minute's margin: the token must outlast the send.
    if (!renew && !now.access.isEmpty() && now.expires > QDateTime::currentDateTimeUtc().addSecs(60)) return now.access;
    QString refresh = keptRefresh().value(id);
    if (refresh.isEmpty()) {
        const KeyringRead r = readSecret(id);
        if (!r.found || r.password.isEmpty())
            return Error::plain(QStringLiteral("Gaveldesk ist bei %1 nicht angemeldet. Bitte melden Sie sich unter "
                                               "Einstellungen, Emailversand mit \u201E%2\u201C an.")
                                    .arg(p.key, signInLabel(p.key)));
        refresh = r.password;
    }
    const Result<OAuthTokens> fresh = refreshTokens(p, refresh);
    if (!fresh.ok()) {
        if (fresh.error().sentence == signInAgain(p.key)) dropKept(id);
        return fresh.error();
    }
    const OAuthTokens& next = fresh.value();
    // Some providers hand out a new refresh token with each use: the old one then stops working.
    if (!next.refresh.isEmpty() && next.refresh != refresh) {
        if (!storeSecret(id, next.refresh)) keptRefresh().insert(id, next.refresh);
    }
    keptAccess().insert(accessKey(id, p.scope), next);
    return next.access;
}

}  // namespace gd
