#include "domain/trade/AuktionsListe.h"
#include "domain/trade/Reminders.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

const QDateTime d1(QDate(2026, 12, 5), QTime(0, 0));
const QDateTime d2(QDate(2026, 12, 7), QTime(0, 0));

class Status : public DbTest {
protected:
    // "flag|date" of the i-th milestone as stored.
    QString milestone(const QString& id, int i) {
        Database d = Database::open(db);
        const Milestone& m = kMilestoneTable[std::size_t(i)];
        return d
            .firstRow(u"select \"%1\", \"%2\" from Auktionen where AuktionsID = ?"_s.arg(
                          QString::fromUtf8(m.flagColumn), QString::fromUtf8(m.dateColumn)),
                      {id},
                      [](const DbRow& r) -> QString { return QString::number(r.int64(0) != 0) + u'|' + r.text(1); })
            .value_or(QString());
    }
};

TEST_F(Status, SaveStatusWritesOneMilestoneAndNamesTheHighest) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    tAuktion a = loaded(id);
    a.Datum[0] = d1;
    a.Datum[2] = d2;
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 0)));
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 2)));
    EXPECT_EQ(loaded(id).Status, u"Bezahlt"_s);
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 1)));  // date 1 is the zero date
    EXPECT_EQ(milestone(id, 1), u"0|1899-12-30 00:00:00"_s);
    EXPECT_EQ(milestone(id, 2), u"1|2026-12-07 00:00:00"_s);
    const tAuktion b = loaded(id);
    EXPECT_EQ(b.Status, u"Bezahlt"_s);
    EXPECT_EQ(b.Datum[0], d1);
    EXPECT_EQ(b.Datum[2], d2);
    EXPECT_TRUE(isZeroDate(b.Datum[1]));

    for (auto& d : a.Datum) d = zeroDate();
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 2)));
    EXPECT_EQ(loaded(id).Status, QString());
    ASSERT_TRUE(test::ok(SaveStatus(currentStore(), a, 9)));  // no milestone of that index: only the status
    // a flag that is false hides a stored date
    Database::open(db).execute(u"update Auktionen set BezahltDatum = '2026-12-01 00:00:00', Bezahlt = 0"_s);
    EXPECT_TRUE(isZeroDate(loaded(id).Datum[2]));
}

TEST_F(Status, MailStatusIsNotRecomputed) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), id, d2, 2)));
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), id, d1, 5)));
    EXPECT_EQ(milestone(id, 5), u"1|2026-12-05 00:00:00"_s);
    EXPECT_EQ(loaded(id).Status, u"Bewertung erhalten"_s);
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), id, d1, 0)));
    EXPECT_EQ(loaded(id).Status, u"Geantwortet"_s);  // though already paid
    EXPECT_TRUE(test::ok(SaveStatusMail(currentStore(), u"gibt es nicht"_s, d1, 0)));
}

TEST_F(Status, GroupingTakesTheUnpaidAuctionsOnly) {
    tKunde k = kunde(u"sammler"_s);
    QString ids[4];
    for (int i = 0; i < 4; ++i)
        ids[i] = store(auktion(QString::number(100 + i), u"sammler"_s, u"0%1.12.2026"_s.arg(4 - i)), k);
    store(auktion(u"200"_s, u"anderer"_s), kunde(u"anderer"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), ids[3], d1, 2)));  // one paid
    const QString group = kundenNrOf(currentStore(), u"sammler"_s).value();
    EXPECT_EQ(group, u"20261204100"_s);
    EXPECT_FALSE(checkgruppierteMails(currentStore(), group).value());
    ASSERT_TRUE(test::ok(saveGruppenID(currentStore(), group, u"sammler"_s)));
    EXPECT_TRUE(checkgruppierteMails(currentStore(), group).value());
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where GruppenID = ? and KundenNr = ?"_s, {group, group}), 3);
    EXPECT_EQ(loaded(ids[3]).GruppenID, QString());

    // the group: every auction with that number, paid or not, earliest end first
    const Result<QList<GroupEntry>> entries = funLoadAuktiongruppiert(currentStore(), group);
    ASSERT_TRUE(test::ok(entries));
    ASSERT_EQ(entries->size(), 4);  // the paid one carries the number as its contact number
    EXPECT_EQ(entries->at(0).at(0).toString(), u"103"_s);
    const GroupEntry& e = entries->at(3);
    ASSERT_EQ(e.size(), 9);
    EXPECT_EQ(QStringList(
                  {e.at(0).toString(), e.at(1).toString(), e.at(2).toString(), e.at(3).toString(), e.at(8).toString()})
                  .join(u'|'),
              QString(u"100|Kaffeemühle 100|04.12.2026|12,50|"_s + ids[0]));
    EXPECT_TRUE(funLoadAuktiongruppiert(currentStore(), u"niemand"_s).value().isEmpty());
    EXPECT_EQ(kundenNrOf(currentStore(), u"unbekannt"_s).value(), QString());
}

