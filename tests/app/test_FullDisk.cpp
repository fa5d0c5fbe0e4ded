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

using test::fileBytes;

TEST(FullDisk, EveryWriteFailsHonestlyAndKeepsTheOldFile) {
    test::TestApp app(true);
    test::FullDisk disk(1024);
    if (!disk.mounted) GTEST_SKIP() << disk.why.toStdString();
    // The application folder on the small disk, with a database, an export and a protocol.
    const QString home = disk.path();
    QDir().mkpath(home + QStringLiteral("/bin"));
    for (const QString& f : QDir(app.file(QStringLiteral("bin"))).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(app.file(QStringLiteral("bin/") + f), home + QStringLiteral("/bin/") + f));
    QString config;
    for (int i = 0; i < 20; ++i) config += QStringLiteral("Schluessel%1=Wert %1\r\n").arg(i);
    QFile ini(home + QStringLiteral("/bin/config.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(
        (QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nSMTPServer=smtp.example.de\r\n") + config)
            .toLatin1());
    ini.close();
    ASSERT_EQ(run(home, {QStringLiteral("--create-database")}).code, 0);
    ASSERT_EQ(run(home, {QStringLiteral("--import"), QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt")}).code, 0);
    const QString csv = home + QStringLiteral("/export.csv");
    ASSERT_EQ(run(home, {QStringLiteral("--export-csv"), csv}).code, 0);
    qputenv("GAVELDESK_HOME", home.toLocal8Bit());
    ErrorInfo e{5, QStringLiteral("Ungültiger Prozeduraufruf"), QStringLiteral("frmMain"), QStringLiteral("Form_Load"),
                0};
    ASSERT_TRUE(writeErrorProtocol(e).ok());
    subInitApp();

    const QStringList files = {home + QStringLiteral("/bin/config.ini"), home + QStringLiteral("/bin/x0.dat"), csv,
                               protocolFilePath()};
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
             return win::writeProfileStrings(
                 {{QStringLiteral("Konto"), QStringLiteral("SMTPServer"), QStringLiteral("neu")}}, files[0]);
         }},
        {"options save",
         [&] {
             Settings s = currentSettings();
             s.Bank = QStringLiteral("Sparkasse Köln");
             s.SMTPServer = QStringLiteral("mail.example.de");
             return saveOptions(s);
         }},
        {"template save",
         [&] {
             gsVorlagenDatei = files[1];
             return WriteRTF(QStringLiteral("Neuer Text ") + QString(5000, QLatin1Char('x')));
         }},
        {"csv export",
         [&]() -> Status {
             const Outcome r = run(home, {QStringLiteral("--export-csv"), csv});
             if (r.code == 0) return {};
             return Error::plain(r.err);
         }},
        {"error protocol",
         [&] {
             e.description = QStringLiteral("Zweiter Fehler ") + QString(5000, QLatin1Char('y'));
             return writeErrorProtocol(e);
         }},
    };
    for (const Write& w : writes) {
        const Status s = w.attempt();
        ASSERT_FALSE(s.ok()) << w.what;
        EXPECT_TRUE(s.error().message().contains(QStringLiteral("Der Datenträger ist voll.")))
            << w.what << ": " << s.error().message().toStdString();
        for (qsizetype i = 0; i < files.size(); ++i)
            EXPECT_EQ(fileBytes(files[i]), before[i]) << w.what << " changed " << files[i].toStdString();
        EXPECT_TRUE(disk.temporaries().isEmpty())
            << w.what << ": " << disk.temporaries().join(QLatin1Char(' ')).toStdString();
    }
    qputenv("GAVELDESK_HOME", app.path().toLocal8Bit());
}

}  // namespace
}  // namespace gd
