#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>

#include "domain/db/Database.h"
#include "domain/mail/ServerCertificate.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/OAuth.h"
#include "domain/smtp/PinnedCertificate.h"
#include "domain/trade/Accounts.h"
#include "domain/trade/LoadSave.h"
#include "support/GuiApp.h"
#include "support/OAuthServer.h"
#include "support/ResultAssert.h"
#include "support/SmtpServer.h"
#include "ui/frmOptionen.h"
#include "ui/frmZertifikat.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Options : public ::testing::Test {
protected:
    test::UiApp app{true};
    std::unique_ptr<frmOptionen> dlg;
    void SetUp() override { subInitApp(); }
    void open() {
        dlg = std::make_unique<frmOptionen>();
        dlg->show();
    }
    QLineEdit* txt(int i) { return dlg->findChild<QLineEdit*>(u"txtDaten_%1"_s.arg(i)); }
    template <class T>
    T* child(const char* name) {
        return dlg->findChild<T*>(QString::fromLatin1(name));
    }
    // Check boxes and radio buttons take a click on their mark, at the left.
    void click(const char* name) {
        QWidget* b = child<QWidget>(name);
        const bool mark = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {}, mark ? QPoint(8, b->height() / 2) : b->rect().center());
    }
    // Types into the field as a user does: its page shown, the old text selected and replaced.
    void type(const QString& field, const QString& t) {
        static const QStringList second = {u"txtDaten_5"_s, u"txtDaten_7"_s, u"txtDaten_8"_s, u"txtDaten_10"_s,
                                           u"txtDaten_11"_s};
        click(second.contains(field) ? "OrvoButton2" : "OrvoButton1");
        QLineEdit* e = dlg->findChild<QLineEdit*>(field);
        ASSERT_NE(e, nullptr) << field.toStdString();
        EXPECT_TRUE(e->isVisible() && e->isEnabled()) << field.toStdString();
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        test::typeText(e, t);
    }
    void type(int i, const QString& t) { type(u"txtDaten_%1"_s.arg(i), t); }
};

// Tab walks each page's fields as they stand, top to bottom (it used to jump from the name to
// the IBAN, so typed values landed in other fields), and every field has a name to be read out.
TEST_F(Options, TabFollowsThePageAndEveryFieldHasAName) {
    open();
    for (const char* page : {"Frame1", "Frame2"}) {
        SCOPED_TRACE(page);
        click(page[5] == '1' ? "OrvoButton1" : "OrvoButton2");
        QWidget* frame = child<QWidget>(page);
        QWidget* f = child<QWidget>(page[5] == '1' ? "txtUsername" : "Option1");  // the page's first
        f->setFocus();
        int y = -1, fields = 0;
        QSet<QWidget*> visited;
        for (; frame->isAncestorOf(f) && fields < 40; f = dlg->focusWidget(), ++fields) {
            visited << f;
            const int at = f->mapTo(dlg.get(), QPoint()).y();
            EXPECT_GE(at, y) << f->objectName().toStdString();
            y = at;
            const bool named = !QAccessible::queryAccessibleInterface(f)->text(QAccessible::Name).isEmpty();
            EXPECT_TRUE(named || !qobject_cast<QLineEdit*>(f)) << f->objectName().toStdString();
            QTest::keyClick(f, Qt::Key_Tab);
        }
        for (QLineEdit* e : frame->findChildren<QLineEdit*>())  // none skipped
            EXPECT_TRUE(visited.contains(e) || !e->isEnabled()) << e->objectName().toStdString();
    }
}

