// A withdrawal as the seller handles it in the window: recorded from the menu, its receipt
// confirmed by mail with the notice's day and time, shown in the pane, and refunded.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "domain/books/Returns.h"
#include "domain/db/Journal.h"
#include "support/GuiApp.h"
#include "support/SmtpServer.h"
#include "ui/FlexGrid.h"
#include "ui/frmMail.h"
#include "ui/frmRueckgabe.h"
#include "ui/frmRueckgaben.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

// The mail goes out through the program's own SMTP client to a server of the test's own.
class ReturnsUi : public test::MainWindowTest {
protected:
    test::LocalSmtpServer smtp;
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(smtp.start());
        frmMail::senderFactory = &frmMail::senderOfSettings;
        gSettings.Standardversandmail = false;
        gSettings.SMTPServer = u"127.0.0.1"_s;
        gSettings.SMTPPort = smtp.port;
        gSettings.Auth = 0;
        gSettings.Verbindungssicherheit.clear();
        gSettings.Absender = u"shop@gavel.example"_s;
    }
    static void clickIn(QWidget* d, const char* name) {
        QPushButton* b = d->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QString paneNote() { return child<QLabel>(u"lblTeilzahlung"_s)->text(); }
};

TEST_F(ReturnsUi, RecordedConfirmedShownAndRefunded) {
    fill();
    open();
    filter(0);
    clickRow(0);
    const QString nr = shown();
    ASSERT_FALSE(nr.isEmpty());
    const QDateTime notice = now().addSecs(-3 * 3600);

    QString state;
    test::whenModal<frmRueckgabe>([&](frmRueckgabe* d) {
        d->findChild<QComboBox*>(u"cboArt"_s)->setCurrentIndex(0);
        auto* when = d->findChild<QDateTimeEdit*>(u"dtpEingang"_s);
        when->setFocus();
        when->setDateTime(notice);
        test::typeText(d->findChild<QLineEdit*>(u"txtGrund"_s), u"gefällt nicht – zu groß"_s);
        test::screenshot(d, u"rueckgabe-erfassen.png"_s);
        clickIn(d, "cmdSpeichern");
        // The mail form opens with the confirmation filled in; one click sends it.
        test::whenModal<frmMail>([&](frmMail* m) {
            clickIn(m, "OrvoButton1");
            m->close();
        });
        clickIn(d, "cmdBestaetigen");
        state = d->findChild<QLabel*>(u"lblStand"_s)->text();
        test::screenshot(d, u"rueckgabe.png"_s);
        clickIn(d, "cmdSchliessen");
    });
    menu("keyAktion", "keyRueckgabe");
    // As it arrived at the server.
    ASSERT_EQ(smtp.objects().size(), 1);
    const QJsonObject mail = smtp.decoded(0);
    const QString subject = mail.value(u"subject"_s).toString(), body = mail.value(u"body"_s).toString();
    EXPECT_EQ(mail.value(u"to_address"_s).toString(), u"bernd@example.de"_s);
    EXPECT_TRUE(subject.startsWith(u"Eingangsbestätigung Ihrer Erklärung"_s)) << subject.toStdString();
    EXPECT_TRUE(body.contains(u"Eingegangen am "_s + notice.toString(u"dd.MM.yyyy 'um' HH:mm 'Uhr'"_s)))
        << body.toStdString();
    EXPECT_TRUE(body.contains(u"(Widerruf)"_s)) << body.toStdString();
    EXPECT_TRUE(body.contains(notice.date().addDays(14).toString(u"dd.MM.yyyy"_s)));
    EXPECT_TRUE(state.contains(u"Eingang bestätigt am"_s)) << state.toStdString();
    const QList<OpenReturn> open = openReturns(currentStore()).value();
    ASSERT_EQ(open.size(), 1);
    EXPECT_FALSE(open[0].unbestaetigt());
    QLabel* summary = child<QLabel>(u"lblUebersicht"_s);  // read again once the list is
    EXPECT_TRUE(QTest::qWaitFor([&] { return summary->text().contains(u"Rückgaben"_s); }, 10000));
    EXPECT_TRUE(summary->text().endsWith(u" · Rückgaben: 1"_s)) << summary->text().toStdString();
    EXPECT_TRUE(paneNote().startsWith(u"Widerruf vom "_s + notice.toString(u"dd.MM.yyyy"_s)))
        << paneNote().toStdString();
    test::screenshot(w.get(), u"rueckgabe-bereich.png"_s);

    // The refund: the whole sale back; nothing was paid, so nothing goes back.
    platform.queueAnswer(Platform::Answer::Yes);
    test::whenModal<frmRueckgabe>([&](frmRueckgabe* d) {
        clickIn(d, "cmdWareZurueck");
        EXPECT_EQ(d->findChild<QLineEdit*>(u"txtBetrag"_s)->text(), u"17,40"_s);
        clickIn(d, "cmdErstatten");
    });
    menu("keyAktion", "keyRueckgabe");
    EXPECT_EQ(lastMessage(), u"17,40 € zurückgenommen."_s);
    EXPECT_TRUE(openReturns(currentStore()).value().isEmpty());
    EXPECT_EQ(loadAccountByNr(currentStore(), nr).value().Saldo, 0);
    EXPECT_FALSE(paneNote().startsWith(u"Widerruf"_s));
}

