#include <gtest/gtest.h>

#include "domain/db/Trade.h"
#include "domain/settings/modGlobal.h"

namespace gd {
namespace {

TEST(Trade, TotalOfThePane) {
    struct Case {
        const char *preis, *menge, *versand, *total;
    };
    const Case cases[] = {{"EUR 12,50", "2", "EUR 4,90", "29,90"},
                          {"0,25", "2", "0", ",50"},
                          {"1.000,00", "3", "EUR 6,90", "3.006,90"},
                          {"-0,50", "1", "", "-,50"},
                          {"12,50", " 1 ", "", "12,50"}};
    for (const Case& c : cases)
        EXPECT_EQ(funBetrag(QString::fromUtf8(c.preis), QString::fromUtf8(c.menge), QString::fromUtf8(c.versand))
                      .value_or(QStringLiteral("-"))
                      .toStdString(),
                  c.total)
            << c.preis;
    EXPECT_FALSE(funBetrag(QStringLiteral("12,50"), QStringLiteral("zwei"), QStringLiteral("4,90")).has_value());
    EXPECT_FALSE(funBetrag(QStringLiteral("12,50"), QStringLiteral("1,5"), QStringLiteral("4,90")).has_value());
}

TEST(Trade, AgeOfTheItemPageAndItsAddress) {
    const QDate today(2026, 12, 4);
    EXPECT_EQ(daysSinceEnd(QStringLiteral("04.09.2026 23:59:59"), today), 91);
    EXPECT_EQ(daysSinceEnd(QStringLiteral("05.09.2026"), today), 90);
    EXPECT_EQ(daysSinceEnd(QStringLiteral("kein Datum"), today), 0);
    gsItemLink = QStringLiteral("http://cgi.ebay.de/ViewItem%26item=[#Artikel#]%26rd=1");
    EXPECT_EQ(itemLink(QStringLiteral(" 1234567890) ")),
              QStringLiteral("http://cgi.ebay.de/ViewItem%26item=1234567890%26rd=1"));
}

}  // namespace
}  // namespace gd
