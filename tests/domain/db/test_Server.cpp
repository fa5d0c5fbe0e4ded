// What only a server does: TLS with its name checked and the password from the keyring, a lost
// connection told and survived, the seats told of each other's changes, backup and move between
// a file and a server. Runs in the Server.* variant, against the suite's own PostgreSQL.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include "domain/db/Backup.h"
#include "domain/db/ChangeWatch.h"
#include "domain/db/Documents.h"
#include "domain/db/Journal.h"
#include "domain/db/Move.h"
#include "domain/db/PgEngine.h"
#include "domain/db/Schema.h"
#include "domain/settings/Keyring.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/LoadSave.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"

namespace gd::test {
namespace {

using namespace Qt::StringLiterals;

QString stateFile(const QString& name) {
    QFile f(qEnvironmentVariable("GD_TEST_PG") + u"/"_s + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

// Runs the suite's server script (start, halt, resume, stop) on a state folder.
bool serverScript(const QString& action, const QString& state) {
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {QStringLiteral(GD_PGSERVER_SCRIPT), action, state});
    const bool done = p.waitForFinished(120000) && p.exitCode() == 0;
    if (!done) ADD_FAILURE() << p.readAllStandardError().toStdString();
    return done;
}

bool psql(const QString& port, const QString& sql) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PGSSLMODE"_s, u"disable"_s);
    p.setProcessEnvironment(env);
    p.start(u"psql"_s, {u"-X"_s, u"-q"_s, u"-h"_s, u"127.0.0.1"_s, u"-p"_s, port, u"-U"_s, u"gaveldesk"_s, u"-d"_s,
                        u"postgres"_s, u"-c"_s, sql});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// An invoice's bytes as stored: a zero byte, a high one, a letter beyond ASCII.
const QByteArray kPdfBytes = QByteArray::fromHex("255044462d312e3700ff012062696ec3a472");

class OnServer : public DbTest {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("GD_TEST_PG")) GTEST_SKIP() << "nur mit dem PostgreSQL-Server der Tests";
        DbTest::SetUp();
    }
    void TearDown() override {
        useKeyring({});
        gSettings.ServerZertifikat.clear();
        DbTest::TearDown();
    }
    QString listOf(const QString& source) {
        QByteArray all;
        EXPECT_TRUE(writeListTsv(Store{source, gSettings.StandardUser}, ListFilter::Alle, [&all](const QByteArray& b) {
                        all += b;
                        return true;
                    }).ok());
        return QString::fromUtf8(all);
    }
    // Trades, contacts, parcels, part payments and an invoice's bytes, with letters from all over Europe.
    void fill() {
        const char* const names[][2] = {{"jörg_plattner", "Jörg Plattner"},
                                        {"baerbel_naehstube", "Bärbel Öztürk-D'Amico"},
                                        {"sean_oneill", "Seán O'Neill"},
                                        {"lodz_antyki", "Łukasz Wójcik"}};
        int n = 0;
        for (const auto& who : names) {
            tAuktion a = auktion(QString::number(4700 + ++n), QString::fromUtf8(who[0]));
            a.Titel = u"Nähmaschine „Pfaff“ – €%1"_s.arg(n);
            a.EmailText = u"Sehr geehrte(r) %1,\r\nÄÖÜ äöü ß – Grüße"_s.arg(QString::fromUtf8(who[1]));
            store(a, kunde(QString::fromUtf8(who[0]), QString::fromUtf8(who[1])));
        }
        Database d = Database::open(gsDataSource);
        d.execute(
            u"insert into Teilzahlungen (AuktionsID, Cent, Datum, Standarduser) select AuktionsID, 1234, "
            "'2026-12-05 00:00:00', Standarduser from Auktionen"_s);
        d.execute(
            u"insert into Rechnungen (Nummer, Jahr, Lfd, Ausgestellt, Cent, Pdf, Sha256, Standarduser) values "
            "('RE-2026-0001', 2026, 1, '2026-12-05 10:00:00', 1740, ?, 'x', 'haendler')"_s,
            {kPdfBytes});
    }
};

TEST_F(OnServer, TlsChecksTheServersNameAndThePasswordComesFromTheKeyring) {
    const QString port = stateFile(u"port"_s);
    ASSERT_TRUE(psql(port, u"CREATE DATABASE kasse_%1 OWNER kasse"_s.arg(QCoreApplication::applicationPid())));
    const QString url = u"postgresql://kasse@localhost:%1/kasse_%2"_s.arg(port).arg(QCoreApplication::applicationPid());
    const QString kept = stateFile(u"kennwort"_s);
    useKeyring({[&kept, url](const QString& key) {
                    return key == pgKeyringKey(url) ? KeyringRead{true, !kept.isEmpty(), kept}
                                                    : KeyringRead{true, false, QString()};
                },
                nullptr});
    const auto opens = [&]() -> QString {
        const Status made = createDatabase(url);
        return made.ok() ? QString() : made.error().message();
    };
    // The keyring's password (read once for the process), the server's name checked against the tests' CA.
    gSettings.ServerZertifikat = qEnvironmentVariable("GD_TEST_PG") + u"/ca.crt"_s;
    EXPECT_EQ(opens(), QString());
    // A password saved anew replaces the one read; a wrong one is refused by the server.
    pgKeepPassword(url, u"falsch"_s);
    EXPECT_TRUE(opens().contains(u"Anmeldung abgelehnt"_s)) << opens().toStdString();
    pgKeepPassword(url, kept);
    // verify-full without the CA: the server's certificate is not trusted.
    gSettings.ServerZertifikat.clear();
    EXPECT_TRUE(opens().contains(u"verschlüsselte Verbindung"_s)) << opens().toStdString();
    gSettings.ServerZertifikat = qEnvironmentVariable("GD_TEST_PG") + u"/ca.crt"_s;
    EXPECT_EQ(opens(), QString());
    gsDataSource = db = url;
    store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_EQ(auctions(), 1);
    // Asked with sslmode in the address, the address wins: no TLS is refused by this user's rule.
    EXPECT_FALSE(createDatabase(url + u"?sslmode=disable"_s).ok());
}

TEST_F(OnServer, AStoppedServerIsToldNothingIsHalfWrittenAndTheWorkGoesOnAfterTheRestart) {
    QTemporaryDir own;
    ASSERT_TRUE(serverScript(u"start"_s, own.path()));
    const QString port = QString::fromUtf8([&] {
                             QFile f(own.filePath(u"port"_s));
                             return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                         }())
                             .trimmed();
    ASSERT_TRUE(psql(port, u"CREATE DATABASE halt"_s));
    gsDataSource = db = u"postgresql://gaveldesk@127.0.0.1:%1/halt?sslmode=disable"_s.arg(port);
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    tAuktion typed = loaded(id);
    typed.Bemerkungen = u"Käufer holt ab"_s;
    {
        // An import of several trades in one transaction, cut by the stop.
        Transaction batch(Store{db, gSettings.StandardUser});
        for (int i = 2; i <= 4; ++i) {
            QString nr = u"k"_s;
            ASSERT_TRUE(funSaveAuktionnew(Store{db, gSettings.StandardUser}.within(batch),
                                          auktion(QString::number(i), u"k"_s), nr)
                            .ok());
        }
        ASSERT_TRUE(serverScript(u"halt"_s, own.path()));
        try {
            batch.commit();
            ADD_FAILURE() << "commit without a server";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3151);
            EXPECT_TRUE(e.description().contains(u"Verbindung zum Datenbankserver ist unterbrochen"_s))
                << e.description().toStdString();
        }
    }
    QString nr = typed.KundenNr;
    const auto during = funSaveAuktion(currentStore(), typed, nr);
    ASSERT_FALSE(during.ok());
    EXPECT_TRUE(during.error().message().contains(u"Datenbankserver"_s)) << during.error().message().toStdString();
    EXPECT_EQ(typed.Bemerkungen, u"Käufer holt ab"_s);  // what was typed is kept for the next try

