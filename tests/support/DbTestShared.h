#pragma once
// A test application folder with a fresh database and a configured user.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>

#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/LoadSave.h"
#include "domain/trade/StatusGruppen.h"
#include "support/ResultAssert.h"
#include "support/Rows.h"
#include "support/TestApp.h"

namespace gd::test {

// Every test copies one database created per process, so the key is derived once.
inline QString emptyDatabaseTemplate() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("template.mdb"));
        Database::create(p);
        return p;
    }();
    return path;
}

// With GD_TEST_PG (the state folder of the suite's PostgreSQL server) the tests run on a database
// of their own on that server instead of a file. Empty when there is no server; `skip` says why.
inline QString serverDatabase(QString* skip = nullptr, const QString& owner = QStringLiteral("gaveldesk")) {
    const QString state = qEnvironmentVariable("GD_TEST_PG");
    if (state.isEmpty()) return {};
    QFile why(state + QStringLiteral("/skip")), port(state + QStringLiteral("/port"));
    if (why.open(QIODevice::ReadOnly) || !port.open(QIODevice::ReadOnly)) {
        if (skip) *skip = why.isOpen() ? QString::fromUtf8(why.readAll()) : QStringLiteral("kein Server gestartet");
        return {};
    }
    static std::atomic<int> n{0};
    const QString name = QStringLiteral("gdt_%1_%2").arg(QCoreApplication::applicationPid()).arg(++n);
    const QString p = QString::fromUtf8(port.readAll()).trimmed();
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGSSLMODE"), QStringLiteral("disable"));
    psql.setProcessEnvironment(env);
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                QStringLiteral("-p"), p, QStringLiteral("-U"), QStringLiteral("gaveldesk"), QStringLiteral("-d"),
                QStringLiteral("postgres"), QStringLiteral("-c"),
                QStringLiteral("CREATE DATABASE ") + name + QStringLiteral(" OWNER ") + owner});
    if (!psql.waitForFinished(60000) || psql.exitCode() != 0) {
        if (skip) *skip = QString::fromUtf8(psql.readAllStandardError());
        return {};
    }
    return QStringLiteral("postgresql://gaveldesk@127.0.0.1:%1/%2?sslmode=disable").arg(p, name);
}

class DbTest : public ::testing::Test {
public:
    static QByteArray shippedKeywords() {
        QFile f(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

protected:
    TestApp app{false};
    QString db = app.file(QStringLiteral("gaveldesk.mdb"));

    void SetUp() override {
        if (!qEnvironmentVariableIsEmpty("GD_TEST_PG")) {
            QString skip;
            db = serverDatabase(&skip);
            if (db.isEmpty()) GTEST_SKIP() << "Ohne PostgreSQL-Server: " << skip.toStdString();
            gsDataSource = db;
            gSettings.StandardUser = QStringLiteral("haendler");
            Database::setBusyTimeoutMs(50);
            return;
        }
        ASSERT_TRUE(QFile::copy(emptyDatabaseTemplate(), db));
        QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        gsDataSource = db;
        gSettings.StandardUser = QStringLiteral("haendler");
        Database::setBusyTimeoutMs(50);
    }
    void TearDown() override { Database::setBusyTimeoutMs(3000); }

    // The shipped templates and keyword file, with the settings of the test kept.
    void shippedFiles() {
        const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
        for (const QString& f : res.entryList(QDir::Files)) {
            QFile::remove(app.file(QStringLiteral("bin/") + f));
            QFile::copy(res.filePath(f), app.file(QStringLiteral("bin/") + f));
        }
        const QString user = gSettings.StandardUser, source = gsDataSource;
        subInitApp();
        gSettings.StandardUser = gSettings.Username = user;
        gsDataSource = source;
    }
    int count(const QString& sql, const Params& p = {}) {
        Database d = Database::open(db);
        return int(test::firstNumber(d, sql, p));
    }
    // The stored auction as the main window loads it; a failure when it is not found.
    tAuktion loaded(const QString& id) {
        tAuktion a;
        EXPECT_TRUE(found(test::into(a, funLoadAuktion(currentStore(), id)))) << id.toStdString();
        return a;
    }
    int auctions() { return count(QStringLiteral("select count(*) as n from Auktionen")); }
    int contacts() { return count(QStringLiteral("select count(*) as n from Kunden")); }

    static tKunde kunde(const QString& ebay, const QString& name = QStringLiteral("Hans Müller")) {
        tKunde k;
        k.ebayName = ebay;
        k.Name = name;
        k.Strasse = QStringLiteral("Hauptstraße 12");
        k.Ort = QStringLiteral("12345 Berlin");
        k.Land = QStringLiteral("Deutschland");
        k.Email = ebay + QStringLiteral("@example.de");
        return k;
    }
    static tAuktion auktion(const QString& nr, const QString& ebay,
                            const QString& ende = QStringLiteral("04.12.2026")) {
        tAuktion a;
        a.AuktionsNr = nr;
        a.ebayName = ebay;
        a.Titel = QStringLiteral("Kaffeemühle ") + nr;
        a.EndeDatum = ende;
        a.Preis = QStringLiteral("12,50");
        a.Menge = QStringLiteral("1");
        a.Betrag = QStringLiteral("17,40");
        a.Versandkosten = QStringLiteral("4,90");
        return a;
    }
    // Imports one auction as the import dialog does; returns its AuktionsID.
    QString store(tAuktion a, tKunde k) {
        const Result<QString> nr = funSaveKunde(currentStore(), k, a.AuktionsNr);
        EXPECT_TRUE(nr.ok());
        EXPECT_TRUE(funSaveAuktionnew(currentStore(), a, nr.valueOr(QString())).ok());
        Database d = Database::open(db);
        return test::firstText(
            d, QStringLiteral("select AuktionsID from Auktionen where AuktionsNr = ? order by rowid desc"),
            {a.AuktionsNr});
    }
};

}  // namespace gd::test
