// Each shipped bank profile with a file of its layout: the profile that recognises it, the credits
// it gives, in either encoding, with quoted separators and line breaks; a debit and a pending
// line are no payment.
#include <gtest/gtest.h>

#include <QFile>

#include "base/codepage.h"
#include "domain/bank/Profiles.h"
#include "domain/bank/Statement.h"
#include "support/ShippedProfiles.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(BankProfiles, EachLayoutReadByItsProfile) {
    const struct {
        const char* profile;
        const char* csv;  // the credit of 30,90 € by Zoë Ørsted on 05.12.2026, a debit, a pending line
    } cases[] = {
        {"Sparkasse (CSV-CAMT V2)",
         "\"Auftragskonto\";\"Buchungstag\";\"Valutadatum\";\"Buchungstext\";\"Verwendungszweck\";"
         "\"Beguenstigter/Zahlungspflichtiger\";\"Kontonummer/IBAN\";\"BIC "
         "(SWIFT-Code)\";\"Betrag\";\"Waehrung\";\"Info\"\n"
         "\"DE1\";\"05.12.26\";\"05.12.26\";\"GUTSCHR\";\"Kauf 4711; Danke\nfür alles\";\"Zoë "
         "Ørsted\";\"DK5000400440116243\";"
         "\"X\";\"30,90\";\"EUR\";\"Umsatz gebucht\"\n"
         "\"DE1\";\"05.12.26\";\"05.12.26\";\"LASTSCHRIFT\";\"Strom\";\"Stadtwerke\";\"DE2\";\"X\";\"-50,00\";\"EUR\";"
         "\"Umsatz gebucht\"\n"
         "\"DE1\";\"06.12.26\";\"06.12.26\";\"GUTSCHR\";\"x\";\"Jan Novák\";\"CZ1\";\"X\";\"12,00\";\"EUR\";\"Umsatz "
         "vorgemerkt\"\n"},
        {"ING (Umsatzanzeige CSV)",
         "Umsatzanzeige;Datei erstellt am: 07.12.2026\n\nBuchung;Valuta;Auftraggeber/Empfänger;Buchungstext;"
         "Verwendungszweck;Saldo;Währung;Betrag;Währung\n"
         "05.12.2026;05.12.2026;Zoë Ørsted;Gutschrift;\"Kauf 4711; Danke\nfür alles\";1.030,90;EUR;30,90;EUR\n"
         "05.12.2026;05.12.2026;Stadtwerke;Lastschrift;Strom;1.000,00;EUR;-50,00;EUR\n"},
        {"Volksbanken und Raiffeisenbanken (Umsatzanzeige CSV)",
         "\"Buchungstag\";\"Valuta\";\"Empfänger/Zahlungspflichtiger\";\"IBAN\";\"Vorgang/Verwendungszweck\";\"Info\";"
         "\"Währung\";\"Umsatz\";\" \"\n"
         "\"05.12.2026\";\"05.12.2026\";\"Zoë Ørsted\";\"DK5000400440116243\";\"Kauf 4711; Danke\nfür alles\";\"\";"
         "\"EUR\";\"30,90\";\"H\"\n"
         "\"05.12.2026\";\"05.12.2026\";\"Stadtwerke\";\"DE2\";\"Strom\";\"\";\"EUR\";\"50,00\";\"S\"\n"},
        {"DKB (CSV, seit 2023)",
         "\"Girokonto\";\"DE1\"\n\"\"\n\"Buchungsdatum\";\"Wertstellung\";\"Status\";\"Zahlungspflichtige*r\";"
         "\"Zahlungsempfänger*in\";\"Verwendungszweck\";\"Umsatztyp\";\"IBAN\";\"Betrag (€)\"\n"
         "\"05.12.26\";\"05.12.26\";\"Gebucht\";\"Zoë Ørsted\";\"Jörg Händler\";\"Kauf 4711; Danke\nfür alles\";"
         "\"Eingang\";\"DK5000400440116243\";\"30,90 €\"\n"
         "\"05.12.26\";\"05.12.26\";\"Gebucht\";\"Jörg Händler\";\"Stadtwerke\";\"Strom\";\"Ausgang\";\"DE2\";\"-50,00 "
         "€\"\n"
         "\"06.12.26\";\"06.12.26\";\"Vorgemerkt\";\"Jan Novák\";\"Jörg Händler\";\"x\";\"Eingang\";\"CZ1\";\"12,00 "
         "€\"\n"},
    };
    const QList<FileProfile> profiles = test::shippedProfiles();
    for (const auto& c : cases)
        for (const bool ansi : {true, false}) {
            SCOPED_TRACE(std::string(c.profile) + (ansi ? " ANSI" : " UTF-8"));
            const QString text = QString::fromUtf8(c.csv);
            const Result<BankStatement> st = parseBankCsv(ansi ? win::toAnsi(text) : text.toUtf8(), profiles);
            ASSERT_TRUE(st.ok()) << st.error().message().toStdString();
            EXPECT_EQ(st.value().Profil, QString::fromUtf8(c.profile));
            ASSERT_EQ(st.value().Gutschriften.size(), 1) << unreadLines(st.value()).join(u'\n').toStdString();
            const Credit& cr = st.value().Gutschriften[0];
            EXPECT_EQ(cr.Buchungstag, QDate(2026, 12, 5));
            EXPECT_EQ(cr.Cent, 3090);
            EXPECT_EQ(cr.Name, u"Zoë Ørsted"_s);
            EXPECT_EQ(cr.Zweck, u"Kauf 4711; Danke für alles"_s);
            EXPECT_EQ(st.value().Lastschriften, 1);
            EXPECT_TRUE(st.value().NichtGelesen.isEmpty()) << unreadLines(st.value()).join(u'\n').toStdString();
        }
}

// A file no profile knows is read by the usual headings as before; one with neither is refused.
TEST(BankProfiles, WithoutAProfile) {
    const Result<BankStatement> st =
        parseBankCsv("Datum;Name;Verwendungszweck;Betrag\n05.12.2026;Ana;4711;30,90\n", test::shippedProfiles());
    ASSERT_TRUE(st.ok());
    EXPECT_EQ(st.value().Profil, u"allgemein (nach Spaltennamen)"_s);
    EXPECT_EQ(st.value().Gutschriften.size(), 1);
    EXPECT_FALSE(parseBankCsv("=cmd|' /C calc'!A0;x\n1;2\n", test::shippedProfiles()).ok());
}

}  // namespace
}  // namespace gd
