#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "base/codepage.h"
#include "domain/db/Reminders.h"
#include "domain/import/MailFile.h"
#include "domain/mail/modVorlagen.h"
#include "support/FakeMailSender.h"
#include "support/SmtpServer.h"
#include "support/UiDbTest.h"
#include "ui/frmMail.h"
#include "ui/frmchange.h"

namespace gd {
namespace {

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

class MailForm : public test::UiDbTest {
protected:
    void SetUp() override {
        UiDbTest::SetUp();
        const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
        for (const QString& f : res.entryList(QDir::Files))
            QFile::copy(res.filePath(f), app.file(QStringLiteral("bin/") + f));
        const QString keep = gsDataSource;
        subInitApp();
        gsDataSource = keep;
        gsStandardUser = QStringLiteral("haendler");
        id = store(auktion(QStringLiteral("77"), QStringLiteral("k")), kunde(QStringLiteral("k")));
    }
    QString id;
    QString status() {
        tAuktion a;
        EXPECT_TRUE(test::found(funLoadAuktion(a, id)));
        return a.Status;
    }
    // Direct sending through the test's server, from the shop's address.
    static void useServer(const test::LocalSmtpServer& server) {
        gbStandardversandmail = false;
        gsSMTPServer = QStringLiteral("127.0.0.1");
        glSMTPPort = server.port;
        gsAbsender = QStringLiteral("shop@gavel.example");
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

// The form only shows: a send that failed records nothing and keeps what was typed;
// the next one that goes out records the milestone once.
TEST_F(MailForm, FailedSendsRecordNoMilestone) {
    const auto log = std::make_shared<test::FakeMailSender::Log>();
    frmMail::senderFactory = [log] { return std::make_unique<test::FakeMailSender>(log); };
    log->failWith = QStringLiteral("550 Empfänger unbekannt");
    auto f = open();
    auto* body = f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"));
    EXPECT_TRUE(body->toPlainText().startsWith(QStringLiteral("Guten Tag Hans Müller")));
    body->setPlainText(QStringLiteral("Mein eigener Text"));
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_TRUE(platform.messages.last().text.startsWith(QStringLiteral("Email konnte nicht versendet werden")));
    EXPECT_TRUE(platform.messages.last().text.contains(QStringLiteral("550 Empfänger unbekannt")));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(body->toPlainText(), QStringLiteral("Mein eigener Text"));  // nothing typed is lost
    EXPECT_TRUE(f->isVisible());
    log->failWith.clear();
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    ASSERT_EQ(log->sent.size(), 1);
    EXPECT_EQ(log->sent[0].body, QStringLiteral("Mein eigener Text"));
    EXPECT_EQ(log->sent[0].to, QStringLiteral(" hans@example.de "));
    EXPECT_EQ(status(), QStringLiteral("Geantwortet"));
    frmMail::senderFactory = &frmMail::senderOfSettings;

    // The mail program that cannot be opened is a failure too.
    gbStandardversandmail = true;
    platform.shellSucceeds = false;
    f = open();
    f->findChild<QComboBox*>(QStringLiteral("cmbStatus"))->setCurrentIndex(4);  // "Versendet"
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_TRUE(platform.messages.last().text.startsWith(QStringLiteral("Das E-Mail-Programm konnte nicht")));
    EXPECT_EQ(status(), QStringLiteral("Geantwortet"));
}

TEST_F(MailForm, HandOverAndSmtpRecordTheMilestone) {
    gbStandardversandmail = true;
    auto f = open();
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    ASSERT_EQ(platform.shellCalls.size(), 1);
    EXPECT_TRUE(platform.shellCalls[0].file.startsWith(QStringLiteral("mailto:hans@example.de?subject=")));
    EXPECT_EQ(status(), QStringLiteral("Geantwortet"));

    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    useServer(server);
    glKopie = 1;
    f = open();
    f->findChild<QComboBox*>(QStringLiteral("cmbStatus"))->setCurrentIndex(4);  // "Versendet"
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Email wurde erfolgreich versendet"));
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 1);
    const QJsonObject m = QJsonDocument::fromJson(mails.first()).object();
    EXPECT_EQ(m.value(QStringLiteral("rcpt")).toArray().toVariantList(),
              (QVariantList{QStringLiteral("hans@example.de"), QStringLiteral("shop@gavel.example")}));
    const QString delivered = *decodeMimeMessage(win::toAnsi(m.value(QStringLiteral("data")).toString()));
    EXPECT_TRUE(delivered.contains(QStringLiteral("Guten Tag Hans Müller,"))) << delivered.toStdString();
    EXPECT_TRUE(delivered.contains(QStringLiteral("Kaffeemühle")));
    EXPECT_TRUE(delivered.contains(QStringLiteral("Diese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt.")));
    const QJsonObject read = server.decoded(0);
    EXPECT_EQ(read.value(QStringLiteral("subject")).toString(),
              QStringLiteral("Ihr Kauf bei haendler: Kaffeemühle (1234567890)"));
    EXPECT_EQ(read.value(QStringLiteral("to_name")).toString(), QStringLiteral("Hans Müller"));
    EXPECT_EQ(status(), QStringLiteral("Versendet"));
}

// An unpaid sale past its days is offered the first reminder, after that the
// second, and the second again; each one sent is kept, one that did not go out
// is not; once paid, no reminder is offered.
TEST_F(MailForm, RemindersClimbTheLadder) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    glMahnTage = 7;
    gbStandardversandmail = true;
    id = store(auktion(QStringLiteral("88"), QStringLiteral("k"), QStringLiteral("20.11.2026")),
               kunde(QStringLiteral("k")));
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
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
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
        EXPECT_EQ(f->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText(), QString::fromUtf8(step.offered));
        EXPECT_TRUE(f->findChild<QLineEdit*>(QStringLiteral("txtsubject"))
                        ->text()
                        .startsWith(QString::fromUtf8(step.offered) + QLatin1Char(':')));
        EXPECT_TRUE(
            f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText().contains(QStringLiteral("17,40 EUR")));
        send(f.get());
        EXPECT_EQ(reminderLevel(id).value(), step.levelAfter) << step.offered;
    }
    EXPECT_EQ(loadReminders(id).value().size(), 3);
    // A reminder chosen by hand counts as well; another template chosen records none.
    auto f = form();
    auto* combo = f->findChild<QComboBox*>(QStringLiteral("Combo1"));
    QTest::keyClick(combo, Qt::Key_Home);
    ASSERT_EQ(combo->currentIndex(), 0);
    send(f.get());
    EXPECT_EQ(loadReminders(id).value().size(), 3);

