// The seller's mailbox on a real IMAP server (a Dovecot of the test's own): notifications stored
// once and filed, every other mail left as it was, and the connection's faults said honestly.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "base/AppPath.h"
#include "domain/import/Accept.h"
#include "domain/mailbox/MailboxFetch.h"
#include "domain/smtp/OAuth.h"
#include "support/DbTestShared.h"
#include "support/ImapServer.h"
#include "support/OAuthServer.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;
using test::Buyer;
using test::kBuyers;
using test::notification;
using test::otherMail;

class Fetch : public test::DbTest {
protected:
    test::LocalImapServer server;
    MailboxSetup setup;
    QStringList serverOptions;

    void SetUp() override {
        DbTest::SetUp();
        app.write(u"bin/gaveldesk.ini"_s, shippedKeywords());
        subInitApp();
        gsDataSource = db;
        gSettings.StandardUser = gSettings.Username = u"gavel_haendler"_s;
        if (const QString why = server.start(serverOptions); !why.isEmpty()) {
            if (why.startsWith(u"skip: "_s)) GTEST_SKIP() << why.toStdString();
            FAIL() << why.toStdString();
        }
        ImapClient::setExtraTrustedCertificate(server.ca());
        ImapClient::setReplyTimeoutSecs(10);
        setup.account =
            ImapAccount{server.host(), server.tlsPort(), ImapSecurity::Ssl, server.user(), server.password(), QString(),
                        false,         QString()};
        setup.senders = {u"ebay.example"_s};
    }
    void TearDown() override {
        ImapClient::setExtraTrustedCertificate(QSslCertificate());
        ImapClient::setReplyTimeoutSecs(30);
        DbTest::TearDown();
    }
    FetchReport fetch(const FetchProgress& progress = {}) {
        return fetchMailbox(setup, rulesInForce(), currentStore(), progress);
    }
    void deliverAll() {
        QList<QByteArray> mails;
        for (const Buyer& b : kBuyers) mails << notification(b);
        mails << otherMail("Plattform <newsletter@ebay.example>", "Neuigkeiten im Dezember")
              << otherMail("Agnieszka <agnieszka@example.pl>", "Abendessen am Freitag?");
        ASSERT_TRUE(server.deliver(mails));
    }
    int trades(const char* nr = nullptr) {
        return nr ? count(u"select count(*) as n from Auktionen where AuktionsNr = ?"_s, {QString::fromLatin1(nr)})
                  : auctions();
    }
    static QString flagsOf(const QStringList& listed, const char* subject) {
        for (const QString& line : listed)
            if (line.section(u'\t', 2).contains(QString::fromUtf8(subject))) return line.section(u'\t', 1, 1);
        return u"<fehlt>"_s;
    }
};

// Three notifications and two other mails: three sales stored with their buyers, the three filed in
// the folder made for them, the others neither moved nor read; the same fetch again stores nothing.
TEST_F(Fetch, NotificationsAreStoredOnceAndFiledOtherMailsStayAsTheyWere) {
    deliverAll();
    const FetchReport r = fetch();
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.found, 4);  // the friend's mail is not from the platform: not even searched
    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(r.filed, 3);
    EXPECT_EQ(r.untouched, 1);
    EXPECT_EQ(trades(), 3);
    const tKunde lukasz = funLoadKunde(currentStore(), u"lukasz_krakow"_s).value().value();
    EXPECT_EQ(lukasz.Name, u"Łukasz Wróbel"_s);
    EXPECT_EQ(lukasz.Ort, u"31-019 Kraków"_s);
    const QStringList inbox = server.list();
    EXPECT_EQ(inbox.size(), 2) << inbox.join(u'\n').toStdString();
    EXPECT_FALSE(flagsOf(inbox, "Neuigkeiten").contains(u"Seen"_s)) << inbox.join(u'\n').toStdString();
    EXPECT_FALSE(flagsOf(inbox, "Abendessen").contains(u"Seen"_s));
    EXPECT_EQ(server.list(u"Gaveldesk/Eingelesen"_s).size(), 3);
    EXPECT_EQ(count(u"select count(*) as n from Posteingang where MessageID like '<31415926%'"_s), 3);
    EXPECT_EQ(fetchSummary(r).section(u'\n', 0, 0),
              u"Posteingang: 3 Auktionen gespeichert, 1 andere E-Mail unberührt."_s);

    const FetchReport again = fetch();
    ASSERT_TRUE(again.ok()) << again.failure.toStdString();
    EXPECT_EQ(again.stored, 0);
    EXPECT_EQ(trades(), 3);
    EXPECT_EQ(server.list().size(), 2);
}

