// The packaging register's yearly figures: the parcels sent in a year with three kinds of boxes,
// per material in kilograms to the gram; a parcel of another year or not sent does not count.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "domain/shipping/Packaging.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(PackagingList, EntriesTheRegisterCanTake) {
    QStringList refused;
    const QList<Packaging> list = packagingList(
        u"Karton S|Papier, Pappe, Karton|180; Folie|kunststoffe|12;Kiste|Holz|900;Tüte|Kunststoffe|;|Glas|300"_s,
        &refused);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].material, u"Kunststoffe"_s);  // written as the register names it
    EXPECT_EQ(refused, (QStringList{u"Kiste|Holz|900"_s, u"Tüte|Kunststoffe|"_s, u"|Glas|300"_s}));
    EXPECT_EQ(kgText(1340), u"1,340"_s);
    EXPECT_EQ(kgText(25), u"0,025"_s);
}

class Packagings : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
};

TEST_F(Packagings, AYearWithThreeKindsOfBoxes) {
    const QList<Packaging> boxes = packagingList(
        u"Karton S|Papier, Pappe, Karton|180;Karton M|Papier, Pappe, Karton|320;Luftpolstertasche|Kunststoffe|25"_s);
    const struct {
        const char* nr;
        int box;
        const char* sent;
    } parcels[] = {{"801", 0, "2026-03-02 10:00:00"}, {"802", 1, "2026-06-30 10:00:00"},
                   {"803", 1, "2026-12-31 23:59:00"}, {"804", 2, "2026-08-01 10:00:00"},
                   {"805", 2, "2025-12-31 10:00:00"}, {"806", 0, ""}};
    for (const auto& p : parcels) {
        const QString id = store(auktion(QString::fromLatin1(p.nr), u"kunde"_s), kunde(u"kunde"_s));
        ASSERT_TRUE(recordPackaging(st(), id, boxes[p.box]).ok());
        if (*p.sent)
            Database::open(db).execute(u"update Auktionen set Versendet = 1, VersendetDatum = ? where AuktionsID = ?"_s,
                                       {QString::fromLatin1(p.sent), id});
    }
    // Chosen again: replaced, not added.
    Database d = Database::open(db);
    const QString again = test::firstText(d, u"select AuktionsID from Auktionen where AuktionsNr = '801'"_s);
    ASSERT_TRUE(recordPackaging(st(), again, boxes[0]).ok());

    const QList<MaterialYear> year = packagingYear(st(), 2026).value();
    ASSERT_EQ(year.size(), 8);
    EXPECT_EQ(year[1].material, u"Papier, Pappe, Karton"_s);
    EXPECT_EQ(year[1].parcels, 3);
    EXPECT_EQ(year[1].gramm, 180 + 320 + 320);
    EXPECT_EQ(year[4].material, u"Kunststoffe"_s);
    EXPECT_EQ(year[4].parcels, 1);
    EXPECT_EQ(year[4].gramm, 25);
    EXPECT_EQ(win::fromAnsi(packagingCsv(year)),
              u"Materialart;Sendungen;kg\r\nGlas;0;0,000\r\nPapier, Pappe, Karton;3;0,820\r\nEisenmetalle;0;0,000\r\n"
              "Aluminium;0;0,000\r\nKunststoffe;1;0,025\r\nGetränkekartonverpackungen;0;0,000\r\nsonstige "
              "Verbundverpackungen;0;0,000\r\nsonstige Materialien;0;0,000\r\n"_s);
    EXPECT_EQ(packagingYear(st(), 2025).value()[4].parcels, 1);
    // A trade deleted takes its parcel's record along.
    Database::open(db).execute(u"delete from Auktionen where AuktionsNr = '802'"_s);
    EXPECT_EQ(count(u"select count(*) from Pakete"_s), 5);
}

}  // namespace
}  // namespace gd