// Sales without a payment, longer ago than the days set: the overdue list,
// oldest first, with the days each one is overdue.
class Overdue : public DbTest {
protected:
    QString sale(const char* nr, const char* ende) {
        return store(auktion(QString::fromLatin1(nr), u"k"_s, QString::fromLatin1(ende)), kunde(u"k"_s));
    }
    QStringList overdue(int mahnTage = 7) {
        QStringList out;
        for (const ListRow& r :
             loadAuktionsListe(Store{db, gSettings.StandardUser}, ListChoice(ListFilter::Ueberfaellig, mahnTage))
                 .value())
            out << r.AuktionsNr + QLatin1Char(':') + QString::number(r.Tage);
        return out;
    }
};

// The overdue list, and the status bar's figures: open trades, unpaid sales and the
// overdue ones among them, with the totals asked.
TEST_F(Overdue, UnpaidSalesPastTheirDaysOldestFirstAndTheSummary) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    sale("1", "20.11.2026 18:00");                                  // 14 days
    tAuktion big = auktion(u"2"_s, u"k"_s, u"26.11.2026 13:00"_s);  // not quite 8 days: overdue
    big.Betrag = u"EUR 1.204,10"_s;
    store(big, kunde(u"k"_s));
    sale("3", "27.11.2026 12:00");  // exactly 7 days: not yet
    sale("4", "01.12.2026");
    const QString paid = sale("5", "01.11.2026");
    ASSERT_TRUE(SaveStatusMail(currentStore(), paid, QDateTime(QDate(2026, 11, 3), QTime(0, 0)), 2).ok());
    const QString closed = sale("6", "02.11.2026");
    ASSERT_TRUE(SaveStatusMail(currentStore(), closed, zeroDate(), 6).ok());
    const Result<QString> nr = funSaveLieferant(currentStore(), kunde(u"v"_s), u"7"_s);
    ASSERT_TRUE(nr.ok());
    ASSERT_TRUE(funSaveAuktionnew(currentStore(), auktion(u"7"_s, u"v"_s, u"01.10.2026"_s), nr.value()).ok());

    EXPECT_EQ(overdue(), (QStringList{u"1:14"_s, u"2:8"_s}));
    const ListSummary s = loadListSummary(Store{db, gSettings.StandardUser}, 7).value();
    EXPECT_EQ(s.Offen, 6);  // 1 to 4, the paid one and the purchase
    EXPECT_EQ(s.Unbezahlt, 4);
    EXPECT_EQ(s.UnbezahltSumme, 1740 + 120410 + 1740 + 1740);  // cents, summed without rounding
    EXPECT_EQ(s.Ueberfaellig, 2);
    EXPECT_EQ(s.UeberfaelligSumme, 1740 + 120410);
    EXPECT_EQ(overdue(2), (QStringList{u"1:14"_s, u"2:8"_s, u"3:7"_s, u"4:3"_s}));
    app.clock.set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));  // a week later
    EXPECT_EQ(overdue(2), (QStringList{u"1:20"_s, u"2:14"_s, u"3:13"_s, u"4:9"_s}));
}

