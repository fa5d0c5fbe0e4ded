#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "domain/import/Accept.h"
#include "domain/import/MailFile.h"
#include "domain/trade/TaxData.h"
#include "support/Sqlcipher.h"
#include "support/UiDbTest.h"
#include "ui/frmEinlesen.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Dialog : public test::UiDbTest {
protected:
    std::unique_ptr<frmEinlesen> dlg;
    void SetUp() override {
        UiDbTest::SetUp();
        app.write(u"bin/gaveldesk.ini"_s, test::DbTest::shippedKeywords());
        subInitApp();
        gsDataSource = db;
        gSettings.StandardUser = u"gavel_haendler"_s;
        gSettings.Username = u"gavel_haendler"_s;
        dlg = std::make_unique<frmEinlesen>();
        dlg->show();
    }
    template <class T>
    T* child(const char* name) {
        T* w = dlg->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    static QString mail(const char* file) {
        return *readMailFile(test::dataFile(u"mails/"_s + QString::fromLatin1(file)));
    }
    void paste(const char* file) { platform.clipboardSetText(mail(file)); }
    // The mail text read and accepted, the questions answered in turn: what was asked.
    QStringList accept(const QString& text, std::initializer_list<Platform::Answer> answers = {}) {
        dlg->show();
        platform.clipboardSetText(text);
        click("cmdEinlesen");
        platform.messages.clear();
        for (const Platform::Answer a : answers) platform.queueAnswer(a);
        click("cmdUebernehmen");
        return platform.messageTexts();
    }
};

TEST_F(Dialog, ReadCorrectAcceptAndFindTheRows) {
    paste("kauf.txt");
    click("cmdEinlesen");
    EXPECT_EQ(child<QGroupBox>("fraKunde")->title(), u"Verkäuferdaten"_s);
    EXPECT_EQ((QStringList{text("txtebayName"), text("txtName"), text("txtArtikelNr"), text("txtPreis"),
                           text("txtVersandinfos")}),
              (QStringList{u"baerbel_naehstube"_s, u"Bärbel Öztürk-D'Amico"_s, u"3456789012"_s, u"1.234,56"_s,
                           u"EUR 19,90"_s}));
    EXPECT_TRUE(child<QPlainTextEdit>("txtEmail")->toPlainText().contains(u"Pfaff 260"_s));
    EXPECT_TRUE(child<QPushButton>("cmdUebernehmen")->isEnabled());
    test::screenshot(dlg.get(), u"import.png"_s);

    QLineEdit* strasse = child<QLineEdit>("txtStrasse");
    strasse->clear();
    test::typeText(strasse, u"  Lindenallee 5  "_s);  // blanks around are not stored
    click("cmdUebernehmen");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(QLatin1Char('|')).toStdString();

    tKunde k;
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"baerbel_naehstube"_s))));
    EXPECT_EQ(k.Strasse, u"Lindenallee 5"_s);
    EXPECT_TRUE(k.Lieferant);
    EXPECT_FALSE(k.Kunde);
    EXPECT_EQ(k.KundenNr, u"202612043456789012"_s);
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where AuktionsNr = '3456789012' and "
                    "KundenNr = '202612043456789012' and ebayName = 'baerbel_naehstube'"_s),
              1);
}

