// A database chosen in the options is used at once: what the pane holds goes to the old one first,
// as the user answers, then the list and the pane come from the new one; no restart.
#include <gtest/gtest.h>

#include <QLabel>
#include <QStatusBar>

#include "MainWindowFixture.h"
#include "base/AppPath.h"
#include "domain/db/DataSource.h"
#include "ui/frmDatenbank.h"
#include "ui/frmOptionen.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class SwitchDatabase : public test::MainWindowTest {
protected:
    QString other = app.file(u"zweite.mdb"_s);

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(createDatabase(other).ok());
        gsDataSource = other;
        sale(u"501"_s, u"zofia"_s, u"05.12.2026"_s, u"Spieluhr"_s);
        gsDataSource = db;
    }
    // Options, "Datenbank…", the path typed, OK; then the options closed with `button`.
    void choose(const QString& source, const char* button) {
        test::whenModal<frmOptionen>([&](frmOptionen* o) {
            test::whenModal<frmDatenbank>([&](frmDatenbank* d) {
                auto* e = d->findChild<QLineEdit*>(u"txtDatenbank"_s);
                e->selectAll();
                QTest::keyClicks(e, source);
                QTest::mouseClick(d->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
            });
            QTest::mouseClick(o->findChild<QPushButton*>(u"cmdDatenbank"_s), Qt::LeftButton);
            QTest::mouseClick(o->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
            if (o->isVisible()) {
                ADD_FAILURE() << "die Optionen blieben offen: " << lastMessage().toStdString();
                o->reject();
            }
        });
        menu("keyEinstellungen", "keyOptionen");
    }
    QString cityIn(const QString& source, const QString& member) {
        Database d = Database::open(source);
        return test::firstText(d, u"select Ort from Kunden where ebayName = ?"_s, {member});
    }
};

TEST_F(SwitchDatabase, TheChosenOneIsUsedAtOnceAndTheTypedGoesToTheOldOne) {
    const struct {
        const char* what;
        Platform::Answer answer;  // to "save before the change?"
        const char* optionsButton;
        bool switched;
        const char* cityInFirst;
    } cases[] = {
        // The database is saved by its own dialog: the options may be left with "Abbrechen".
        {"gespeichert", Platform::Answer::Yes, "cmdCancel", true, "80331 München"},
        {"verworfen", Platform::Answer::No, "cmdCancel", true, "12345 Berlin"},
        {"Wechsel abgebrochen", Platform::Answer::Cancel, "cmdCancel", false, "12345 Berlin"},
    };
    fill();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gsDataSource = db;
        open();
        ASSERT_EQ(column(7).size(), 4);
        clickRow(1);
        const QString member = w->selectedKunde().ebayName;
        edit("txtOrt")->selectAll();
        test::typeText(edit("txtOrt"), u"80331 München"_s);
        platform.queueAnswer(c.answer);
        choose(other, c.optionsButton);
        EXPECT_EQ(gsDataSource, c.switched ? other : db);
        if (c.switched)
            EXPECT_EQ(column(7), QStringList{u"501"_s});
        else
            EXPECT_EQ(column(7).size(), 4);
        if (c.switched) {
            EXPECT_TRUE(w->statusBar()->currentMessage().contains(u"zweite.mdb"_s))
                << w->statusBar()->currentMessage().toStdString();
            // The counts under the list follow, too: one open trade there.
            QLabel* counts = nullptr;
            for (QLabel* l : w->statusBar()->findChildren<QLabel*>())
                if (l->text().startsWith(u"Offen:"_s)) counts = l;
            ASSERT_NE(counts, nullptr);
            EXPECT_TRUE(QTest::qWaitFor([&] { return counts->text().startsWith(u"Offen: 1 "_s); }, 5000))
                << counts->text().toStdString();
            if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
                w->grab().save(dir + u"/datenbank-gewechselt.png"_s);
            EXPECT_TRUE(w->selectedAuktion().AuktionsNr.isEmpty() || w->selectedAuktion().AuktionsNr == u"501"_s);
        } else {
            EXPECT_TRUE(lastMessage().contains(u"ab dem nächsten Start"_s)) << lastMessage().toStdString();
        }
        EXPECT_EQ(cityIn(db, member), QString::fromUtf8(c.cityInFirst));
        EXPECT_TRUE(cityIn(other, member).isEmpty());  // nothing of the first went into the second
        w.reset();
        ASSERT_TRUE(saveDataSource({db, QString(), QString()}, configIniPath()).ok());
        if (QString(QString::fromUtf8(c.cityInFirst)) != u"12345 Berlin"_s) {
            Database d = Database::open(db);
            d.execute(u"update Kunden set Ort = '12345 Berlin' where ebayName = ?"_s, {member});
        }
    }
}

}  // namespace
}  // namespace gd
