#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "domain/mail/modVorlagen.h"
#include "domain/trade/TaxData.h"
#include "render/HybridPdf.h"
#include "support/FakeMailSender.h"
#include "support/UiDbTest.h"
#include "ui/frmMail.h"
#include "ui/frmchange.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class MailForm : public test::UiDbTest {
protected:
    void SetUp() override {
        UiDbTest::SetUp();
        shippedFiles();
        id = store(auktion(u"77"_s, u"k"_s), kunde(u"k"_s));
    }
    void TearDown() override {
        frmMail::senderFactory = &frmMail::senderOfSettings;
        UiDbTest::TearDown();
    }
    QString id;
    QString status() { return loaded(id).Status; }
    // The form set for SMTP; what it sends is kept by a fake.
    static std::shared_ptr<test::FakeMailSender::Log> fakeSmtp() {
        gSettings.Standardversandmail = false;
        const auto log = std::make_shared<test::FakeMailSender::Log>();
        frmMail::senderFactory = [log] { return std::make_unique<test::FakeMailSender>(log); };
        return log;
    }
    // The form of the sale, with the milestone a sent mail records (1: "Geantwortet").
    std::unique_ptr<frmMail> open(int milestone = 1) {
        MailInputs in = test::single();
        in.sAuktionsID = id;
        auto f = std::make_unique<frmMail>(in);
        f->show();
        f->findChild<QComboBox*>(u"cmbStatus"_s)->setCurrentIndex(milestone);
        return f;
    }
    static void send(QWidget* f) { QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton); }
    static QPlainTextEdit* mailText(QWidget* f) { return f->findChild<QPlainTextEdit*>(u"rtf1"_s); }
};

// The form only shows: a send that failed records nothing and keeps what was typed;
// the next one that goes out records the milestone once, by SMTP or by the mail program.
TEST_F(MailForm, OnlyASendThatWentOutRecordsTheMilestone) {
    const auto log = fakeSmtp();
    log->failWith = u"550 Empfänger unbekannt"_s;
    auto f = open();
    mailText(f.get())->setPlainText(u"Mein eigener Text"_s);
    send(f.get());
    ASSERT_EQ(platform.messages.size(), 1);  // one clear message
    EXPECT_TRUE(lastMessage().startsWith(u"Email konnte nicht versendet werden"_s));
    EXPECT_TRUE(lastMessage().contains(u"550 Empfänger unbekannt"_s));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(mailText(f.get())->toPlainText(), u"Mein eigener Text"_s);  // nothing typed is lost
    EXPECT_TRUE(f->isVisible());
    log->failWith.clear();
    send(f.get());
    ASSERT_EQ(log->sent.size(), 1);
    EXPECT_EQ(log->sent[0].body, u"Mein eigener Text"_s);  // no footer added on the way out
    EXPECT_EQ(log->sent[0].to, u" hans@example.de "_s);
    EXPECT_EQ(status(), u"Geantwortet"_s);

    f = open(4);  // "Versendet"
    send(f.get());
    EXPECT_EQ(lastMessage(), u"Email wurde erfolgreich versendet"_s);
    ASSERT_EQ(log->sent.size(), 2);
    const OutgoingMail& m = log->sent[1];
    EXPECT_EQ(m.subject, u"Ihr Kauf bei haendler: Kaffeemühle (1234567890)"_s);
    EXPECT_TRUE(m.body.contains(u"Guten Tag Hans Müller,"_s)) << m.body.toStdString();
    EXPECT_FALSE(m.body.contains(u"Diese E-Mail wurde mit"_s));  // a new installation adds no advertising
    EXPECT_EQ(status(), u"Versendet"_s);

    frmMail::senderFactory = &frmMail::senderOfSettings;
    gSettings.Standardversandmail = true;
    platform.shellSucceeds = false;  // the mail program cannot be opened
    f = open(5);
    send(f.get());
    EXPECT_TRUE(lastMessage().startsWith(u"Das E-Mail-Programm konnte nicht"_s)) << lastMessage().toStdString();
    EXPECT_EQ(status(), u"Versendet"_s);
    EXPECT_FALSE(f->findChild<QCheckBox*>(u"chkRechnung"_s)->isEnabled());  // it takes no files
    EXPECT_TRUE(f->findChild<QLabel*>(u"lblAnhaenge"_s)->isVisible());      // and the form says so
}