// A stored item number is asked about, "Nein" the default: nothing is stored twice and the
// dialog keeps what it read; "Ja" stores it, and groups it with the buyer's unpaid ones. The questions come before the
// write: while the user thinks, another program (a --import in a terminal) can still write. The write transaction used
// to be open during the questions, and the other writer failed with "gesperrt".
TEST_F(Dialog, DuplicateIsAskedBeforeAnyWrite) {
    for (const char* file : {"kauf.txt", "verkauf.txt"}) {
        SCOPED_TRACE(file);
        accept(mail(file));
        EXPECT_EQ(accept(mail(file), {Platform::Answer::No}), QStringList{kDuplicateQuestion});
        EXPECT_EQ(platform.messages[0].defaultButton, Platform::Answer::No);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_FALSE(text("txtArtikelNr").isEmpty());
    }
    EXPECT_EQ(auctions(), 2);
    EXPECT_EQ(contacts(), 2);
    QStringList otherWriter;
    platform.onMessage = [this, &otherWriter](const ScriptedPlatform::Message&) {
        sqlite3* other = nullptr;
        sqlite3_open(db.toUtf8().constData(), &other);
        const int rc = sqlite3_exec(
            other, QByteArray(test::keyed() + " BEGIN IMMEDIATE; UPDATE Kunden SET Ort = Ort; COMMIT;").constData(),
            nullptr, nullptr, nullptr);
        sqlite3_close(other);
        otherWriter << (rc == SQLITE_OK ? u"geschrieben"_s : u"gesperrt"_s);
    };
    // Stored twice and grouped with the earlier unpaid one: both carry the group id twice.
    EXPECT_EQ(accept(mail("verkauf.txt"), {Platform::Answer::Yes, Platform::Answer::Yes}),
              (QStringList{kDuplicateQuestion,
                           u"Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind und noch nicht "
                           "bezahlt worden sind. Sollen die Auktionen gruppiert werden?"_s}));
    platform.onMessage = {};
    EXPECT_EQ(otherWriter, (QStringList{u"geschrieben"_s, u"geschrieben"_s}));
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID = ? and KundenNr = ?"_s,
                    {u"202612041234567890"_s, u"202612041234567890"_s}),
              2);
    EXPECT_EQ(auctions(), 3);
    EXPECT_FALSE(dlg->isVisible());
}

// A member name no notification holds is shown before anything is stored; "Nein"
// stores nothing, "Ja" stores it cut to the column.
TEST_F(Dialog, ImplausibleValuesAreAskedAboutFirst) {
    const QString longName(300, u'm');
    for (const auto answer : {Platform::Answer::No, Platform::Answer::Yes}) {
        const QStringList asked = accept(mail("verkauf.txt").replace(u"mueller_hans"_s, longName), {answer});
        ASSERT_GE(asked.size(), 1);
        EXPECT_TRUE(asked[0].startsWith(u"Bitte prüfen Sie die eingelesenen Daten:"_s));
        EXPECT_TRUE(asked[0].contains(u"länger als 254 Zeichen"_s));
        EXPECT_EQ(platform.messages[0].defaultButton, Platform::Answer::No);
        EXPECT_EQ(auctions(), answer == Platform::Answer::No ? 0 : 1);
    }
    EXPECT_EQ(count(u"select count(*) as n from Kunden where ebayName = ?"_s, {longName.left(254)}), 1);
}

TEST_F(Dialog, ClearAndBadClipboards) {
    paste("verkauf.txt");
    click("cmdEinlesen");
    EXPECT_TRUE(child<QPushButton>("cmdUebernehmen")->isEnabled());
    click("cmdLoeschen");
    EXPECT_FALSE(child<QPushButton>("cmdUebernehmen")->isEnabled());
    EXPECT_EQ(text("txtName"), QString());
    EXPECT_FALSE(child<QPlainTextEdit>("txtEmail")->toPlainText().isEmpty());  // the email text stays

    platform.messages.clear();
    platform.clipboardClear();  // empty or non-text clipboard
    click("cmdEinlesen");
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0].text,
              u"Kein Text in der Zwischenablage vorhanden.\rKopieren Sie erst den Inhalt der ebay-Email "
              "in die Zwischenablage."_s);

    QString garbage;
    for (int i = 0; i < 100000; ++i) garbage += QChar(char16_t((qint64(i) * 40503) % 0xD7FF + 1));
    for (const QString& t : {garbage, QString(10 << 20, QLatin1Char('y'))}) {
        platform.messages.clear();
        platform.clipboardSetText(t);
        click("cmdEinlesen");
        ASSERT_EQ(platform.messages.size(), 1);
        EXPECT_EQ(platform.messages[0].text, u"Die Zwischenablage enthält keine ebay Email"_s);
        EXPECT_FALSE(child<QPushButton>("cmdUebernehmen")->isEnabled());
    }
    EXPECT_EQ(auctions(), 0);
    EXPECT_EQ(contacts(), 0);
}

TEST_F(Dialog, SaleAfterPurchaseShowsTheBuyerAgain) {
    paste("kauf.txt");
    click("cmdEinlesen");
    paste("verkauf_unix.txt");
    click("cmdEinlesen");
    EXPECT_EQ(child<QGroupBox>("fraKunde")->title(), u"Käufer- / Verkäuferdaten"_s);
    click("cmdUebernehmen");
    tKunde k;
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"mueller_hans"_s))));
    EXPECT_TRUE(k.Kunde);
    EXPECT_TRUE(test::missing(test::into(k, funLoadKunde(currentStore(), u"baerbel_naehstube"_s))));
}

