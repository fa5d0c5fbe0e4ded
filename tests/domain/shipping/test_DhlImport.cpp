// The day's paid sales as DHL's upload file: read back as the upload reads it, every row checked
// against the published layout; what had to be cut or spelt otherwise is named.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "domain/shipping/DhlImport.h"
#include "domain/shipping/PostalAddress.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(PostalAddress, ReadFromTheContactsFields) {
    const struct {
        const char *strasse, *ort, *land;
        const char *street, *house, *postcode, *city, *country, *refused;
    } cases[] = {
        {"Lindenweg 3a", "24103 Kiel", "", "Lindenweg", "3a", "24103", "Kiel", "DEU", nullptr},
        {"Am Markt 12 - 14", "D-04109 Leipzig", "Deutschland", "Am Markt", "12-14", "04109", "Leipzig", "DEU", nullptr},
        {"Favoritenstraße 7/2", "1040 Wien", "Österreich", "Favoritenstraße", "7/2", "1040", "Wien", "AUT", nullptr},
        {"ul. Marszałkowska 84", "00-514 Warszawa", "Polen", "ul. Marszałkowska", "84", "00-514", "Warszawa", "POL",
         nullptr},
        {"12 rue de la Paix", "75002 Paris", "Frankreich", "rue de la Paix", "12", "75002", "Paris", "FRA", nullptr},
        {"Keizersgracht 123", "1015 CJ Amsterdam", "NL", "Keizersgracht", "123", "1015 CJ", "Amsterdam", "NLD",
         nullptr},
        {"Vinohradská 12", "120 00 Praha", "Tschechien", "Vinohradská", "12", "120 00", "Praha", "CZE", nullptr},
        {"10 Downing Street", "London SW1A 2AA", "Vereinigtes Königreich", "Downing Street", "10", "SW1A 2AA", "London",
         "GBR", nullptr},
        {"Lindenweg", "24103 Kiel", "", nullptr, nullptr, nullptr, nullptr, nullptr, "die Hausnummer (in „Lindenweg“)"},
        {"Lindenweg 3", "Kiel", "", nullptr, nullptr, nullptr, nullptr, nullptr, "die Postleitzahl (in „Kiel“)"},
        {"Lindenweg 3", "24103 Kiel", "Atlantis", nullptr, nullptr, nullptr, nullptr, nullptr, "statt „Atlantis“"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strasse);
        const Result<PostalAddress> a = postalAddress(u"Dorota Wiśniewska"_s, QString(), QString::fromUtf8(c.strasse),
                                                      QString::fromUtf8(c.ort), QString::fromUtf8(c.land));
        if (c.refused) {
            ASSERT_FALSE(a.ok());
            EXPECT_TRUE(a.error().sentence.contains(QString::fromUtf8(c.refused))) << a.error().sentence.toStdString();
            continue;
        }
        ASSERT_TRUE(a.ok()) << a.error().sentence.toStdString();
        EXPECT_EQ(a.value().street, QString::fromUtf8(c.street));
        EXPECT_EQ(a.value().house, QString::fromUtf8(c.house));
        EXPECT_EQ(a.value().postcode, QString::fromUtf8(c.postcode));
        EXPECT_EQ(a.value().city, QString::fromUtf8(c.city));
        EXPECT_EQ(a.value().country, QString::fromUtf8(c.country));
    }
}

// One line of the file as the upload splits it: ";" between fields, quotes around a field that
// holds one, a doubled quote for a quote.
QStringList fields(const QString& line) {
    QStringList out{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
            out.back() += u'"';
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u';' && !quoted) {
            out << QString();
        } else {
            out.back() += c;
        }
    }
    return out;
}

class Labels : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
};

