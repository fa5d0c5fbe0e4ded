#include <gtest/gtest.h>

#include <limits>

#include "base/Money.h"
#include "base/RunError.h"
#include "base/modFunktions.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

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
    EXPECT_EQ(centsText(123456), u"1.234,56"_s);
    EXPECT_EQ(centsText(-50), u"-0,50"_s);
    EXPECT_EQ(centsText(0), u"0,00"_s);
    EXPECT_EQ(centsText(std::numeric_limits<qint64>::min()), u"-92.233.720.368.547.758,08"_s);
    EXPECT_EQ(parseCents(centsText(kMostCents)), kMostCents);
}

TEST(funCLng, RoundsHalfToEvenAndNeverFails) {
    const struct {
        const char* text;
        qint32 value;
    } cases[] = {
        {"25", 25},
        {"x", 0},
        {"99999999999", 0},
        {"2,5", 2},
        {"3,5", 4},
        {"-2,5", -2},
        {"2,51", 3},
        {"1.234", 1234},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483648LL},
        {"2147483648", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(funCLng(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(funCDate, AcceptsTheGermanFormsAndFailsToTheCaller) {
    const struct {
        const char* text;
        QDateTime value;
    } cases[] = {
        {"04.12.2026", QDateTime(QDate(2026, 12, 4), QTime(0, 0))},
        {"4.12.26 08:44", QDateTime(QDate(2026, 12, 4), QTime(8, 44))},
        {"04.12.2026 08:44:02", QDateTime(QDate(2026, 12, 4), QTime(8, 44, 2))},
        {" 4.1.1999 ", QDateTime(QDate(1999, 1, 4), QTime(0, 0))},
        {"1.1.45", QDateTime(QDate(1945, 1, 1), QTime(0, 0))},
        {"2026-12-04 20:15:33", QDateTime(QDate(2026, 12, 4), QTime(20, 15, 33))},
        {"4. Dezember 2026", QDateTime(QDate(2026, 12, 4), QTime(0, 0))},
        {"04. Dez. 2026 18:03:11", QDateTime(QDate(2026, 12, 4), QTime(18, 3, 11))},
        {"08:44", QDateTime(QDate(1899, 12, 30), QTime(8, 44))},
    };
    for (const auto& c : cases) EXPECT_EQ(funCDate(QString::fromUtf8(c.text)), c.value) << c.text;

    const char* bad[] = {"", "abc", "31.02.2026", "04.13.2026", "12,50", "04.12.2026 25:00", "4. Brumaire 2026"};
    for (const char* b : bad) {
        try {
            funCDate(QString::fromUtf8(b));
            ADD_FAILURE() << "no failure for " << b;
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), 13);
            EXPECT_EQ(e.text(), u"13: Typen unverträglich"_s);
        }
    }
}

TEST(funNullWertS, DatabaseValuesToText) {
    EXPECT_EQ(funNullWertS(QVariant()), QString());
    EXPECT_EQ(funNullWertS(QVariant(QMetaType(QMetaType::QString))), QString());
    EXPECT_EQ(funNullWertS(u"A"_s), u"A"_s);
    EXPECT_EQ(funNullWertS(true), u"Wahr"_s);
    EXPECT_EQ(funNullWertS(false), u"Falsch"_s);
    EXPECT_EQ(funNullWertS(12.5), u"12,5"_s);
    EXPECT_EQ(funNullWertS(1234567.25), u"1234567,25"_s);
    EXPECT_EQ(funNullWertS(42), u"42"_s);
    EXPECT_EQ(funNullWertS(QDateTime(QDate(2026, 12, 4), QTime(0, 0))), u"04.12.2026"_s);
    EXPECT_EQ(funNullWertS(QDateTime(QDate(2026, 12, 4), QTime(8, 44, 2))), u"04.12.2026 08:44:02"_s);
}

// The Booleans of settings and rows, as this program and its predecessors wrote them.
TEST(textToBool, BooleanAndNumberTexts) {
    for (const char* t : {"Wahr", "true", "-1"}) EXPECT_EQ(textToBool(QString::fromUtf8(t)), true) << t;
    for (const char* f : {"Falsch", "0"}) EXPECT_EQ(textToBool(QString::fromUtf8(f)), false) << f;
    EXPECT_EQ(textToBool(u"vielleicht"_s), std::nullopt);
}

}  // namespace
}  // namespace gd