    ASSERT_TRUE(serverScript(u"resume"_s, own.path()));
    EXPECT_EQ(auctions(), 1);  // none of the cut import
    ASSERT_TRUE(funSaveAuktion(currentStore(), typed, nr).ok());
    EXPECT_EQ(loaded(id).Bemerkungen, u"Käufer holt ab"_s);
    serverScript(u"stop"_s, own.path());
}

TEST_F(OnServer, AnotherSeatsChangeIsToldWithinASecond) {
    static int argc = 1;
    static char name[] = "test_db";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    ChangeWatch watch(db);
    ASSERT_TRUE(watch.listening());
    for (const char* change : {"insert", "update", "delete"}) {
        SCOPED_TRACE(change);
        QEventLoop loop;
        QTimer guard;
        QObject::connect(&watch, &ChangeWatch::changed, &loop, &QEventLoop::quit);
        QObject::connect(&guard, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
        QElapsedTimer took;
        took.start();
        // The write goes through this thread's own connection, not the watch's: as another seat's would.
        if (QLatin1String(change) == QLatin1String("insert"))
            store(auktion(u"9"_s, u"k"_s), kunde(u"k"_s));
        else if (QLatin1String(change) == QLatin1String("update"))
            Database::open(db).execute(u"update Auktionen set Status = 'Bezahlt'"_s);
        else
            Database::open(db).execute(u"delete from Auktionen"_s);
        guard.start(10000);  // a hang guard only
        EXPECT_EQ(loop.exec(), 0);
        std::printf("%s: %lld ms\n", change, static_cast<long long>(took.elapsed()));
    }
}

// A server database of every earlier version, made by the program of its day, is brought up to
// date at the first connection of this one, in one step under the team's lock: every row kept,
// the money of a version-7 database in the journal with the balances that program showed, the
// invoices chained, the contacts guarded. A newer database is refused and left alone.
TEST_F(OnServer, AnEarlierDatabaseIsUpgradedAtTheFirstConnectionAndANewerOneRefused) {
    // What each version lacked of the next, as its program left it (the server forms of the steps).
    const char* const lacks12 = "drop table Pakete;";
    const QString lacks11 = QString::fromLatin1(lacks12) + u" drop table Rueckgaben;"_s;
    const QString lacks10 = lacks11 + u" drop table Posteingang;"_s;
    const QString lacks9 =
        lacks10 +
        QString::fromLatin1(
            " drop table KundenStand; drop index auktionen_liste_schluessel; drop index kunden_schluessel; drop "
            "trigger "
            "kunden_stand on kunden; drop trigger kunden_geloescht on kunden; drop function gd_kunde_stand(); drop "
            "function gd_kunde_weg();");
    const QString lacks8 = lacks9 + u" drop table Belegkette; drop index rechnungen_artikel;"_s;
    const QString lacks7 = lacks8 + u" drop table Buchungen;"_s;
    const struct {
        int version;
        QString drop;
    } cases[] = {{7, lacks7},   {8, lacks8},   {9, lacks9},
                 {10, lacks10}, {11, lacks11}, {12, QString::fromLatin1(lacks12)}};
    const QStringList tables{u"Kunden"_s,        u"Auktionen"_s,    u"Teilzahlungen"_s,     u"Rechnungen"_s,
                             u"RechnungenXml"_s, u"Auszahlungen"_s, u"AuszahlungsPosten"_s, u"Stand"_s};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        db = serverDatabase();
        ASSERT_FALSE(db.isEmpty());
        gsDataSource = db;
        tAuktion paid = auktion(u"4801"_s, u"jörg_plattner"_s), part = auktion(u"4802"_s, u"lodz_antyki"_s);
        paid.Betrag = u"30,90"_s;
        part.Betrag = u"35,40"_s;
        store(paid, kunde(u"jörg_plattner"_s, u"Jörg Plattner"_s));
        const QString partId = store(part, kunde(u"lodz_antyki"_s, u"Łukasz Wójcik"_s));
        QList<qint64> before;
        QString paidBefore = u"Ausgeglichen"_s, partBefore = u"Offen: 15,40 €"_s;  // as version 7 showed them
        {
            // As the earlier program left it: a paid flag, a part payment, an invoice issued and a payout
            // read then.
            Database d = Database::open(db);
            d.execute(
                u"update Auktionen set Bezahlt = 1, BezahltDatum = '2026-12-05 00:00:00' where AuktionsNr = '4801'"_s);
            d.execute(
                u"insert into Teilzahlungen (AuktionsID, Cent, Datum, Standarduser) values (?, 2000, "
                "'2026-12-06 00:00:00', 'haendler')"_s,
                {partId});
            d.execute(
                u"insert into Rechnungen (Nummer, Jahr, Lfd, Ausgestellt, Cent, Pdf, Sha256, Standarduser) values "
                "('RE-2026-0001', 2026, 1, '2026-12-05 10:00:00', 1740, ?, ?, 'haendler')"_s,
                {kPdfBytes,
                 QString::fromLatin1(QCryptographicHash::hash(kPdfBytes, QCryptographicHash::Sha256).toHex())});
            d.execute(u"insert into RechnungenXml (Nummer, Xml) values ('RE-2026-0001', '<x/>')"_s);
            d.execute(
                u"insert into Auszahlungen (Standarduser, ID, Datum) values ('haendler', 'P-77', '2026-12-07')"_s);
            d.execute(
                u"insert into AuszahlungsPosten (Standarduser, AuszahlungsID, AuktionsNr, Brutto, Gebuehren, "
                "Zahlungsdatum) values ('haendler', 'P-77', '4801', 3090, 412, '2026-12-05')"_s);
            for (const QString& t : tables) before << test::firstNumber(d, u"select count(*) from "_s + t);
            // Since version 8 the money is in the journal already: the step keeps its balances.
            if (c.version >= 8) {
                paidBefore = balanceText(loadAccountByNr(currentStore(), u"4801"_s).value().Saldo);
                partBefore = balanceText(loadAccountByNr(currentStore(), u"4802"_s).value().Saldo);
            }
            const Params none;
            for (const QString& step : c.drop.split(u';'))
                if (!step.trimmed().isEmpty()) d.execute(step.trimmed(), none);
            d.execute(u"update gd_schema set version = ?"_s, {c.version});
        }
        const Store next{db + u"&application_name=naechster_start"_s,
                         gSettings.StandardUser};  // a connection of its own
        EXPECT_EQ(balanceText(loadAccountByNr(next, u"4801"_s).value().Saldo), paidBefore);
        const TradeAccount a = loadAccountByNr(next, u"4802"_s).value();
        EXPECT_EQ(balanceText(a.Saldo), partBefore);
        Database upgraded = Database::open(next.file);
        EXPECT_EQ(test::firstNumber(upgraded, u"select max(version) from gd_schema"_s), kSchemaVersion);
        for (qsizetype t = 0; t < tables.size(); ++t)
            EXPECT_EQ(test::firstNumber(upgraded, u"select count(*) from "_s + tables[t]), before[t])
                << tables[t].toStdString();
        EXPECT_GT(test::firstNumber(upgraded,
                                    u"select count(*) from pg_stats where schemaname = current_schema() and "
                                    "tablename = 'auktionen'"_s),
                  0);  // the planner's statistics made after the step
        // Its entries are as unchangeable as the file's; an invoice issued before the chain is its first link.
        EXPECT_THROW(Database::open(next.file).execute(u"update Buchungen set Cent = 0"_s), RunError);
        if (c.version < 9) {
            const Result<DocumentCheck> chained = checkDocuments(next.file);
            ASSERT_TRUE(chained.ok()) << chained.error().message().toStdString();
            EXPECT_TRUE(chained.value().ok()) << chained.value().findings.join(u"\n"_s).toStdString();
            EXPECT_EQ(chained.value().documents, 1);
        }
        // A contact changed by another program after the step is guarded.
        const tKunde mine = funLoadKunde(next, u"lodz_antyki"_s).value().value();
        upgraded.execute(u"update Kunden set Ort = '90-001 Łódź' where ebayName = 'lodz_antyki'"_s);
        tKunde stale = mine;
        stale.Strasse = u"ul. Piotrkowska 1"_s;
        EXPECT_EQ(funSaveLieferantupdate(next, stale, u"4802"_s).error().number, kChangedElsewhere);
        if (c.version == 7) {
            ASSERT_EQ(a.Buchungen.size(), 2);  // the claim and the part payment, on its day
            EXPECT_EQ(a.Buchungen[1].Tag, QDate(2026, 12, 6));
        }
    }
    // A database of a later program than this one: refused in German, nothing changed.
    Database::open(db).execute(u"update gd_schema set version = ?"_s, {kSchemaVersion + 1});
    const Result<TradeAccount> refused =
        loadAccountByNr(Store{db + u"&application_name=aelter"_s, gSettings.StandardUser}, u"4801"_s);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().message().contains(u"neueren Programmversion"_s))
        << refused.error().message().toStdString();
    Database same = Database::open(db);
    EXPECT_EQ(test::firstNumber(same, u"select max(version) from gd_schema"_s), kSchemaVersion + 1);
}

