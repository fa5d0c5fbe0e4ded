#include <QProcess>

#include "domain/trade/AuktionsListe.h"
#include "support/DbTestShared.h"
#include "support/Sqlcipher.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>
#include <unistd.h>

namespace gd {
namespace {

using namespace Qt::StringLiterals;

using test::DbTest;

class Faults : public DbTest {
protected:
    QString id;
    void SetUp() override {
        DbTest::SetUp();
        id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    }
    // Every function fails with its own sentence and the cause.
    void expectAllFail(const QString& tail) {
        tKunde k = kunde(u"k"_s);
        tAuktion a = auktion(u"2"_s, u"k"_s);
        a.AuktionsID = id;
        QString nr = u"x"_s;
        const QString failures[] = {test::failure(funSaveKunde(currentStore(), k, u"2"_s)),
                                    test::failure(funSaveLieferant(currentStore(), k, u"2"_s)),
                                    test::failure(funSaveAuktionnew(currentStore(), a, nr)),
                                    test::failure(checkAuktionnew(currentStore(), a)),
                                    test::failure(test::into(k, funLoadKunde(currentStore(), u"k"_s))),
                                    test::failure(test::into(a, funLoadAuktion(currentStore(), id))),
                                    test::failure(subDeleteAuktion(currentStore(), a)),
                                    test::failure(SaveStatusMail(currentStore(), id, zeroDate(), 1)),
                                    test::failure(checkgruppierteMails(currentStore(), u"k"_s))};
        const char* const what[] = {
            "Speichern der Käuferdaten",   "Speichern der Verkäuferdaten",     "Speichern der Auktionsdaten",
            "Prüfen der Auktionsdaten",    "Laden der Käufer-/Verkäuferdaten", "Laden der Auktionsdaten",
            "Speichern der Auktionsdaten", "Speichern der Verkäuferdaten",     "Laden der GruppenID"};
        for (int i = 0; i < 9; ++i) {
            const QString sentence = u"Beim "_s + QString::fromUtf8(what[i]) + u" ist ein Fehler aufgetreten:\r"_s;
            EXPECT_TRUE(failures[i].startsWith(sentence)) << failures[i].toStdString();
            EXPECT_TRUE(failures[i].endsWith(tail)) << failures[i].toStdString();
        }
    }
    // 64 bytes overwritten in every page but the first two: what a failing disk leaves.
    void damageEveryPage() {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        for (qint64 page = 1; page < f.size() / test::kPageSize; ++page) {
            f.seek(page * test::kPageSize + 300);
            f.write(QByteArray(64, '\x5A'));
        }
    }
    void expectIntact() {
        gsDataSource = db;
        loaded(id);
        EXPECT_EQ(auctions(), 1);
        EXPECT_EQ(contacts(), 1);
    }
};

TEST_F(Faults, NoFileWrongPasswordOrNoDatabase) {
    const QString other = app.file(u"fremd.mdb"_s);
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(other.toUtf8().constData(), &h), SQLITE_OK);
    sqlite3_exec(h, "PRAGMA key='falsch'; CREATE TABLE Kunden(x); CREATE TABLE Auktionen(y);", nullptr, nullptr,
                 nullptr);
    sqlite3_close(h);
    app.write(u"text.mdb"_s, "Dies ist eine Textdatei und keine Datenbank.\r\n");
    app.write(u"kurz.mdb"_s, "abc");
    const struct {
        QString file;
        const char* tail;
    } cases[] = {
        {app.file(u"fehlt.mdb"_s), "wurde nicht gefunden."},
        {QString(), "liegt keine Datenbankdatei."},
        {other, "3031: Das Kennwort der Datenbank ist falsch, oder die Datei ist keine Gaveldesk-Datenbank."},
        {app.file(u"text.mdb"_s), "Gaveldesk-Datenbank."},
        {app.file(u"kurz.mdb"_s), "Gaveldesk-Datenbank."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        gsDataSource = c.file;
        expectAllFail(QString::fromUtf8(c.tail));
    }
    EXPECT_FALSE(QFile::exists(app.file(u"fehlt.mdb"_s)));  // never created by an open

    const QByteArray bytes = test::fileBytes(db);
    app.write(u"halb.mdb"_s, bytes.left(bytes.size() / 2));
    gsDataSource = app.file(u"halb.mdb"_s);
    tAuktion a;
    EXPECT_FALSE(
        test::failure(test::into(a, funLoadAuktion(currentStore(), id))).isEmpty());  // fails with a message, no crash
    expectIntact();
}

TEST_F(Faults, LockedBySecondConnectionMidTransaction) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(
            other,
            QByteArray(test::keyed() + " BEGIN EXCLUSIVE; UPDATE Auktionen SET Titel='halb geschrieben';").constData(),
            nullptr, nullptr, nullptr),
        SQLITE_OK);
    tAuktion a = auktion(u"3"_s, u"k"_s);
    QString nr = u"x"_s;
    const QString text = test::failure(funSaveAuktionnew(currentStore(), a, nr));
    EXPECT_TRUE(text.contains(u"gesperrt"_s)) << text.toStdString();
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    expectIntact();
    EXPECT_EQ(loaded(id).Titel, u"Kaffeemühle 1"_s);
}

