#include <gtest/gtest.h>

#include "domain/import/Extract.h"

namespace gd {
namespace {

TEST(funGetData, CutsBetweenMarkers) {
    struct Case {
        const char* text;
        const char* key;
        const char* end;
        const char* expected;
    };
    const Case cases[] = {
        {"Name: Hans Müller\r\nStraße: Weg 1", "Name:", "", "Hans Müller"},
        {"Kein Treffer", "Name:", "", ""},
        {"Preis: 1\r\nPreis: 2\r\n", "Preis:", "", "1"},  // the first occurrence
        {"Preis: 12,50 EUR\r\n", "Preis:", "EUR", "12,50"},
        {"name: klein\r\n", "Name:", "", ""},  // case-sensitive
        {"Menge: 3", "Menge:", "", "3"},       // no end marker: to the end
        {"Text\r\n\r\nRest", "", "", "Text"},  // empty key found at the start
        {"Mitteilung: Zeile 1\r\nZeile 2\r\n\r\nAnderes", "Mitteilung:", "Anderes", "Zeile 1\r\nZeile 2"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        QString end = QString::fromUtf8(c.end);
        EXPECT_EQ(funGetData(QString::fromUtf8(c.text), QString::fromUtf8(c.key), end).toStdString(), c.expected)
            << c.text;
    }
}

TEST(funGetData, EmptyEndBecomesCrLfForTheCaller) {
    QString end;
    EXPECT_EQ(funGetData(QStringLiteral("Käufer: hans\r\nZweite"), QStringLiteral("Käufer:"), end),
              QStringLiteral("hans"));
    EXPECT_EQ(end, QStringLiteral("\r\n"));
}

TEST(funTrim, CleansOneValue) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"  abc\t\r\n", "abc"},       {"erste\r\n\r\nzweite", "erste"},
        {"erste\r\rzweite", "erste"}, {"erste\n\nzweite", "erste"},
        {"a\r\nb", "a\r\nb"},         {"[nicht angegeben] und weitere Worte", "[nicht angegeben]"},
        {"   \t\r\n ", ""},           {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(funTrim(QString::fromUtf8(c.text)).toStdString(), c.expected) << c.text;
}

}  // namespace
}  // namespace gd