TEST_F(MailForm, OwnTemplateFromTheEditorIsUsedByTheNextMail) {
    gSettings.Standardversandmail = true;
    gSettings.Fusszeile = true;  // an installation that has the footer on keeps it
    auto f = open();
    test::screenshot(f.get(), u"mail.png"_s);
    // An own template loaded first: the editor then saves as that type.
    app.write(u"bin/vorher.datV"_s, "Guten Tag [#ebaynameto#]");
    platform.queueFileName(app.file(u"bin/vorher.datV"_s));
    QTest::mouseClick(f->findChild<QPushButton*>(u"cmdload"_s), Qt::LeftButton);
    test::whenModal<frmchange>([this](frmchange* editor) {
        QPlainTextEdit* raw = mailText(editor);
        EXPECT_TRUE(raw->toPlainText().contains(u"[#ebaynameto#]"_s));  // the raw template
        raw->setPlainText(u"Hallo "_s);
        raw->moveCursor(QTextCursor::End);
        QTest::mouseClick(editor->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);  // [#ebaynameto#]
        platform.queueFileName(app.file(u"bin/meine"_s));
        QTest::mouseClick(editor->findChild<QPushButton*>(u"cmdsave"_s), Qt::LeftButton);
    });
    QTest::mouseClick(f->findChild<QPushButton*>(u"cmdchange"_s), Qt::LeftButton);
    EXPECT_EQ(f->templateFile(), app.file(u"bin/meine.datV"_s));
    EXPECT_EQ(app.read(u"bin/meine.datV"_s), QByteArray("Hallo [#ebaynameto#]"));
    // the form reloaded the saved template, filled
    EXPECT_TRUE(mailText(f.get())->toPlainText().startsWith(u"Hallo Hans Müller"_s));
    // the next mail form loads it as an own template
    auto g = open();
    platform.queueFileName(app.file(u"bin/meine.datV"_s));
    QTest::mouseClick(g->findChild<QPushButton*>(u"cmdload"_s), Qt::LeftButton);
    // what goes out, the footer included, is in the text
    EXPECT_EQ(mailText(g.get())->toPlainText(),
              u"Hallo Hans Müller\n\n-INFO-\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt. "
              "Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/"_s);
    EXPECT_EQ(g->findChild<QLineEdit*>(u"txtsubject"_s)->text(), u"ebay Auktion - 1234567890: Kaffeemühle"_s);
}

// While a mail goes out the form says so and offers "Abbrechen"; closing the
// form ends the send at once (an error box used to appear 30 s later).
TEST_F(MailForm, SendingShowsProgressAndCanBeStopped) {
    QTcpServer silent;  // takes the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    gSettings.Standardversandmail = false;  // our own client, to that server
    gSettings.SMTPServer = u"127.0.0.1"_s;
    gSettings.SMTPPort = silent.serverPort();
    gSettings.Absender = u"shop@gavel.example"_s;
    for (const bool closeTheForm : {false, true}) {
        SCOPED_TRACE(closeTheForm);
        platform.messages.clear();
        auto f = open();
        auto* label = f->findChild<QLabel*>(u"lblSenden"_s);
        auto* stop = f->findChild<QPushButton*>(u"cmdStop"_s);
        EXPECT_FALSE(label->isVisible());
        EXPECT_FALSE(stop->isVisible());
        const QSize before = f->size();
        bool seenSending = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            if (!label->isVisible()) return;
            poll.stop();
            seenSending = stop->isVisible() && stop->isEnabled();
            if (closeTheForm)
                f->close();
            else
                QTest::mouseClick(stop, Qt::LeftButton);
        });
        poll.start();
        QElapsedTimer t;
        t.start();
        send(f.get());
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_TRUE(seenSending);
        EXPECT_FALSE(label->isVisible());
        EXPECT_EQ(f->size(), before);    // a form that grew with its progress stayed so
        EXPECT_EQ(status(), QString());  // nothing recorded
        EXPECT_EQ(f->isVisible(), !closeTheForm);
        EXPECT_EQ(platform.messageTexts(),
                  closeTheForm ? QStringList()
                               : QStringList{u"Der Versand wurde abgebrochen; die E-Mail wurde nicht versendet."_s});
    }
}