// The list on the server: the first screen walks the index of the folded keys in the list's order
// and finds each partner by the same keys; no comparison of the list goes through citext.
TEST_F(OnServer, TheListIsReadAlongItsIndexWithoutCitext) {
    {
        Database d = Database::open(db);
        d.execute(
            u"insert into Kunden (KundenNr, Name, ebayName, Kunde, Standarduser) select 'K' || i, 'Kundin ' || i, "
            "'Mitglied_' || i, 1, 'haendler' from generate_series(1, 2000) i"_s);
        d.execute(
            u"insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, ebayName, Betrag, Abgeschlossen, "
            "Standarduser) select 'id' || i, (100000 + i)::text, 'Artikel ' || i, '2026-' || lpad((1 + i % 12)::text, "
            "2, '0') || '-01 12:00:00', 'mitglied_' || (1 + i % 2000), '9,90', (i % 10 = 0)::int, 'haendler' from "
            "generate_series(1, 20000) i"_s);
        d.execute(u"analyze"_s);
    }
    const Store here{db, gSettings.StandardUser};
    const auto plan = [this] {
        // The statement as the program sent it, its values written in.
        const PgStatement st = pgLastStatement();
        QString sql = st.text;
        for (qsizetype i = st.params.size(); i >= 1; --i)
            sql.replace(u"$"_s + QString::number(i), u"'"_s + st.params[i - 1].toString() + u"'"_s);
        // EXPLAIN is not prepared: the server's own way, on a connection of its own.
        const auto c = pgConnect(db, settingsLogin());
        const PgResult r = pgExec(*c, (u"explain "_s + sql).toUtf8().constData());
        QStringList lines;
        for (int i = 0; i < r.rows(); ++i) lines << pgValue(r.get(), i, 0).toString();
        return lines.join(u"\n"_s);
    };
    const Result<QList<ListRow>> first = loadAuktionsListe(here, ListFilter::Alle, 200);
    ASSERT_TRUE(first.ok());
    ASSERT_EQ(first.value().size(), 200);
    EXPECT_EQ(first.value()[0].ebayName.left(9), u"Mitglied_"_s);  // the partner's own spelling
    const QString firstPlan = plan();
    for (const char* index : {"auktionen_liste_schluessel", "kunden_schluessel"})
        EXPECT_TRUE(firstPlan.contains(QLatin1String(index))) << index << "\n" << firstPlan.toStdString();
    EXPECT_FALSE(firstPlan.contains(u"Sort"_s)) << firstPlan.toStdString();
    EXPECT_FALSE(firstPlan.contains(u"citext"_s)) << firstPlan.toStdString();

    for (const ListFilter f : {ListFilter::Alle, ListFilter::Verkauf, ListFilter::Abgeschlossen}) {
        const Result<QList<ListRow>> whole = loadAuktionsListe(here, f);
        ASSERT_TRUE(whole.ok());
        EXPECT_EQ(whole.value().size(), f == ListFilter::Abgeschlossen ? 2000 : 18000);
        EXPECT_FALSE(plan().contains(u"citext"_s)) << plan().toStdString();
    }
    // A reader that stops early (the command line's output closed) stops the statement; the
    // connection serves the next one.
    int chunks = 0;
    EXPECT_TRUE(writeListTsv(here, ListFilter::Alle, [&chunks](const QByteArray&) { return ++chunks < 1; }).ok());
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(loadAuktionsListe(here, ListFilter::Alle, 10).value().size(), 10);
}

