#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/SafeWrite.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using test::fileBytes;

TEST(SafeWrite, ReplacesKeepsModeAndNamesTheCause) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(writeFileSafely(path, "alt").ok());
    ::chmod(QFile::encodeName(path).constData(), 0600);
    ASSERT_TRUE(writeFileSafely(path, "neu").ok());
    EXPECT_EQ(fileBytes(path), QByteArray("neu"));
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the password file stays private
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.ini")});

    struct Case {
        QString path;
        const char* reason;
    };
    QDir().mkpath(dir.filePath(QStringLiteral("ordner.csv")));
    const Case cases[] = {
        {dir.filePath(QStringLiteral("ordner.csv")), "Unter diesem Namen gibt es einen Ordner."},
        {dir.filePath(QStringLiteral("fehlt/x.csv")), "existiert nicht"},
    };
    for (const Case& c : cases) {
        const Status s = writeFileSafely(c.path, "x");
        ASSERT_FALSE(s.ok()) << c.path.toStdString();
        EXPECT_TRUE(s.error().description.contains(QString::fromUtf8(c.reason))) << s.error().message().toStdString();
        EXPECT_TRUE(s.error().sentence.contains(c.path));
    }
    // A read-only folder, where permissions bind (not as root).
    if (::geteuid() != 0) {
        QDir().mkpath(dir.filePath(QStringLiteral("nurlesen")));
        ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("nurlesen"))).constData(), 0555);
        const Status s = writeFileSafely(dir.filePath(QStringLiteral("nurlesen/x.csv")), "x");
        EXPECT_TRUE(s.error().description.contains(QStringLiteral("schreibgeschützt")))
            << s.error().description.toStdString();
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
    EXPECT_EQ(left, (QStringList{QStringLiteral("Vorlagen.ini.gdtmp-654321"), QStringLiteral("config.ini"),
                                 QStringLiteral("notizen.txt")}));
}

}  // namespace
}  // namespace gd
