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

#include "domain/db/Reminders.h"
#include "domain/mail/modVorlagen.h"
#include "support/FakeMailSender.h"
#include "support/SmtpServer.h"
#include "support/UiDbTest.h"
#include "ui/frmMail.h"
#include "ui/frmchange.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;
using test::single;

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
    QString status() {
        tAuktion a;
        EXPECT_TRUE(test::found(funLoadAuktion(a, id)));
        return a.Status;
    }
    // The form set for SMTP; what it sends is kept by a fake.
    static std::shared_ptr<test::FakeMailSender::Log> fakeSmtp() {
        gbStandardversandmail = false;
        const auto log = std::make_shared<test::FakeMailSender::Log>();
        frmMail::senderFactory = [log] { return std::make_unique<test::FakeMailSender>(log); };
        return log;
    }
    // Direct sending to a server on this machine, from the shop's address.
    static void useServer(quint16 port) {
        gbStandardversandmail = false;
        gsSMTPServer = u"127.0.0.1"_s;
        glSMTPPort = port;
        gsAbsender = u"shop@gavel.example"_s;
    }
    std::unique_ptr<frmMail> open() {
        MailInputs in = single();
        in.sAuktionsID = id;
        auto f = std::make_unique<frmMail>(in);
        f->show();
        f->findChild<QComboBox*>(u"cmbStatus"_s)->setCurrentIndex(1);  // "Geantwortet"
        return f;
    }
};

// The form only shows: a send that failed records nothing and keeps what was typed;
// the next one that goes out records the milestone once.
TEST_F(MailForm, FailedSendsRecordNoMilestone) {
    const auto log = fakeSmtp();
    log->failWith = u"550 Empfänger unbekannt"_s;
    auto f = open();
    test::screenshot(f.get(), QStringLiteral("mail-ohne-girocode.png"));
    auto* body = f->findChild<QPlainTextEdit*>(u"rtf1"_s);
    EXPECT_TRUE(body->toPlainText().startsWith(u"Guten Tag Hans Müller"_s));
    body->setPlainText(u"Mein eigener Text"_s);
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    EXPECT_TRUE(platform.messages.last().text.startsWith(u"Email konnte nicht versendet werden"_s));
    EXPECT_TRUE(platform.messages.last().text.contains(u"550 Empfänger unbekannt"_s));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(body->toPlainText(), u"Mein eigener Text"_s);  // nothing typed is lost
    EXPECT_TRUE(f->isVisible());
    log->failWith.clear();
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    ASSERT_EQ(log->sent.size(), 1);
    EXPECT_EQ(log->sent[0].body, u"Mein eigener Text"_s);
    EXPECT_EQ(log->sent[0].to, u" hans@example.de "_s);
    EXPECT_EQ(status(), u"Geantwortet"_s);
    frmMail::senderFactory = &frmMail::senderOfSettings;

    // The mail program that cannot be opened is a failure too.
    gbStandardversandmail = true;
    platform.shellSucceeds = false;
    f = open();
    f->findChild<QComboBox*>(u"cmbStatus"_s)->setCurrentIndex(4);  // "Versendet"
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    EXPECT_TRUE(platform.messages.last().text.startsWith(u"Das E-Mail-Programm konnte nicht"_s));
    EXPECT_EQ(status(), u"Geantwortet"_s);
}

TEST_F(MailForm, HandOverAndSmtpRecordTheMilestone) {
    gbStandardversandmail = true;
    auto f = open();
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    ASSERT_EQ(platform.shellCalls.size(), 1);
    EXPECT_TRUE(platform.shellCalls[0].file.startsWith(u"mailto:hans@example.de?subject="_s));
    EXPECT_EQ(status(), u"Geantwortet"_s);

    const auto log = fakeSmtp();
    f = open();
    f->findChild<QComboBox*>(u"cmbStatus"_s)->setCurrentIndex(4);  // "Versendet"
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    EXPECT_EQ(platform.messages.last().text, u"Email wurde erfolgreich versendet"_s);
    ASSERT_EQ(log->sent.size(), 1);
    const OutgoingMail& m = log->sent[0];
    EXPECT_EQ(m.subject, u"Ihr Kauf bei haendler: Kaffeemühle (1234567890)"_s);
    EXPECT_TRUE(m.body.contains(u"Guten Tag Hans Müller,"_s)) << m.body.toStdString();
    EXPECT_TRUE(m.body.contains(u"Kaffeemühle"_s));
    EXPECT_TRUE(m.body.contains(u"Diese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt."_s));
    EXPECT_EQ(status(), u"Versendet"_s);
}