TEST_F(OnServer, FromAFileToTheServerAndBackEverythingIsEqual) {
    const QString file = app.file(u"quelle.mdb"_s), back = app.file(u"zurueck.mdb"_s);
    ASSERT_TRUE(QFile::copy(emptyDatabaseTemplate(), file));
    gsDataSource = file;
    const QString server = db;
    db = file;
    fill();
    // What the server's stream must escape: line ends, tabs, backslashes, a text that reads like its null.
    const QString tricky = u"Zeile 1\r\nZeile 2\tTab \\N kein Nichts, C:\\Rechnungen\\ und \\x41"_s;
    const QString trickyAt = u"select Bemerkungen from Auktionen where rowid = (select min(rowid) from Auktionen)"_s;
    {
        Database d = Database::open(file);
        d.execute(u"update Auktionen set Bemerkungen = ? where rowid = (select min(rowid) from Auktionen)"_s, {tricky});
    }
    const QByteArray before = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const Result<QStringList> there = copyDatabase(file, server);
    ASSERT_TRUE(there.ok()) << there.error().message().toStdString();
    EXPECT_TRUE(there.value().contains(u"Zeilen in Auktionen: 4"_s)) << there.value().join(u"\n"_s).toStdString();
    EXPECT_TRUE(there.value().contains(u"Summe der Teilzahlungen (Cent): 4936"_s));
    EXPECT_EQ(listOf(server), listOf(file));
    {
        // The server plans with statistics from the start.
        Database d = Database::open(server);
        EXPECT_GT(test::firstNumber(d,
                                    u"select count(*) from pg_stats where schemaname = current_schema() and "
                                    "tablename = 'auktionen'"_s),
                  0);
    }
    {
        Database d = Database::open(server);
        EXPECT_EQ(test::firstText(d, trickyAt), tricky);
    }
    EXPECT_EQ(searchAuktionsListe(Store{server, gSettings.StandardUser}, u"Oeztuerk"_s).value().size(), 1);
    // Into a server that holds trades already: refused, nothing added.
    const Result<QStringList> again = copyDatabase(file, server);
    ASSERT_FALSE(again.ok());
    EXPECT_TRUE(again.error().message().contains(u"leere Datenbank"_s));

    const Result<QStringList> home = copyDatabase(server, back);
    ASSERT_TRUE(home.ok()) << home.error().message().toStdString();
    EXPECT_EQ(home.value(), there.value());
    EXPECT_EQ(listOf(back), listOf(file));
    Database backDb = Database::open(back);
    EXPECT_EQ(test::firstText(backDb, trickyAt), tricky);
    EXPECT_EQ(
        backDb.firstRow(u"select Pdf from Rechnungen"_s, {}, [](const DbRow& r) { return r.value(0).toByteArray(); }),
        kPdfBytes);
    QFile source(file);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll(), before);  // the source is only read
    // The server's own search rules work again after the move: a trade added there is found.
    gsDataSource = server;
    {
        tAuktion a = auktion(u"990"_s, u"nach_dem_umzug"_s);
        const Result<QString> nr =
            funSaveKunde(currentStore(), kunde(a.ebayName, u"Saoirse Ní Bhriain"_s), a.AuktionsNr);
        ASSERT_TRUE(nr.ok()) << nr.error().message().toStdString();
        const auto saved = funSaveAuktionnew(currentStore(), a, nr.value());
        ASSERT_TRUE(saved.ok()) << saved.error().message().toStdString();
    }
    EXPECT_EQ(searchAuktionsListe(Store{server, gSettings.StandardUser}, u"saoirse"_s).value().size(), 1);
    gsDataSource = file;
}