// Without a folder to file in, a stored notification is only marked as read: the next search
// passes it over. A notification of a sale stored by hand before is known and filed, not doubled.
TEST_F(Fetch, MarkedAsReadWhenNoFolderIsSetAndASaleStoredByHandIsNotDoubled) {
    setup.archive.clear();
    deliverAll();
    ImportRecords typed;
    parseMail(rulesInForce(), typed,
              normalizeMailText(*decodeMimeMessage(notification(kBuyers[1]))));  // pasted before the fetch
    ASSERT_EQ(acceptImport(currentStore(), typed, {}).value(), Stored::Yes);
    const FetchReport r = fetch();
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.duplicates, 1);
    EXPECT_EQ(r.filed, 3);
    EXPECT_EQ(trades(kBuyers[1].nr), 1);
    const QStringList inbox = server.list();
    EXPECT_EQ(inbox.size(), 5);
    for (const Buyer& b : kBuyers) EXPECT_TRUE(flagsOf(inbox, b.nr).contains(u"Seen"_s)) << b.nr;
    EXPECT_FALSE(flagsOf(inbox, "Neuigkeiten").contains(u"Seen"_s));
    EXPECT_EQ(fetch().found, 1);  // only the newsletter is still unread
}

// Two fetches of the same mailbox at the same moment (two seats, two processes): every sale once.
TEST_F(Fetch, TwoFetchesAtOnceStoreEverySaleOnce) {
    Database::setBusyTimeoutMs(20000);
    deliverAll();
    FetchReport first, second;
    const Store store = currentStore();
    const ParserRules rules = rulesInForce();
    std::thread one([&] { first = fetchMailbox(setup, rules, store); });
    std::thread two([&] { second = fetchMailbox(setup, rules, store); });
    one.join();
    two.join();
    EXPECT_TRUE(first.ok()) << first.failure.toStdString();
    EXPECT_TRUE(second.ok()) << second.failure.toStdString();
    EXPECT_EQ(first.stored + second.stored, 3);
    EXPECT_EQ(trades(), 3);
    for (const Buyer& b : kBuyers) EXPECT_EQ(trades(b.nr), 1) << b.nr;
    EXPECT_EQ(server.list(u"Gaveldesk/Eingelesen"_s).size(), 3);
}

// First stored, then filed: a fetch cut off between the two (the folder could not be made) leaves
// the mail where it was, and the next fetch files it without storing it again.
TEST_F(Fetch, AMailStoredButNotFiledIsFiledByTheNextFetchNotStoredAgain) {
    deliverAll();
    setup.archive = u"Gaveldesk/"_s + QString(300, u'x');  // a name the server refuses: too long
    const FetchReport cut = fetch();
    ASSERT_TRUE(cut.ok()) << cut.failure.toStdString();
    EXPECT_EQ(cut.stored, 3);
    EXPECT_EQ(cut.filed, 0);
    ASSERT_FALSE(cut.notes.isEmpty());
    EXPECT_TRUE(cut.notes.first().contains(u"beim nächsten Abruf abgelegt"_s)) << cut.notes.first().toStdString();
    EXPECT_EQ(server.list().size(), 5);
    setup.archive = u"Gaveldesk/Eingelesen"_s;
    const FetchReport next = fetch();
    ASSERT_TRUE(next.ok()) << next.failure.toStdString();
    EXPECT_EQ(next.stored, 0);
    EXPECT_EQ(next.known, 3);
    EXPECT_EQ(next.filed, 3);
    EXPECT_EQ(trades(), 3);
    EXPECT_EQ(server.list().size(), 2);
}

// The server stops in the middle of a fetch: what was stored stays, the fetch says it was cut off,
// and once the server is back the rest comes, nothing twice.
TEST_F(Fetch, AServerStoppedMidwayLosesNothingAndDoublesNothing) {
    deliverAll();
    const FetchReport cut = fetch([this](int done, int) {
        if (done == 1) {
            EXPECT_TRUE(server.halt());
        }
        return true;
    });
    EXPECT_FALSE(cut.ok());
    EXPECT_TRUE(cut.failure.contains(u"Posteingangsserver"_s)) << cut.failure.toStdString();
    EXPECT_EQ(cut.stored, 1);
    EXPECT_EQ(trades(), 1);
    ASSERT_TRUE(server.resume());
    const FetchReport rest = fetch();
    ASSERT_TRUE(rest.ok()) << rest.failure.toStdString();
    EXPECT_EQ(rest.stored, 2);
    EXPECT_EQ(trades(), 3);
    for (const Buyer& b : kBuyers) EXPECT_EQ(trades(b.nr), 1) << b.nr;
}