// Typing an address of a known provider fills its server, port and security; what the
// user changes afterwards stays.
TEST_F(Options, ASenderAddressOfAKnownProviderFillsItsValues) {
    open();
    click("OrvoButton2");
    click("Option2");       // direct over SMTP
    dlg->activateWindow();  // leaving the field is what fills the values
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    type(7, u"haendler@gmx.de"_s);
    QTest::keyClick(txt(7), Qt::Key_Tab);
    EXPECT_EQ(txt(5)->text(), u"mail.gmx.net"_s);
    EXPECT_EQ(txt(8)->text(), u"587"_s);
    EXPECT_TRUE(child<QRadioButton>("optStartTls")->isChecked());
    EXPECT_EQ(txt(10)->text(), u"haendler@gmx.de"_s);
    EXPECT_TRUE(child<QLabel>("lblAnbieter")->text().contains(u"GMX"_s));
    type(8, u"465"_s);
    QTest::keyClick(txt(7), Qt::Key_Tab);
    EXPECT_EQ(txt(8)->text(), u"465"_s);
}

// Outlook.com takes no password: its address chooses the Microsoft sign-in; a build without a
// client ID says so; with one, "Anmelden…" opens the provider's page and the browser's answer
// signs the user in.
TEST_F(Options, AnOutlookAddressChoosesTheMicrosoftSignIn) {
    test::TokenProvider provider(u"haendler@outlook.com"_s);
    ASSERT_TRUE(provider.start());
    open();
    click("OrvoButton2");
    click("Option2");
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    type(7, u"haendler@outlook.com"_s);
    QTest::keyClick(txt(7), Qt::Key_Tab);
    auto* method = child<QComboBox>("cboAnmeldung");
    EXPECT_EQ(method->currentText(), u"Mit Microsoft anmelden"_s);
    EXPECT_FALSE(txt(11)->isEnabled());  // no password asked
    EXPECT_FALSE(child<QPushButton>("cmdAnmelden")->isEnabled());
    EXPECT_TRUE(child<QLabel>("lblAnmeldung")->text().contains(u"fehlt die Kennung (Client-ID)"_s));
    if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
        dlg->grab().save(dir + u"/optionen-microsoft.png"_s);

    app.write(u"bin/config.ini"_s, provider.configIni());
    method->setCurrentIndex(0);  // chosen anew: the state is read again
    method->setCurrentIndex(method->findData(u"Microsoft"_s));
    ASSERT_TRUE(child<QPushButton>("cmdAnmelden")->isEnabled());
    EXPECT_TRUE(child<QLabel>("lblAnmeldung")->text().contains(u"Noch nicht angemeldet"_s));
    app.platform.onShell = [&](const QString& url) { provider.browse(QUrl(url)); };
    click("cmdAnmelden");
    EXPECT_EQ(app.platform.shellCalls.size(), 1);
    EXPECT_TRUE(app.platform.messages.last().text.startsWith(u"Angemeldet bei Microsoft als haendler@outlook.com."_s))
        << app.platform.messages.last().text.toStdString();
    EXPECT_EQ(provider.stat("pkce_ok"), 1);
    EXPECT_TRUE(child<QLabel>("lblAnmeldung")->text().startsWith(u"Angemeldet bei Microsoft"_s));
    if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
        dlg->grab().save(dir + u"/optionen-angemeldet.png"_s);
    click("cmdOK");
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("Anmeldeverfahren=Microsoft"));
    forgetSignIn(u"Microsoft"_s, u"haendler@outlook.com"_s);
}