// Chosen in the file dialog in any order, the mails are read in the folder's order, one
// after the other, and each stored as its own sale.
TEST_F(Dialog, SeveralFilesChosenAtOnceAreReadInOrder) {
    const struct {
        const char* file;
        const char* number;
        const char* buyer;
    } mails[] = {{"Verkauf 1.eml", "4000000001", "jiri_dvorak"},
                 {"Verkauf 2.eml", "4000000002", "zofia.wisniewska"},
                 {"Verkauf 10.eml", "4000000010", "eleni_papadopoulou"}};
    QStringList clicked;
    for (const auto& m : mails) {
        const QString name = QString::fromUtf8(m.file);
        app.write(name, mail("verkauf.txt")
                            .replace(u"1234567890"_s, QString::fromLatin1(m.number))
                            .replace(u"mueller_hans"_s, QString::fromLatin1(m.buyer))
                            .toUtf8());
        clicked.prepend(app.file(name));  // Shift-click upwards: the last one first
    }
    clicked.move(0, 1);
    platform.queueFileNames(clicked);
    click("cmdDatei");
    QStringList read;
    for (int i = 0; i < 3; ++i) {
        read << text("txtArtikelNr") + u' ' + child<QLabel>("lblWarteschlange")->text();
        click("cmdUebernehmen");
    }
    EXPECT_EQ(read,
              (QStringList{u"4000000001 E-Mail 1 von 3: Verkauf 1.eml"_s, u"4000000002 E-Mail 2 von 3: Verkauf 2.eml"_s,
                           u"4000000010 E-Mail 3 von 3: Verkauf 10.eml"_s}));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(u'|').toStdString();
    EXPECT_EQ(count(u"select count(*) as n from Auktionen a, Auktionen b, Auktionen c where a.AuktionsID < "
                    "b.AuktionsID and b.AuktionsID < c.AuktionsID and a.AuktionsNr = '4000000001' and "
                    "b.AuktionsNr = '4000000002' and c.AuktionsNr = '4000000010'"_s),
              1);
    EXPECT_EQ(auctions(), 3);
}

// A business buyer's company and VAT ID come from the mail, are shown, and are stored with
// that buyer; the next mail of the same buyer without them leaves them as they are.
TEST_F(Dialog, CompanyOfABusinessMailReachesTheBuyer) {
    const QString business = mail("verkauf.txt")
                                 .replace(u"Name: Hans Müller"_s,
                                          u"Name: Hans Müller\r\nFirma: Dvořák & Müller Antik GmbH\r\n"
                                          "USt-IdNr.: DE 123 456 789"_s);
    platform.clipboardSetText(business);
    click("cmdEinlesen");
    EXPECT_EQ(text("txtFirma"), u"Dvořák & Müller Antik GmbH"_s);
    EXPECT_EQ(text("txtUStIdNr"), u"DE 123 456 789"_s);
    click("cmdUebernehmen");
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messageTexts().join(u'|').toStdString();
    const Result<Business> stored = loadBusiness(currentStore(), u"mueller_hans"_s);
    ASSERT_TRUE(stored.ok());
    EXPECT_EQ(stored->Firma, u"Dvořák & Müller Antik GmbH"_s);
    EXPECT_EQ(stored->UstId, u"DE123456789"_s);

    accept(mail("verkauf.txt").replace(u"1234567890"_s, u"1234567891"_s), {Platform::Answer::No});
    EXPECT_EQ(loadBusiness(currentStore(), u"mueller_hans"_s)->Firma, u"Dvořák & Müller Antik GmbH"_s);

    // A number that is no VAT ID is asked about before anything is stored.
    const QStringList asked = accept(
        QString(business).replace(u"1234567890"_s, u"1234567892"_s).replace(u"DE 123 456 789"_s, u"siehe unten"_s),
        {Platform::Answer::No});
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_TRUE(asked[0].contains(u"hat nicht die Form einer Umsatzsteuer-Identifikationsnummer"_s))
        << asked[0].toStdString();
    EXPECT_EQ(auctions(), 2);
}

}  // namespace
}  // namespace gd