// A payment mail over SMTP carries the payment code and the invoice; the code read
// back from the attached picture is the payload, byte for byte.
TEST_F(MailForm, PaymentCodeAndInvoiceGoWithTheMail) {
    gSettings.IBAN = u"DE89370400440532013000"_s;
    gSettings.BIC = u"COBADEFFXXX"_s;
    gSettings.Kontoinhaber = u"Jörg Händler"_s;
    const auto log = fakeSmtp();
    MailInputs in = test::single();
    in.sAuktionsID = id;
    in.sArtikelnummer = u"77"_s;
    frmMail f(in);
    f.show();
    auto* code = f.findChild<QCheckBox*>(u"chkGiroCode"_s);
    EXPECT_TRUE(code->isEnabled());
    EXPECT_TRUE(code->isChecked());  // the first template asks for the money
    EXPECT_TRUE(f.findChild<QLabel*>(u"lblGiroCode"_s)->isVisible());
    EXPECT_TRUE(mailText(&f)->toPlainText().contains(u"IBAN:          DE89 3704 0044 0532 0130 00"_s));
    QTest::mouseClick(f.findChild<QCheckBox*>(u"chkRechnung"_s), Qt::LeftButton);
    test::screenshot(&f, u"mail-girocode.png"_s);
    send(&f);
    EXPECT_EQ(lastMessage(), u"Email wurde erfolgreich versendet"_s);
    ASSERT_EQ(log->sent.size(), 1);
    const QList<MailAttachment>& files = log->sent[0].files;
    ASSERT_EQ(files.size(), 2);
    const MailAttachment &png = files[0], &pdf = files[1];
    EXPECT_EQ(png.fileName, u"GiroCode.png"_s);
    EXPECT_EQ(pdf.fileName, u"Rechnung-RE-2026-0001.pdf"_s);
    EXPECT_TRUE(pdf.data.startsWith("%PDF-"));
    app.write(png.fileName, png.data);
    QByteArray decoded = test::tool(u"zbarimg"_s, {u"--raw"_s, u"-q"_s, u"-Sbinary"_s, app.file(png.fileName)});
    if (decoded.endsWith('\n') && !decoded.endsWith("77")) decoded.chop(1);
    EXPECT_EQ(decoded,
              QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJörg Händler\nDE89370400440532013000\nEUR29.40\n\n\n77"));
}

// A business buyer writing from the platform's alias address (which passes on only PDF and
// pictures) gets the invoice as one PDF with the e-invoice inside, never a bare XML.
TEST_F(MailForm, ABusinessBuyerBehindAnAliasGetsTheHybridPdf) {
    gSettings.Steuerart = u"19"_s;
    gSettings.UstId = u"DE123456789"_s;
    ASSERT_TRUE(saveBusiness(currentStore(), u"k"_s, {u"Brouwerij Janssens BV"_s, u"BE0123456789"_s}).ok());
    const auto log = fakeSmtp();
    MailInputs in = test::single();
    in.sAuktionsID = id;
    in.sArtikelnummer = u"77"_s;
    in.sEmail = u"k.x7f2q9@members.plattform.example"_s;
    frmMail f(in);
    f.show();
    QTest::mouseClick(f.findChild<QCheckBox*>(u"chkRechnung"_s), Qt::LeftButton);
    send(&f);
    ASSERT_EQ(log->sent.size(), 1);
    const QList<MailAttachment>& files = log->sent[0].files;
    for (const MailAttachment& a : files) EXPECT_FALSE(a.fileName.endsWith(u".xml"_s)) << a.fileName.toStdString();
    const auto pdf = std::find_if(files.begin(), files.end(),
                                  [](const MailAttachment& a) { return a.mimeType == "application/pdf"; });
    ASSERT_NE(pdf, files.end());
    const Result<QByteArray> xml = embeddedInvoiceXml(pdf->data);
    ASSERT_TRUE(xml.ok()) << xml.error().message().toStdString();
    EXPECT_TRUE(xml.value().contains("Brouwerij Janssens BV"));
    gSettings.Steuerart.clear();
    gSettings.UstId.clear();
}

}  // namespace
}  // namespace gd