// Every field is saved and shown again. The IBAN is checked by its digits before anything
// is written; it is kept without blanks and shown in groups of four. The BIC has 8 or 11
// characters.
TEST_F(Options, RoundTripOfEveryField) {
    const QByteArray before = app.read(u"bin/config.ini"_s);
    open();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    const QStringList values =
        u"Gavel Händler GmbH|1234567890|370 501 98|Sparkasse Köln|6,90 €|smtp.example.de|http://shop.example.de|"
        "shop@gavel.example|587|Bewertungen ansehen|haendler|geheim€"_s.split(u'|');
    // The own client, no copy, with sign-in, the two mail program options, and the footer that
    // a new installation has off.
    for (const char* b : {"OrvoButton2", "Option2", "Check1", "Check2", "checkpro20", "checknobody", "checkFusszeile"})
        click(b);
    for (int i = 0; i < 12; ++i) type(i, values[i]);
    type(u"txtUsername"_s, u"gavel_händler"_s);
    type(u"txtSteuernummer"_s, u"21/815/08150"_s);
    auto* tax = child<QComboBox>("cboSteuerart");
    tax->setFocus();
    QTest::keyClick(tax, Qt::Key_Down);          // standard VAT at 19 %
    type(u"txtNummernkreis"_s, u"RE-{JJJJ}"_s);  // no running number
    click("cmdOK");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"genau einen Platz"_s))
        << app.platform.messages.last().text.toStdString();
    type(u"txtNummernkreis"_s, u"R-{JJJJ}/{NNNNN}"_s);
    type(u"txtIBAN"_s, u"de89 3704 0044 0532 0130 01"_s);  // the last digit wrong
    click("cmdOK");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"ist nicht gültig"_s))
        << app.platform.messages.last().text.toStdString();
    EXPECT_EQ(app.read(u"bin/config.ini"_s), before);
    QLineEdit* iban = child<QLineEdit>("txtIBAN");
    type(u"txtIBAN"_s, u"de89370400440532013000"_s);
    QTest::keyClick(iban, Qt::Key_Tab);  // leaving the field shows the groups
    EXPECT_EQ(iban->text(), u"DE89 3704 0044 0532 0130 00"_s);
    type(u"txtBIC"_s, u"COBADEF"_s);
    click("cmdOK");
    EXPECT_TRUE(app.platform.messages.last().text.contains(u"Die BIC"_s))
        << app.platform.messages.last().text.toStdString();
    type(u"txtBIC"_s, u"COBADEFFXXX"_s);
    app.platform.messages.clear();
    click("cmdOK");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(app.platform.messages.isEmpty());  // no database: nothing to take along
    EXPECT_EQ(gSettings.Username, u"gavel_händler"_s);
    EXPECT_EQ(gSettings.StandardUser, u"gavel_händler"_s);
    EXPECT_TRUE(gSettings.Fusszeile);

    const QByteArray file = app.read(u"bin/config.ini"_s);
    for (const char* line :
         {"Standardkontoinhaber=Gavel H\xE4ndler GmbH\r\n", "Standardbank=Sparkasse K\xF6ln\r\n",
          "Standardversandmail=Falsch\r\n", "SMTPServer=smtp.example.de\r\n", "SMTPPort=587\r\n", "Kopie=0\r\n",
          "Auth=1\r\n", "Konto=haendler\r\n", "Prozent20=1\r\n", "nobody=1\r\n", "HTTPLink1=http://shop.example.de\r\n",
          "versicherterversand=6,90 \x80\r\n", "Username=gavel_h\xE4ndler\r\n", "Fusszeile=Wahr\r\n",
          "IBAN=DE89370400440532013000\r\nBIC=COBADEFFXXX\r\n", "Steuernummer=21/815/08150\r\n",
          "Nummernkreis=R-{JJJJ}/{NNNNN}\r\n", "Steuerart=19\r\n"})
        EXPECT_TRUE(file.contains(line)) << line;
    EXPECT_FALSE(file.contains("geheim"));  // scrambled
    EXPECT_EQ(gSettings.Kennwort, u"geheim€"_s);
    EXPECT_EQ(gSettings.SMTPPort, 587);
    EXPECT_EQ(gSettings.VersicherterVersand, u"6,90 €"_s);  // reloaded at once

    open();
    for (int i = 0; i < 12; ++i) EXPECT_EQ(txt(i)->text(), values[i]) << i;
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_EQ(child<QLineEdit>("txtUsername")->text(), u"gavel_händler"_s);
    EXPECT_EQ(child<QLineEdit>("txtIBAN")->text(), u"DE89 3704 0044 0532 0130 00"_s);
    EXPECT_TRUE(child<QCheckBox>("checkFusszeile")->isChecked());
    test::screenshot(dlg.get(), u"options-general.png"_s);
    gSettings.Fusszeile = true;
}

