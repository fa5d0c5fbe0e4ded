// The search finds trades of every state by any of their texts, whatever the
// letter case and however the umlauts are spelt.
#include "domain/db/SearchFold.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/Parcel.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

TEST(SearchFold, SpellingsMeetInOneForm) {
    const struct {
        const char* typed;
        const char* folded;
    } cases[] = {
        {"Müller", "muller"},
        {"Mueller", "muller"},
        {"MULLER", "muller"},
        {"MÜLLER", "muller"},
        {"Große-Wübbeling", "grosse-wubbeling"},
        {"Wiśniewska", "wisniewska"},
        {"Łukasz Nowak", "lukasz nowak"},
        {"Çelik", "celik"},
        {"Ørsted", "orsted"},
        {"Teddybär", "teddybar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(foldForSearch(QString::fromUtf8(c.typed)), QString::fromUtf8(c.folded)) << c.typed;
    EXPECT_EQ(searchQuery(u"O'Neill  \"Teddy\" OR -x*"_s), u"o* neill* teddy* or* x*"_s);
    EXPECT_EQ(searchQuery(u" \"*')( "_s), QString());
}

class Search : public DbTest {
protected:
    QString add(const char* nr, const char* ebay, const char* name, const char* title, const char* mail = "") {
        tAuktion a = auktion(QString::fromLatin1(nr), QString::fromUtf8(ebay));
        a.Titel = QString::fromUtf8(title);
        a.EmailText = QString::fromUtf8(mail);
        return store(a, kunde(QString::fromUtf8(ebay), QString::fromUtf8(name)));
    }
    QStringList found(const QString& typed) {
        const Result<QList<ListRow>> r = searchAuktionsListe(Store{db, gSettings.StandardUser}, typed);
        if (!r.ok()) return {u"Fehler: "_s + r.error().text()};
        QStringList nrs;
        for (const ListRow& row : r.value()) nrs << row.AuktionsNr;
        nrs.sort();
        return nrs;
    }
};

TEST_F(Search, AnyTextOfEveryStateWhateverTheSpelling) {
    add("1001", "hmueller", "Hans Müller", "Kaffeemühle");
    const QString teddy = add("1002", "gw_sammlerin", "Gisela Große-Wübbeling", "Teddybär von 1950",
                              "Der Käufer hat die Zahlungsaufforderung erhalten.");
    add("1003", "zofia_w", "Zofia Wiśniewska", "Porzellan Rosenthal");
    add("1004", "seanon", "Seán O'Neill", "Modelleisenbahn Märklin");
    add("1005", "dpapad", "Δημήτρης Παπαδόπουλος", "Βινύλιο από την Αθήνα");
    add("1006", "ivan_k", "Иван Петров", "Пластинка из Москвы");
    ASSERT_TRUE(SaveStatusMail(currentStore(), teddy, zeroDate(), 6).ok());  // closed: found all the same
    ASSERT_TRUE(saveParcel(currentStore(), teddy, Parcel{u"DHL"_s, u"00340434161094042557"_s}).ok());
    gSettings.StandardUser = u"fremd"_s;
    add("2001", "hmueller", "Hans Müller", "Kaffeemühle eines anderen Kontos");
    gSettings.StandardUser = u"haendler"_s;

    const struct {
        const char* typed;
        const char* nrs;  // the item numbers found, by a blank
    } cases[] = {
        {"Muller", "1001"},
        {"Müller", "1001"},
        {"MUELLER", "1001"},
        {"mül", "1001"},
        {"grosse wübb", "1002"},
        {"teddy", "1002"},
        {"1950", "1002"},
        {"zahlungsauff", "1002"},  // the mail text
        {"0034043416", "1002"},    // the parcel
        {"wisniewska", "1003"},
        {"o'neill", "1004"},
        {"Marklin", "1004"},
        {"MÄRKLIN", "1004"},
        {"δημήτρης", "1005"},
        {"ΔΗΜΉΤΡΗΣ", "1005"},  // capitals, accent, final sigma
        {"αθηνα", "1005"},
        {"ИВАН", "1006"},
        {"москвы", "1006"},
        {"berlin", "1001 1002 1003 1004 1005 1006"},  // the town of all of them
        {"hmueller@example", "1001"},
        {"100", "1001 1002 1003 1004 1005 1006"},
        {"xyzzy", ""},
        {"\" OR 1=1 --", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(found(QString::fromUtf8(c.typed)),
                  QString::fromLatin1(c.nrs).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            << c.typed;

    // Changes reach the index, whoever makes them.
    tKunde renamed = kunde(u"zofia_w"_s, u"Zofia Kowalczyk"_s);
    ASSERT_TRUE(funSaveKunde(currentStore(), renamed, u"1003"_s).ok());
    EXPECT_EQ(found(u"kowal"_s), QStringList{u"1003"_s});
    EXPECT_EQ(found(u"wisniewska"_s), QStringList());
    ASSERT_TRUE(saveParcel(currentStore(), teddy, Parcel{}).ok());
    EXPECT_EQ(found(u"0034043416"_s), QStringList());
    tAuktion gone;
    gone.AuktionsID = teddy;
    ASSERT_TRUE(subDeleteAuktion(currentStore(), gone).ok());
    EXPECT_EQ(found(u"teddy"_s), QStringList());
}

// The program's folding (queries, the first index) and the database's (every later change) agree.
TEST_F(Search, TheProgramFoldsAsTheDatabaseDoes) {
    const char* const titles[] = {
        "Aee Oue UEBER Ueberzug", "ÆØÅ æøå Œuvre",  "Maß ẞ STRASSE",        "Ærø Ōsaka Ĳssel", "Ünïcödé ÀÉÎÕÜ àéîõü",
        "Łódź Kraków Gdańsk",     "İstanbul Şişli", "€ 1.234,56 – „Zitat“", "ΆΈΉ Σίσυφος ΪΫ",  "ЁЖИК Ґанок Ѝ"};
    for (const char* t : titles) {
        tAuktion a = auktion(u"77"_s, u"k"_s);
        a.Titel = QString::fromUtf8(t);
        const QString id = store(a, kunde(u"k"_s));
        Database d = Database::open(db);
        const QStringList found = test::columnOf(
            d, u"select s.Text from Suche s, Auktionen a where s.docid = a.rowid and a.AuktionsID = ?"_s, {id});
        ASSERT_EQ(found.size(), 1);
        EXPECT_TRUE(found.first().contains(foldForSearch(a.Titel)))
            << t << " → " << foldForSearch(a.Titel).toStdString();
        d.execute(u"delete from Auktionen where AuktionsID = ?"_s, {id});
    }
}

// A screenful of many matches is read along the end dates; it must be the start of the whole result.
TEST_F(Search, TheFirstScreenfulOfManyMatchesIsTheStartOfAll) {
    for (int i = 0; i < 12; ++i) {
        tAuktion a = auktion(QString::number(500 + i), u"k"_s,
                             u"%1.11.2026 10:00"_s.arg(1 + (i * 7) % 28, 2, 10, QLatin1Char('0')));
        a.Titel = u"Teller Nummer %1"_s.arg(i);
        store(a, kunde(u"k"_s));
    }
    const QList<ListRow> all = searchAuktionsListe(Store{db, gSettings.StandardUser}, u"teller"_s).value();
    ASSERT_EQ(all.size(), 12);
    // 2 and 5 are read along the dates, 12 and 50 from the index's few matches.
    for (const int limit : {2, 5, 12, 50}) {
        const QList<ListRow> first = searchAuktionsListe(Store{db, gSettings.StandardUser}, u"teller"_s, limit).value();
        ASSERT_EQ(first.size(), std::min(limit, 12)) << limit;
        for (int i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].AuktionsNr, all[i].AuktionsNr) << limit << " " << i;
    }
    EXPECT_EQ(all[0].EndeDatum, u"22.11.2026 10:00:00"_s);  // newest first, equal ends in one order
}

}  // namespace
}  // namespace gd
