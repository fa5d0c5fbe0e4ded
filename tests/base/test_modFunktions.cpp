#include <gtest/gtest.h>

#include "base/RunError.h"
#include "base/modFunktions.h"

namespace gd {
namespace {

TEST(funCLng, RoundsHalfToEvenAndNeverFails) {
    struct Case {
        const char* text;
        qint32 value;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) EXPECT_EQ(funCLng(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(funCDate, AcceptsTheGermanFormsAndFailsToTheCaller) {
    struct Case {
        const char* text;
        QDateTime value;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) EXPECT_EQ(funCDate(QString::fromUtf8(c.text)), c.value) << c.text;

    const char* bad[] = {"", "abc", "31.02.2026", "04.13.2026", "12,50", "04.12.2026 25:00", "4. Brumaire 2026"};
    for (const char* b : bad) {
        try {
            funCDate(QString::fromUtf8(b));
            ADD_FAILURE() << "no failure for " << b;
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), 13);
            EXPECT_EQ(e.text(), QStringLiteral("13: Typen unverträglich"));
        }
    }
}

TEST(funNullWertS, DatabaseValuesToText) {
    EXPECT_EQ(funNullWertS(QVariant()), QString());
    EXPECT_EQ(funNullWertS(QVariant(QMetaType(QMetaType::QString))), QString());
    EXPECT_EQ(funNullWertS(QStringLiteral("A")), QStringLiteral("A"));
    EXPECT_EQ(funNullWertS(true), QStringLiteral("Wahr"));
    EXPECT_EQ(funNullWertS(false), QStringLiteral("Falsch"));
    EXPECT_EQ(funNullWertS(12.5), QStringLiteral("12,5"));
    EXPECT_EQ(funNullWertS(1234567.25), QStringLiteral("1234567,25"));
    EXPECT_EQ(funNullWertS(42), QStringLiteral("42"));
    EXPECT_EQ(funNullWertS(QDateTime(QDate(2026, 12, 4), QTime(0, 0))), QStringLiteral("04.12.2026"));
    EXPECT_EQ(funNullWertS(QDateTime(QDate(2026, 12, 4), QTime(8, 44, 2))), QStringLiteral("04.12.2026 08:44:02"));
}

TEST(ZeroDate, IsDayZeroMidnight) {
    EXPECT_EQ(zeroDate(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_TRUE(isZeroDate(zeroDate()));
    EXPECT_TRUE(isZeroDate(QDateTime()));
    EXPECT_FALSE(isZeroDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0, 1))));
}

TEST(textToBool, BooleanAndNumberTexts) {
    EXPECT_EQ(textToBool(QStringLiteral("Wahr")), true);
    EXPECT_EQ(textToBool(QStringLiteral("true")), true);
    EXPECT_EQ(textToBool(QStringLiteral("Falsch")), false);
    EXPECT_EQ(textToBool(QStringLiteral("0")), false);
    EXPECT_EQ(textToBool(QStringLiteral("-1")), true);
    EXPECT_EQ(textToBool(QStringLiteral("vielleicht")), std::nullopt);
}

}  // namespace
}  // namespace gd