// A new member name: the rows of the old one are offered, and move only on "Ja".
TEST_F(Options, ANewMemberNameOffersTheRowsOfTheOldOne) {
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=alt\r\n");
    ASSERT_TRUE(test::ok(createDatabase(app.file(u"gaveldesk.mdb"_s))));
    subInitApp();
    tKunde k;
    k.ebayName = u"kundin"_s;
    const Result<QString> nr = funSaveKunde(currentStore(), k, u"7"_s);
    ASSERT_TRUE(test::ok(nr));
    tAuktion a;
    a.AuktionsNr = u"7"_s;
    a.EndeDatum = u"01.12.2026"_s;
    a.ebayName = k.ebayName;
    ASSERT_TRUE(test::ok(funSaveAuktionnew(currentStore(), a, nr.value())));
    for (const auto answer : {Platform::Answer::No, Platform::Answer::Yes}) {
        app.platform.messages.clear();
        app.write(u"bin/config.ini"_s, "[User]\r\nUsername=alt\r\n");
        subInitApp();
        open();
        type(u"txtUsername"_s, answer == Platform::Answer::No ? u"zwischen"_s : u"neu"_s);
        app.platform.queueAnswer(answer);
        click("cmdOK");
        ASSERT_EQ(app.platform.messages.size(), 1);
        EXPECT_TRUE(app.platform.messages[0].text.startsWith(
            u"Unter dem bisherigen Mitgliedsnamen \u201Ealt\u201C ist 1 Auktion gespeichert.\r"
            "Sollen sie zum Mitgliedsnamen \u201E%1\u201C übernommen werden?\rBei \u201ENein\u201C zeigt die Liste "
            "dann nur Geschäfte von \u201E%1\u201C"_s.arg(gSettings.Username)));
        EXPECT_EQ(app.platform.messages[0].defaultButton, Platform::Answer::Yes);  // Enter used to empty the list
        EXPECT_EQ(countTrades(currentStore(), u"alt"_s).value(), answer == Platform::Answer::No ? 1 : 0);
    }
    EXPECT_EQ(countTrades(currentStore(), u"neu"_s).value(), 1);
    EXPECT_EQ(countTrades(currentStore(), u"zwischen"_s).value(), 0);
}

// A refused value keeps the dialog open with what was typed and writes nothing.
TEST_F(Options, CancelAndRefusalsLeaveTheFileAlone) {
    const QByteArray before = app.read(u"bin/config.ini"_s);
    open();
    type(3, u"Andere Bank"_s);
    click("cmdCancel");
    EXPECT_EQ(app.read(u"bin/config.ini"_s), before);

    open();
    click("OrvoButton2");
    click("Option2");
    // The port from 1 to 65535; the days until a sale is overdue, a whole number from 1 to 365.
    const struct {
        QString field, typed, valid, said;
    } refused[] = {
        {u"txtDaten_8"_s, u"fünfundzwanzig"_s, u"587"_s, u"1 bis 65535"_s},
        {u"txtDaten_8"_s, u"70000"_s, u"587"_s, u"1 bis 65535"_s},
        {u"txtMahnTage"_s, u"0"_s, u"14"_s, u"zwischen 1 und 365"_s},
        {u"txtMahnTage"_s, u"elf"_s, u"14"_s, u"zwischen 1 und 365"_s},
        {u"txtMahnTage"_s, u"400"_s, u"14"_s, u"zwischen 1 und 365"_s},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.typed.toStdString());
        app.platform.messages.clear();
        type(r.field, r.typed);
        click("cmdOK");
        ASSERT_EQ(app.platform.messages.size(), 1);
        EXPECT_TRUE(app.platform.messages[0].text.contains(r.said));
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->findChild<QLineEdit*>(r.field)->text(), r.typed);  // nothing typed is lost
        EXPECT_EQ(app.read(u"bin/config.ini"_s), before);
        type(r.field, r.valid);
    }
    click("cmdOK");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains("[Mahnung]\r\nTage=14\r\n"));
    EXPECT_EQ(gSettings.MahnTage, 14);
    gSettings.MahnTage = 7;
}

