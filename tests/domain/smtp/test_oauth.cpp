// Sign-in with a token: a local OAuth 2.0 provider (redirects at once, checks PKCE, refreshes,
// revokes) and an SMTP server that takes only XOAUTH2 over STARTTLS, both in one Python process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QUrlQuery>

#include "base/AppPath.h"
#include "domain/settings/Keyring.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/OAuth.h"
#include "domain/smtp/ctlSMTPRelay.h"
#include "domain/smtp/modMail.h"
#include "support/OAuthServer.h"
#include "support/ResultAssert.h"
#include "support/SmtpServer.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QString kUser = u"haendler@outlook.example"_s;

class TokenSignIn : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_smtp";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        useKeyring({[this](const QString& key) {
                        return KeyringRead{true, safe.contains(key), safe.value(key)};
                    },
                    [this](const QString& key, const QString& value) {
                        if (value.isEmpty())
                            safe.remove(key);
                        else
                            safe.insert(key, value);
                        return true;
                    }});
        ASSERT_TRUE(provider.start());
        ctlSMTPRelay::setReplyTimeoutSecs(5);
        ctlSMTPRelay::setExtraTrustedCertificate(provider.cert.certificate());
        gSettings.SMTPServer = u"127.0.0.1"_s;
        gSettings.SMTPPort = provider.smtpPort;
        gSettings.Verbindungssicherheit = u"STARTTLS"_s;
        gSettings.Auth = 1;
        gSettings.Konto = kUser;
        gSettings.Kennwort.clear();
        gSettings.Anmeldeverfahren = u"Microsoft"_s;
        gSettings.SMTPZeitlimit = 60;
    }
    void TearDown() override {
        forgetSignIn(u"Microsoft"_s, kUser);
        useKeyring({});
        ctlSMTPRelay::setExtraTrustedCertificate(QSslCertificate());
        gSettings.Anmeldeverfahren.clear();
        gSettings.Auth = 0;
    }
    void configure(bool withClientId = true) { app.write(u"bin/config.ini"_s, provider.configIni(withClientId)); }
    Status send() {
        return Send_SMTP(u"shop@outlook.example"_s, u"Jiří Dvořák <jiri@example.cz>"_s,
                         u"subject: Versand heute\r\nGuten Tag Herr Dvořák,\r\nIhr Paket geht heute raus.\r\n"_s,
                         QString(), true);
    }
    QHash<QString, QString> safe;  // the keyring
    test::TestApp app{true};
    test::TokenProvider provider{kUser};
};

TEST_F(TokenSignIn, SignInSendExpiryRevocationAndNoTokenOutsideTheKeyring) {
    configure(false);
    EXPECT_FALSE(oauthProvider(u"Microsoft"_s, configIniPath()));
    Status sent = send();
    EXPECT_TRUE(test::failure(sent).contains(u"fehlt die Kennung (Client-ID)"_s)) << test::failure(sent).toStdString();

    configure();
    const std::optional<OAuthProvider> p = oauthProvider(u"Microsoft"_s, configIniPath());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->scope, u"https://outlook.office.com/SMTP.Send offline_access"_s);
    EXPECT_EQ(
        p->signInScope,
        u"https://outlook.office.com/SMTP.Send offline_access https://outlook.office.com/IMAP.AccessAsUser.All"_s);
    sent = send();  // not signed in yet: said, nothing sent
    EXPECT_TRUE(test::failure(sent).contains(u"Mit Microsoft anmelden"_s)) << test::failure(sent).toStdString();

    const Result<OAuthTokens> tokens = signInWithBrowser(
        *p, [&](const QUrl& u) { return provider.browse(u); }, 20);
    ASSERT_TRUE(tokens.ok()) << tokens.error().message().toStdString();
    const QUrlQuery asked(provider.opened);
    EXPECT_EQ(asked.queryItemValue(u"code_challenge_method"_s), u"S256"_s);
    EXPECT_FALSE(asked.hasQueryItem(u"code_verifier"_s));  // the verifier only goes to the token endpoint
    EXPECT_EQ(provider.stat("pkce_ok"), 1);
    bool lasting = false;
    ASSERT_TRUE(test::ok(keepSignIn(*p, kUser, tokens.value(), &lasting)));
    EXPECT_TRUE(lasting);
    EXPECT_EQ(safe.value(u"OAuth Microsoft "_s + kUser), tokens.value().refresh);

    EXPECT_TRUE(test::ok(send()));
    EXPECT_EQ(provider.mails(), 1);
    EXPECT_EQ(provider.stat("xoauth2_ok"), 1);
    EXPECT_EQ(provider.stat("refreshed"), 0);  // the sign-in's access token still runs

    // The server no longer takes it: a new one, and the send once more.
    provider.call(u"/expire"_s);
    EXPECT_TRUE(test::ok(send()));
    EXPECT_EQ(provider.mails(), 2);
    EXPECT_EQ(provider.stat("xoauth2_bad"), 1);
    EXPECT_EQ(provider.stat("refreshed"), 1);

    // Revoked: the user is asked to sign in again, nothing goes out.
    provider.call(u"/revoke?token="_s + tokens.value().refresh);
    provider.call(u"/expire"_s);
    sent = send();
    EXPECT_TRUE(test::failure(sent).contains(u"gilt nicht mehr"_s)) << test::failure(sent).toStdString();
    EXPECT_EQ(provider.mails(), 2);

    // No token in the trace, the messages or the settings file.
    const QString said = test::failure(sent) + SMTP_1().SMTPDebugOutput();
    EXPECT_TRUE(SMTP_1().SMTPDebugOutput().contains(u"AUTH XOAUTH2"_s));
    for (const QString& secret : {tokens.value().access, tokens.value().refresh, u"ya29."_s}) {
        EXPECT_FALSE(said.contains(secret)) << said.toStdString();
        EXPECT_FALSE(app.read(u"bin/config.ini"_s).contains(secret.toUtf8()));
    }
}