    ASSERT_TRUE(SaveStatusMail(id, QDateTime(QDate(2026, 12, 4), QTime(0, 0)), 2).ok());
    EXPECT_EQ(form()->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText(),
              QStringLiteral("Zahlung erhalten"));
    glMahnTage = 7;
}

// A buyer from Poland, a street in Cyrillic, a member name with "_": the mail
// program shows what the form showed.
TEST_F(MailForm, WhatTheFormShowsArrives) {
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    useServer(server);
    gsStandardUser = QStringLiteral("gavel_haendler");
    MailInputs in = single();
    in.sAuktionsID = id;
    in.sName = QStringLiteral("Łukasz Wiśniewski");
    in.sEmail = QStringLiteral("lukasz@example.pl");
    in.sBezeichnung = QStringLiteral("Kaffeemühle „Dvořák“");
    frmMail f(in);
    f.show();
    auto* body = f.findChild<QPlainTextEdit*>(QStringLiteral("rtf1"));
    EXPECT_TRUE(body->toPlainText().startsWith(QStringLiteral("Guten Tag Łukasz Wiśniewski")));
    body->moveCursor(QTextCursor::Start);
    test::typeText(body, QStringLiteral("Lieferung an: улица Ленина 5, Санкт-Петербург\n"));
    const QString subject = f.findChild<QLineEdit*>(QStringLiteral("txtsubject"))->text();
    EXPECT_TRUE(subject.contains(QStringLiteral("gavel_haendler"))) << subject.toStdString();
    const QString shown = body->toPlainText();
    QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Email wurde erfolgreich versendet"));
    const QJsonObject read = server.decoded(0);
    EXPECT_EQ(read.value(QStringLiteral("subject")).toString(), subject);
    EXPECT_EQ(read.value(QStringLiteral("to_name")).toString(), QStringLiteral("Łukasz Wiśniewski"));
    EXPECT_EQ(read.value(QStringLiteral("to_address")).toString(), QStringLiteral("lukasz@example.pl"));
    EXPECT_EQ(
        read.value(QStringLiteral("body")).toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed(),
        shown.trimmed());
    EXPECT_FALSE(read.value(QStringLiteral("message_id")).toString().isEmpty());
}

TEST_F(MailForm, OwnTemplateFromTheEditorIsUsedByTheNextMail) {
    gbStandardversandmail = true;
    auto f = open();
    test::screenshot(f.get(), QStringLiteral("mail.png"));
    test::whenModal<frmchange>([this](frmchange* editor) {
        auto* text = editor->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"));
        EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("[#ebaynameto#]")));  // the raw template
        text->setPlainText(QStringLiteral("Hallo "));
        text->moveCursor(QTextCursor::End);
        QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("OrvoButton1")),
                          Qt::LeftButton);  // [#ebaynameto#]
        platform.queueFileName(app.file(QStringLiteral("bin/meine")));
        gsVorlagenDatei = app.file(QStringLiteral("bin/vorher.datV"));  // own type preselected
        QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("cmdsave")), Qt::LeftButton);
    });
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("cmdchange")), Qt::LeftButton);
    EXPECT_EQ(gsVorlagenDatei, app.file(QStringLiteral("bin/meine.datV")));
    EXPECT_EQ(app.read(QStringLiteral("bin/meine.datV")), QByteArray("Hallo [#ebaynameto#]"));
    // the form reloaded the saved template, filled
    EXPECT_TRUE(f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))
                    ->toPlainText()
                    .startsWith(QStringLiteral("Hallo Hans Müller")));
    // the next mail form loads it as an own template
    auto g = open();
    platform.queueFileName(app.file(QStringLiteral("bin/meine.datV")));
    QTest::mouseClick(g->findChild<QPushButton*>(QStringLiteral("cmdload")), Qt::LeftButton);
    // what goes out, the footer included, is in the text
    EXPECT_EQ(g->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText(),
              QStringLiteral("Hallo Hans Müller\n\n-INFO-\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt. "
                             "Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/"));
    EXPECT_EQ(g->findChild<QLineEdit*>(QStringLiteral("txtsubject"))->text(),
              QStringLiteral("ebay Auktion - 1234567890: Kaffeemühle"));
}

