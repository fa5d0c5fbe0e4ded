// Two seats on one database: a save made on a trade read before another change is refused, says
// who changed it and when, and loses neither change. Runs on the file and (Server.*) on a server.
#include <gtest/gtest.h>

#include <QSysInfo>
#include <functional>

#include "base/SafeWrite.h"
#include "domain/trade/LoadSave.h"
#include "domain/trade/StatusGruppen.h"
#include "support/DbTestShared.h"

namespace gd::test {
namespace {

using namespace Qt::StringLiterals;

class Seats : public DbTest {};

TEST_F(Seats, ASaveAfterAnotherChangeIsRefusedAndNeitherChangeIsLost) {
    const struct {
        const char* other;
        std::function<void(const QString& id)> change;
    } cases[] = {
        {"the pane of another seat",
         [this](const QString& id) {
             tAuktion b = loaded(id);
             b.Bemerkungen = u"Paket ist gepackt (Platz 2)"_s;
             QString nr = b.KundenNr;
             ASSERT_TRUE(funSaveAuktion(currentStore(), b, nr).ok());
         }},
        {"a milestone ticked at another seat",
         [this](const QString& id) {
             tAuktion b = loaded(id);
             b.Datum[2] = QDateTime(QDate(2026, 12, 6), QTime(0, 0));
             ASSERT_TRUE(SaveStatus(currentStore(), b, 2).ok());
         }},
        {"another program's statement",
         [this](const QString& id) {
             Database::open(db).execute(u"update Auktionen set Hinweise = 'per Hand' where AuktionsID = ?"_s, {id});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        const QString id = store(auktion(u"4711"_s, u"jörg_plattner"_s), kunde(u"jörg_plattner"_s, u"Jörg Plattner"_s));
        tAuktion mine = loaded(id);
        c.change(id);
        const tAuktion theirs = loaded(id);

        mine.Bemerkungen = u"Zahlung per Überweisung angekündigt"_s;
        QString nr = mine.KundenNr;
        const auto refused = funSaveAuktion(currentStore(), mine, nr);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().number, kChangedElsewhere);
        EXPECT_TRUE(refused.error().sentence.contains(u"inzwischen"_s)) << refused.error().sentence.toStdString();
        if (db.startsWith(u"postgresql"_s)) {  // the server knows the seat
            EXPECT_TRUE(refused.error().sentence.contains(QSysInfo::machineHostName()))
                << refused.error().sentence.toStdString();
        }
        // A milestone of the stale copy is refused alike.
        mine.Datum[4] = QDateTime(QDate(2026, 12, 7), QTime(0, 0));
        EXPECT_EQ(SaveStatus(currentStore(), mine, 4).error().number, kChangedElsewhere);

        const tAuktion now = loaded(id);
        EXPECT_EQ(now.Bemerkungen, theirs.Bemerkungen);
        EXPECT_EQ(now.Datum, theirs.Datum);
        EXPECT_EQ(now.Hinweise, theirs.Hinweise);

        // Reloaded, the same change goes in; the next save of the same copy needs no reload.
        tAuktion again = loaded(id);
        again.Bemerkungen = mine.Bemerkungen;
        ASSERT_TRUE(funSaveAuktion(currentStore(), again, nr).ok());
        again.Datum[4] = mine.Datum[4];
        ASSERT_TRUE(SaveStatus(currentStore(), again, 4).ok());
        again.Zahlungshinweise = u"Vorkasse"_s;
        ASSERT_TRUE(funSaveAuktion(currentStore(), again, nr).ok());
        const tAuktion last = loaded(id);
        EXPECT_EQ(last.Bemerkungen, mine.Bemerkungen);
        EXPECT_EQ(last.Zahlungshinweise, u"Vorkasse"_s);
        ASSERT_TRUE(subDeleteAuktion(currentStore(), last).ok());
    }
}

// A contact is guarded as a trade is: a copy read before another seat's change is not saved over it.
TEST_F(Seats, AContactReadBeforeAnotherChangeIsNotSavedOverIt) {
    const auto contact = [](const QString& ebay) {
        const Result<std::optional<tKunde>> k = funLoadKunde(currentStore(), ebay);
        EXPECT_TRUE(k.ok() && k.value());
        return k.ok() && k.value() ? *k.value() : tKunde();
    };
    const struct {
        const char* other;
        std::function<void(const QString& ebay, const QString& nr)> change;
    } cases[] = {
        {"the pane of another seat",
         [&](const QString& ebay, const QString& nr) {
             tKunde b = contact(ebay);
             b.Ort = u"80331 München"_s;
             ASSERT_TRUE(funSaveLieferantupdate(currentStore(), b, nr).ok());
         }},
        {"another program's statement",
         [this](const QString& ebay, const QString&) {
             Database::open(db).execute(u"update Kunden set Ort = '80331 München' where ebayName = ?"_s, {ebay});
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        const QString ebay = u"mägdalena_%1"_s.arg(++n), nr = QString::number(4720 + n);
        store(auktion(nr, ebay), kunde(ebay, u"Magdalena Nowak"_s));
        const tKunde mine = contact(ebay);
        c.change(ebay, nr);

        // The same change made at both seats: nothing to write, nothing refused.
        tKunde same = mine;
        same.Ort = u"80331 München"_s;
        const Result<QString> along = funSaveLieferantupdate(currentStore(), same, nr);
        ASSERT_TRUE(along.ok()) << along.error().message().toStdString();

        tKunde stale = mine;
        stale.Strasse = u"ul. Piotrkowska 12"_s;
        const Result<QString> refused = funSaveLieferantupdate(currentStore(), stale, nr);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().number, kChangedElsewhere);
        EXPECT_TRUE(refused.error().sentence.contains(ebay)) << refused.error().sentence.toStdString();
        if (db.startsWith(u"postgresql"_s)) {
            EXPECT_TRUE(refused.error().sentence.contains(QSysInfo::machineHostName()))
                << refused.error().sentence.toStdString();
        }
        EXPECT_EQ(contact(ebay).Strasse, mine.Strasse);

        // Reloaded, the change goes in beside the other; the same copy saves again without a reload.
        tKunde again = contact(ebay);
        again.Strasse = stale.Strasse;
        ASSERT_TRUE(funSaveLieferantupdate(currentStore(), again, nr).ok());
        again.Email = u"m.nowak@example.pl"_s;
        ASSERT_TRUE(funSaveLieferantupdate(currentStore(), again, nr).ok());
        const tKunde last = contact(ebay);
        EXPECT_EQ(last.Ort, u"80331 München"_s);
        EXPECT_EQ(last.Strasse, stale.Strasse);
        EXPECT_EQ(last.Email, again.Email);
    }
}

// A file on a network share is refused before it is opened: its locks do not hold there.
TEST(NetworkShare, RefusedWithTheReasonAndTheWayToATeamServer) {
    const struct {
        quint64 magic;
        const char* mount;
        const char* kind;
    } cases[] = {
        {0x6969, "nfs4", "NFS"},
        {0xFF534D42, "cifs", "SMB/CIFS"},
        {0xFE534D42, "smb3", "SMB/CIFS"},
        {0x517B, "smbfs", "SMB/CIFS"},
        {0x65735546, "fuse.sshfs", "SSHFS"},
        {0x65735546, "fuse.rclone", "rclone"},
        {0x65735546, "fuse.encfs", ""},
        {0xEF53, "ext4", ""},
        {0x01021994, "tmpfs", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(networkFileSystemOf(c.magic, QString::fromLatin1(c.mount)), QString::fromLatin1(c.kind)) << c.mount;

    TestApp app(false);
    const QString here = app.file(u"gaveldesk.mdb"_s);
    EXPECT_TRUE(refuseNetworkShare(here).ok());  // this machine's own disk
    setFileSystemProbe([](const QString&) { return u"NFS"_s; });
    const Status refused = refuseNetworkShare(u"/mnt/nas/gaveldesk.mdb"_s);
    EXPECT_TRUE(refuseNetworkShare(u"postgresql://kasse@server/gaveldesk"_s).ok());
    setFileSystemProbe({});
    ASSERT_FALSE(refused.ok());
    for (const char* want : {"Netzlaufwerk (NFS)", "beschädigt", "PostgreSQL-Server", "--move-to"})
        EXPECT_TRUE(refused.error().message().contains(QString::fromUtf8(want))) << want;
}

}  // namespace
}  // namespace gd::test