TEST_F(Options, UnwritableSettingsFileSaysSoAndKeepsTheDialog) {
    const QString ini = app.file(u"bin/config.ini"_s);
    const bool root = ::geteuid() == 0;
    const bool locked =
        root ? QProcess::execute(u"chattr"_s, {u"+i"_s, ini}) == 0 : QFile::setPermissions(ini, QFileDevice::ReadOwner);
    if (!locked) GTEST_SKIP() << "cannot make the file read-only here";
    open();
    type(3, u"Neue Bank"_s);
    click("cmdOK");
    if (root)
        QProcess::execute(u"chattr"_s, {u"-i"_s, ini});
    else
        QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_EQ(app.platform.messages.size(), 1);
    EXPECT_TRUE(app.platform.messages[0].text.startsWith(u"Die Einstellungen können nicht gespeichert werden"_s));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(txt(3)->text(), u"Neue Bank"_s);
    EXPECT_EQ(gSettings.Bank, QString());
}

// The security choice sets the port, is kept, and the password stays home on a
// server without TLS until the user ticks the unsafe box. The test mail uses the
// settings as edited and saves none of them.
TEST_F(Options, ConnectionSecurityAndThePasswordRule) {
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start({u"--auth"_s, u"haendler:geheim"_s}));
    open();
    click("OrvoButton2");
    EXPECT_FALSE(child<QPushButton>("OrvoButton2")->isEnabled());  // the page shown
    click("Option1");                                              // the mail program: no server to name
    for (int i : {5, 7, 8}) EXPECT_FALSE(txt(i)->isEnabled()) << i;
    click("Check2");
    EXPECT_TRUE(txt(10)->isEnabled());  // sign-in, whatever the send mode
    click("Check2");
    EXPECT_FALSE(txt(11)->isEnabled());
    click("Option2");
    EXPECT_TRUE(child<QRadioButton>("optKeine")->isChecked());  // an empty file: what the program did before
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());   // the two choices do not unset each other
    const std::pair<const char*, const char*> choices[] = {
        {"optSslTls", "465"}, {"optKeine", "25"}, {"optStartTls", "587"}};
    for (const auto& [radio, port] : choices) {
        click(radio);
        EXPECT_EQ(txt(8)->text(), QString::fromLatin1(port)) << radio;
        EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked()) << radio;
    }
    EXPECT_FALSE(child<QCheckBox>("checkUnverschluesselt")->isEnabled());
    click("Check2");
    EXPECT_TRUE(child<QCheckBox>("checkUnverschluesselt")->isEnabled());
    dlg->activateWindow();  // leaving the field is what fills the values
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    type(7, u"haendler@gmx.de"_s);  // the provider's preset, then a server of one's own
    QTest::keyClick(txt(7), Qt::Key_Tab);
    EXPECT_TRUE(child<QLabel>("lblAnbieter")->text().contains(u"GMX"_s));
    type(5, u"127.0.0.1"_s);
    type(8, QString::number(server.port));  // the user's own port stays with the choice
    type(7, u"shop@gavel.example"_s);
    type(10, u"haendler"_s);
    type(11, u"geheim"_s);

    click("cmdTestmail");
    ASSERT_EQ(app.platform.messages.size(), 1);
    EXPECT_TRUE(app.platform.messages[0].text.contains(u"Kennwort auch unverschlüsselt senden (unsicher)"_s))
        << app.platform.messages[0].text.toStdString();
    EXPECT_TRUE(server.messages().isEmpty());

    click("checkUnverschluesselt");
    click("cmdTestmail");
    ASSERT_EQ(app.platform.messages.size(), 2);
    // Named as it went: through the server typed, not the preset's.
    EXPECT_EQ(app.platform.messages[1].text,
              u"Testmail gesendet an shop@gavel.example über 127.0.0.1 (Port %1)."_s.arg(server.port));
    EXPECT_EQ(server.messages().size(), 1);
    EXPECT_EQ(gSettings.SMTPServer, QString());
    test::screenshot(dlg.get(), u"options.png"_s);

    click("cmdOK");
    const QByteArray file = app.read(u"bin/config.ini"_s);
    for (const char* line : {"Verbindungssicherheit=STARTTLS\r\n", "KennwortUnverschluesselt=Wahr\r\n"})
        EXPECT_TRUE(file.contains(line)) << line << "\n" << file.toStdString();
    EXPECT_TRUE(gSettings.KennwortUnverschluesselt);
    open();
    click("OrvoButton2");
    EXPECT_TRUE(child<QRadioButton>("optStartTls")->isChecked());
    EXPECT_EQ(txt(8)->text(), QString::number(server.port));
    EXPECT_TRUE(child<QCheckBox>("checkUnverschluesselt")->isChecked());
    test::screenshot(dlg.get(), u"options-mail.png"_s);
    gSettings.KennwortUnverschluesselt = false;
}

