// Issued documents beyond the database: no number twice after a restore, every change named by
// the check and refused for reissue, exact look-ups, a series that runs across years.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <atomic>

#include "domain/db/Backup.h"
#include "domain/db/Documents.h"
#include "domain/db/PgEngine.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/settings/Keyring.h"
#include "support/DbTestShared.h"
#include "support/Rows.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0));

std::atomic<int> g_pages{0};
// Differs at every call, as a real page does (its time stamp): what is handed out again must be
// the kept bytes.
Result<QByteArray> page(const Invoice& inv, const QByteArray&) {
    return QByteArray("%PDF " + inv.Nummer.toUtf8() + ' ' + QByteArray::number(inv.total()) + ' ' +
                      QByteArray::number(++g_pages));
}

QString serverState(const QString& name) {
    QFile f(qEnvironmentVariable("GD_TEST_PG") + u"/"_s + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

class Documents : public test::DbTest {
protected:
    QString bin = app.file(u"bin"_s);
    Store st() const { return Store{db, gSettings.StandardUser}; }
    bool onServer() const { return isServerAddress(db); }
    void SetUp() override {
        test::DbTest::SetUp();
        app.write(u"bin/config.ini"_s, "[User]\r\nUsername=haendler\r\n");
    }
    void TearDown() override {
        useKeyring({});
        gSettings.ServerZertifikat.clear();
        test::DbTest::TearDown();
    }
    IssuedInvoice issue(const QString& ref, const QDateTime& at = kNow, const QString& pattern = QString()) {
        const Result<IssuedInvoice> r = issueInvoice(st(), invoiceProfile(currentSettings()), ref, pattern, at, page);
        EXPECT_TRUE(r.ok()) << ref.toStdString() << ": " << (r.ok() ? "" : r.error().message().toStdString());
        return r.ok() ? r.value() : IssuedInvoice{};
    }
    void sale(const QString& nr, const QString& buyer, const QString& price = u"10,00"_s) {
        tAuktion a = auktion(nr, buyer);
        a.Preis = price;
        a.Betrag = price;
        store(a, kunde(buyer));
    }
    QString idOf(const QString& nr, const QString& buyer) {
        Database d = Database::open(db);
        return test::firstText(d, u"select AuktionsID from Auktionen where AuktionsNr = ? and ebayName = ?"_s,
                               {nr, buyer});
    }
    DocumentCheck checked() {
        const Result<DocumentCheck> c = checkDocuments(db);
        EXPECT_TRUE(c.ok()) << (c.ok() ? "" : c.error().message().toStdString());
        return c.ok() ? c.value() : DocumentCheck{};
    }
    QString oneFinding() {
        const DocumentCheck c = checked();
        return c.findings.join(u"\n"_s);
    }
};

// Five issued, a backup of three restored: the two later ones come back with the same bytes and
// the series goes on at six, on a file (from its archive) and on a server (which keeps them).
TEST_F(Documents, ARestoreNeverTakesBackAnIssuedNumber) {
    for (int i = 1; i <= 6; ++i) sale(u"70%1"_s.arg(i), u"kunde%1"_s.arg(i));
    QList<IssuedInvoice> issued;
    for (int i = 1; i <= 3; ++i) issued << issue(u"70%1"_s.arg(i));
    const QString backup = app.file(u"nach-0003.gdsicherung"_s);
    ASSERT_TRUE(writeBackup(db, bin, backup).ok());
    for (int i = 4; i <= 5; ++i) issued << issue(u"70%1"_s.arg(i));
    ASSERT_EQ(issued.last().Nummer, u"RE-2026-0005"_s);

    QStringList notes;
    const Result<QString> restored =
        restoreBackup(backup, db, bin, app.file(u"Sicherungen"_s), QString(), nullptr, &notes);
    ASSERT_TRUE(restored.ok()) << restored.error().message().toStdString();
    ASSERT_EQ(notes.size(), 1) << notes.join(u"\n"_s).toStdString();
    EXPECT_TRUE(notes[0].contains(u"RE-2026-0004, RE-2026-0005 fehlten in der Sicherung"_s)) << notes[0].toStdString();
    EXPECT_TRUE(notes[0].contains(onServer() ? u"bleiben auf dem Server erhalten"_s
                                             : u"wurden aus dem Belegarchiv übernommen"_s))
        << notes[0].toStdString();
    EXPECT_EQ(issuedInvoices(st()).valueOr({}).size(), 5);  // 0004 and 0005 listed
    for (const IssuedInvoice& before : issued) {
        const auto again = issuedInvoice(st(), before.Nummer);
        ASSERT_TRUE(again.ok()) << before.Nummer.toStdString();
        EXPECT_EQ(again.value().first.Pdf, before.Pdf) << before.Nummer.toStdString();
    }
    // The restored trade 704 had no invoice in the backup: it gets its own again, not a new one.
    EXPECT_EQ(issue(u"704"_s).Nummer, u"RE-2026-0004"_s);
    EXPECT_EQ(issue(u"706"_s).Nummer, u"RE-2026-0006"_s);
    const DocumentCheck c = checked();
    EXPECT_TRUE(c.ok()) << c.findings.join(u"\n"_s).toStdString();
    EXPECT_EQ(c.documents, 6);
    if (onServer()) return;
    // The archive is private and only grows.
    const QString archive = documentArchive(db);
    EXPECT_EQ(QFile::permissions(archive + u"/belege.log"_s) & 0x0077, 0);
    EXPECT_EQ(QDir(archive).entryList({u"*.pdf"_s}, QDir::Files).size(), 6);
}

// An older copy of the file put back by hand, past any restore: the next invoice first takes the
// later documents back from the archive and says so; no number is issued twice.
TEST_F(Documents, AnOlderFilePutBackByHandIssuesNoNumberTwice) {
    if (onServer()) GTEST_SKIP() << "Eine Datei, von Hand zurückkopiert.";
    for (int i = 1; i <= 4; ++i) sale(u"75%1"_s.arg(i), u"kunde%1"_s.arg(i));
    issue(u"751"_s);
    const QByteArray older = test::fileBytes(db);
    issue(u"752"_s);
    issue(u"753"_s);
    app.write(u"gaveldesk.mdb"_s, older);
    const IssuedInvoice next = issue(u"754"_s);
    EXPECT_EQ(next.Nummer, u"RE-2026-0004"_s);
    EXPECT_TRUE(next.Hinweis.contains(u"RE-2026-0002 aus dem Belegarchiv übernommen"_s)) << next.Hinweis.toStdString();
    EXPECT_EQ(issuedInvoices(st()).valueOr({}).size(), 4);
    EXPECT_TRUE(checked().ok()) << oneFinding().toStdString();
}

// What an attacker with the key does, each named by the check and refused for reissue; the
// file itself refuses REPLACE as it refuses UPDATE and DELETE.
TEST_F(Documents, EveryChangeIsNamedAndNotHandedOutAgain) {
    if (onServer()) GTEST_SKIP() << "Die Datei mit ihren Triggern; der Server ist unten geprüft.";
    for (int i = 1; i <= 3; ++i) sale(u"80%1"_s.arg(i), u"kunde%1"_s.arg(i));
    for (int i = 1; i <= 3; ++i) issue(u"80%1"_s.arg(i));
    ASSERT_TRUE(checked().ok());
    const QString replace =
        u"insert or replace into Rechnungen (Nummer, Jahr, Lfd, Art, Bezug, Artikel, Ausgestellt, Kaeufer, Cent, "
        u"Daten, "
        "Pdf, Sha256, Standarduser) select Nummer, Jahr, Lfd, Art, Bezug, Artikel, Ausgestellt, 'fremd', 1, Daten, "
        "Pdf, "
        "Sha256, Standarduser from Rechnungen where Nummer = 'RE-2026-0002'"_s;
    try {
        Database::open(db).execute(replace);
        ADD_FAILURE() << "REPLACE went through";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.description().contains(u"nicht ersetzt"_s)) << e.text().toStdString();
    }
    const QString archive = documentArchive(db);
    const struct {
        const char* what;
        std::function<void(Database&)> tamper;
        const char* nummer;
        const char* named;
    } cases[] = {
        {"REPLACE with a changed amount",
         [&](Database& d) {
             d.execute(u"drop trigger Rechnungen_Einmalig"_s);
             d.execute(replace);
         },
         "RE-2026-0002", "RE-2026-0002 ist verändert"},
        {"a flipped byte of a stored PDF",
         [](Database& d) {
             d.execute(u"drop trigger Rechnungen_Unveraenderlich"_s);
             d.execute(
                 u"update Rechnungen set Pdf = cast('%PDF X' || substr(Pdf, 7) as blob) where Nummer = "
                 "'RE-2026-0001'"_s);
         },
         "RE-2026-0001", "Die PDF-Datei von RE-2026-0001 ist verändert"},
        {"a row removed after dropping the triggers",
         [](Database& d) {
             d.execute(u"drop trigger Rechnungen_Unloeschbar"_s);
             d.execute(u"delete from Rechnungen where Nummer = 'RE-2026-0003'"_s);
         },
         "", "RE-2026-0003 fehlt in der Datenbank"},
        {"a document missing from the archive",
         [&](Database&) {
             QFile log(archive + u"/belege.log"_s);
             ASSERT_TRUE(log.open(QIODevice::ReadOnly));
             QByteArray kept;
             for (const QByteArray& line : log.readAll().split('\n'))
                 if (!line.isEmpty() && !line.contains("RE-2026-0002")) kept += line + '\n';
             log.close();
             ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
             log.write(kept);
         },
         "", "RE-2026-0002 fehlt im Belegarchiv"},
    };
    const QByteArray pristine = test::fileBytes(db);
    const QByteArray log = test::fileBytes(archive + u"/belege.log"_s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.write(u"gaveldesk.mdb"_s, pristine);
        app.write(QDir(app.file({})).relativeFilePath(archive + u"/belege.log"_s), log);
        {
            Database d = Database::open(db);
            c.tamper(d);
        }
        EXPECT_TRUE(oneFinding().contains(QString::fromUtf8(c.named))) << oneFinding().toStdString();
        if (qstrlen(c.nummer) > 0) {
            const auto again = issuedInvoice(st(), QString::fromUtf8(c.nummer));
            ASSERT_FALSE(again.ok());
            EXPECT_TRUE(again.error().sentence.contains(u"wird nicht ausgegeben"_s))
                << again.error().message().toStdString();
        }
    }
    // The check set the archive right from the sound record: the second look finds nothing.
    EXPECT_TRUE(checked().ok()) << oneFinding().toStdString();
}

// The server refuses to change, remove, replace or empty an issued document.
TEST_F(Documents, TheServerRefusesToLoseADocument) {
    if (!onServer()) GTEST_SKIP() << "Nur auf dem Server.";
    sale(u"901"_s, u"anna"_s);
    issue(u"901"_s);
    for (const QString& sql :
         {u"update rechnungen set cent = 1"_s, u"delete from rechnungen"_s, u"truncate rechnungen cascade"_s,
          u"truncate belegkette"_s, u"truncate rechnungenxml"_s, u"delete from belegkette"_s,
          u"insert into rechnungen (nummer, jahr, lfd, ausgestellt, pdf, sha256) values ('RE-2026-0001', 2026, 1, "
          "'2026-12-08', '\\x00', '') on conflict (nummer) do update set cent = 1"_s}) {
        try {
            Database::open(db).execute(sql);
            ADD_FAILURE() << sql.toStdString();
        } catch (const RunError& e) {
            EXPECT_TRUE(e.description().contains(u"storniert werden"_s)) << sql.toStdString() << e.text().toStdString();
        }
    }
    EXPECT_TRUE(checked().ok());
}

// The role the help describes for the seats: it issues and reads invoices, and can neither remove
// one nor switch the server's refusals off.
TEST_F(Documents, TheHelpsRoleIssuesButCannotRemoveAnInvoice) {
    if (!onServer()) GTEST_SKIP() << "Nur auf dem Server.";
    store(auktion(u"4901"_s, u"k"_s), kunde(u"k"_s));
    const QString name = db.section(u'/', -1).section(u'?', 0, 0);
    const QString port = serverState(u"port"_s);
    QFile help(QStringLiteral(GD_RESOURCES_DIR "/Help/hilfe.htm"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString grants = QString::fromUtf8(help.readAll())
                               .section(u"<pre>CREATE ROLE kasse LOGIN PASSWORD '…';\n"_s, 1)
                               .section(u"</pre>"_s, 0, 0)
                               .replace(u"DATABASE gaveldesk"_s, u"DATABASE "_s + name);
    ASSERT_FALSE(grants.isEmpty());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PGSSLMODE"_s, u"disable"_s);
    p.setProcessEnvironment(env);
    p.start(u"psql"_s, {u"-X"_s, u"-q"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-h"_s, u"127.0.0.1"_s, u"-p"_s, port,
                        u"-U"_s, u"gaveldesk"_s, u"-d"_s, name, u"-c"_s, grants});
    ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    const QString kept = serverState(u"kennwort"_s);
    const QString url = u"postgresql://kasse@localhost:%1/%2"_s.arg(port, name);
    useKeyring({[&kept, url](const QString& key) {
                    return key == pgKeyringKey(url) ? KeyringRead{true, !kept.isEmpty(), kept}
                                                    : KeyringRead{true, false, QString()};
                },
                nullptr});
    gSettings.ServerZertifikat = qEnvironmentVariable("GD_TEST_PG") + u"/ca.crt"_s;
    const Result<IssuedInvoice> issued = issueInvoice(
        Store{url, gSettings.StandardUser}, invoiceProfile(currentSettings()), u"4901"_s, QString(),
        QDateTime(QDate(2026, 12, 8), QTime(9, 0)), [](const Invoice& inv, const QByteArray&) -> Result<QByteArray> {
            return QByteArray(QByteArray("%PDF ") + inv.Nummer.toUtf8());
        });
    ASSERT_TRUE(issued.ok()) << issued.error().message().toStdString();
    for (const QString& sql : {u"delete from rechnungen"_s, u"truncate rechnungen cascade"_s,
                               u"alter table rechnungen disable trigger all"_s,
                               u"drop trigger "
                               "rechnungen_unloeschbar on rechnungen"_s}) {
        try {
            Database::open(url).execute(sql);
            ADD_FAILURE() << sql.toStdString();
        } catch (const RunError&) {
        }
    }
    EXPECT_TRUE(issuedInvoice(Store{url, gSettings.StandardUser}, issued.value().Nummer).ok());
}

// An invoice is found by its number or by the exact item number of its sale (or of a member of its
// group); % and _ are characters; shared item numbers are told apart by the sale.
TEST_F(Documents, LookUpsAreExact) {
    sale(u"AX1"_s, u"anna"_s, u"10,00"_s);
    sale(u"A_1"_s, u"bernd"_s, u"55,00"_s);
    sale(u"777"_s, u"cora"_s, u"20,00"_s);
    sale(u"777"_s, u"dirk"_s, u"30,00"_s);
    sale(u"501"_s, u"emil"_s);
    sale(u"502"_s, u"emil"_s);
    Database::open(db).execute(u"update Auktionen set GruppenID = 'g5' where AuktionsNr in ('501', '502')"_s);
    const QString ax1 = issue(u"AX1"_s).Nummer;
    const QString group = issue(u"502"_s).Nummer;
    const struct {
        QString ref;
        const char* number;   // the invoice it gets, empty when refused
        const char* refusal;  // part of the refusal
        qint64 cent;
    } cases[] = {
        {u"A_1"_s, "RE-2026-0003", "", 5500 + 490},
        {u"A_1"_s, "RE-2026-0003", "", 5500 + 490},  // asked again: the same
        {u"AX1"_s, "RE-2026-0001", "", 1000 + 490},
        {u"%"_s, "", "Eine Auktion mit der Nummer '%' gibt es nicht", 0},
        {u"_X1"_s, "", "Eine Auktion mit der Nummer '_X1' gibt es nicht", 0},
        {u"777"_s, "", "gehört zu 2 Auktionen: an cora", 0},
        {idOf(u"777"_s, u"dirk"_s), "RE-2026-0004", "", 3000 + 490},
        {idOf(u"777"_s, u"cora"_s), "RE-2026-0005", "", 2000 + 490},
        {idOf(u"777"_s, u"dirk"_s), "RE-2026-0004", "", 3000 + 490},
        {u"501"_s, "RE-2026-0002", "", 2 * (1000 + 490)},  // a member of the group
        {u"999"_s, "", "gibt es nicht", 0},
    };
    EXPECT_EQ(ax1, u"RE-2026-0001"_s);
    EXPECT_EQ(group, u"RE-2026-0002"_s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ref.toStdString());
        const Result<IssuedInvoice> r =
            issueInvoice(st(), invoiceProfile(currentSettings()), c.ref, QString(), kNow, page);
        if (qstrlen(c.number) == 0) {
            ASSERT_FALSE(r.ok());
            EXPECT_TRUE(r.error().sentence.contains(QString::fromUtf8(c.refusal))) << r.error().sentence.toStdString();
            continue;
        }
        ASSERT_TRUE(r.ok()) << r.error().message().toStdString();
        EXPECT_EQ(r.value().Nummer, QString::fromUtf8(c.number));
        EXPECT_EQ(r.value().Cent, c.cent);
    }
    EXPECT_EQ(issuedInvoice(st(), u"RE-2026-0004"_s).value().first.Kaeufer, u"dirk"_s);
    EXPECT_TRUE(issuedInvoices(st(), 0, u"%"_s).valueOr({}).isEmpty());
    EXPECT_EQ(issuedInvoices(st(), 0, u"A_1"_s).valueOr({}).size(), 1);
    EXPECT_EQ(invoiceOfSale(st(), u"501"_s).value()->Nummer, u"RE-2026-0002"_s);
}

// A pattern without the year counts on across years; the first invoice of a year never fails,
// whatever the series held before.
TEST_F(Documents, ASeriesWithoutTheYearRunsOn) {
    for (int i = 1; i <= 4; ++i) sale(u"60%1"_s.arg(i), u"k%1"_s.arg(i));
    EXPECT_EQ(issue(u"601"_s, kNow, u"RE-{NNNN}"_s).Nummer, u"RE-0001"_s);
    EXPECT_EQ(issue(u"602"_s, QDateTime(QDate(2027, 1, 2), QTime(9, 0)), u"RE-{NNNN}"_s).Nummer, u"RE-0002"_s);
    EXPECT_EQ(issue(u"603"_s, QDateTime(QDate(2027, 1, 3), QTime(9, 0))).Nummer, u"RE-2027-0003"_s);
    EXPECT_EQ(issue(u"604"_s, QDateTime(QDate(2028, 1, 1), QTime(9, 0)), u"RE-{NNNN}"_s).Nummer, u"RE-0004"_s);
    EXPECT_TRUE(checked().ok());
}

}  // namespace
}  // namespace gd
