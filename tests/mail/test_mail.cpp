#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "import/MailFile.h"
#include "mail/MailComposer.h"
#include "platform/codepage.h"
#include "mail/frmMail.h"
#include "mail/modVorlagen.h"
#include "support/DbTestShared.h"
#include "support/GuiApp.h"
#include "support/SmtpServer.h"

namespace gd {
namespace {

TEST(Vorlagen, FilesKindsAndNames) {
    test::TestApp app(true);
    subInitApp();
    EXPECT_EQ(templateNames(false, false).size(), 4);
    EXPECT_EQ(templateNames(true, true).first(), QStringLiteral("Käufe bestätigen, Zahlungsdaten erbitten"));
    // grouped to a supplier: names from "z", body from w0.dat
    EXPECT_TRUE(Read_Protokoll_Version(QStringLiteral("0"), true, true).contains(QStringLiteral("ich habe bei Ihnen folgende Artikel")));
    EXPECT_EQ(gsVorlagenDatei, app.file(QStringLiteral("bin/w0.dat")));
    EXPECT_EQ(templateSubject(true, true, 0), QStringLiteral("Meine Käufe bei Ihnen"));
    // every catalogue entry has its body
    for (bool l : {false, true})
        for (bool g : {false, true})
            for (int i = 0; i < templateNames(l, g).size(); ++i)
                EXPECT_FALSE(Read_Protokoll_Version(QString::number(i), l, g).isEmpty()) << l << g << i;
    app.write(QStringLiteral("bin/y2.dat"), "A\r\nB");
    EXPECT_EQ(Read_Protokoll_Version(QStringLiteral("2"), true, false), QStringLiteral("A\r\nB\r\n"));
    const QString before = gsVorlagenDatei;
    EXPECT_EQ(Read_Protokoll_Version(QStringLiteral("9"), true, false), QString());
    EXPECT_EQ(gsVorlagenDatei, before);  // a missing file changes nothing
    app.platform.queueAnswer(Platform::Answer::No);
    EXPECT_FALSE(WriteRTF(QStringLiteral("neu")));
    EXPECT_EQ(app.read(QStringLiteral("bin/y2.dat")), QByteArray("A\r\nB"));
    EXPECT_EQ(setExtension(QStringLiteral("C:/a.b/vorlage.txt"), QStringLiteral(".datV")), QStringLiteral("C:/a.datV"));
    EXPECT_EQ(setExtension(QStringLiteral("brief"), QStringLiteral(".datV")), QStringLiteral("brief.datV"));
    gsVorlagenDatei = app.file(QStringLiteral("kein/ordner/x.datV"));
    EXPECT_FALSE(WriteRTF(QStringLiteral("x")));
    EXPECT_TRUE(app.platform.messages.last().text.startsWith(QStringLiteral("Die Vorlage kann nicht")));
}

MailInputs single() {
    MailInputs in;
    in.sName = QStringLiteral("Hans Müller");
    in.sPreis = QStringLiteral("24,50");
    in.sVersand = QStringLiteral("4,90");
    in.sEmail = QStringLiteral(" hans@example.de ");
    in.sArtikelnummer = QStringLiteral("1234567890");
    in.sBezeichnung = QStringLiteral("Kaffeemühle");
    in.sGesamtbetrag = QStringLiteral("29,40");
    in.sAngebotsende = QStringLiteral("04.12.2026");
    return in;
}

TEST(MailComposer, PlaceholdersInsuredSentenceSubjectAndUrl) {
    test::TestApp app(false);
    gsStandardUser = QStringLiteral("gavel_haendler");
    gsKontonummer = QStringLiteral("123");
    MailComposer c(single());
    const QString sentence = QStringLiteral("Falls Sie einen versicherten Versand per Postpaket wünschen, so betragen die "
                                            "Versandkosten [#versicherterversand#] EUR.");
    gsVersicherterVersand = QStringLiteral("0.00");
    EXPECT_EQ(c.fillBody(QStringLiteral("Hallo [#ebaynameto#], [#Preis#]+[#Versand#]=[#Gesamtbetrag#] auf [#Kontonummer#]. ") +
                         sentence + QStringLiteral(" [#ArtikelGroupText#]")),
              QStringLiteral("Hallo Hans Müller, 24,50+4,90=29,40 auf 123.  [#ArtikelGroupText#]"));
    gsVersicherterVersand = QStringLiteral("4.90");
    EXPECT_TRUE(c.fillBody(sentence).contains(QStringLiteral("Versandkosten 4.90 EUR.")));
    EXPECT_EQ(c.fillSubject(QStringLiteral("[#Artikelnummer#]: [#Bezeichnung#] bei [#StandardUser#] [#Preis#]")),
              QStringLiteral("1234567890: Kaffeemühle bei gavel_haendler [#Preis#]"));

    const QString body = c.finalBody(QStringLiteral("Zeile 1\r\nZeile\t2"));
    EXPECT_TRUE(body.endsWith(QStringLiteral("erstellt. Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/")));
    EXPECT_EQ(c.finalBody(body), body);  // no second footer
    glProzent20 = 0;
    glNobody = 0;
    const QString url = c.mailtoUrl(QStringLiteral("a\r\nb\tc"), QStringLiteral("Ihr Kauf"), QStringLiteral(" c@x.de "), QString());
    EXPECT_EQ(url, QStringLiteral("mailto:hans@example.de&cc= c@x.de?subject=Ihr Kauf&body=a%0D%0Ab%09c"));
    glProzent20 = 1;
    glNobody = 1;
    EXPECT_EQ(c.mailtoUrl(QStringLiteral("a"), QStringLiteral("Ihr Kauf"), QString(), QStringLiteral("b@x.de")),
              QStringLiteral("mailto:hans@example.de&bcc= b@x.de?subject=Ihr%20Kauf"));
    glProzent20 = glNobody = 0;
    struct Pre {
        const char* status;
        int entry;
    };
    for (const Pre& p : {Pre{"Versendet", 1}, Pre{"Bewertung erhalten", 0}, Pre{"Bewertet", 3}, Pre{"Abgeschlossen", 0}}) {
        MailInputs in = single();
        in.sStatus = QString::fromUtf8(p.status);
        EXPECT_EQ(MailComposer(in).preselection(4), p.entry) << p.status;
    }
}

TEST(MailComposer, MailtoUrlForEverySwitchParsesBack) {
    test::TestApp app(false);
    MailComposer c(single());
    const QString body = QStringLiteral("Guten Tag Herr Müller,\r\n\tPreis: 24,50 €\r\nGruß");
    for (int p20 : {0, 1})
        for (int nobody : {0, 1})
            for (bool copies : {false, true}) {
                glProzent20 = p20;
                glNobody = nobody;
                const QString url = c.mailtoUrl(body, QStringLiteral("Ihr Kauf: Kaffeemühle"),
                                                copies ? QStringLiteral("cc@x.de") : QString(),
                                                copies ? QStringLiteral("bcc@x.de") : QString());
                SCOPED_TRACE(url.toStdString());
                ASSERT_TRUE(url.startsWith(QStringLiteral("mailto:hans@example.de")));
                const qsizetype q = url.indexOf(QStringLiteral("?subject="));
                ASSERT_GT(q, 0);
                EXPECT_EQ(url.mid(7, q - 7), copies ? QStringLiteral("hans@example.de&cc= cc@x.de&bcc= bcc@x.de")
                                                    : QStringLiteral("hans@example.de"));
                const qsizetype b = url.indexOf(QStringLiteral("&body="));
                QString subject = url.mid(q + 9, b < 0 ? -1 : b - q - 9);
                EXPECT_EQ(subject.replace(QStringLiteral("%20"), QStringLiteral(" ")), QStringLiteral("Ihr Kauf: Kaffeemühle"));
                EXPECT_EQ(url.contains(QStringLiteral("%20")), p20 == 1);
                if (nobody) {
                    EXPECT_LT(b, 0);
                } else {
                    QString decoded = url.mid(b + 6);
                    decoded.replace(QStringLiteral("%0D%0A"), QStringLiteral("\r\n")).replace(QStringLiteral("%09"), QStringLiteral("\t"));
                    EXPECT_EQ(decoded, body);
                }
            }
    glProzent20 = glNobody = 0;
}

TEST(MailComposer, PurchaseTemplatesFillEveryPlaceholder) {
    test::TestApp app(true);
    subInitApp();
    gsStandardUser = QStringLiteral("gavel_haendler");
    gsHTTPLink1 = QStringLiteral("http://shop.example.de");
    MailInputs in = single();
    in.bLieferant = true;
    in.sName = QStringLiteral("Bärbel Öztürk");
    MailComposer c(in);
    for (int i = 0; i < templateNames(true, false).size(); ++i) {
        const QString text = c.fillBody(Read_Protokoll_Version(QString::number(i), true, false));
        EXPECT_FALSE(text.contains(QStringLiteral("[#"))) << i << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Bärbel Öztürk"))) << i;
    }
    for (int i = 0; i < templateNames(false, false).size(); ++i)
        EXPECT_FALSE(c.fillBody(Read_Protokoll_Version(QString::number(i), false, false)).contains(QStringLiteral("[#")))
            << "sale " << i;
}

class MailDb : public test::DbTest {};

TEST_F(MailDb, GroupTextsAndSums) {
    tKunde k = kunde(QStringLiteral("sammler"));
    store(auktion(QStringLiteral("11"), QStringLiteral("sammler"), QStringLiteral("01.12.2026")), k);
    tAuktion two = auktion(QStringLiteral("12"), QStringLiteral("sammler"), QStringLiteral("01.12.2026"));
    two.Preis = QStringLiteral("1.000,00");
    two.Menge = QStringLiteral("2");
    store(two, k);
    saveGruppenID(LoadMaxGruppenID(QStringLiteral("sammler")), QStringLiteral("sammler"));
    MailInputs in = single();
    in.bGruppiert = true;
    in.sKundennr = LoadMaxGruppenID(QStringLiteral("sammler"));
    in.sVersand = QStringLiteral("6,90");
    MailComposer c(in);
    c.loadGroup();
    EXPECT_EQ(c.artikelGroupText(), QStringLiteral("11 - Kaffeemühle 11 vom 01.12.2026\r\n12 - Kaffeemühle 12 vom 01.12.2026\r\n"));
    EXPECT_EQ(c.datumGroupText(), QStringLiteral("01.12.2026 "));  // an equal date once
    EXPECT_EQ(c.nummernGroupText(), QStringLiteral("11 - 12"));
    EXPECT_EQ(c.inputs().sPreis, QStringLiteral("1.012,50"));
    EXPECT_EQ(c.inputs().sGesamtbetrag, QStringLiteral("2.019,40"));  // 12,50 + 2 x 1.000,00 + 6,90
    EXPECT_EQ(c.fillSubject(QStringLiteral("[#Artikelnummer#] [#Bezeichnung#]")), QStringLiteral("11 - 12 Kaffeemühle"));
    EXPECT_EQ(c.fillBody(QStringLiteral("[#Bezeichnung#]")), QStringLiteral("[#Bezeichnung#]"));
}

class MailForm : public test::DbTest {
protected:
    void SetUp() override {
        test::guiApp();
        DbTest::SetUp();
        const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
        for (const QString& f : res.entryList(QDir::Files)) QFile::copy(res.filePath(f), app.file(QStringLiteral("bin/") + f));
        const QString keep = gsDataSource;
        subInitApp();
        gsDataSource = keep;
        gsStandardUser = QStringLiteral("haendler");
        id = store(auktion(QStringLiteral("77"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    }
    QString id;
    QString status() {
        tAuktion a;
        funLoadAuktion(a, id);
        return a.Status;
    }
    std::unique_ptr<frmMail> open() {
        MailInputs in = single();
        in.sAuktionsID = id;
        auto f = std::make_unique<frmMail>(in);
        f->show();
        f->findChild<QComboBox*>(QStringLiteral("cmbStatus"))->setCurrentIndex(1);  // "Geantwortet"
        return f;
    }
};

TEST_F(MailForm, FailedSendsRecordNoMilestone) {
    gbStandardversandmail = true;
    app.platform.shellSucceeds = false;  // no mail program registered
    auto f = open();
    EXPECT_TRUE(f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText().startsWith(QStringLiteral("Guten Tag Hans Müller")));
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_EQ(status(), QString());
    EXPECT_TRUE(app.platform.messages.last().text.startsWith(QStringLiteral("Das E-Mail-Programm konnte nicht")));
    EXPECT_TRUE(f->isVisible());

    gbStandardversandmail = false;
    gsSMTPServer = QStringLiteral("127.0.0.1");
    glSMTPPort = test::freeLoopbackPort();  // nobody listens
    gsAbsender = QStringLiteral("shop@gavel.example");
    f = open();
    auto* body = f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"));
    body->setPlainText(QStringLiteral("Mein eigener Text"));
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_TRUE(app.platform.messages.last().text.startsWith(QStringLiteral("Email konnte nicht versendet werden")));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(body->toPlainText(), QStringLiteral("Mein eigener Text"));  // nothing typed is lost
    EXPECT_TRUE(f->isVisible());
}

TEST_F(MailForm, HandOverAndSmtpRecordTheMilestone) {
    gbStandardversandmail = true;
    auto f = open();
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    ASSERT_EQ(app.platform.shellCalls.size(), 1);
    EXPECT_TRUE(app.platform.shellCalls[0].file.startsWith(QStringLiteral("mailto:hans@example.de?subject=")));
    EXPECT_EQ(status(), QStringLiteral("Geantwortet"));

    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    gbStandardversandmail = false;
    gsSMTPServer = QStringLiteral("127.0.0.1");
    glSMTPPort = server.port;
    gsAbsender = QStringLiteral("shop@gavel.example");
    glKopie = 1;
    f = open();
    f->findChild<QComboBox*>(QStringLiteral("cmbStatus"))->setCurrentIndex(4);  // "Versendet"
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_EQ(app.platform.messages.last().text, QStringLiteral("Email wurde erfolgreich versendet"));
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 1);
    const QJsonObject m = QJsonDocument::fromJson(mails.first()).object();
    EXPECT_EQ(m.value(QStringLiteral("rcpt")).toArray().toVariantList(),
              (QVariantList{QStringLiteral("hans@example.de"), QStringLiteral("shop@gavel.example")}));
    QString error;
    const QString delivered = *decodeMimeMessage(win::toAnsi(m.value(QStringLiteral("data")).toString()), &error);
    EXPECT_TRUE(delivered.contains(QStringLiteral("Guten Tag Hans Müller,"))) << delivered.toStdString();
    EXPECT_TRUE(delivered.contains(QStringLiteral("Kaffeemühle")));
    EXPECT_TRUE(delivered.contains(QStringLiteral("Diese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt.")));
    EXPECT_TRUE(m.value(QStringLiteral("data")).toString().contains(QStringLiteral("Subject: =?ISO-8859-1?Q?_Ihr_Kauf_bei_haendler:_Kaffeem=FChle_(1234567890)?=")));
    EXPECT_EQ(status(), QStringLiteral("Versendet"));
}

TEST_F(MailForm, OwnTemplateFromTheEditorIsUsedByTheNextMail) {
    gbStandardversandmail = true;
    auto f = open();
    test::screenshot(f.get(), QStringLiteral("mail.png"));
    frmchange editor(f.get());
    auto* text = editor.findChild<QPlainTextEdit*>(QStringLiteral("rtf1"));
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("[#ebaynameto#]")));  // the raw template
    text->setPlainText(QStringLiteral("Hallo "));
    text->moveCursor(QTextCursor::End);
    QTest::mouseClick(editor.findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);  // [#ebaynameto#]
    app.platform.queueFileName(app.file(QStringLiteral("bin/meine")));
    gsVorlagenDatei = app.file(QStringLiteral("bin/vorher.datV"));  // own type preselected
    QTest::mouseClick(editor.findChild<QPushButton*>(QStringLiteral("cmdsave")), Qt::LeftButton);
    EXPECT_EQ(gsVorlagenDatei, app.file(QStringLiteral("bin/meine.datV")));
    EXPECT_EQ(app.read(QStringLiteral("bin/meine.datV")), QByteArray("Hallo [#ebaynameto#]"));
    // the form reloaded the saved template, filled
    EXPECT_TRUE(f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText().startsWith(QStringLiteral("Hallo Hans Müller")));
    // the next mail form loads it as an own template
    auto g = open();
    app.platform.queueFileName(app.file(QStringLiteral("bin/meine.datV")));
    QTest::mouseClick(g->findChild<QPushButton*>(QStringLiteral("cmdload")), Qt::LeftButton);
    EXPECT_EQ(g->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText(), QStringLiteral("Hallo Hans Müller\n"));
    EXPECT_EQ(g->findChild<QLineEdit*>(QStringLiteral("txtsubject"))->text(), QStringLiteral("ebay Auktion - 1234567890: Kaffeemühle"));
}

}  // namespace
}  // namespace gd