// The window closes while the fetch waits for a server that stalls: it ends at once, not after the
// reply timeout, and the next fetch takes the rest.
TEST_F(Fetch, AFetchWaitingForAStalledServerEndsAtOnceWhenStopped) {
    deliverAll();
    ImapClient::setReplyTimeoutSecs(120);
    std::atomic<bool> stop{false};
    std::thread closing;
    QElapsedTimer sinceStop;
    const FetchReport cut = fetchMailbox(
        setup, rulesInForce(), currentStore(),
        [&](int done, int) {
            if (done == 1 && !closing.joinable()) {
                EXPECT_TRUE(server.freeze());
                closing = std::thread([&] {
                    QThread::msleep(300);
                    sinceStop.start();
                    stop = true;
                });
            }
            return true;
        },
        [&] { return stop.load(); });
    if (closing.joinable()) closing.join();
    EXPECT_LT(sinceStop.elapsed(), 60'000);  // a hang guard only: the reply timeout is 120 s
    EXPECT_TRUE(cut.failure.contains(u"abgebrochen"_s)) << cut.failure.toStdString();
    EXPECT_EQ(trades(), 1);
    ASSERT_TRUE(server.thaw());
    const FetchReport rest = fetch();
    ASSERT_TRUE(rest.ok()) << rest.failure.toStdString();
    EXPECT_EQ(trades(), 3);
}

// What the connection or the server refuses ends the fetch before anything is read, in German.
TEST_F(Fetch, RefusalsAreSaidAndNothingIsRead) {
    deliverAll();
    const struct {
        const char* what;
        std::function<void(MailboxSetup&)> change;
        const char* said;
    } cases[] = {
        {"wrong password", [](MailboxSetup& s) { s.account.password = u"falsch"_s; },
         "hat die Anmeldung als \u201Everkauf@example.de\u201C abgelehnt"},
        {"no folder", [](MailboxSetup& s) { s.folder = u"Verkäufe"_s; }, "Den Ordner \u201EVerkäufe\u201C gibt es"},
        {"no password without TLS",
         [this](MailboxSetup& s) {
             s.account.port = server.plainPort();
             s.account.security = ImapSecurity::None;
         },
         "Ohne Verschlüsselung wird das Kennwort nicht"},
        {"an untrusted certificate", [](MailboxSetup&) { ImapClient::setExtraTrustedCertificate(QSslCertificate()); },
         "ist ungültig; es wurde nichts abgerufen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MailboxSetup s = setup;
        c.change(s);
        const FetchReport r = fetchMailbox(s, rulesInForce(), currentStore());
        ImapClient::setExtraTrustedCertificate(server.ca());
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.failure.contains(QString::fromUtf8(c.said))) << r.failure.toStdString();
        EXPECT_EQ(r.stored, 0);
    }
    EXPECT_EQ(trades(), 0);
    for (const QString& line : server.list()) {
        EXPECT_FALSE(line.section(u'\t', 1, 1).contains(u"Seen"_s)) << line.toStdString();
    }
    // STARTTLS through the plain port works where the server offers it.
    setup.account.port = server.plainPort();
    setup.account.security = ImapSecurity::StartTls;
    const FetchReport r = fetch();
    EXPECT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.stored, 3);
}

// A server that does not offer STARTTLS gets no password.
TEST_F(Fetch, AServerWithoutStartTlsGetsNoPassword) {
    test::LocalImapServer plain;
    const QString why = plain.start({u"--no-starttls"_s});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    setup.account.port = plain.plainPort();
    setup.account.security = ImapSecurity::StartTls;
    const FetchReport r = fetch();
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.failure.contains(u"bietet keine Verschlüsselung (STARTTLS) an; es wurde kein Kennwort gesendet"_s))
        << r.failure.toStdString();
}

