// --fetch as a seller's scheduled task runs it: two at once, or killed at any moment; the next
// fetch finishes what was left, and no sale is stored twice.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "RunCli.h"
#include "domain/settings/Crypt.h"
#include "domain/smtp/PinnedCertificate.h"
#include "support/ImapServer.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class FetchCommand : public ::testing::Test {
protected:
    test::TestApp app;
    test::LocalImapServer server;

    void SetUp() override {
        if (const QString why = server.start(); !why.isEmpty()) {
            if (why.startsWith(u"skip: "_s)) GTEST_SKIP() << why.toStdString();
            FAIL() << why.toStdString();
        }
        // The test's server is trusted as a seller trusts their own: by its fingerprint.
        const QByteArray config = kUser + "[Posteingang]\r\nServer=" + server.host().toLatin1() +
                                  "\r\nPort=" + QByteArray::number(server.tlsPort()) +
                                  "\r\nSicherheit=SSL\r\nBenutzer=" + server.user().toLatin1() +
                                  "\r\nKennwort=" + Crypt(server.password(), kPasswordKey, true).toLatin1() +
                                  "\r\nAbsender=ebay.example\r\n[Zertifikate]\r\n" + server.host().toLatin1() + ':' +
                                  QByteArray::number(server.tlsPort()) + '=' +
                                  certificateFingerprint(server.ca()).toLatin1() + "\r\n";
        makeDatabase(app, config);
    }
    QProcess* start() {
        auto* p = new QProcess;
        p->setProcessEnvironment(environment(app.path()));
        p->start(QStringLiteral(GD_EXECUTABLE), {u"--fetch"_s});
        EXPECT_TRUE(p->waitForStarted(20000));
        return p;
    }
    QStringList trades() { return tradesOf(run(app, {u"--list"_s})); }
};

TEST_F(FetchCommand, TwoAtOnceStoreEachSaleOnceAndLeaveOtherMailsAlone) {
    QList<QByteArray> mails;
    for (const test::Buyer& b : test::kBuyers) mails << test::notification(b);
    mails << test::otherMail("Plattform <newsletter@ebay.example>", "Neuigkeiten im Dezember");
    ASSERT_TRUE(server.deliver(mails));
    std::unique_ptr<QProcess> one(start()), two(start());
    ASSERT_TRUE(one->waitForFinished(120000));
    ASSERT_TRUE(two->waitForFinished(120000));
    const QString said = QString::fromUtf8(one->readAllStandardOutput() + two->readAllStandardOutput());
    EXPECT_EQ(one->exitCode(), 0) << one->readAllStandardError().toStdString();
    EXPECT_EQ(two->exitCode(), 0) << two->readAllStandardError().toStdString();
    EXPECT_EQ(trades(), (QStringList{u"3141592601"_s, u"3141592602"_s, u"3141592603"_s})) << said.toStdString();
    EXPECT_EQ(server.list().size(), 1);
    EXPECT_EQ(server.list(u"Gaveldesk/Eingelesen"_s).size(), 3);
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("LetzterAbruf=2"));
}

// Killed at many moments of a fetch (some between storing a sale and filing its mail): the next
// fetch stores what is missing and files what is left, each sale once.
TEST_F(FetchCommand, KilledAtAnyMomentTheNextFetchFinishesWithoutDoubles) {
    QElapsedTimer clock;
    QStringList numbers;
    int storedNotFiled = 0;
    for (const int ms : {100, 250, 400, 550, 700, 900, 1200, 1600}) {
        test::Buyer b = test::kBuyers[numbers.size() % 3];
        const QByteArray nr = QByteArray::number(4242420000ll + ms);
        b.nr = nr.constData();
        numbers << QString::fromLatin1(nr);
        ASSERT_TRUE(server.deliver({test::notification(b)}));
        std::unique_ptr<QProcess> p(start());
        QThread::msleep(ms);
        p->kill();
        p->waitForFinished(20000);
        const bool stored = trades().contains(QString::fromLatin1(nr));
        const bool filed = server.list(u"Gaveldesk/Eingelesen"_s).join(u'\n').contains(QString::fromLatin1(nr));
        if (stored && !filed) ++storedNotFiled;
    }
    clock.start();
    const Outcome last = run(app, {u"--fetch"_s});
    EXPECT_EQ(last.code, 0) << last.err.toStdString();
    numbers.sort();
    EXPECT_EQ(trades(), numbers) << last.out.toStdString();
    EXPECT_TRUE(server.list().isEmpty()) << server.list().join(u'\n').toStdString();
    EXPECT_EQ(server.list(u"Gaveldesk/Eingelesen"_s).size(), numbers.size());
    std::printf("Abbrüche zwischen Speichern und Ablegen: %d von %lld\n", storedNotFiled,
                static_cast<long long>(numbers.size()));
}

}  // namespace
}  // namespace gd