// Root ignores permission bits; the immutable attribute stops it too.
bool makeReadOnly(const QString& file, bool on) {
    if (::geteuid() != 0)
        return QFile::setPermissions(file,
                                     on ? QFileDevice::ReadOwner : QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return QProcess::execute(u"chattr"_s, {on ? u"+i"_s : u"-i"_s, file}) == 0;
}

TEST_F(Faults, ReadOnlyFile) {
    if (!makeReadOnly(db, true)) GTEST_SKIP() << "cannot make the file read-only here";
    struct Restore {
        QString f;
        ~Restore() { makeReadOnly(f, false); }
    } restore{db};
    tAuktion a = auktion(u"3"_s, u"k"_s);
    QString nr = u"x"_s;
    const QString text = test::failure(funSaveAuktionnew(currentStore(), a, nr));
    EXPECT_TRUE(text.contains(u"schreibgeschützt"_s) || text.contains(u"nicht geöffnet"_s)) << text.toStdString();
    loaded(id);  // reading still works
    EXPECT_TRUE(makeReadOnly(db, false));
    expectIntact();
}

// A file that fails its check is written no more from this process; reading goes on.
TEST_F(Faults, ADamagedFileIsCheckedAndNotWritten) {
    EXPECT_TRUE(test::ok(checkDatabase(gsDataSource)));
    damageEveryPage();
    const Status checked = checkDatabase(gsDataSource);
    ASSERT_FALSE(checked.ok());
    EXPECT_EQ(checked.error().number, kDatabaseDamaged);
    EXPECT_TRUE(checked.error().message().contains(u"beschädigt"_s)) << checked.error().message().toStdString();
    EXPECT_TRUE(isMarkedDamaged(gsDataSource));
    tKunde k = kunde(u"neu"_s);
    const QString refused = test::failure(funSaveKunde(currentStore(), k, u"9"_s));
    EXPECT_TRUE(refused.contains(u"beschädigt"_s)) << refused.toStdString();
    EXPECT_THROW(Transaction tx(gsDataSource), RunError);  // no write begins
    clearDamaged(gsDataSource);
    EXPECT_FALSE(isMarkedDamaged(gsDataSource));
}

// A large file is read row by row: that check can be bounded and stopped, and it
// still finds a damaged page (here forced on a small file).
TEST_F(Faults, TheRowByRowCheckFindsDamageAndStopsWhenAsked) {
    for (int i = 0; i < 30; ++i) {
        tAuktion a = auktion(QString::number(100 + i), u"k"_s);
        a.EmailText = QString(3000, QLatin1Char('m'));
        store(a, kunde(u"k"_s));
    }
    CheckLimits rows;
    rows.quickCheckUpToBytes = 0;
    EXPECT_TRUE(test::ok(checkDatabase(gsDataSource, rows)));
    const std::atomic<bool> stop{true};
    CheckLimits stopped = rows;
    stopped.stop = &stop;
    damageEveryPage();
    EXPECT_TRUE(test::ok(checkDatabase(gsDataSource, stopped)));  // unfinished is not damaged
    EXPECT_FALSE(isMarkedDamaged(gsDataSource));
    const Status checked = checkDatabase(gsDataSource, rows);
    ASSERT_FALSE(checked.ok());
    EXPECT_EQ(checked.error().number, kDatabaseDamaged);
    EXPECT_TRUE(isMarkedDamaged(gsDataSource));
    clearDamaged(gsDataSource);
}

TEST_F(Faults, CreateRefusesAnExistingFile) {
    try {
        Database::create(db);
        ADD_FAILURE() << "overwrote";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.description().contains(u"existiert bereits"_s));
    }
    expectIntact();
}

TEST_F(Faults, ListFiltersAndOrder) {
    const Result<QString> nr = funSaveLieferant(currentStore(), kunde(u"verkaeufer"_s), u"9"_s);
    ASSERT_TRUE(test::ok(nr));
    ASSERT_TRUE(
        test::ok(funSaveAuktionnew(currentStore(), auktion(u"9"_s, u"verkaeufer"_s, u"10.12.2026"_s), nr.value())));
    const QString late = store(auktion(u"2"_s, u"k"_s, u"08.12.2026 10:00"_s), kunde(u"k"_s));
    ASSERT_TRUE(test::ok(SaveStatusMail(currentStore(), id, zeroDate(), 6)));  // closes auction 1
    gSettings.StandardUser = u"fremd"_s;
    store(auktion(u"3"_s, u"k"_s), kunde(u"k"_s));
    const QString u = u"haendler"_s;
    const auto nrs = [&](ListFilter f) {
        QStringList out;
        for (const ListRow& r : loadAuktionsListe(Store{db, u}, f).value()) out << r.AuktionsNr;
        return out;
    };
    EXPECT_EQ(nrs(ListFilter::Alle), (QStringList{u"9"_s, u"2"_s}));
    EXPECT_EQ(nrs(ListFilter::Verkauf), QStringList{u"2"_s});
    EXPECT_EQ(nrs(ListFilter::Einkauf), QStringList{u"9"_s});
    EXPECT_EQ(nrs(ListFilter::Abgeschlossen), QStringList{u"1"_s});
    const ListRow row = loadAuktionsListe(Store{db, u}, ListFilter::Verkauf).value().first();
    EXPECT_EQ(row.AuktionsID, late);
    EXPECT_EQ(row.EndeDatum, u"08.12.2026 10:00:00"_s);
    EXPECT_EQ(row.Name, u"Hans Müller"_s);
}

}  // namespace
}  // namespace gd