// 150 paid sales to buyers from all over Europe, one unpaid, one sent, one taken back: two files,
// 100 and 50 rows, each row as DHL's layout asks; the long name cut and the letters Windows-1252
// lacks spelt otherwise, each named.
TEST_F(Labels, ReadyToShipInFilesOfAHundredReadBack) {
    const char* const names[] = {"Dorota Wiśniewska", "Łukasz Nowak",   "Ingrid Ødegård",
                                 "Jürgen Müller",     "Antonín Dvořák", "Seán O'Neill"};
    for (int i = 0; i < 153; ++i) {
        const QString nr = QString::number(5000 + i);
        tKunde k = kunde(u"kunde%1"_s.arg(i), QString::fromUtf8(names[i % 6]));
        if (i == 7) k.Name = u"Maria-Magdalena Annegret Freifrau von und zu Hohenzollern-Sigmaringen"_s;
        if (i == 8) k.Strasse = u"Weg \"Am Berg\"; Hinterhaus 4"_s;
        store(auktion(nr, k.ebayName), k);
    }
    Database d = Database::open(db);
    d.execute(u"update Auktionen set Bezahlt = 1 where AuktionsNr <> '5150'"_s);
    d.execute(u"update Auktionen set Versendet = 1 where AuktionsNr = '5151'"_s);
    d.execute(
        u"insert into Rueckgaben (Standarduser, AuktionsID, Art, Eingang, Erfasst) select Standarduser, "
        "AuktionsID, 'Storno', '2026-12-05T10:00:00', '2026-12-05T10:00:00' from Auktionen where AuktionsNr = "
        "'5152'"_s);

    QList<DhlShipment> shipments;
    const Result<QList<ReadyParcel>> ready = readyParcels(st());
    ASSERT_TRUE(ready.ok()) << ready.error().message().toStdString();
    for (const ReadyParcel& p : ready.value()) {
        EXPECT_TRUE(p.unreadable.isEmpty()) << p.unreadable.toStdString();
        shipments << DhlShipment{p.auktionsNr, p.to, u"PAK02.DEU"_s};
    }
    ASSERT_EQ(shipments.size(), 150);
    const PostalAddress sender =
        postalAddress(u"Jörg Händler"_s, QString(), u"Lindenweg 3"_s, u"24103 Kiel"_s, QString()).value();
    const DhlImport made = dhlImportFiles(sender, shipments);
    ASSERT_EQ(made.files.size(), 2);
    EXPECT_EQ(made.written, 150);

    const FieldLimits most;
    const int limits[16] = {most.name, most.name,   most.street, most.house,    most.postcode, most.city, 3,  most.name,
                            most.name, most.street, most.house,  most.postcode, most.city,     3,         12, 20};
    const int mandatory[] = {0, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14};
    int rows = 0;
    QStringList seen;
    for (qsizetype f = 0; f < made.files.size(); ++f) {
        const QByteArray& bytes = made.files[f];
        // Windows-1252 throughout: no byte it leaves undefined.
        for (const char b : bytes) EXPECT_FALSE(QByteArray("\x81\x8d\x8f\x90\x9d").contains(b));
        const QStringList lines = win::fromAnsi(bytes).split(u"\r\n"_s, Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), f == 0 ? 101 : 51);
        EXPECT_EQ(lines[0], QString::fromLatin1(kDhlImportHeading));
        for (const QString& line : lines.mid(1)) {
            ++rows;
            const QStringList v = fields(line);
            ASSERT_EQ(v.size(), 16) << line.toStdString();
            for (int i = 0; i < 16; ++i) EXPECT_LE(v[i].size(), limits[i]) << i << ' ' << line.toStdString();
            for (const int i : mandatory) EXPECT_FALSE(v[i].isEmpty()) << i << ' ' << line.toStdString();
            EXPECT_EQ(v[6], u"DEU"_s);
            EXPECT_EQ(v[14], u"PAK02.DEU"_s);
            EXPECT_TRUE(win::representable(line));
            seen << v[7];
        }
    }
    EXPECT_EQ(rows, 150);
    EXPECT_TRUE(seen.contains(u"Dorota Wisniewska"_s));
    EXPECT_TRUE(seen.contains(u"Lukasz Nowak"_s));
    EXPECT_TRUE(seen.contains(u"Ingrid Ødegård"_s));  // Windows-1252 has these
    EXPECT_TRUE(seen.contains(u"Antonín Dvorák"_s));  // and í, but not ř
    EXPECT_TRUE(seen.contains(u"Maria-Magdalena Annegret Freifrau von und zu Hohen"_s));
    const QString notes = made.notes.join(u'\n');
    EXPECT_TRUE(
        notes.contains(u"Auktion 5007, Name: „Maria-Magdalena Annegret Freifrau von und zu "
                       "Hohenzollern-Sigmaringen“ auf 50 Zeichen gekürzt"_s))
        << notes.toStdString();
    EXPECT_TRUE(notes.contains(u"Auktion 5000, Name: „Dorota Wiśniewska“ geschrieben als „Dorota Wisniewska“"_s));
    EXPECT_FALSE(notes.contains(u"Auktion 5002"_s));  // Ødegård needs no change
}

// What the upload cannot take is left out and said, never written half.
TEST(DhlImport, IncompleteAddressesAndSenderAreSaid) {
    PostalAddress sender;
    sender.name1 = u"Jörg Händler"_s;
    EXPECT_TRUE(dhlImportFiles(sender, {}).files.isEmpty());
    EXPECT_TRUE(dhlImportFiles(sender, {}).notes.join(u' ').contains(u"Absenderanschrift ist unvollständig"_s));
    const PostalAddress full =
        postalAddress(u"Jörg Händler"_s, QString(), u"Lindenweg 3"_s, u"24103 Kiel"_s, QString()).value();
    PostalAddress noHouse = full;
    noHouse.house.clear();
    const DhlImport made = dhlImportFiles(
        full, {{u"1"_s, full, u"PAK02.DEU"_s}, {u"2"_s, noHouse, u"PAK02.DEU"_s}, {u"3"_s, full, u"Paket"_s}});
    EXPECT_EQ(made.written, 1);
    EXPECT_EQ(made.notes, (QStringList{u"Auktion 2: nicht in der Datei, die Anschrift ist unvollständig"_s,
                                       u"Auktion 3: nicht in der Datei, kein Produkt gewählt"_s}));
}

}  // namespace
}  // namespace gd
