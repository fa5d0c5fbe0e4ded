#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "base/codepage.h"
#include "domain/settings/Crypt.h"
#include "domain/settings/modIni.h"

namespace gd {
namespace {

TEST(Crypt, FixedResultsAndInverse) {
    struct Case {
        QString plain, scrambled;
    };
    const Case cases[] = {
        {QString(), QString()},
        {QStringLiteral("geheim"), QStringLiteral("36283A454126")},
        {QStringLiteral("Passwort€ä"), QStringLiteral("012C21535F24242CADBE")},
        {QStringLiteral("Q"), QStringLiteral("00")},  // a character equal to the key's gives 00
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crypt(c.plain, kPasswordKey, true), c.scrambled) << c.plain.toStdString();
        EXPECT_EQ(Crypt(c.scrambled, kPasswordKey, false), c.plain) << c.plain.toStdString();
    }
}

TEST(Crypt, InverseForEveryAnsiTextLongerThanTheKey) {
    QString all;
    for (int b = 1; b < 256; ++b) all += win::fromAnsi(QByteArray(1, char(b)));
    const QString scrambled = Crypt(all, kPasswordKey, true);
    EXPECT_EQ(scrambled.size(), 2 * all.size());
    EXPECT_EQ(Crypt(scrambled, kPasswordKey, false), all);
    // position 18 uses the key's first character again
    const QString s = Crypt(QString(18, QLatin1Char('Q')), kPasswordKey, true);
    EXPECT_EQ(s.mid(34, 2), QStringLiteral("00"));
}

TEST(Crypt, UnreadableStoredPasswords) {
    EXPECT_EQ(Crypt(QStringLiteral("3G"), kPasswordKey, false), kCryptError);
    EXPECT_EQ(Crypt(QStringLiteral("+1"), kPasswordKey, false), kCryptError);
    EXPECT_EQ(kCryptError, QStringLiteral("xxxxxxxxxxxxxxxxxxxxx"));
    // odd length loses the last character
    EXPECT_EQ(Crypt(QStringLiteral("36283"), kPasswordKey, false), QStringLiteral("ge"));
}

TEST(IniStore, AllKeysOfASectionGrowingTheBuffer) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("config.ini"));
    EXPECT_FALSE(funIni_GetAllKeys(ini, QStringLiteral("Kauf"), false).has_value());
    QByteArray text = "[Leer]\r\n[Kauf]\r\n";
    QStringList expected;
    for (int i = 0; i < 40; ++i) {
        const QString line = QStringLiteral("Marke%1:/Ende=Auktionen/Feld%1").arg(i);
        expected << line;
        text += line.toLatin1() + "\r\n";
    }
    const QString huge = QStringLiteral("Lang:/") + QString(600, QLatin1Char('x')) + QStringLiteral("=Auktionen/Titel");
    expected << huge;
    text += huge.toLatin1() + "\r\n[Danach]\r\nz=1\r\n";
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    const auto lines = funIni_GetAllKeys(ini, QStringLiteral("Kauf"), false);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, expected);
    EXPECT_FALSE(funIni_GetAllKeys(ini, QStringLiteral("Leer"), false).has_value());
}

}  // namespace
}  // namespace gd
