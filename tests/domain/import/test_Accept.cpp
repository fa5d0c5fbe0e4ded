#include <gtest/gtest.h>

#include "domain/import/Accept.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

class Accept : public test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.write(QStringLiteral("bin/gaveldesk.ini"), shippedKeywords());
        subInitApp();
        gsDataSource = db;
        gsStandardUser = gsEbayName = QStringLiteral("gavel_haendler");
    }
    ImportRecords parsed(const QString& file, const QString& nr = QString()) {
        QString text = *readMailFile(test::dataFile(QStringLiteral("mails/") + file));
        if (!nr.isEmpty()) text.replace(QStringLiteral("1234567890"), nr);
        ImportRecords r;
        parseMail(r, normalizeMailText(text));
        EXPECT_TRUE(r.acceptable);
        return r;
    }
};

TEST_F(Accept, FactsFirstThenOneWrite) {
    ImportRecords first = parsed(QStringLiteral("verkauf.txt"));
    const Result<ImportFacts> fresh = checkImport(first);
    ASSERT_TRUE(test::ok(fresh));
    EXPECT_FALSE(fresh->duplicate);
    EXPECT_FALSE(fresh->groupable);
    ASSERT_EQ(acceptImport(first, {}).value(), Stored::Yes);

    ImportRecords again = parsed(QStringLiteral("verkauf.txt"));
    const Result<ImportFacts> facts = checkImport(again);
    EXPECT_TRUE(facts->duplicate);
    EXPECT_TRUE(facts->groupable);  // the first one is still open
    ImportRecords second = parsed(QStringLiteral("verkauf.txt"), QStringLiteral("2222"));
    ASSERT_EQ(acceptImport(second, ImportChoices{false, true}).value(), Stored::Yes);
    EXPECT_EQ(second.oAuktion.GruppenID, QStringLiteral("202612041234567890"));
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Auktionen where GruppenID = ? and KundenNr = ?"),
                    {second.oAuktion.GruppenID, second.oAuktion.GruppenID}),
              2);
}

// Another program may store the same item number while the dialog asks its
// questions: nothing is stored until the user has been asked about it too.
TEST_F(Accept, ItemNumberStoredMeanwhileIsAskedAgain) {
    ImportRecords r = parsed(QStringLiteral("verkauf.txt"));
    ASSERT_FALSE(checkImport(r)->duplicate);
    ImportRecords other = parsed(QStringLiteral("verkauf.txt"));
    ASSERT_EQ(acceptImport(other, {}).value(), Stored::Yes);  // "the other program"
    const tAuktion before = r.oAuktion;
    EXPECT_EQ(acceptImport(r, {}).value(), Stored::DuplicateAppeared);
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(r.oAuktion.GruppenID, before.GruppenID);
    EXPECT_EQ(acceptImport(r, ImportChoices{true, false}).value(), Stored::Yes);
    EXPECT_EQ(auctions(), 2);
}

TEST_F(Accept, FailureStoresNothingAndKeepsTheRecords) {
    ImportRecords r = parsed(QStringLiteral("kauf.txt"));
    r.oAuktion.EndeDatum = QStringLiteral("morgen");  // no date: the auction insert fails
    const Result<Stored> stored = acceptImport(r, {});
    EXPECT_EQ(test::failure(stored),
              QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:\r13: Typen unverträglich"));
    EXPECT_EQ(contacts(), 0);  // the partner saved before it is rolled back
    EXPECT_EQ(r.oLieferant.KundenNr, QString());
    gsDataSource = app.file(QStringLiteral("fehlt.mdb"));
    EXPECT_TRUE(test::failure(checkImport(r)).startsWith(QStringLiteral("Beim Prüfen der Auktionsdaten")));
}

TEST_F(Accept, BatchAnswersNoToEveryQuestion) {
    const QString dir = test::dataFile(QStringLiteral("mails/"));
    EXPECT_TRUE(importMailFile(dir + QStringLiteral("verkauf.txt"), true).stored);
    const FileImport twice = importMailFile(dir + QStringLiteral("verkauf.txt"), true);
    EXPECT_FALSE(twice.stored);
    EXPECT_EQ(twice.refusal, kDuplicateQuestion);
    QStringList messages;
    const FileImport none = importMailFile(dir + QStringLiteral("keine_ebay_email.txt"), true, nullptr, &messages);
    EXPECT_EQ(none.refusal, QStringLiteral("Die Zwischenablage enthält keine ebay Email"));
    EXPECT_EQ(messages, QStringList{none.refusal});
    EXPECT_EQ(auctions(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Auktionen where GruppenID <> ''")), 0);
}

}  // namespace
}  // namespace gd
