// On a full disk every write says so and the old file stays, byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "RunCli.h"
#include "base/ErrorProtocol.h"
#include "base/profile.h"
#include "domain/mail/modVorlagen.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "support/FullDisk.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;
using test::fileBytes;

TEST(FullDisk, EveryWriteFailsHonestlyAndKeepsTheOldFile) {
    test::TestApp app;
    test::FullDisk disk(1024);
    if (!disk.mounted) GTEST_SKIP() << disk.why.toStdString();
    // The application folder on the small disk, with a database, an export and a protocol.
    const QString home = disk.path();
    QDir().mkpath(home + u"/bin"_s);
    for (const QString& f : QDir(app.file(u"bin"_s)).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(app.file(u"bin/"_s + f), home + u"/bin/"_s + f));
    QByteArray config = kUser + "[Konto]\r\nSMTPServer=smtp.example.de\r\n";
    for (int i = 0; i < 20; ++i) config += u"Schluessel%1=Wert %1\r\n"_s.arg(i).toLatin1();
    QFile ini(home + u"/bin/config.ini"_s);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(config);
    ini.close();
    ASSERT_EQ(run(home, {u"--create-database"_s}).code, 0);
    ASSERT_EQ(run(home, {u"--import"_s, mail("verkauf.txt")}).code, 0);
    const QString csv = home + u"/export.csv"_s;
    ASSERT_EQ(run(home, {u"--export-csv"_s, csv}).code, 0);
    qputenv("GAVELDESK_HOME", home.toLocal8Bit());
    ErrorInfo e{5, u"Ungültiger Prozeduraufruf"_s, u"frmMain"_s, u"Form_Load"_s, 0};
    ASSERT_TRUE(writeErrorProtocol(e).ok());
    subInitApp();

    const QStringList files = {home + u"/bin/config.ini"_s, home + u"/bin/x0.dat"_s, csv, protocolFilePath()};
    QList<QByteArray> before;
    for (const QString& f : files) before << fileBytes(f);
    disk.fill();

    struct Write {
        const char* what;
        std::function<Status()> attempt;
    };
    const Write writes[] = {
        {"settings value",
         [&] {
             return win::writeProfileStrings({{u"Konto"_s, u"SMTPServer"_s, u"neu"_s}}, files[0]);
         }},
        {"options save",
         [&] {
             Settings s = currentSettings();
             s.Bank = u"Sparkasse Köln"_s;
             s.SMTPServer = u"mail.example.de"_s;
             return saveOptions(s);
         }},
        {"template save", [&] { return WriteRTF(files[1], u"Neuer Text "_s + QString(5000, u'x')); }},
        {"csv export",
         [&] {
             const Outcome r = run(home, {u"--export-csv"_s, csv});
             return r.code == 0 ? Status() : Status(Error::plain(r.err));
         }},
        {"error protocol",
         [&] {
             e.description = u"Zweiter Fehler "_s + QString(5000, u'y');
             return writeErrorProtocol(e);
         }},
    };
    for (const Write& w : writes) {
        const Status s = w.attempt();
        ASSERT_FALSE(s.ok()) << w.what;
        EXPECT_TRUE(s.error().message().contains(u"Der Datenträger ist voll."_s))
            << w.what << ": " << s.error().message().toStdString();
        for (qsizetype i = 0; i < files.size(); ++i)
            EXPECT_EQ(fileBytes(files[i]), before[i]) << w.what << " changed " << files[i].toStdString();
        EXPECT_TRUE(disk.temporaries().isEmpty()) << w.what << ": " << disk.temporaries().join(u' ').toStdString();
    }
    // A batch of mails on the full disk: no line claims a sale stored that is not, the file as it was.
    const QByteArray stored = fileBytes(home + u"/gaveldesk.mdb"_s);
    const Outcome batch = run(home, {u"--import"_s, mail("kauf.txt"), mail("sofortkauf_verkauf.txt")});
    EXPECT_EQ(batch.code, 1) << batch.out.toStdString() << batch.err.toStdString();
    for (const QString& line : batch.out.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(u"abgelehnt"_s)) << line.toStdString() << "\n" << batch.err.toStdString();
    EXPECT_EQ(fileBytes(home + u"/gaveldesk.mdb"_s), stored);
    // A new password on the full disk: said as the disk, not as a wrong password; the key as it was.
    const Outcome rekey = run(home, {u"--change-password"_s}, {u"GAVELDESK_NEUES_KENNWORT=Lindenblüte 7"_s});
    EXPECT_EQ(rekey.code, 1);
    EXPECT_TRUE(rekey.err.contains(u"Der Datenträger ist voll."_s)) << rekey.err.toStdString();
    EXPECT_FALSE(rekey.err.contains(u"Kennwort falsch"_s)) << rekey.err.toStdString();
    EXPECT_EQ(fileBytes(home + u"/gaveldesk.mdb"_s), stored);
    EXPECT_EQ(run(home, {u"--list"_s}).code, 0);
    qputenv("GAVELDESK_HOME", app.path().toLocal8Bit());
}

}  // namespace
}  // namespace gd