// What reaches the program's loopback port: only a request with this sign-in's state counts.
// Any other (another program on this computer, a stray request of the browser) is answered and
// ignored, and the sign-in goes on; the provider's own error is said as the provider's.
TEST_F(TokenSignIn, OnlyTheSignInsOwnStateIsHeard) {
    configure();
    const std::optional<OAuthProvider> p = oauthProvider(u"Microsoft"_s, configIniPath());
    ASSERT_TRUE(p);
    struct Case {
        const char* first;  // sent before the browser's own answer; {state} becomes the request's state
        bool browserAnswers;
        const char* said;  // empty: signed in
    } cases[] = {
        {"?error=access_denied&state={state}", false, "abgelehnt oder abgebrochen"},
        {"?error=server_error&error_description=Wartung%20bis%2012%20Uhr&state={state}", false,
         "Microsoft meldet: \u201EWartung bis 12 Uhr\u201C"},
        {"?error=access_denied&error_description=Ihr%20Konto%20ist%20gesperrt.%20Bitte%20rufen%20Sie%200900-123456%20an"
         "&state=fremd",
         true, ""},
        {"?error=server_error&error_description=Bitte%20rufen%20Sie%200900-123456%20an", true, ""},
        {"?code=C999&state=fremd", true, ""},
        {"?code=C999", true, ""},
        {"?code=C999&state=", true, ""},
        {"favicon.ico", true, ""},
    };
    QNetworkAccessManager network;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        const auto browse = [&](const QUrl& asked) {
            const QUrlQuery q(asked);
            const QString back = q.queryItemValue(u"redirect_uri"_s, QUrl::FullyDecoded);
            const QString state = q.queryItemValue(u"state"_s, QUrl::FullyDecoded);
            // Sent and answered before the browser's own request goes out.
            QNetworkReply* r =
                network.get(QNetworkRequest(QUrl(back + QString::fromLatin1(c.first).replace(u"{state}"_s, state))));
            QEventLoop wait;
            QObject::connect(r, &QNetworkReply::finished, &wait, &QEventLoop::quit);
            if (!r->isFinished()) wait.exec();
            r->deleteLater();
            return c.browserAnswers ? provider.browse(asked) : true;
        };
        const Result<OAuthTokens> tokens = signInWithBrowser(*p, browse, 20);
        if (qstrlen(c.said) == 0) {
            EXPECT_TRUE(tokens.ok()) << tokens.error().message().toStdString();
            continue;
        }
        ASSERT_FALSE(tokens.ok());
        EXPECT_TRUE(tokens.error().message().contains(QString::fromUtf8(c.said)))
            << tokens.error().message().toStdString();
    }
}

}  // namespace
}  // namespace gd