// A mail over the import's size is not read: a note says so, and it stays unread where it was.
TEST_F(Fetch, AMailOverTheSizeLimitIsLeftWithANote) {
    setup.maxBytes = 16 * 1024;
    ASSERT_TRUE(server.deliver({notification(kBuyers[0]), notification(kBuyers[1], 40 * 1024)}));
    const FetchReport r = fetch();
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(r.tooLarge, 1);
    ASSERT_EQ(r.notes.size(), 1);
    EXPECT_TRUE(r.notes.first().contains(u"größer als erlaubt (16 KB)"_s)) << r.notes.first().toStdString();
    const QStringList inbox = server.list();
    ASSERT_EQ(inbox.size(), 1);
    EXPECT_FALSE(inbox.first().section(u'\t', 1, 1).contains(u"Seen"_s));
}

// While the window is open, a connection waits in IDLE: a mail that comes is announced at once,
// and the watch ends within a second of being told to.
TEST_F(Fetch, IdleAnnouncesNewMailAndStopsWhenTold) {
    std::atomic<bool> stop{false};
    std::atomic<int> arrived{0};
    Status ended;
    std::thread watch([&] {
        ended = watchMailbox(
            setup, [&] { return stop.load(); }, [&] { ++arrived; });
    });
    QThread::msleep(1500);  // signed in and waiting
    ASSERT_TRUE(server.deliver({notification(kBuyers[0])}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return arrived > 0; }, 20000));
    QElapsedTimer took;
    took.start();
    stop = true;
    watch.join();
    EXPECT_TRUE(ended.ok()) << ended.error().sentence.toStdString();
    EXPECT_LT(took.elapsed(), 10000);  // a hang guard only
    EXPECT_EQ(fetch().stored, 1);
}

// A server that lies or stalls: the fetch ends saying what happened, and nothing is stored.
TEST(FetchFromALyingServer, EndsSayingWhatHappenedAndStoresNothing) {
    test::TestApp app(false);
    const QString file = app.file(u"gaveldesk.mdb"_s);
    ASSERT_TRUE(QFile::copy(test::emptyDatabaseTemplate(), file));
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const Store store{file, u"gavel_haendler"_s};
    ImapClient::setReplyTimeoutSecs(2);
    const struct {
        const char *mode, *said;
    } cases[] = {
        {"no-uidvalidity", "keine UIDVALIDITY"},
        {"short-literal", "hat die Verbindung beendet"},
        {"trickle", "antwortet nicht (Zeitüberschreitung nach 2 s)"},
        {"flood", "länger ist als erlaubt"},
        {"bye", "hat die Verbindung beendet: Wartungsarbeiten"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        QProcess liar;
        liar.start(u"/usr/bin/python3"_s, {QStringLiteral(GD_LYING_IMAP_SCRIPT), QString::fromLatin1(c.mode)});
        ASSERT_TRUE(liar.waitForReadyRead(10000));
        const quint16 port = quint16(QString::fromLatin1(liar.readLine()).section(u' ', 1).trimmed().toUInt());
        MailboxSetup setup;
        setup.account = ImapAccount{u"127.0.0.1"_s, port, ImapSecurity::None, u"verkauf@example.de"_s, u"geheim"_s,
                                    QString(),      true, QString()};
        setup.senders = {u"ebay.example"_s};
        QElapsedTimer took;
        took.start();
        const FetchReport r = fetchMailbox(setup, rulesInForce(), store);
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.failure.contains(QString::fromUtf8(c.said))) << r.failure.toStdString();
        EXPECT_EQ(r.stored, 0);
        EXPECT_LT(took.elapsed(), 60000);  // a hang guard only
        liar.closeWriteChannel();
        if (!liar.waitForFinished(3000)) liar.kill();
        liar.waitForFinished(3000);
    }
    ImapClient::setReplyTimeoutSecs(30);
    Database d = Database::open(file);
    EXPECT_EQ(test::firstNumber(d, u"select count(*) from Auktionen"_s), 0);
}

// The sending account's sign-in with a token serves its mailbox (SASL XOAUTH2, the token judged by
// the provider): a token the server no longer takes is renewed once, and no token is said anywhere.
class FetchWithToken : public Fetch {
protected:
    test::TokenProvider provider{u"verkauf@example.de"_s};

    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_mailbox";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);  // the sign-in's redirect
        ASSERT_TRUE(provider.start());
        serverOptions = {u"--oauth2"_s, provider.url(u"/introspect"_s)};
        Fetch::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        app.write(u"bin/config.ini"_s, provider.configIni());
        setup.tokenProvider = u"Microsoft"_s;
        setup.account.password.clear();
    }
    void TearDown() override {
        forgetSignIn(u"Microsoft"_s, server.user());
        Fetch::TearDown();
    }
};

