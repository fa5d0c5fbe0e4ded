// A list longer than a screenful: the first rows at once, the rest from the
// loading thread, without losing what the user did meanwhile.
#include <QLabel>
#include <QSignalSpy>

#include "MainWindowFixture.h"

namespace gd {
namespace {

class LongList : public test::MainWindowTest {
protected:
    static constexpr int kSales = frmMain::kFirstRows + 250;
    // kSales sales of one buyer, newest first by number; every fifth a purchase.
    void fillMany() {
        Transaction tx(db);
        Database d = Database::open(db);
        d.execute(
            QStringLiteral("insert into Kunden (KundenNr, Name, ebayName, Kunde, Standarduser) "
                           "values ('1', 'Zofia Wiśniewska', 'zofia', 1, 'haendler')"));
        d.execute(
            QStringLiteral("insert into Kunden (KundenNr, Name, ebayName, Lieferant, Standarduser) "
                           "values ('2', 'Jan de Vries', 'jan', 1, 'haendler')"));
        for (int i = 0; i < kSales; ++i)
            d.execute(
                QStringLiteral("insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, ebayName, Betrag, "
                               "Standarduser) values (?, ?, ?, ?, ?, ?, 'haendler')"),
                {QStringLiteral("id%1").arg(i), QString::number(100000 + i), QStringLiteral("Teller %1").arg(i),
                 QDateTime(QDate(2026, 1, 1), QTime(0, 0))
                     .addSecs(qint64(i) * 3600)
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 i % 5 ? QStringLiteral("zofia") : QStringLiteral("jan"), QStringLiteral("%1,00").arg(kSales - i)});
        tx.commit();
    }
    bool waitForWholeList() {
        return QTest::qWaitFor([this] { return !w->listLoading(); }, 10000);
    }
    QString count() { return child<QLabel>(QStringLiteral("lblAnzahl"))->text(); }
};

TEST_F(LongList, FirstRowsAtOnceTheRestWithoutLosingTheUsersRow) {
    fillMany();
    open();
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->Rows() - 1, kSales);
    EXPECT_EQ(count(), QStringLiteral("%1 Auktionen").arg(kSales));

    filter(2);  // "Alle" again: a screenful now, the rest in a moment
    ASSERT_TRUE(w->listLoading());
    EXPECT_EQ(w->grid()->Rows() - 1, frmMain::kFirstRows);
    EXPECT_TRUE(count().contains(QStringLiteral("weitere werden geladen"))) << count().toStdString();
    EXPECT_EQ(w->grid()->TextMatrix(1, 7), QString::number(100000 + kSales - 1));  // newest first
    clickRow(5);                                                                   // the user goes on working
    const QString chosen = w->grid()->TextMatrix(5, 0);
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->Rows() - 1, kSales);
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 0), chosen);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, chosen);
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 7), QStringLiteral("100000"));  // the oldest, last
}

TEST_F(LongList, ANewerFilterWinsOverALoadStillRunning) {
    fillMany();
    open();
    ASSERT_TRUE(waitForWholeList());
    QSignalSpy complete(w.get(), &frmMain::listComplete);
    filter(2);
    filter(0);  // "Verkauf" before "Alle" has arrived
    ASSERT_TRUE(waitForWholeList());
    QTest::qWait(50);                // a late "Alle" would land now
    EXPECT_EQ(complete.count(), 1);  // nothing of "Alle" was shown after "Verkauf"
    EXPECT_EQ(w->grid()->Rows() - 1, kSales - kSales / 5);
    for (int r = 1; r < w->grid()->Rows(); r += 37) EXPECT_EQ(w->grid()->TextMatrix(r, 2), QStringLiteral("zofia"));
}

TEST_F(LongList, TheTradeShownFarDownStaysShownAfterARefresh) {
    fillMany();
    open();
    ASSERT_TRUE(waitForWholeList());
    const int far = kSales - 3;
    w->grid()->scrollTo(w->grid()->model()->index(far - 1, 2));
    clickRow(far);
    const QString id = w->grid()->TextMatrix(far, 0);
    ASSERT_EQ(w->selectedAuktion().AuktionsID, id);
    menu("keyAktion", "keyrefresh");
    ASSERT_TRUE(w->listLoading());
    EXPECT_EQ(w->grid()->Row(), 0);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, id);  // the pane keeps it while the rest loads
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->TextMatrix(w->grid()->Row(), 0), id);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, id);
}

TEST_F(LongList, HeadingSortOfTheWholeListOnTheLoadingThread) {
    fillMany();
    open();
    ASSERT_TRUE(waitForWholeList());
    clickHeading(8);  // Betrag, ascending: the oldest sale has the highest total
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->TextMatrix(1, 8), QStringLiteral("1,00"));
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 8), QStringLiteral("%1,00").arg(kSales));
    EXPECT_EQ(w->grid()->Row(), 1);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, w->grid()->TextMatrix(1, 0));
    filter(2);  // a refresh keeps the sort, for the rows that follow too
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->TextMatrix(1, 8), QStringLiteral("1,00"));
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 8), QStringLiteral("%1,00").arg(kSales));
}

}  // namespace
}  // namespace gd