// An unpaid sale past its days is offered the first reminder, after that the
// second, and the second again; each one sent is kept, one that did not go out
// is not; once paid, no reminder is offered.
TEST_F(MailForm, RemindersClimbTheLadder) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    glMahnTage = 7;
    gbStandardversandmail = true;
    id = store(auktion(u"88"_s, u"k"_s, u"20.11.2026"_s), kunde(u"k"_s));
    const auto form = [this] {
        tAuktion a;
        tKunde k;
        EXPECT_TRUE(test::found(funLoadAuktion(a, id)));
        EXPECT_TRUE(test::found(funLoadKunde(k, a.ebayName)));
        auto f = std::make_unique<frmMail>(mailInputsFor(a, k, a.Preis, a.Versandkosten, a.Betrag).value());
        f->show();
        return f;
    };
    const auto send = [](frmMail* f) {
        QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    };
    struct Step {
        const char* offered;
        bool goesOut;
        int levelAfter;
    };
    for (const Step& step : {Step{"Zahlungserinnerung", false, 0}, Step{"Zahlungserinnerung", true, 1},
                             Step{"Zweite Zahlungserinnerung", true, 2}, Step{"Zweite Zahlungserinnerung", true, 2}}) {
        platform.shellSucceeds = step.goesOut;
        auto f = form();
        EXPECT_EQ(f->findChild<QComboBox*>(u"Combo1"_s)->currentText(), QString::fromUtf8(step.offered));
        EXPECT_TRUE(f->findChild<QLineEdit*>(u"txtsubject"_s)
                        ->text()
                        .startsWith(QString::fromUtf8(step.offered) + QLatin1Char(':')));
        EXPECT_TRUE(f->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText().contains(u"17,40 EUR"_s));
        send(f.get());
        EXPECT_EQ(reminderLevel(id).value(), step.levelAfter) << step.offered;
    }
    EXPECT_EQ(loadReminders(id).value().size(), 3);
    // A reminder chosen by hand counts as well; another template chosen records none.
    auto f = form();
    auto* combo = f->findChild<QComboBox*>(u"Combo1"_s);
    QTest::keyClick(combo, Qt::Key_Home);
    ASSERT_EQ(combo->currentIndex(), 0);
    send(f.get());
    EXPECT_EQ(loadReminders(id).value().size(), 3);

    ASSERT_TRUE(SaveStatusMail(id, QDateTime(QDate(2026, 12, 4), QTime(0, 0)), 2).ok());
    EXPECT_EQ(form()->findChild<QComboBox*>(u"Combo1"_s)->currentText(), u"Zahlung erhalten"_s);
    glMahnTage = 7;
}

TEST_F(MailForm, OwnTemplateFromTheEditorIsUsedByTheNextMail) {
    gbStandardversandmail = true;
    auto f = open();
    test::screenshot(f.get(), u"mail.png"_s);
    test::whenModal<frmchange>([this](frmchange* editor) {
        auto* text = editor->findChild<QPlainTextEdit*>(u"rtf1"_s);
        EXPECT_TRUE(text->toPlainText().contains(u"[#ebaynameto#]"_s));  // the raw template
        text->setPlainText(u"Hallo "_s);
        text->moveCursor(QTextCursor::End);
        QTest::mouseClick(editor->findChild<QPushButton*>(u"OrvoButton1"_s),
                          Qt::LeftButton);  // [#ebaynameto#]
        platform.queueFileName(app.file(u"bin/meine"_s));
        gsVorlagenDatei = app.file(u"bin/vorher.datV"_s);  // own type preselected
        QTest::mouseClick(editor->findChild<QPushButton*>(u"cmdsave"_s), Qt::LeftButton);
    });
    QTest::mouseClick(f->findChild<QPushButton*>(u"cmdchange"_s), Qt::LeftButton);
    EXPECT_EQ(gsVorlagenDatei, app.file(u"bin/meine.datV"_s));
    EXPECT_EQ(app.read(u"bin/meine.datV"_s), QByteArray("Hallo [#ebaynameto#]"));
    // the form reloaded the saved template, filled
    EXPECT_TRUE(f->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText().startsWith(u"Hallo Hans Müller"_s));
    // the next mail form loads it as an own template
    auto g = open();
    platform.queueFileName(app.file(u"bin/meine.datV"_s));
    QTest::mouseClick(g->findChild<QPushButton*>(u"cmdload"_s), Qt::LeftButton);
    // what goes out, the footer included, is in the text
    EXPECT_EQ(g->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText(),
              u"Hallo Hans Müller\n\n-INFO-\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt. "
              "Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/"_s);
    EXPECT_EQ(g->findChild<QLineEdit*>(u"txtsubject"_s)->text(), u"ebay Auktion - 1234567890: Kaffeemühle"_s);
}

// While a mail goes out the form says so and offers "Abbrechen"; closing the
// form ends the send at once (an error box used to appear 30 s later).
TEST_F(MailForm, SendingShowsProgressAndCanBeStopped) {
    QTcpServer silent;  // takes the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    useServer(silent.serverPort());
    for (const bool closeTheForm : {false, true}) {
        SCOPED_TRACE(closeTheForm);
        platform.messages.clear();
        auto f = open();
        auto* label = f->findChild<QLabel*>(u"lblSenden"_s);
        auto* stop = f->findChild<QPushButton*>(u"cmdStop"_s);
        EXPECT_FALSE(label->isVisible());
        EXPECT_FALSE(stop->isVisible());
        bool seenSending = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
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
        QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_TRUE(seenSending);
        EXPECT_FALSE(label->isVisible());
        EXPECT_EQ(status(), QString());  // nothing recorded
        if (closeTheForm) {
            EXPECT_FALSE(f->isVisible());
            EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
        } else {
            ASSERT_EQ(platform.messages.size(), 1);
            EXPECT_EQ(platform.messages[0].text, u"Der Versand wurde abgebrochen; die E-Mail wurde nicht versendet."_s);
            EXPECT_TRUE(f->isVisible());
        }
    }
}