TEST_F(FetchWithToken, TheSendingAccountsSignInServesTheMailbox) {
    deliverAll();
    const FetchReport before = fetch();  // not signed in yet: said, nothing read
    EXPECT_FALSE(before.ok());
    EXPECT_TRUE(before.failure.contains(u"Mit Microsoft anmelden"_s)) << before.failure.toStdString();
    const std::optional<OAuthProvider> p = oauthProvider(u"Microsoft"_s, configIniPath());
    ASSERT_TRUE(p);
    const Result<OAuthTokens> tokens = signInWithBrowser(
        *p, [this](const QUrl& u) { return provider.browse(u); }, 20);
    ASSERT_TRUE(tokens.ok()) << tokens.error().message().toStdString();
    ASSERT_TRUE(keepSignIn(*p, server.user(), tokens.value()).ok());

    EXPECT_TRUE(provider.text("signin_scope").contains(u"IMAP.AccessAsUser.All"_s));
    EXPECT_TRUE(provider.text("signin_scope").contains(u"SMTP.Send"_s));

    const FetchReport r = fetch();
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.stored, 3);
    EXPECT_GE(provider.stat("introspect_ok"), 1);
    EXPECT_EQ(provider.stat("refreshed"), 0);  // the sign-in's token serves both uses

    // The provider no longer takes the access token: a fresh one, and the fetch goes on.
    provider.call(u"/expire"_s);
    ASSERT_TRUE(server.deliver(
        {notification({"3141592699", "olga_riga", "Olga Ozoliņa", "Brīvības iela 40", "LV-1050 Rīga", "Lettland"})}));
    const FetchReport again = fetch();
    ASSERT_TRUE(again.ok()) << again.failure.toStdString();
    EXPECT_EQ(again.stored, 1);
    EXPECT_EQ(provider.stat("refreshed"), 1);
    EXPECT_GE(provider.stat("introspect_bad"), 1);
    EXPECT_EQ(trades(), 4);
    EXPECT_TRUE(provider.text("refresh_scope").contains(u"IMAP.AccessAsUser.All"_s));
    EXPECT_FALSE(provider.text("refresh_scope").contains(u"SMTP.Send"_s));
    for (const QString& secret : {tokens.value().access, tokens.value().refresh})
        EXPECT_FALSE(fetchSummary(again).contains(secret) || fetchSummary(before).contains(secret));
}

// A seller signed in before the desk read mail consented to sending only: the fetch asks for a new
// sign-in, and sending goes on with the old one meanwhile.
TEST_F(FetchWithToken, ASignInForSendingOnlyGoesOnSendingAndAsksAgainForTheMailbox) {
    deliverAll();
    const std::optional<OAuthProvider> send = oauthProvider(u"Microsoft"_s, configIniPath());
    ASSERT_TRUE(send);
    OAuthProvider earlier = *send;
    earlier.signInScope = send->scope;
    const Result<OAuthTokens> old = signInWithBrowser(
        earlier, [this](const QUrl& u) { return provider.browse(u); }, 20);
    ASSERT_TRUE(old.ok()) << old.error().message().toStdString();
    ASSERT_TRUE(keepSignIn(*send, server.user(), old.value()).ok());

    const FetchReport refused = fetch();
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.failure.contains(u"nur für das Senden"_s)) << refused.failure.toStdString();
    EXPECT_TRUE(refused.failure.contains(u"Mit Microsoft anmelden"_s));
    EXPECT_EQ(provider.stat("refused_scope"), 1);
    EXPECT_EQ(trades(), 0);
    EXPECT_EQ(server.list(u"INBOX"_s).size(), 5);
    const Result<QString> sending = accessToken(*send, server.user(), true);
    EXPECT_TRUE(sending.ok()) << sending.error().message().toStdString();
    EXPECT_TRUE(hasSignIn(u"Microsoft"_s, server.user()));

    const Result<OAuthTokens> both = signInWithBrowser(
        *send, [this](const QUrl& u) { return provider.browse(u); }, 20);
    ASSERT_TRUE(both.ok());
    ASSERT_TRUE(keepSignIn(*send, server.user(), both.value()).ok());
    const FetchReport r = fetch();
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(r.stored, 3);
}

}  // namespace
}  // namespace gd
