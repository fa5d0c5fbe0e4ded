// Sales without a payment, longer ago than the days set: the overdue list,
// oldest first, with the days each one is overdue.
#include "domain/db/AuktionsListe.h"
#include "domain/db/Reminders.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

class Overdue : public DbTest {
protected:
    QString sale(const char* nr, const char* ende) {
        return store(auktion(QString::fromLatin1(nr), u"k"_s, QString::fromLatin1(ende)), kunde(u"k"_s));
    }
    QStringList overdue() {
        QStringList out;
        for (const ListRow& r : loadAuktionsListe(db, gsStandardUser, ListFilter::Ueberfaellig).value())
            out << r.AuktionsNr + QLatin1Char(':') + QString::number(r.Tage);
        return out;
    }
};

TEST_F(Overdue, UnpaidSalesPastTheirDaysOldestFirst) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    glMahnTage = 7;
    sale("1", "20.11.2026 18:00");  // 14 days
    sale("2", "26.11.2026 13:00");  // not quite 8 days: overdue
    sale("3", "27.11.2026 12:00");  // exactly 7 days: not yet
    sale("4", "01.12.2026");
    const QString paid = sale("5", "01.11.2026");
    ASSERT_TRUE(SaveStatusMail(paid, QDateTime(QDate(2026, 11, 3), QTime(0, 0)), 2).ok());
    const QString closed = sale("6", "02.11.2026");
    ASSERT_TRUE(SaveStatusMail(closed, zeroDate(), 6).ok());
    tKunde seller = kunde(u"v"_s);
    ASSERT_TRUE(funSaveLieferant(seller, u"7"_s).ok());
    QString nr = seller.KundenNr;
    ASSERT_TRUE(funSaveAuktionnew(auktion(u"7"_s, u"v"_s, u"01.10.2026"_s), nr).ok());

    EXPECT_EQ(overdue(), (QStringList{u"1:14"_s, u"2:8"_s}));
    glMahnTage = 2;
    EXPECT_EQ(overdue(), (QStringList{u"1:14"_s, u"2:8"_s, u"3:7"_s, u"4:3"_s}));
    app.clock.set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));  // a week later
    EXPECT_EQ(overdue(), (QStringList{u"1:20"_s, u"2:14"_s, u"3:13"_s, u"4:9"_s}));
    glMahnTage = 7;
}

// Each reminder is kept with its date and level; the overdue list shows the last
// one; a group's mail reminds of all its trades at once, and a trade deleted
// takes its reminders along.
TEST_F(Overdue, RemindersAreKeptAndTheListShowsTheLastLevel) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    glMahnTage = 7;
    const QString a = sale("1", "10.11.2026"), b = sale("2", "12.11.2026");
    const QDateTime first(QDate(2026, 11, 20), QTime(9, 30)), second(QDate(2026, 11, 28), QTime(17, 5));
    ASSERT_TRUE(recordReminder({a}, 1, first).ok());
    ASSERT_TRUE(recordReminder({a, b}, 2, second).ok());
    const QList<Reminder> sent = loadReminders(a).value();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].Stufe, 1);
    EXPECT_EQ(sent[0].Datum, first);
    EXPECT_EQ(sent[1].Stufe, 2);
    EXPECT_EQ(sent[1].Datum, second);
    EXPECT_EQ(reminderLevel(b).value(), 2);
    EXPECT_EQ(reminderLevel(sale("3", "13.11.2026")).value(), 0);

    QStringList levels;
    for (const ListRow& r : loadAuktionsListe(db, gsStandardUser, ListFilter::Ueberfaellig).value())
        levels << r.AuktionsNr + QLatin1Char(':') + QString::number(r.Mahnstufe);
    EXPECT_EQ(levels, (QStringList{u"1:2"_s, u"2:2"_s, u"3:0"_s}));

    tAuktion gone;
    ASSERT_TRUE(test::found(funLoadAuktion(gone, a)));
    ASSERT_TRUE(subDeleteAuktion(gone).ok());
    EXPECT_EQ(count(u"select count(*) as n from Mahnungen where AuktionsID = ?"_s, {a}), 0);
    EXPECT_EQ(reminderLevel(b).value(), 2);
}

// The status bar's figures: open trades, unpaid sales and the overdue ones among
// them, with the totals asked.
TEST_F(Overdue, TheSummaryCountsAndAddsUp) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    glMahnTage = 7;
    sale("1", "10.11.2026");  // overdue, 17,40
    tAuktion big = auktion(u"2"_s, u"k"_s, u"12.11.2026"_s);
    big.Betrag = u"EUR 1.204,10"_s;
    store(big, kunde(u"k"_s));  // overdue
    sale("3", "02.12.2026");    // unpaid, not yet overdue
    const QString paid = sale("4", "01.11.2026");
    ASSERT_TRUE(SaveStatusMail(paid, QDateTime(QDate(2026, 11, 3), QTime(0, 0)), 2).ok());
    const QString closed = sale("5", "02.11.2026");
    ASSERT_TRUE(SaveStatusMail(closed, zeroDate(), 6).ok());
    tKunde seller = kunde(u"v"_s);
    ASSERT_TRUE(funSaveLieferant(seller, u"6"_s).ok());
    QString nr = seller.KundenNr;
    ASSERT_TRUE(funSaveAuktionnew(auktion(u"6"_s, u"v"_s, u"01.10.2026"_s), nr).ok());

    const ListSummary s = loadListSummary(db, gsStandardUser).value();
    EXPECT_EQ(s.Offen, 5);  // 1, 2, 3, the paid one and the purchase
    EXPECT_EQ(s.Unbezahlt, 3);
    EXPECT_EQ(s.UnbezahltSumme, 1740 + 120410 + 1740);  // cents, summed without rounding
    EXPECT_EQ(s.Ueberfaellig, 2);
    EXPECT_EQ(s.UeberfaelligSumme, 1740 + 120410);
}

}  // namespace
}  // namespace gd