// Three returns at three distances from their refund's day: all marked in the list; in the overdue
// view the one past its day and the one due in two days are named, the one with time left is not;
// the list of returns has the late one first, in red, and opens it.
TEST_F(ReturnsUi, OpenReturnsMarkedListedAndNamedInTheOverdueView) {
    const QString ende = today().addDays(-30).toString(u"dd.MM.yyyy"_s);
    sale(u"501"_s, u"anna"_s, ende, u"Zinnbecher"_s);
    sale(u"502"_s, u"bernd"_s, ende, u"Armbanduhr"_s);
    sale(u"503"_s, u"carla"_s, ende, u"Mokkatassen"_s);
    const struct {
        const char* nr;
        int daysAgo;
    } notices[] = {{"501", 16}, {"502", 12}, {"503", 2}};
    for (const auto& n : notices) {
        const QDateTime when(today().addDays(-n.daysAgo), QTime(9, 30));
        const Result<qint64> id =
            recordReturn(currentStore(), {QString::fromLatin1(n.nr), ReturnKind::Widerruf, when, {}}, now());
        ASSERT_TRUE(id.ok()) << id.error().message().toStdString();
        ASSERT_TRUE(confirmReturn(currentStore(), id.value(), when.addSecs(600)).ok());
    }
    open();
    filter(2);
    FlexModel* model = w->grid()->model();
    const auto marked = [&] {
        QStringList nrs;
        for (int r = 0; r < model->rowCount(); ++r)
            if (!model->data(model->index(r, 6), Qt::DecorationRole).isNull())
                nrs << model->data(model->index(r, 7), Qt::DisplayRole).toString();
        nrs.sort();
        return nrs;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return marked().size() == 3; }, 10000)) << marked().join(u',').toStdString();
    QLabel* due = child<QLabel>(u"lblRueckgaben"_s);
    EXPECT_TRUE(due->isHidden());  // named in the overdue view only
    test::screenshot(w.get(), u"rueckgaben-liste.png"_s);

    filter(4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return due->isVisible(); }, 10000));
    EXPECT_TRUE(due->text().contains(u"501 anna (überfällig, Frist "_s + today().addDays(-2).toString(u"dd.MM.yyyy"_s)))
        << due->text().toStdString();
    EXPECT_TRUE(due->text().contains(u"502 bernd (Frist "_s)) << due->text().toStdString();
    EXPECT_FALSE(due->text().contains(u"503"_s));
    QTest::qWait(50);  // the line wraps once laid out
    test::screenshot(w.get(), u"rueckgaben-ueberfaellig.png"_s);

    QStringList rows;
    QString firstColour;
    test::whenModal<frmRueckgaben>([&](frmRueckgaben* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdRueckgaben"_s);
        for (int r = 0; r < grid->rowCount(); ++r) rows << grid->item(r, 0)->text() + u' ' + grid->item(r, 5)->text();
        firstColour = grid->item(0, 0)->foreground().color().name();
        test::screenshot(d, u"rueckgaben.png"_s);
        test::whenModal<frmRueckgabe>([&](frmRueckgabe* r) {
            EXPECT_TRUE(r->findChild<QLabel*>(u"lblStand"_s)->text().contains(u"überfällig"_s));
            clickIn(r, "cmdSchliessen");
        });
        clickIn(d, "cmdOeffnen");
        clickIn(d, "cmdSchliessen");
    });
    menu("keyAktion", "keyRueckgaben");
    EXPECT_EQ(rows, (QStringList{u"501 überfällig"_s, u"502 offen"_s, u"503 offen"_s}));
    EXPECT_EQ(firstColour, u"#b01c1c"_s);
}

}  // namespace
}  // namespace gd