// While a mail goes out the form says so and offers "Abbrechen"; closing the
// form ends the send at once (an error box used to appear 30 s later).
TEST_F(MailForm, SendingShowsProgressAndCanBeStopped) {
    QTcpServer silent;  // takes the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    gbStandardversandmail = false;
    gsSMTPServer = QStringLiteral("127.0.0.1");
    glSMTPPort = silent.serverPort();
    gsAbsender = QStringLiteral("shop@gavel.example");
    for (const bool closeTheForm : {false, true}) {
        SCOPED_TRACE(closeTheForm);
        platform.messages.clear();
        auto f = open();
        auto* label = f->findChild<QLabel*>(QStringLiteral("lblSenden"));
        auto* stop = f->findChild<QPushButton*>(QStringLiteral("cmdStop"));
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
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_TRUE(seenSending);
        EXPECT_FALSE(label->isVisible());
        EXPECT_EQ(status(), QString());  // nothing recorded
        if (closeTheForm) {
            EXPECT_FALSE(f->isVisible());
            EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();
        } else {
            ASSERT_EQ(platform.messages.size(), 1);
            EXPECT_EQ(platform.messages[0].text,
                      QStringLiteral("Der Versand wurde abgebrochen; die E-Mail wurde nicht versendet."));
            EXPECT_TRUE(f->isVisible());
        }
    }
}

TEST_F(MailForm, OneClearMessageWhenTheServerRefuses) {
    gbStandardversandmail = false;
    gsSMTPServer = QStringLiteral("127.0.0.1");
    glSMTPPort = test::freeLoopbackPort();  // nobody listens
    gsAbsender = QStringLiteral("shop@gavel.example");
    auto f = open();
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text,
              QStringLiteral("Email konnte nicht versendet werden, Verbindungsfehler\rDer Server 127.0.0.1 hat die "
                             "Verbindung auf Port %1 abgelehnt.")
                  .arg(glSMTPPort));
}

