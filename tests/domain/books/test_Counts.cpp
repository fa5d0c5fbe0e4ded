// Every message built with a number says "1 Storno" and "2 Stornos", never "1 Stornos".
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "base/Words.h"
#include "domain/bank/Payouts.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"

using namespace gd;
using namespace Qt::StringLiterals;

namespace {

struct Said {
    const char* what;
    QString one, two;  // the message built with 1 and with 2 of everything it counts
    QStringList singular, plural;
};

DatevExport datev(int n) {
    DatevExport ex;
    ex.invoices = ex.cancellations = ex.payments = ex.fees = ex.revenues = ex.payouts = ex.transliterated = n;
    return ex;
}

PayoutOutcome outcome(int n) {
    PayoutOutcome o;
    o.paid = o.alreadyPaid = o.known = n;
    return o;
}

QString yearNote(int sales) {
    PlatformYear p;
    p.platform = u"ebay.de"_s;
    p.months[0].sales = sales;
    p.months[0].goods = 190000;  // near the limit by the money alone, even for one sale
    return reportingNote({p}, 2026, ReportLimits{}).text;
}

}  // namespace

TEST(Counts, OneIsSingularAndTwoIsPlural) {
    const PayoutSummary p1{u"P-1"_s, QDate(2026, 11, 17), QDate(), 1, 3090, 340};
    PayoutSummary p2 = p1;
    p2.sales = 2;
    const QList<Said> table{
        {"counted",
         counted(1, u"Storno"_s, u"Stornos"_s),
         counted(2, u"Storno"_s, u"Stornos"_s),
         {u"1 Storno"_s},
         {u"2 Stornos"_s}},
        {"DATEV-Stapel",
         datevSummary(datev(1)),
         datevSummary(datev(2)),
         {u"1 Rechnung,"_s, u"1 Storno,"_s, u"1 Verkauf mit seiner Zahlung"_s, u"1 Zahlung,"_s, u"1 Gebühr,"_s,
          u"1 Auszahlung."_s, u"1 Text enthielt"_s, u"er ist in lateinischen"_s},
         {u"2 Rechnungen,"_s, u"2 Stornos,"_s, u"2 Verkäufe mit ihrer Zahlung"_s, u"2 Zahlungen,"_s, u"2 Gebühren,"_s,
          u"2 Auszahlungen."_s, u"2 Texte enthielten"_s, u"sie sind in lateinischen"_s}},
        {"Auszahlung", payoutText(p1), payoutText(p2), {u": 1 Verkauf,"_s}, {u": 2 Verkäufe,"_s}},
        {"Auszahlungsbericht",
         payoutOutcomeText(outcome(1)),
         payoutOutcomeText(outcome(2)),
         {u"1 Verkauf als"_s, u"1 war es"_s, u"1 Zeile schon"_s},
         {u"2 Verkäufe als"_s, u"2 waren es"_s, u"2 Zeilen schon"_s}},
        {"Meldegrenze", yearNote(1), yearNote(2), {u"ebay.de: 1 Verkauf,"_s}, {u"ebay.de: 2 Verkäufe,"_s}},
    };
    // A number before a plural noun is the fault this guards against, whatever the noun.
    const QRegularExpression onePlural(
        u"\\b1 (Rechnungen|Stornos|Verkäufe|Zahlungen|Gebühren|Auszahlungen|Texte|"
        "Zeilen|Tagen|Tage|Felder|Gutschriften|Datensicherungen)\\b"_s);
    for (const Said& s : table) {
        for (const QString& w : s.singular) EXPECT_TRUE(s.one.contains(w)) << s.what << ": " << s.one.toStdString();
        for (const QString& w : s.plural) EXPECT_TRUE(s.two.contains(w)) << s.what << ": " << s.two.toStdString();
        EXPECT_FALSE(onePlural.match(s.one).hasMatch()) << s.what << ": " << s.one.toStdString();
    }
}