// Each reminder is kept with its date and level; the overdue list shows the last
// one; a group's mail reminds of all its trades at once, and a trade deleted
// takes its reminders along.
TEST_F(Overdue, RemindersAreKeptAndTheListShowsTheLastLevel) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    const QString a = sale("1", "10.11.2026"), b = sale("2", "12.11.2026");
    const QDateTime first(QDate(2026, 11, 20), QTime(9, 30)), second(QDate(2026, 11, 28), QTime(17, 5));
    ASSERT_TRUE(recordReminder(currentStore(), {a}, 1, first).ok());
    ASSERT_TRUE(recordReminder(currentStore(), {a, b}, 2, second).ok());
    const QList<Reminder> sent = loadReminders(currentStore(), a).value();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].Stufe, 1);
    EXPECT_EQ(sent[0].Datum, first);
    EXPECT_EQ(sent[1].Stufe, 2);
    EXPECT_EQ(sent[1].Datum, second);
    EXPECT_EQ(reminderLevel(currentStore(), b).value(), 2);
    EXPECT_EQ(reminderLevel(currentStore(), sale("3", "13.11.2026")).value(), 0);

    QStringList levels;
    for (const ListRow& r : loadAuktionsListe(Store{db, gSettings.StandardUser}, ListFilter::Ueberfaellig).value())
        levels << r.AuktionsNr + QLatin1Char(':') + QString::number(r.Mahnstufe);
    EXPECT_EQ(levels, (QStringList{u"1:2"_s, u"2:2"_s, u"3:0"_s}));

    ASSERT_TRUE(subDeleteAuktion(currentStore(), loaded(a)).ok());
    EXPECT_EQ(count(u"select count(*) as n from Mahnungen where AuktionsID = ?"_s, {a}), 0);
    EXPECT_EQ(reminderLevel(currentStore(), b).value(), 2);
}

// --list writes the file's bytes as lines: they say what the window's rows say, a tab or line
// break in a title made a space, and midnight shown as the window shows it.
TEST_F(Overdue, TheListsLinesAreTheWindowsRows) {
    app.clock.set(QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
    tAuktion odd = auktion(u"1"_s, u"k"_s, u"10.11.2026"_s);
    odd.Titel = u"Becher\tmit\nZeilen – Zinn"_s;
    const QString first = store(odd, kunde(u"k"_s));
    sale("2", "12.11.2026 18:30:05");
    sale("3", "01.12.2026 00:00:01");
    ASSERT_TRUE(recordReminder(currentStore(), {first}, 1, QDateTime(QDate(2026, 11, 20), QTime(9, 30))).ok());
    for (const ListFilter f : {ListFilter::Alle, ListFilter::Ueberfaellig}) {
        const bool days = f == ListFilter::Ueberfaellig;
        QByteArray want = "AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\tGruppenID\tBetrag";
        want += days ? "\tTage\tErinnerung\n" : "\n";
        for (const ListRow& r : loadAuktionsListe(Store{db, gSettings.StandardUser}, f).value()) {
            QStringList fields{r.AuktionsID, r.AuktionsNr, r.ebayName,  r.Name,  r.Titel,
                               r.EndeDatum,  r.Status,     r.GruppenID, r.Betrag};
            if (days) fields << QString::number(r.Tage) << QString::number(r.Mahnstufe);
            for (QString& x : fields) x.replace(QLatin1Char('\t'), u' ').replace(QLatin1Char('\n'), u' ');
            want += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
        }
        QByteArray got;
        ASSERT_TRUE(writeListTsv(Store{db, gSettings.StandardUser}, f, [&got](const QByteArray& b) {
                        got += b;
                        return true;
                    }).ok());
        EXPECT_EQ(got, want);
        EXPECT_EQ(got.count('\n'), days ? 3 : 4);
    }
}

}  // namespace
}  // namespace gd
