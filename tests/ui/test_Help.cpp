#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "domain/mail/ServerCertificate.h"
#include "domain/trade/Parcel.h"
#include "support/FakeMailSender.h"
#include "support/UiDbTest.h"
#include "ui/frmAbout.h"
#include "ui/frmAuszahlungen.h"
#include "ui/frmDatenbank.h"
#include "ui/frmERechnung.h"
#include "ui/frmEinlesen.h"
#include "ui/frmEtiketten.h"
#include "ui/frmHilfe.h"
#include "ui/frmJahr.h"
#include "ui/frmKennwort.h"
#include "ui/frmKontoauszug.h"
#include "ui/frmMail.h"
#include "ui/frmOptionen.h"
#include "ui/frmPanne.h"
#include "ui/frmRechnungen.h"
#include "ui/frmRueckgaben.h"
#include "ui/frmVersand.h"
#include "ui/frmZertifikat.h"
#include "ui/frmchange.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Help : public test::UiDbTest {
protected:
    QByteArray page;
    void SetUp() override {
        UiDbTest::SetUp();
        shippedFiles();
        page = test::fileBytes(QStringLiteral(GD_RESOURCES_DIR "/Help/hilfe.htm"));
        app.write(u"Help/hilfe.htm"_s, page);
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<frmHilfe*>(w)) w->close();
        UiDbTest::TearDown();
    }
    static frmHilfe* shownHelp() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = qobject_cast<frmHilfe*>(w); h && h->isVisible()) return h;
        return nullptr;
    }
    // Where F1 and the button lead; "-" when no help window came up.
    QStringList sectionsOpenedIn(QDialog* d) {
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d)) << d->objectName().toStdString();
        QStringList opened;
        QTest::keyClick(d, Qt::Key_F1);
        frmHilfe* h = shownHelp();
        opened << (h ? h->section() : u"-"_s);
        if (h) h->close();
        auto* button = d->findChild<QPushButton*>(u"cmdHilfe"_s);
        if (!button || !button->isVisible()) return opened << u"kein Knopf"_s;
        QTest::mouseClick(button, Qt::LeftButton);
        h = shownHelp();
        opened << (h ? h->section() : u"-"_s);
        if (h) h->close();
        return opened;
    }
};

// F1 and the button in each dialog open its section, and each dialog fits a small screen.
TEST_F(Help, F1AndTheButtonOpenEachDialogsSection) {
    const QString id = store(auktion(u"77"_s, u"k"_s), kunde(u"k"_s));
    MailInputs in = test::single();
    in.sAuktionsID = id;
    auto mail = std::make_unique<frmMail>(in);
    const struct {
        const char* section;
        std::function<QDialog*()> make;
    } dialogs[] = {
        {"", [] { return new frmAbout; }},
        {"einlesen", [] { return new frmEinlesen; }},
        {"auszahlungen", [] { return new frmAuszahlungen; }},
        {"dateiformate", [] { return new frmDateiformat; }},
        {"team", [] { return new frmDatenbank; }},
        {"erechnung", [] { return new frmERechnung(QString()); }},
        {"jahresuebersicht", [] { return new frmJahr; }},
        {"datev", [] { return new frmDatev; }},
        {"kennwort", [] { return new frmKennwort; }},
        {"kontoauszug", [] { return new frmKontoauszug(u"auszug.csv"_s, {}); }},
        {"rueckgabe", [] { return new frmRueckgaben(); }},
        {"etiketten", [] { return new frmEtiketten(); }},
        {"mails", [&] { return new frmMail(in); }},
        {"vorlagen", [&] { return new frmchange(mail.get()); }},
        {"einstellungen", [] { return new frmOptionen; }},
        {"probleme", [] { return new frmPanne; }},
        {"rechnung", [] { return new frmRechnungen; }},
        {"versand", [] { return new frmVersand(Parcel{}); }},
        {"zertifikate",
         [] {
             ServerCertificate c;
             c.server = u"mail.example.de"_s;
             c.port = 465;
             return new frmZertifikat(c);
         }},
    };
    for (const auto& d : dialogs) {
        const QString section = QString::fromLatin1(d.section);
        SCOPED_TRACE(d.section);
        std::unique_ptr<QDialog> dialog(d.make());
        EXPECT_EQ(sectionsOpenedIn(dialog.get()), (QStringList{section, section}));
        // And it fits the smallest screen, 1024×768, frame included, every button whole.
        EXPECT_LE(dialog->frameGeometry().width(), 1024);
        EXPECT_LE(dialog->frameGeometry().height(), 768);
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->isVisible()) {
                EXPECT_EQ(b->visibleRegion().boundingRect(), b->rect()) << b->text().toStdString();
            }
        // A section the page does not have would leave the reader at its top.
        if (!section.isEmpty()) {
            EXPECT_TRUE(page.contains(QByteArray("name=\"" + section.toLatin1() + "\"")));
        }
    }
}

// The help over a modal dialog belongs to it: a modal dialog blocks every other window,
// and help that cannot be scrolled or closed is no help.
TEST_F(Help, OverAModalDialogTheHelpCanBeUsed) {
    QWidget mainWindow;  // help opened there first and left open
    mainWindow.show();
    ASSERT_NE(frmHilfe::showHelp(&mainWindow), nullptr);
    QWidget* owner = nullptr;
    bool visible = false;
    test::whenModal<frmDatev>([&](frmDatev* d) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(d));
        QTest::keyClick(d, Qt::Key_F1);
        if (frmHilfe* h = shownHelp()) {
            owner = h->parentWidget();
            visible = h->isVisible();
            h->close();
        }
        d->reject();
    });
    frmDatev datev;
    datev.exec();
    EXPECT_TRUE(visible);
    EXPECT_EQ(owner, &datev);
}

}  // namespace
}  // namespace gd