// A home server's own certificate: refused with its fingerprint, trusted by a click, and the
// test mail goes out. Later the same server and port show another certificate: refused loudly,
// and cancelling keeps the old trust and sends nothing.
TEST_F(Options, AHomeServersCertificateIsTrustedConsciously) {
    test::TestCertificate own, other;
    ASSERT_TRUE(own.made && other.made);
    const QString fingerprint = certificateFingerprint(own.certificate());
    const quint16 port = test::freeLoopbackPort();
    const QByteArray kept = "127.0.0.1:" + QByteArray::number(port) + "=" + fingerprint.toLatin1();
    open();
    click("Option2");
    click("optStartTls");
    type(5, u"127.0.0.1"_s);
    type(8, QString::number(port));
    type(7, u"shop@gavel.example"_s);
    {
        test::LocalSmtpServer server;
        server.port = port;
        ASSERT_TRUE(server.start(own.serverArgs()));
        bool asked = false;
        test::whenModal<frmZertifikat>([&](frmZertifikat* d) {
            asked = true;
            const QString text = d->findChild<QLabel*>(u"lblZertifikat"_s)->text();
            EXPECT_TRUE(text.contains(fingerprint)) << text.toStdString();
            EXPECT_TRUE(text.contains(u"Inhaber: 127.0.0.1"_s)) << text.toStdString();
            EXPECT_FALSE(d->findChild<QLabel*>(u"lblWarnung"_s)->text().contains(u"geändert"_s));
            test::screenshot(d, u"zertifikat-vertrauen.png"_s);
            QTest::mouseClick(d->findChild<QPushButton*>(u"cmdVertrauen"_s), Qt::LeftButton);
        });
        click("cmdTestmail");
        EXPECT_TRUE(asked);
        ASSERT_FALSE(app.platform.messages.isEmpty());
        EXPECT_EQ(app.platform.messages.last().text,
                  u"Testmail gesendet an shop@gavel.example über 127.0.0.1 (Port %1)."_s.arg(port));
        EXPECT_EQ(server.messages().size(), 1);
        EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains(QByteArray("[Zertifikate]\r\n" + kept)))
            << app.read(u"bin/config.ini"_s).toStdString();
    }
    test::LocalSmtpServer server;
    server.port = port;
    ASSERT_TRUE(server.start(other.serverArgs()));
    const qsizetype said = app.platform.messages.size();
    bool warned = false;
    test::whenModal<frmZertifikat>([&](frmZertifikat* d) {
        const QString warning = d->findChild<QLabel*>(u"lblWarnung"_s)->text();
        warned = warning.contains(u"hat sich geändert"_s) && warning.contains(fingerprint);
        EXPECT_TRUE(d->findChild<QPushButton*>(u"cmdAbbrechen"_s)->isDefault());
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdAbbrechen"_s), Qt::LeftButton);
    });
    click("cmdTestmail");
    EXPECT_TRUE(warned);
    EXPECT_EQ(app.platform.messages.size(), said);  // no "gesendet"
    EXPECT_TRUE(server.messages().isEmpty());
    EXPECT_TRUE(app.read(u"bin/config.ini"_s).contains(kept));
}

}  // namespace
}  // namespace gd
