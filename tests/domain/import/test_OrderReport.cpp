// The platform's order report: fills what the alias mail left empty, creates the trade a mail
// missed, shows what differs instead of overwriting it, and changes nothing when read again.
#include <gtest/gtest.h>

#include <QFile>

#include "base/codepage.h"
#include "domain/import/OrderReport.h"
#include "domain/trade/LoadSave.h"
#include "support/DbTestShared.h"
#include "support/ShippedProfiles.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class Orders : public test::DbTest {
protected:
    Store st() const { return Store{db, gSettings.StandardUser}; }
};

TEST_F(Orders, ReadTwiceNothingDoubledNothingOverwritten) {
    tKunde ana = kunde(u"ana_k"_s, u"Ana Kovačić"_s);
    ana.Strasse.clear();
    ana.Email = u"ana.x7@members.plattform.example"_s;
    store(auktion(u"4711"_s, u"ana_k"_s), ana);
    const QString csv =
        u"Bestellnummer;Artikelnummer;Nutzername des Käufers;Name des Käufers;Versandadresse 1;Versand-PLZ;Versandort;"
        "Versandland;E-Mail-Adresse des Käufers;Angebotstitel;Verkaufspreis;Anzahl;Verpackung und Versand;Verkauft "
        "am\r\n"
        "12-0001-01;4711;ana_k;Ana Kovačić;\"Ilica 12; "
        "Hinterhaus\";10000;Zagreb;Kroatien;ana@example.hr;Kaffeemühle;12,50;1;"
        "4,90;04.12.2026\r\n"
        "12-0002-01;4712;bo_n;Bo Nilsson;Storgatan 1;11122;Stockholm;Schweden;bo@example.se;\"Lampe "
        "\"\"Eos\"\"\";20,00;2;"
        "5,00;05.12.2026\r\n"
        "12-0003-01;4713;=HYPERLINK(\"x\");Böse;Weg 1;1;Ort;DE;b@example.de;x;1,00;1;0,00;05.12.2026\r\n"_s;
    // First as UTF-8; then as a spreadsheet saves it in Windows-1252, where "č" cannot be.
    for (const bool ansi : {false, true}) {
        SCOPED_TRACE(ansi);
        const Result<OrderReport> r = parseOrderReport(ansi ? win::toAnsi(csv) : csv.toUtf8(), test::shippedProfiles(),
                                                       mainPlatform(currentSettings()));
        ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
        ASSERT_EQ(r.value().orders.size(), 2);
        ASSERT_EQ(r.value().notRead.size(), 1);
        EXPECT_EQ(r.value().orders[0].street, u"Ilica 12; Hinterhaus"_s);
        const Result<OrderOutcome> done = applyOrderReport(st(), r.value());
        ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
        if (!ansi) {
            EXPECT_EQ(done.value().created, 1);
            EXPECT_EQ(done.value().filled, 1);  // the street; town, country and address differ and stay
            EXPECT_EQ(done.value().differs.size(), 3) << done.value().differs.join(u'\n').toStdString();
            EXPECT_TRUE(done.value().differs.contains(
                u"4711 E-Mail: gespeichert „ana.x7@members.plattform.example“, im Bericht „ana@example.hr“"_s));
        } else {
            EXPECT_EQ(done.value().created, 0);
            EXPECT_EQ(done.value().filled, 0);
            EXPECT_EQ(done.value().known, 2);
        }
    }
    EXPECT_EQ(auctions(), 2);
    tKunde stored;
    ASSERT_TRUE(test::into(stored, funLoadKunde(currentStore(), u"ana_k"_s)).value());
    EXPECT_EQ(stored.Strasse, u"Ilica 12; Hinterhaus"_s);
    EXPECT_EQ(stored.Ort, u"12345 Berlin"_s);  // shown, not overwritten
    EXPECT_EQ(stored.Email, u"ana.x7@members.plattform.example"_s);
    tKunde bo;
    ASSERT_TRUE(test::into(bo, funLoadKunde(currentStore(), u"bo_n"_s)).value());
    EXPECT_EQ(bo.Ort, u"11122 Stockholm"_s);
    EXPECT_EQ(count(u"select count(*) as n from Auktionen where AuktionsNr = '4712' and Betrag = '45,00' and "
                    "Titel = 'Lampe \"Eos\"'"_s),
              1);
}

// An order a mail's import would refuse is not created: an amount beyond any trade's, a negative
// price, a quantity of none; the other orders of the report are, and a payout line that waited
// for one of them pays it.
TEST_F(Orders, WhatAMailsImportRefusesIsNotCreated) {
    const QString head =
        u"Bestellnummer;Artikelnummer;Nutzername des Käufers;Name des Käufers;Versandadresse 1;Versand-PLZ;Versandort;"
        "Versandland;E-Mail-Adresse des Käufers;Angebotstitel;Verkaufspreis;Anzahl;Verpackung und Versand;Verkauft "
        "am\r\n"_s;
    const struct {
        const char *price, *quantity;
        bool created;
    } cases[] = {
        {"12,50", "1", true},  {"999.999.999.990,00", "1", false}, {"-12,50", "1", false},
        {"12,50", "0", false}, {"12,50", "1000000", false},        {"0,00", "1", true},
    };
    QString csv = head;
    int n = 0;
    for (const auto& c : cases)
        csv +=
            u"12-%1;48%1;kaeufer%1;Käufer %1;Weg 1;10115;Berlin;Deutschland;k%1@example.de;Ding;%2;%3;4,90;"
            "05.12.2026\r\n"_s.arg(++n)
                .arg(QString::fromUtf8(c.price), QString::fromLatin1(c.quantity));
    const Result<OrderReport> r =
        parseOrderReport(csv.toUtf8(), test::shippedProfiles(), mainPlatform(currentSettings()));
    ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
    const Result<OrderOutcome> done = applyOrderReport(st(), r.value());
    ASSERT_TRUE(done.ok()) << done.error().message().toStdString();
    n = 0;
    for (const auto& c : cases) {
        const QString nr = u"48%1"_s.arg(++n);
        EXPECT_EQ(count(u"select count(*) as n from Auktionen where AuktionsNr = ?"_s, {nr}), c.created ? 1 : 0)
            << c.price << " " << c.quantity;
        EXPECT_EQ(done.value().refused.join(u'|').contains(u"Artikel "_s + nr), !c.created) << c.price;
    }
    EXPECT_EQ(done.value().created, 2);
}

}  // namespace
}  // namespace gd
