// Tracking numbers read back from the carrier's list of shipments: each onto the one sale ready
// to ship to that name and postcode, once; where that is not one sale, nothing is guessed.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "domain/shipping/TrackingBack.h"
#include "domain/trade/Parcel.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Tracking : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
    QString sale(const QString& nr, const QString& ebay, const QString& name, const QString& ort) {
        tKunde k = kunde(ebay, name);
        k.Ort = ort;
        return store(auktion(nr, ebay), k);
    }
};

TEST_F(Tracking, EachNumberOntoItsOneSaleOnce) {
    sale(u"701"_s, u"dorota"_s, u"Dorota Wiśniewska"_s, u"00-514 Warszawa"_s);
    sale(u"702"_s, u"hans"_s, u"Hans Müller"_s, u"12345 Berlin"_s);
    sale(u"703"_s, u"hans"_s, u"Hans Müller"_s, u"12345 Berlin"_s);  // two ready to one address
    sale(u"704"_s, u"anna1"_s, u"Anna Schmidt"_s, u"24103 Kiel"_s);
    sale(u"705"_s, u"anna2"_s, u"Anna Schmidt"_s, u"80331 München"_s);  // the same name elsewhere
    sale(u"706"_s, u"jan"_s, u"Jan Novák"_s, u"110 00 Praha"_s);
    const QString sent = sale(u"707"_s, u"eva"_s, u"Eva Kovács"_s, u"1051 Budapest"_s);
    Database::open(db).execute(u"update Auktionen set Bezahlt = 1"_s);
    ASSERT_TRUE(saveParcel(st(), sent, Parcel{u"DHL"_s, u"00340434161094000001"_s}).ok());
    Database::open(db).execute(u"update Auktionen set Versendet = 1 where AuktionsNr = '707'"_s);

    // As a carrier's portal might export it: UTF-8, its own headings, the names as typed there.
    const QByteArray csv =
        u"Sendungsnummer;Datum;Empfänger;Straße;PLZ;Ort\r\n"
        "00340434161094000011;09.12.2026;\"Wisniewska, Dorota\";ul. Marszalkowska 84;00-514;Warszawa\r\n"
        "00340434161094000012;09.12.2026;Hans Müller;Hauptstraße 12;12345;Berlin\r\n"
        "00340434161094000013;09.12.2026;Anna Schmidt;Hauptstraße 12;80331;München\r\n"
        "00340434161094000014;09.12.2026;Anna Schmidt;Hauptstraße 12;24103;Kiel\r\n"
        "00340434161094000015;09.12.2026;Jan Novák;Hauptstraße 12;110 01;Praha\r\n"
        "00340434161094000001;08.12.2026;Eva Kovács;Hauptstraße 12;1051;Budapest\r\n"
        "00340434161094000016;09.12.2026;Anna Schmidt;Hauptstraße 12;24103;Kiel\r\n"_s.toUtf8();
    const Result<QList<ShipmentLine>> lines = readShipmentList(csv);
    ASSERT_TRUE(lines.ok()) << lines.error().sentence.toStdString();
    ASSERT_EQ(lines.value().size(), 7);
    EXPECT_EQ(lines.value()[0].tag, QDate(2026, 12, 9));

    const QList<TrackingMatch> found = matchTracking(st(), lines.value()).value();
    const struct {
        const char *nr, *grund;
    } expected[] = {{"701", "Name und PLZ"},
                    {"", "2 versandbereite Verkäufe an Hans Müller, 12345 – bitte selbst zuordnen"},
                    {"705", "Name und PLZ"},
                    {"704", "Name und PLZ"},
                    {"", "kein versandbereiter Verkauf an Jan Novák, 110 01"},
                    {"707", "bereits erfasst"},
                    {"", "Auktion 704 hat in dieser Liste schon eine Sendungsnummer"}};
    ASSERT_EQ(found.size(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].grund, QString::fromUtf8(expected[i].grund));
        // Assigned to that sale, or to none.
        if (!found[i].erfasst) {
            EXPECT_EQ(found[i].auktionsID.isEmpty() ? QString() : found[i].auktionsNr,
                      QString::fromLatin1(expected[i].nr));
        }
    }
    QStringList notes;
    EXPECT_EQ(applyTracking(st(), found, u"DHL"_s, QDateTime(QDate(2026, 12, 10), QTime(8, 0)), &notes).value(), 3);
    EXPECT_EQ(notes.size(), 6);  // three sent, three to look at; the known one is not told again
    Database d = Database::open(db);
    const QString id705 = test::firstText(d, u"select AuktionsID from Auktionen where AuktionsNr = '705'"_s);
    EXPECT_EQ(loadParcel(st(), id705).value().Sendungsnummer, u"00340434161094000013"_s);
    EXPECT_EQ(count(u"select count(*) from Auktionen where Versendet <> 0 and substr(VersendetDatum, 1, 10) = "
                    "'2026-12-09'"_s),
              3);
    // Read again: known, nothing twice.
    const QList<TrackingMatch> again = matchTracking(st(), lines.value()).value();
    EXPECT_EQ(std::count_if(again.begin(), again.end(), [](const TrackingMatch& m) { return m.erfasst; }), 4);
    EXPECT_EQ(applyTracking(st(), again, u"DHL"_s, QDateTime::currentDateTime()).value(), 0);
    EXPECT_EQ(count(u"select count(*) from Versand"_s), 4);
}

TEST(ShipmentList, ItsColumnsAreFoundOrNamed) {
    EXPECT_TRUE(test::failure(readShipmentList("Nummer;Name;Ort\r\n1;2;3\r\n"))
                    .contains(u"fehlt die Spalte Sendungsnummer, PLZ (gelesen: Nummer, Name, Ort)"_s));
    EXPECT_TRUE(test::failure(readShipmentList("")).contains(u"leer"_s));
    // Windows-1252 and commas.
    const Result<QList<ShipmentLine>> l =
        readShipmentList(win::toAnsi(u"Sendungs-Nr.,Empfänger,PLZ\r\n\"0034 0434\",\"Müller, Jörg\",24103\r\n"_s));
    ASSERT_TRUE(l.ok()) << l.error().sentence.toStdString();
    ASSERT_EQ(l.value().size(), 1);
    EXPECT_EQ(l.value()[0].sendungsnummer, u"00340434"_s);
    EXPECT_EQ(l.value()[0].name, u"Müller, Jörg"_s);
    EXPECT_EQ(l.value()[0].zeile, 2);
}

}  // namespace
}  // namespace gd
