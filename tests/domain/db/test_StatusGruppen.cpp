#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

const QDateTime d1(QDate(2026, 12, 5), QTime(0, 0));
const QDateTime d2(QDate(2026, 12, 7), QTime(0, 0));

struct Row {
    bool flag;
    QString date;
};

class Status : public DbTest {
protected:
    Row milestone(const QString& id, int i) {
        Database d = Database::open(db);
        Recordset rs = d.OpenRecordset(u"select * from Auktionen where AuktionsID = ?"_s, {id});
        rs.MoveFirst();
        const Milestone& m = kMilestoneTable[std::size_t(i)];
        return {rs.flag(QString::fromUtf8(m.flagColumn)), rs.text(QString::fromUtf8(m.dateColumn))};
    }
    QString status(const QString& id) {
        tAuktion a;
        EXPECT_TRUE(test::found(funLoadAuktion(a, id)));
        return a.Status;
    }
};

TEST_F(Status, SaveStatusWritesOneMilestoneAndNamesTheHighest) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    a.Datum[0] = d1;
    a.Datum[2] = d2;
    ASSERT_TRUE(test::ok(SaveStatus(a, 0)));
    ASSERT_TRUE(test::ok(SaveStatus(a, 2)));
    EXPECT_EQ(status(id), u"Bezahlt"_s);
    ASSERT_TRUE(test::ok(SaveStatus(a, 1)));  // date 1 is the zero date
    Row r = milestone(id, 1);
    EXPECT_FALSE(r.flag);
    EXPECT_EQ(r.date, u"1899-12-30 00:00:00"_s);
    EXPECT_EQ(status(id), u"Bezahlt"_s);
    r = milestone(id, 2);
    EXPECT_TRUE(r.flag);
    EXPECT_EQ(r.date, u"2026-12-07 00:00:00"_s);

    tAuktion b;
    ASSERT_TRUE(test::found(funLoadAuktion(b, id)));
    EXPECT_EQ(b.Datum[0], d1);
    EXPECT_EQ(b.Datum[2], d2);
    EXPECT_TRUE(isZeroDate(b.Datum[1]));

    for (auto& d : a.Datum) d = zeroDate();
    ASSERT_TRUE(test::ok(SaveStatus(a, 2)));
    EXPECT_EQ(status(id), QString());
    ASSERT_TRUE(test::ok(SaveStatus(a, 9)));  // no milestone of that index: only the status
}

TEST_F(Status, MailStatusIsNotRecomputed) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(id, d2, 2)));
    ASSERT_TRUE(test::ok(SaveStatusMail(id, d1, 5)));
    const Row r = milestone(id, 5);
    EXPECT_TRUE(r.flag);
    EXPECT_EQ(r.date, u"2026-12-05 00:00:00"_s);
    EXPECT_EQ(status(id), u"Bewertung erhalten"_s);
    ASSERT_TRUE(test::ok(SaveStatusMail(id, d1, 0)));
    EXPECT_EQ(status(id), u"Geantwortet"_s);  // though already paid
    EXPECT_TRUE(test::ok(SaveStatusMail(u"gibt es nicht"_s, d1, 0)));
}

TEST_F(Status, FlagFalseHidesAStoredDate) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    Database::open(db).execute(u"update Auktionen set BezahltDatum = '2026-12-01 00:00:00', Bezahlt = 0"_s);
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    EXPECT_TRUE(isZeroDate(a.Datum[2]));
}

TEST_F(Status, GroupingTakesTheUnpaidAuctionsOnly) {
    tKunde k = kunde(u"sammler"_s);
    QString ids[4];
    for (int i = 0; i < 4; ++i)
        ids[i] = store(auktion(QString::number(100 + i), u"sammler"_s, u"0%1.12.2026"_s.arg(4 - i)), k);
    store(auktion(u"200"_s, u"anderer"_s), kunde(u"anderer"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(ids[3], d1, 2)));  // one paid
    const QString group = LoadMaxGruppenID(u"sammler"_s).value();
    EXPECT_EQ(group, u"20261204100"_s);
    EXPECT_FALSE(checkgruppierteMails(group).value());
    ASSERT_TRUE(test::ok(saveGruppenID(group, u"sammler"_s)));
    EXPECT_TRUE(checkgruppierteMails(group).value());
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID = ? and KundenNr = ?"_s, {group, group}), 3);
    tAuktion paid;
    ASSERT_TRUE(test::found(funLoadAuktion(paid, ids[3])));
    EXPECT_EQ(paid.GruppenID, QString());

    // the group: every auction with that number, paid or not, earliest end first
    const Result<QList<GroupEntry>> entries = funLoadAuktiongruppiert(group);
    ASSERT_TRUE(test::ok(entries));
    ASSERT_EQ(entries->size(), 4);  // the paid one carries the number as its contact number
    EXPECT_EQ(entries->at(0).at(0).toString(), u"103"_s);
    EXPECT_EQ(entries->at(3).at(0).toString(), u"100"_s);
    const GroupEntry& e = entries->at(3);
    ASSERT_EQ(e.size(), 9);
    EXPECT_EQ(e.at(1).toString(), u"Kaffeemühle 100"_s);
    EXPECT_EQ(e.at(2).toString(), u"04.12.2026"_s);
    EXPECT_EQ(e.at(3).toString(), u"12,50"_s);
    EXPECT_EQ(e.at(8).toString(), ids[0]);
    EXPECT_TRUE(funLoadAuktiongruppiert(u"niemand"_s).value().isEmpty());
    EXPECT_EQ(LoadMaxGruppenID(u"unbekannt"_s).value(), QString());
}

}  // namespace
}  // namespace gd