TEST_F(MailForm, OneClearMessageWhenTheServerRefuses) {
    useServer(test::freeLoopbackPort());  // nobody listens
    auto f = open();
    QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text,
              u"Email konnte nicht versendet werden, Verbindungsfehler\rDer Server 127.0.0.1 hat die "
              "Verbindung auf Port %1 abgelehnt."_s.arg(glSMTPPort));
}

TEST_F(MailForm, TheFooterIsShownAndCanBeSwitchedOff) {
    const auto log = fakeSmtp();
    for (const bool footer : {true, false}) {
        gbFusszeile = footer;
        auto f = open();
        const QString shown = f->findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText();
        EXPECT_EQ(shown.contains(u"-INFO-\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt."_s), footer);
        QTest::mouseClick(f->findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
        ASSERT_EQ(log->sent.size(), footer ? 1 : 2);
        EXPECT_EQ(log->sent.last().body.contains(u"-INFO-"_s), footer);  // nothing goes out that the form did not show
    }
    gbFusszeile = true;
}

// A payment mail over SMTP carries the payment code and the invoice; the code read
// back from the attached picture is the payload, byte for byte. The mail program
// gets no files, and the form says so.
TEST_F(MailForm, PaymentCodeAndInvoiceGoWithTheMail) {
    gsIBAN = u"DE89370400440532013000"_s;
    gsBIC = u"COBADEFFXXX"_s;
    gsKontoinhaber = u"Jörg Händler"_s;
    const auto log = fakeSmtp();
    MailInputs in = single();
    in.sAuktionsID = id;
    in.sArtikelnummer = u"77"_s;
    frmMail f(in);
    f.show();
    auto* code = f.findChild<QCheckBox*>(u"chkGiroCode"_s);
    EXPECT_TRUE(code->isEnabled());
    EXPECT_TRUE(code->isChecked());  // the first template asks for the money
    EXPECT_TRUE(f.findChild<QLabel*>(u"lblGiroCode"_s)->isVisible());
    EXPECT_TRUE(f.findChild<QPlainTextEdit*>(u"rtf1"_s)->toPlainText().contains(
        u"IBAN:          DE89 3704 0044 0532 0130 00"_s));
    QTest::mouseClick(f.findChild<QCheckBox*>(u"chkRechnung"_s), Qt::LeftButton);
    test::screenshot(&f, u"mail-girocode.png"_s);
    QTest::mouseClick(f.findChild<QPushButton*>(u"OrvoButton1"_s), Qt::LeftButton);
    EXPECT_EQ(platform.messages.last().text, u"Email wurde erfolgreich versendet"_s);
    ASSERT_EQ(log->sent.size(), 1);
    EXPECT_TRUE(log->sent[0].body.contains(u"Guten Tag Hans Müller"_s));
    const QList<MailAttachment>& files = log->sent[0].files;
    ASSERT_EQ(files.size(), 2);
    const MailAttachment &png = files[0], &pdf = files[1];
    EXPECT_EQ(png.fileName, u"GiroCode.png"_s);
    EXPECT_EQ(png.mimeType, QByteArray("image/png"));
    EXPECT_EQ(pdf.fileName, u"Rechnung-77.pdf"_s);
    EXPECT_EQ(pdf.mimeType, QByteArray("application/pdf"));
    const auto saved = [&](const MailAttachment& file) {
        const QString path = app.file(file.fileName);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.data);
        return path;
    };
    QByteArray decoded = test::tool(u"zbarimg"_s, {u"--raw"_s, u"-q"_s, u"-Sbinary"_s, saved(png)});
    if (decoded.endsWith('\n') && !decoded.endsWith("77")) decoded.chop(1);
    EXPECT_EQ(decoded,
              QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJörg Händler\nDE89370400440532013000\nEUR29.40\n\n\n77"));
    const QString page = QString::fromUtf8(test::tool(u"pdftotext"_s, {saved(pdf), u"-"_s}));
    EXPECT_TRUE(page.contains(u"Hans Müller"_s)) << page.toStdString();

    gbStandardversandmail = true;
    frmMail handOver(in);
    handOver.show();
    EXPECT_FALSE(handOver.findChild<QCheckBox*>(u"chkGiroCode"_s)->isEnabled());
    EXPECT_FALSE(handOver.findChild<QCheckBox*>(u"chkRechnung"_s)->isEnabled());
    EXPECT_TRUE(handOver.findChild<QLabel*>(u"lblAnhaenge"_s)->isVisible());
}

}  // namespace
}  // namespace gd
