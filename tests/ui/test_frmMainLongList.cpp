// A list longer than a screenful: the first rows at once, the rest from the
// loading thread, without losing what the user did meanwhile.
#include <QLabel>
#include <QSignalSpy>

#include "MainWindowFixture.h"
#include "base/Money.h"
#include "domain/trade/AuktionsListe.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class LongList : public test::MainWindowTest {
protected:
    static constexpr int kSales = frmMain::kFirstRows + 250;
    // kSales sales of one buyer, newest first by number; every fifth a purchase.
    void SetUp() override {
        MainWindowTest::SetUp();
        Transaction tx(db);
        Database d = Database::open(db);
        d.execute(
            u"insert into Kunden (KundenNr, Name, ebayName, Kunde, Lieferant, Standarduser) values "
            "('1', 'Zofia Wiśniewska', 'zofia', 1, 0, 'haendler'), ('2', 'Jan de Vries', 'jan', 0, 1, 'haendler')"_s);
        for (int i = 0; i < kSales; ++i)
            d.execute(
                u"insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, ebayName, Betrag, "
                "Standarduser) values (?, ?, ?, ?, ?, ?, 'haendler')"_s,
                {u"id%1"_s.arg(i), QString::number(100000 + i), u"Teller %1"_s.arg(i),
                 QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(qint64(i) * 3600).toString(u"yyyy-MM-dd HH:mm:ss"_s),
                 i % 5 ? u"zofia"_s : u"jan"_s, u"%1,00"_s.arg(kSales - i)});
        tx.commit();
        open();
        ASSERT_TRUE(waitForWholeList());
    }
    bool waitForWholeList() {
        return QTest::qWaitFor([this] { return !w->listLoading(); }, 10000);
    }
    QString idAt(int row) { return w->grid()->TextMatrix(row, 0); }
};

// The user's row stays chosen while the rest arrives, chosen meanwhile or far down.
TEST_F(LongList, FirstRowsAtOnceTheRestWithoutLosingTheUsersRow) {
    EXPECT_EQ(w->grid()->Rows() - 1, kSales);
    EXPECT_EQ(child<QLabel>(u"lblAnzahl"_s)->text(), u"%1 Auktionen"_s.arg(kSales));
    filter(2);  // "Alle" again: a screenful now, the rest in a moment
    ASSERT_TRUE(w->listLoading());
    EXPECT_EQ(w->grid()->Rows() - 1, frmMain::kFirstRows);
    EXPECT_TRUE(child<QLabel>(u"lblAnzahl"_s)->text().contains(u"weitere werden geladen"_s));
    EXPECT_EQ(w->grid()->TextMatrix(1, 7), QString::number(100000 + kSales - 1));  // newest first
    clickRow(5);                                                                   // the user goes on working
    const QString chosen = idAt(5);
    ASSERT_TRUE(waitForWholeList());
    // The status bar's figures come from the same pass as the whole list: as counted apart.
    const ListSummary s = loadListSummary(Store{db, gSettings.StandardUser}, 7).value();
    EXPECT_EQ(child<QLabel>(u"lblUebersicht"_s)->text(),
              u"Offen: %1 · Unbezahlt: %2 (%3 €) · Überfällig: %4 (%5 €)"_s.arg(
                  QString::number(s.Offen), QString::number(s.Unbezahlt), centsText(s.UnbezahltSumme),
                  QString::number(s.Ueberfaellig), centsText(s.UeberfaelligSumme)));
    EXPECT_EQ(s.Offen, kSales);
    EXPECT_EQ(w->grid()->Rows() - 1, kSales);
    EXPECT_EQ(idAt(w->grid()->Row()), chosen);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, chosen);
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 7), u"100000"_s);  // the oldest, last

    const int far = kSales - 3;
    w->grid()->scrollTo(w->grid()->model()->index(far - 1, 2));
    clickRow(far);
    const QString id = idAt(far);
    ASSERT_EQ(w->selectedAuktion().AuktionsID, id);
    menu("keyAktion", "keyrefresh");
    ASSERT_TRUE(w->listLoading());
    EXPECT_EQ(w->grid()->Row(), 0);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, id);  // the pane keeps it while the rest loads
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(idAt(w->grid()->Row()), id);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, id);
}

// A newer filter wins over a load still running; a sort covers the whole list.
TEST_F(LongList, ANewerLoadWinsAndASortCoversTheWholeList) {
    QSignalSpy complete(w.get(), &frmMain::listComplete);
    filter(2);
    filter(0);  // "Verkauf" before "Alle" has arrived
    ASSERT_TRUE(waitForWholeList());
    QTest::qWait(50);                // a late "Alle" would land now
    EXPECT_EQ(complete.count(), 1);  // nothing of "Alle" was shown after "Verkauf"
    EXPECT_EQ(w->grid()->Rows() - 1, kSales - kSales / 5);
    for (int r = 1; r < w->grid()->Rows(); r += 37) EXPECT_EQ(w->grid()->TextMatrix(r, 2), u"zofia"_s);

    filter(2);
    ASSERT_TRUE(waitForWholeList());
    clickHeading(8);  // Betrag, ascending: the oldest sale has the highest total
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->TextMatrix(1, 8), u"1,00"_s);
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 8), u"%1,00"_s.arg(kSales));
    EXPECT_EQ(w->grid()->Row(), 1);
    EXPECT_EQ(w->selectedAuktion().AuktionsID, idAt(1));
    filter(2);
    ASSERT_TRUE(waitForWholeList());
    EXPECT_EQ(w->grid()->TextMatrix(1, 8), u"1,00"_s);
    EXPECT_EQ(w->grid()->TextMatrix(kSales, 8), u"%1,00"_s.arg(kSales));
}

}  // namespace
}  // namespace gd
