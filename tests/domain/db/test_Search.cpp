// The search finds trades of every state by any of their texts, whatever the
// letter case and however the umlauts are spelt.
#include "domain/db/AuktionsListe.h"
#include "domain/db/Parcel.h"
#include "domain/db/SearchFold.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using test::DbTest;

TEST(SearchFold, SpellingsMeetInOneForm) {
    struct Case {
        const char* typed;
        const char* folded;
    };
    const Case cases[] = {
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
    for (const Case& c : cases)
        EXPECT_EQ(foldForSearch(QString::fromUtf8(c.typed)), QString::fromUtf8(c.folded)) << c.typed;
    EXPECT_EQ(searchQuery(QStringLiteral("O'Neill  \"Teddy\" OR -x*")), QStringLiteral("o* neill* teddy* or* x*"));
    EXPECT_EQ(searchQuery(QStringLiteral(" \"*')( ")), QString());
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
        const Result<QList<ListRow>> r = searchAuktionsListe(db, gsStandardUser, typed);
        if (!r.ok()) return {QStringLiteral("Fehler: ") + r.error().text()};
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
    ASSERT_TRUE(SaveStatusMail(teddy, zeroDate(), 6).ok());  // closed: found all the same
    ASSERT_TRUE(saveParcel(teddy, Parcel{QStringLiteral("DHL"), QStringLiteral("00340434161094042557")}).ok());
    gsStandardUser = QStringLiteral("fremd");
    add("2001", "hmueller", "Hans Müller", "Kaffeemühle eines anderen Kontos");
    gsStandardUser = QStringLiteral("haendler");

    struct Case {
        const char* typed;
        const char* nrs;  // the item numbers found, by a blank
    };
    const Case cases[] = {
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
        {"berlin", "1001 1002 1003 1004"},  // the town of all of them
        {"hmueller@example", "1001"},
        {"100", "1001 1002 1003 1004"},
        {"xyzzy", ""},
        {"\" OR 1=1 --", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(found(QString::fromUtf8(c.typed)),
                  QString::fromLatin1(c.nrs).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            << c.typed;

    // Changes reach the index, whoever makes them.
    tKunde renamed = kunde(QStringLiteral("zofia_w"), QStringLiteral("Zofia Kowalczyk"));
    ASSERT_TRUE(funSaveKunde(renamed, QStringLiteral("1003")).ok());
    EXPECT_EQ(found(QStringLiteral("kowal")), QStringList{QStringLiteral("1003")});
    EXPECT_EQ(found(QStringLiteral("wisniewska")), QStringList());
    ASSERT_TRUE(saveParcel(teddy, Parcel{}).ok());
    EXPECT_EQ(found(QStringLiteral("0034043416")), QStringList());
    tAuktion gone;
    gone.AuktionsID = teddy;
    ASSERT_TRUE(subDeleteAuktion(gone).ok());
    EXPECT_EQ(found(QStringLiteral("teddy")), QStringList());
}

// The program's folding (queries, the first index) and the database's (every later change) agree.
TEST_F(Search, TheProgramFoldsAsTheDatabaseDoes) {
    const char* const titles[] = {"Aee Oue UEBER Ueberzug", "ÆØÅ æøå Œuvre",       "Maß ẞ STRASSE",
                                  "Ærø Ōsaka Ĳssel",        "Ünïcödé ÀÉÎÕÜ àéîõü", "Łódź Kraków Gdańsk",
                                  "İstanbul Şişli",         "€ 1.234,56 – „Zitat“"};
    for (const char* t : titles) {
        tAuktion a = auktion(QStringLiteral("77"), QStringLiteral("k"));
        a.Titel = QString::fromUtf8(t);
        const QString id = store(a, kunde(QStringLiteral("k")));
        Database d = Database::open(db);
        Recordset rs = d.OpenRecordset(
            QStringLiteral("select s.Text as t from Suche s, Auktionen a where s.docid = a.rowid and a.AuktionsID = ?"),
            {id});
        ASSERT_EQ(rs.RecordCount(), 1);
        EXPECT_TRUE(rs.text(QStringLiteral("t")).contains(foldForSearch(a.Titel)))
            << t << " → " << foldForSearch(a.Titel).toStdString();
        d.execute(QStringLiteral("delete from Auktionen where AuktionsID = ?"), {id});
    }
}

// A screenful of many matches is read along the end dates; it must be the start of the whole result.
TEST_F(Search, TheFirstScreenfulOfManyMatchesIsTheStartOfAll) {
    for (int i = 0; i < 12; ++i) {
        tAuktion a = auktion(QString::number(500 + i), QStringLiteral("k"),
                             QStringLiteral("%1.11.2026 10:00").arg(1 + (i * 7) % 28, 2, 10, QLatin1Char('0')));
        a.Titel = QStringLiteral("Teller Nummer %1").arg(i);
        store(a, kunde(QStringLiteral("k")));
    }
    const QList<ListRow> all = searchAuktionsListe(db, gsStandardUser, QStringLiteral("teller")).value();
    ASSERT_EQ(all.size(), 12);
    // 2 and 5 are read along the dates, 12 and 50 from the index's few matches.
    for (const int limit : {2, 5, 12, 50}) {
        const QList<ListRow> first = searchAuktionsListe(db, gsStandardUser, QStringLiteral("teller"), limit).value();
        ASSERT_EQ(first.size(), std::min(limit, 12)) << limit;
        for (int i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].AuktionsNr, all[i].AuktionsNr) << limit << " " << i;
    }
    EXPECT_EQ(all[0].EndeDatum, QStringLiteral("22.11.2026 10:00:00"));  // newest first, equal ends in one order
}

}  // namespace
}  // namespace gd