TEST_F(MailForm, TheFooterIsShownAndCanBeSwitchedOff) {
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    useServer(server);
    for (const bool footer : {true, false}) {
        gbFusszeile = footer;
        auto f = open();
        const QString shown = f->findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))->toPlainText();
        EXPECT_EQ(shown.contains(QStringLiteral("-INFO-\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt.")),
                  footer);
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    }
    gbFusszeile = true;
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_TRUE(mails[0].contains("-INFO-"));
    EXPECT_FALSE(mails[1].contains("-INFO-"));  // nothing goes out that the form did not show
}

// A payment mail over SMTP carries the payment code and the invoice; the code read
// back from the delivered picture is the payload, byte for byte. The mail program
// gets no files, and the form says so.
TEST_F(MailForm, PaymentCodeAndInvoiceGoWithTheMail) {
    gsIBAN = QStringLiteral("DE89370400440532013000");
    gsBIC = QStringLiteral("COBADEFFXXX");
    gsKontoinhaber = QStringLiteral("Jörg Händler");
    test::LocalSmtpServer server;
    ASSERT_TRUE(server.start());
    useServer(server);
    MailInputs in = single();
    in.sAuktionsID = id;
    in.sArtikelnummer = QStringLiteral("77");
    frmMail f(in);
    f.show();
    auto* code = f.findChild<QCheckBox*>(QStringLiteral("chkGiroCode"));
    EXPECT_TRUE(code->isEnabled());
    EXPECT_TRUE(code->isChecked());  // the first template asks for the money
    EXPECT_TRUE(f.findChild<QLabel*>(QStringLiteral("lblGiroCode"))->isVisible());
    EXPECT_TRUE(f.findChild<QPlainTextEdit*>(QStringLiteral("rtf1"))
                    ->toPlainText()
                    .contains(QStringLiteral("IBAN:          DE89 3704 0044 0532 0130 00")));
    QTest::mouseClick(f.findChild<QCheckBox*>(QStringLiteral("chkRechnung")), Qt::LeftButton);
    test::screenshot(&f, QStringLiteral("mail-girocode.png"));
    QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("OrvoButton1")), Qt::LeftButton);
    EXPECT_EQ(platform.messages.last().text, QStringLiteral("Email wurde erfolgreich versendet"));
    const QJsonObject read = server.decoded(0);
    EXPECT_TRUE(read.value(QStringLiteral("body")).toString().contains(QStringLiteral("Guten Tag Hans Müller")));
    const QJsonArray files = read.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(files.size(), 2) << QJsonDocument(read).toJson().toStdString();
    const QJsonObject png = files[0].toObject(), pdf = files[1].toObject();
    EXPECT_EQ(png.value(QStringLiteral("filename")).toString(), QStringLiteral("GiroCode.png"));
    EXPECT_EQ(png.value(QStringLiteral("type")).toString(), QStringLiteral("image/png"));
    EXPECT_EQ(pdf.value(QStringLiteral("filename")).toString(), QStringLiteral("Rechnung-77.pdf"));
    const auto saved = [&](const QJsonObject& file) {
        const QString path = app.file(file.value(QStringLiteral("filename")).toString());
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromBase64(file.value(QStringLiteral("data")).toString().toLatin1()));
        return path;
    };
    QByteArray decoded = test::tool(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                                QStringLiteral("-Sbinary"), saved(png)});
    if (decoded.endsWith('\n') && !decoded.endsWith("77")) decoded.chop(1);
    EXPECT_EQ(decoded,
              QByteArray("BCD\n002\n1\nSCT\nCOBADEFFXXX\nJörg Händler\nDE89370400440532013000\nEUR29.40\n\n\n77"));
    const QString page = QString::fromUtf8(test::tool(QStringLiteral("pdftotext"), {saved(pdf), QStringLiteral("-")}));
    EXPECT_TRUE(page.contains(QStringLiteral("Hans Müller"))) << page.toStdString();

    gbStandardversandmail = true;
    frmMail handOver(in);
    handOver.show();
    EXPECT_FALSE(handOver.findChild<QCheckBox*>(QStringLiteral("chkGiroCode"))->isEnabled());
    EXPECT_FALSE(handOver.findChild<QCheckBox*>(QStringLiteral("chkRechnung"))->isEnabled());
    EXPECT_TRUE(handOver.findChild<QLabel*>(QStringLiteral("lblAnhaenge"))->isVisible());
}

}  // namespace
}  // namespace gd
