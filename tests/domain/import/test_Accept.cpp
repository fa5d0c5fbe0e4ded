#include <gtest/gtest.h>

#include "domain/import/Accept.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Accept : public test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.write(u"bin/gaveldesk.ini"_s, shippedKeywords());
        subInitApp();
        gsDataSource = db;
        gSettings.StandardUser = gSettings.Username = u"gavel_haendler"_s;
    }
    ImportRecords parsed(const QString& file, const QString& nr = QString()) {
        QString text = *readMailFile(test::dataFile(u"mails/"_s + file));
        if (!nr.isEmpty()) text.replace(u"1234567890"_s, nr);
        ImportRecords r;
        parseMail(rulesInForce(), r, normalizeMailText(text));
        EXPECT_TRUE(r.acceptable);
        return r;
    }
};

TEST_F(Accept, FactsFirstThenOneWrite) {
    ImportRecords first = parsed(u"verkauf.txt"_s);
    const Result<ImportFacts> fresh = checkImport(currentStore(), first);
    ASSERT_TRUE(test::ok(fresh));
    EXPECT_FALSE(fresh->duplicate);
    EXPECT_FALSE(fresh->groupable);
    ASSERT_EQ(acceptImport(currentStore(), first, {}).value(), Stored::Yes);

    ImportRecords again = parsed(u"verkauf.txt"_s);
    const Result<ImportFacts> facts = checkImport(currentStore(), again);
    EXPECT_TRUE(facts->duplicate);
    EXPECT_TRUE(facts->groupable);  // the first one is still open
    ImportRecords second = parsed(u"verkauf.txt"_s, u"2222"_s);
    ASSERT_EQ(acceptImport(currentStore(), second, ImportChoices{false, true, {}}).value(), Stored::Yes);
    EXPECT_EQ(second.oAuktion.GruppenID, u"202612041234567890"_s);
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID = ? and KundenNr = ?"_s,
                    {second.oAuktion.GruppenID, second.oAuktion.GruppenID}),
              2);
}

// Another program may store the same item number while the dialog asks its
// questions: nothing is stored until the user has been asked about it too.
TEST_F(Accept, ItemNumberStoredMeanwhileIsAskedAgain) {
    ImportRecords r = parsed(u"verkauf.txt"_s);
    ASSERT_FALSE(checkImport(currentStore(), r)->duplicate);
    ImportRecords other = parsed(u"verkauf.txt"_s);
    ASSERT_EQ(acceptImport(currentStore(), other, {}).value(), Stored::Yes);  // "the other program"
    const tAuktion before = r.oAuktion;
    EXPECT_EQ(acceptImport(currentStore(), r, {}).value(), Stored::DuplicateAppeared);
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(r.oAuktion.GruppenID, before.GruppenID);
    EXPECT_EQ(acceptImport(currentStore(), r, ImportChoices{true, false, {}}).value(), Stored::Yes);
    EXPECT_EQ(auctions(), 2);
}

TEST_F(Accept, FailureStoresNothingAndKeepsTheRecords) {
    ImportRecords r = parsed(u"kauf.txt"_s);
    r.oAuktion.EndeDatum = u"morgen"_s;  // no date: the auction insert fails
    const Result<Stored> stored = acceptImport(currentStore(), r, {});
    EXPECT_EQ(test::failure(stored),
              u"Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r13: Typen unverträglich"_s);
    EXPECT_EQ(contacts(), 0);  // the partner saved before it is rolled back
    EXPECT_EQ(r.oLieferant.KundenNr, QString());
    gsDataSource = app.file(u"fehlt.mdb"_s);
    EXPECT_TRUE(test::failure(checkImport(currentStore(), r)).startsWith(u"Beim Prüfen der Auktionsdaten"_s));
}

TEST_F(Accept, BatchAnswersNoToEveryQuestion) {
    const Store store = currentStore();
    const QString dir = test::dataFile(u"mails/"_s);
    EXPECT_TRUE(importMailFile(rulesInForce(), dir + u"verkauf.txt"_s, &store).stored);
    const FileImport twice = importMailFile(rulesInForce(), dir + u"verkauf.txt"_s, &store);
    EXPECT_FALSE(twice.stored);
    EXPECT_EQ(twice.refusal, kDuplicateQuestion);
    QStringList messages;
    const FileImport none = importMailFile(rulesInForce(), dir + u"keine_ebay_email.txt"_s, &store, nullptr, &messages);
    EXPECT_EQ(none.refusal, u"Die Zwischenablage enthält keine ebay Email"_s);
    EXPECT_EQ(messages, QStringList{none.refusal});
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID <> ''"_s), 0);
}

}  // namespace
}  // namespace gd
