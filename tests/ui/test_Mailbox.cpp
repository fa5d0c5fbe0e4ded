// The mailbox as a seller sets it up and fetches it: the options' page "Posteingang" typed into,
// "Posteingang abrufen" clicked, the new sales in the list.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStatusBar>

#include "MainWindowFixture.h"
#include "domain/mailbox/ImapClient.h"
#include "support/ImapServer.h"
#include "ui/frmEinlesen.h"
#include "ui/frmOptionen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Mailbox : public test::MainWindowTest {
protected:
    test::LocalImapServer server;

    void SetUp() override {
        MainWindowTest::SetUp();
        app.write(u"bin/gaveldesk.ini"_s, test::DbTest::shippedKeywords());
        subInitApp();
        gsDataSource = db;
        gSettings.StandardUser = gSettings.Username = u"gavel_haendler"_s;
        if (const QString why = server.start(); !why.isEmpty()) {
            if (why.startsWith(u"skip: "_s)) GTEST_SKIP() << why.toStdString();
            FAIL() << why.toStdString();
        }
        ImapClient::setExtraTrustedCertificate(server.ca());
    }
    void TearDown() override {
        w.reset();  // a fetch still running is waited for
        ImapClient::setExtraTrustedCertificate(QSslCertificate());
        MainWindowTest::TearDown();
    }
    static void type(QWidget* dialog, const char* field, const QString& text) {
        auto* e = dialog->findChild<QLineEdit*>(QString::fromLatin1(field));
        ASSERT_NE(e, nullptr) << field;
        e->selectAll();
        test::typeText(e, text);
    }
};

TEST_F(Mailbox, TheOptionsSetItUpAndAFetchShowsTheNewSales) {
    QList<QByteArray> mails;
    for (const test::Buyer& b : test::kBuyers) mails << test::notification(b);
    mails << test::otherMail("Plattform <newsletter@ebay.example>", "Neuigkeiten im Dezember");
    // A notification whose buyer's address lacks its "@": the import dialog asks about it.
    QByteArray doubtful =
        test::notification({"3141592604", "maija_tartu", "Maija Tamm", "Rüütli 5", "51007 Tartu", "Estland"});
    doubtful.replace("maija_tartu@example.eu", "maija_tartu-example.eu");
    mails << doubtful;
    // Enough unread mail of the platform for the fetch to be seen under way.
    for (int i = 0; i < 40; ++i)
        mails << test::otherMail("Plattform <news@ebay.example>",
                                 QByteArray("Angebote " + QByteArray::number(i)).constData());
    ASSERT_TRUE(server.deliver(mails));
    open();
    EXPECT_EQ(w->grid()->Rows(), 1);

    test::whenModal<frmOptionen>([&](frmOptionen* o) {
        QTest::mouseClick(o->findChild<QPushButton*>(u"cmdPosteingang"_s), Qt::LeftButton);
        auto* page = o->findChild<QWidget*>(u"FramePosteingang"_s);
        EXPECT_TRUE(page && page->isVisible());
        type(o, "txtPostServer", server.host());
        auto* security = o->findChild<QComboBox*>(u"cboPostSicherheit"_s);
        EXPECT_EQ(security->currentText(), u"SSL/TLS (Port 993)"_s);
        type(o, "txtPostPort", QString::number(server.tlsPort()));
        type(o, "txtPostBenutzer", server.user());
        type(o, "txtPostKennwort", server.password());
        type(o, "txtPostAbsender", u"ebay.example"_s);
        EXPECT_EQ(o->findChild<QLineEdit*>(u"txtPostAblage"_s)->text(), u"Gaveldesk/Eingelesen"_s);
        test::screenshot(o, u"optionen-posteingang.png"_s);
        QTest::mouseClick(o->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
        if (o->isVisible()) {
            ADD_FAILURE() << "die Optionen blieben offen: " << lastMessage().toStdString();
            o->reject();
        }
    });
    menu("keyEinstellungen", "keyOptionen");
    const QByteArray ini = app.read(u"bin/config.ini"_s);
    EXPECT_TRUE(ini.contains("[Posteingang]")) << ini.toStdString();
    EXPECT_TRUE(ini.contains(QByteArray("Server=" + server.host().toLatin1())));
    EXPECT_FALSE(ini.contains(server.password().toLatin1()));  // scrambled, as the sending account's

    QString asked;
    test::whenModal<frmEinlesen>(
        [&asked](frmEinlesen* d) {
            asked = d->findChild<QPlainTextEdit*>(u"txtEmail"_s)->toPlainText();
            d->reject();
        },
        60000);
    QTest::mouseClick(button("cmdAbrufen"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return w->statusBar()->currentMessage().contains(u" von "_s); }, 20000));
    test::screenshot(w.get(), u"posteingang-abruf-laeuft.png"_s);
    EXPECT_TRUE(QTest::qWaitFor([&asked] { return !asked.isEmpty(); }, 60000));
    EXPECT_TRUE(asked.contains(u"3141592604"_s)) << asked.toStdString();
    EXPECT_TRUE(lastMessage().contains(u"Artikel 3141592604 wurde nicht gespeichert"_s)) << lastMessage().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([this] { return w->grid()->Rows() == 4; }, 60000)) << w->grid()->Rows();
    const QStringList members = column(2);
    for (const char* m : {"lukasz_krakow", "zoe_kbh", "juergen_m"})
        EXPECT_TRUE(members.contains(QString::fromLatin1(m))) << members.join(u", "_s).toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return w->statusBar()->currentMessage().contains(u"3 Auktionen gespeichert"_s); }, 10000))
        << w->statusBar()->currentMessage().toStdString();
    QLabel* summary = child<QLabel>(u"lblUebersicht"_s);
    EXPECT_TRUE(QTest::qWaitFor([summary] { return summary->text().contains(u"Unbezahlt: 3"_s); }, 10000))
        << summary->text().toStdString();
    test::screenshot(w.get(), u"posteingang-abgerufen.png"_s);
    EXPECT_EQ(server.list().size(), 42);  // the doubtful one and the platform's other mails, unread
    EXPECT_EQ(server.list(u"Gaveldesk/Eingelesen"_s).size(), 3);

    // By the menu, again: nothing new, nothing twice; the doubtful one asked about once more.
    test::whenModal<frmEinlesen>([](frmEinlesen* d) { d->reject(); }, 60000);
    menu("keyAktion", "keyPosteingang");
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return w->statusBar()->currentMessage().contains(u"0 Auktionen gespeichert"_s); }, 30000))
        << w->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(w->grid()->Rows(), 4);

    // Fetched every minute while the window is open: the server announces a new sale at once (IDLE).
    test::whenModal<frmOptionen>([&](frmOptionen* o) {
        QTest::mouseClick(o->findChild<QPushButton*>(u"cmdPosteingang"_s), Qt::LeftButton);
        auto* every = o->findChild<QSpinBox*>(u"spinPostIntervall"_s);
        every->setFocus();
        QTest::keyClick(every, Qt::Key_Up);
        EXPECT_EQ(every->value(), 1);
        QTest::mouseClick(o->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
    });
    menu("keyEinstellungen", "keyOptionen");
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Intervall=1"));
    QTest::qWait(1500);  // the watch signed in and waiting
    ASSERT_TRUE(server.deliver({test::notification(
        {"3141592605", "ana_porto", "Ana Gonçalves", "Rua das Flores 12", "4050-262 Porto", "Portugal"})}));
    EXPECT_TRUE(QTest::qWaitFor([this] { return w->grid()->Rows() == 5; }, 30000)) << w->grid()->Rows();
}

}  // namespace
}  // namespace gd
