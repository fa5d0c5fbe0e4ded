// Sales without a payment, longer ago than the days set: the overdue list,
// oldest first, with the days each one is overdue.
#include "domain/db/AuktionsListe.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using test::DbTest;

class Overdue : public DbTest {
protected:
    QString sale(const char* nr, const char* ende) {
        return store(auktion(QString::fromLatin1(nr), QStringLiteral("k"), QString::fromLatin1(ende)), kunde(QStringLiteral("k")));
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
    tKunde seller = kunde(QStringLiteral("v"));
    ASSERT_TRUE(funSaveLieferant(seller, QStringLiteral("7")).ok());
    QString nr = seller.KundenNr;
    ASSERT_TRUE(funSaveAuktionnew(auktion(QStringLiteral("7"), QStringLiteral("v"), QStringLiteral("01.10.2026")), nr).ok());

    EXPECT_EQ(overdue(), (QStringList{QStringLiteral("1:14"), QStringLiteral("2:8")}));
    glMahnTage = 2;
    EXPECT_EQ(overdue(), (QStringList{QStringLiteral("1:14"), QStringLiteral("2:8"), QStringLiteral("3:7"),
                                      QStringLiteral("4:3")}));
    app.clock.set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));  // a week later
    EXPECT_EQ(overdue(), (QStringList{QStringLiteral("1:20"), QStringLiteral("2:14"), QStringLiteral("3:13"),
                                      QStringLiteral("4:9")}));
    glMahnTage = 7;
}

}  // namespace
}  // namespace gd