TEST_F(OnServer, ItsBackupIsTheFilesBackupAndRestoresIntoEither) {
    fill();
    const QString bin = app.file(u"bin"_s), backup = app.file(u"Sicherungen/server.gdsicherung"_s);
    ASSERT_TRUE(writeBackup(db, bin, backup).ok());
    const QString file = app.file(u"aus-der-sicherung.mdb"_s);
    const Result<QString> intoFile = restoreBackup(backup, file, bin, app.file(u"Sicherungen"_s));
    ASSERT_TRUE(intoFile.ok()) << intoFile.error().message().toStdString();
    EXPECT_EQ(listOf(file), listOf(db));

    // Changed on the server, then the backup put back: the change is gone, the state before kept aside.
    const QString shown = listOf(db);
    Database::open(db).execute(u"delete from Auktionen where AuktionsNr = '4701'"_s);
    const Result<QString> intoServer = restoreBackup(backup, db, bin, app.file(u"Sicherungen"_s));
    ASSERT_TRUE(intoServer.ok()) << intoServer.error().message().toStdString();
    EXPECT_EQ(listOf(db), shown);
    EXPECT_TRUE(QFileInfo(intoServer.value()).isFile());
    // Restored rows keep working: a new trade gets a row number of its own.
    store(auktion(u"4799"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_EQ(auctions(), 5);
}

}  // namespace
}  // namespace gd::test
