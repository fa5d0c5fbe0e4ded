#include <gtest/gtest.h>

#include <limits>

#include "base/Money.h"

namespace gd {
namespace {

TEST(Money, ParsesWhatMailsAndRowsHoldAndRefusesTheRest) {
    const struct {
        const char* text;
        std::optional<qint64> cents;
    } cases[] = {
        {"24,50", 2450},
        {"EUR 24,50", 2450},
        {"24,50 €", 2450},
        {"1.234,5", 123450},
        {"24", 2400},
        {"24.50", 2450},
        {"1.234", 123400},
        {"0,05", 5},
        {"-10,00", -1000},
        {"999.999.999,99", 99999999999},
        {"1.000.000.000,00", std::nullopt},           // beyond what a trade is worth
        {"92.233.720.368.547.758,07", std::nullopt},  // would overflow
        {"24,505", std::nullopt},
        {"1.23,00", std::nullopt},
        {"12.3456", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"2.94E1", std::nullopt},
        {"NaN", std::nullopt},
        {",50", 50},
    };
    for (const auto& c : cases) EXPECT_EQ(parseCents(QString::fromUtf8(c.text)), c.cents) << c.text;
}

TEST(Money, WritesEveryAmountTheGermanWay) {
    EXPECT_EQ(centsText(123456), QStringLiteral("1.234,56"));
    EXPECT_EQ(centsText(-50), QStringLiteral("-0,50"));
    EXPECT_EQ(centsText(0), QStringLiteral("0,00"));
    EXPECT_EQ(centsText(std::numeric_limits<qint64>::min()), QStringLiteral("-92.233.720.368.547.758,08"));
    EXPECT_EQ(parseCents(centsText(kMostCents)), kMostCents);
}

}  // namespace
}  // namespace gd
