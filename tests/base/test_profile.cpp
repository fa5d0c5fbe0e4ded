#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/SafeWrite.h"
#include "base/codepage.h"
#include "base/profile.h"
#include "support/TestApp.h"

namespace gd::win {
namespace {

using namespace Qt::StringLiterals;

class Profile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(u"test.ini"_s);

    void put(const QByteArray& bytes) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray bytes() {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString get(const QString& section, const QString& key, const QString& def = QString(), int size = 255,
                int* count = nullptr) {
        QString out;
        const int n = GetPrivateProfileString(section, key, def, out, size, ini);
        if (count) *count = n;
        return out.left(n);
    }
};

TEST_F(Profile, ReadsValuesAsTheSystemDoes) {
    put("; Kommentar\r\n[Main]\r\n  HTTPLink2 =  x  \r\nQuoted=\"  a b \"\r\nSingle='q'\r\nHalf=\"open\r\n"
        "Empty=\r\nNoEquals\r\n[Konto]\r\nSMTPPort=587\r\n[main]\r\nLater=1\r\n");
    const struct {
        const char *section, *key, *deflt, *expected;
    } cases[] = {
        {"Main", "HTTPLink2", "", "x"},    // trimmed around key and value
        {"MAIN", "httplink2", "", "x"},    // section and key without regard to case
        {"Main", "Quoted", "", "  a b "},  // matching quotes go, the blanks inside stay
        {"Main", "Single", "", "q"},       {"Main", "Half", "", "\"open"},         // unmatched quote stays
        {"Main", "Empty", "d", ""},                                                // present but empty: no default
        {"Main", "NoEquals", "d", ""},     {"Main", "Missing", "dflt  ", "dflt"},  // default loses trailing blanks
        {"Nowhere", "Key", "d", "d"},      {"Konto", "smtpport", "25", "587"},
        {"Main", "Later", "none", "none"},  // only the first section of a name counts
    };
    for (const auto& c : cases)
        EXPECT_EQ(get(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString::fromUtf8(c.deflt)).toStdString(),
                  c.expected)
            << c.section << "/" << c.key;
}

TEST_F(Profile, MissingFileGivesDefaultLongValuesAreTruncatedToTheBuffer) {
    int n = -1;
    EXPECT_EQ(get(u"Main"_s, u"Key"_s, u"def"_s, 255, &n), u"def"_s);
    EXPECT_EQ(n, 3);
    const QString value(300, QLatin1Char('v'));
    ASSERT_TRUE(WritePrivateProfileString(u"S"_s, u"K"_s, value, ini));
    EXPECT_EQ(get(u"S"_s, u"K"_s, QString(), 255, &n).size(), 254);
    EXPECT_EQ(n, 254);
    EXPECT_EQ(get(u"S"_s, u"K"_s, QString(), 1, &n), QString());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(get(u"S"_s, u"K"_s, QString(), 0, &n), QString());
    // the whole value is in the file
    EXPECT_TRUE(bytes().contains(QByteArray(300, 'v')));
}

TEST_F(Profile, WritesCreateAndReplace) {
    EXPECT_TRUE(WritePrivateProfileString(u"Konto"_s, u"Kopie"_s, u"1"_s, ini));
    EXPECT_TRUE(WritePrivateProfileString(u"konto"_s, u"KOPIE"_s, u"0"_s, ini));
    EXPECT_TRUE(WritePrivateProfileString(u"Konto"_s, u"Auth"_s, u"1"_s, ini));
    EXPECT_TRUE(WritePrivateProfileString(u"Main"_s, u"A"_s, u"b"_s, ini));
    EXPECT_EQ(bytes(), QByteArray("[Konto]\r\nKopie=0\r\nAuth=1\r\n\r\n[Main]\r\nA=b\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"test.ini"_s});  // no temporary file left
    // a new key goes before the blank lines of its section
    put("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(WritePrivateProfileString(u"A"_s, u"z"_s, u"3"_s, ini));
    EXPECT_EQ(bytes(), QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"));
    // a line break in a value cannot start a new entry
    ASSERT_TRUE(WritePrivateProfileString(u"A"_s, u"k"_s, u"a\r\n[B]\nb=1"_s, ini));
    EXPECT_EQ(get(u"A"_s, u"k"_s), u"a [B] b=1"_s);
    EXPECT_EQ(get(u"B"_s, u"b"_s, u"none"_s), u"none"_s);
}

TEST_F(Profile, NullValueDeletesKeyNullKeyDeletesSection) {
    put("[A]\nx=1\ny=2\n; Notiz\n[B]\nz=3\n");
    ASSERT_TRUE(WritePrivateProfileString(u"a"_s, u"X"_s, std::nullopt, ini));
    EXPECT_EQ(bytes(), QByteArray("[A]\ny=2\n; Notiz\n[B]\nz=3\n"));  // Unix line ends kept
    ASSERT_TRUE(WritePrivateProfileString(u"A"_s, std::nullopt, std::nullopt, ini));
    EXPECT_EQ(bytes(), QByteArray("[B]\nz=3\n"));
    EXPECT_TRUE(WritePrivateProfileString(u"None"_s, u"k"_s, std::nullopt, ini));
    EXPECT_FALSE(WritePrivateProfileString(std::nullopt, u"k"_s, u"v"_s, ini));
}

TEST_F(Profile, RefusedWritesReportFalseAndLeaveTheFile) {
    put("[A]\r\nx=1\r\n");
    if (::geteuid() != 0) {  // root writes read-only files
        QFile::setPermissions(ini, QFileDevice::ReadOwner);
        EXPECT_FALSE(WritePrivateProfileString(u"A"_s, u"x"_s, u"2"_s, ini));
        QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(bytes(), QByteArray("[A]\r\nx=1\r\n"));
    }
    // a folder where the file should be: no write, for root too
    const QString folder = dir.filePath(u"folder.ini"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(WritePrivateProfileString(u"A"_s, u"x"_s, u"2"_s, folder));
    EXPECT_FALSE(WritePrivateProfileString(u"A"_s, u"x"_s, u"2"_s, dir.filePath(u"no/such/folder.ini"_s)));
}

TEST_F(Profile, SectionListsEveryLineAndSignalsASmallBuffer) {
    put("[Kauf]\r\n; Regeln\r\nA:/=Kunden/Name\r\n  B: / = x/y \r\nA:/=Kunden/Name\r\nnur\r\n[Other]\r\nq=1\r\n");
    QString out;
    int n = GetPrivateProfileSection(u"KAUF"_s, out, 256, ini);
    const QString expected = u"A:/=Kunden/Name|B: /=x/y|A:/=Kunden/Name|nur|"_s;
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(out.left(n).replace(QChar(0), QLatin1Char('|')), expected);
    // too small: size-2 and a cut list
    n = GetPrivateProfileSection(u"Kauf"_s, out, 10, ini);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(GetPrivateProfileSection(u"Missing"_s, out, 256, ini), 0);
}

TEST_F(Profile, Windows1252RoundTripAndUtf8Files) {
    const QString text = u"Müller Straße 5 – 12,50 € ÄÖÜäöüß"_s;
    ASSERT_TRUE(WritePrivateProfileString(u"Konto"_s, u"Bank"_s, text, ini));
    EXPECT_EQ(bytes(), QByteArray("[Konto]\r\nBank=") + toAnsi(text) + "\r\n");
    EXPECT_TRUE(bytes().contains('\x80'));                // "€" is one byte in Windows-1252
    EXPECT_EQ(toAnsi(u"a\u4e2db"_s), QByteArray("a?b"));  // what the code page lacks
    EXPECT_EQ(get(u"Konto"_s, u"Bank"_s), text);

    put(QByteArray("\xEF\xBB\xBF[Konto]\r\nBank=") + text.toUtf8() + "\r\n");
    EXPECT_EQ(get(u"Konto"_s, u"Bank"_s), text);
    ASSERT_TRUE(WritePrivateProfileString(u"Konto"_s, u"BLZ"_s, u"ä"_s, ini));
    EXPECT_TRUE(bytes().startsWith("\xEF\xBB\xBF"));  // an UTF-8 file stays UTF-8
    EXPECT_EQ(get(u"Konto"_s, u"BLZ"_s), u"ä"_s);

    put(QByteArray("[Konto]\nBank=") + text.toUtf8() + "\n");  // without BOM
    EXPECT_EQ(get(u"Konto"_s, u"Bank"_s), text);
}

TEST_F(Profile, BadInputNeverCrashes) {
    QByteArray binary;
    for (int i = 0; i < 70000; ++i) binary.append(char((i * 7919) & 0xFF));
    put(binary);
    get(u"Main"_s, u"Database"_s);
    QString out;
    GetPrivateProfileSection(u"Main"_s, out, 256, ini);
    EXPECT_TRUE(WritePrivateProfileString(u"Main"_s, u"k"_s, u"v"_s, ini));
    EXPECT_EQ(get(u"Main"_s, u"k"_s), u"v"_s);

    const QString mb(1 << 20, QLatin1Char('m'));
    EXPECT_TRUE(WritePrivateProfileString(u"Big"_s, u"v"_s, mb, ini));
    EXPECT_EQ(get(u"Big"_s, u"v"_s).size(), 254);
}

TEST_F(Profile, SeveralWritesInOneReplacementAndOneReadForManyLookups) {
    put("[Konto]\r\nSMTPPort=25\r\n; Kommentar\r\n[Fenster]\r\nSpalten=1,2\r\n");
    ASSERT_TRUE(WritePrivateProfileStrings({{u"Konto"_s, u"SMTPPort"_s, u"587"_s},
                                            {u"Konto"_s, u"Absender"_s, u"a@b.de"_s},
                                            {u"Main"_s, u"HTTPLink1"_s, u"x"_s},
                                            {u"Fenster"_s, std::nullopt, std::nullopt}},
                                           ini));
    EXPECT_EQ(bytes().toStdString(),
              std::string("[Konto]\r\nSMTPPort=587\r\n; Kommentar\r\nAbsender=a@b.de\r\n[Main]\r\nHTTPLink1=x\r\n"));
    const ProfileSnapshot snap(ini);
    put("[Konto]\r\nSMTPPort=1\r\n");  // the snapshot keeps what it read
    QString v;
    EXPECT_EQ(snap.GetPrivateProfileString(u"konto"_s, u"smtpport"_s, QString(), v, 255), 3);
    EXPECT_EQ(v, u"587"_s);
    EXPECT_EQ(snap.GetPrivateProfileString(u"Konto"_s, u"fehlt"_s, u"d "_s, v, 255), 1);
    // deleting what is not there creates no file
    QFile::remove(ini);
    EXPECT_TRUE(WritePrivateProfileStrings({{u"A"_s, u"k"_s, std::nullopt}}, ini));
    EXPECT_FALSE(QFile::exists(ini));
}

TEST(SafeWrite, ReplacesKeepsModeAndNamesTheCause) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.ini"_s);
    ASSERT_TRUE(writeFileSafely(path, "alt").ok());
    ::chmod(QFile::encodeName(path).constData(), 0600);
    ASSERT_TRUE(writeFileSafely(path, "neu").ok());
    EXPECT_EQ(test::fileBytes(path), QByteArray("neu"));
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the password file stays private
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"config.ini"_s});

    QDir().mkpath(dir.filePath(u"ordner.csv"_s));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {dir.filePath(u"ordner.csv"_s), "Unter diesem Namen gibt es einen Ordner."},
        {dir.filePath(u"fehlt/x.csv"_s), "existiert nicht"},
    };
    for (const auto& c : cases) {
        const Status s = writeFileSafely(c.path, "x");
        ASSERT_FALSE(s.ok()) << c.path.toStdString();
        EXPECT_TRUE(s.error().description.contains(QString::fromUtf8(c.reason))) << s.error().message().toStdString();
        EXPECT_TRUE(s.error().sentence.contains(c.path));
    }
    // A read-only folder, where permissions bind (not as root).
    if (::geteuid() != 0) {
        QDir().mkpath(dir.filePath(u"nurlesen"_s));
        ::chmod(QFile::encodeName(dir.filePath(u"nurlesen"_s)).constData(), 0555);
        const Status s = writeFileSafely(dir.filePath(u"nurlesen/x.csv"_s), "x");
        EXPECT_TRUE(s.error().description.contains(u"schreibgeschützt"_s)) << s.error().description.toStdString();
    }
}

TEST(SafeWrite, StaleTemporariesOfKilledWritesGoAtStart) {
    QTemporaryDir dir;
    const auto make = [&](const char* name, bool old) {
        const QString p = dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        f.close();
        if (old) {
            struct utimbuf t {
                1000000000, 1000000000
            };
            ::utime(QFile::encodeName(p).constData(), &t);
        }
    };
    make("config.ini", true);
    make("config.ini.gdtmp-123456", true);
    make("config.ini.Ab1XyZ", true);           // the earlier save routine's name
    make("Vorlagen.ini.gdtmp-654321", false);  // a second instance writing right now
    make("notizen.txt", true);
    removeStaleTemporaries(dir.path());
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{u"Vorlagen.ini.gdtmp-654321"_s, u"config.ini"_s, u"notizen.txt"_s}));
}

}  // namespace
}  // namespace gd::win
