#pragma once
// Databases of many trades for the benchmarks, made once and kept in the temp
// folder: building 100,000 trades takes longer than measuring them.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "domain/db/Database.h"
#include "domain/db/Schema.h"
#include "domain/settings/modGlobal.h"

namespace bench {

// The list's columns with its mark of the milestones reached, as the program reads them.
#define LIST_COLUMNS                                                                                               \
    "select Kunden.ebayName, Kunden.Name, Auktionen.Titel, Auktionen.EndeDatum, Auktionen.Status, "                \
    "Auktionen.AuktionsNr, Auktionen.GruppenID, Auktionen.AuktionsID, Auktionen.Betrag, "                          \
    "(Auktionen.Antwort <> 0) + 2 * (Auktionen.\"Bestätigung\" <> 0) + 4 * (Auktionen.Bezahlt <> 0) + "           \
    "8 * (Auktionen.Versendet <> 0) + 16 * (Auktionen.Bewertet <> 0) + 32 * (Auktionen.Bewerungabgegeben <> 0) + " \
    "64 * (Auktionen.Abgeschlossen <> 0) "

// An application folder with the shipped keyword file and the member name gavel_haendler,
// and an empty database when asked for.
struct Home {
    QTemporaryDir dir;
    explicit Home(bool withDatabase = true) {
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"),
                    dir.filePath(QStringLiteral("bin/gaveldesk.ini")));
        QFile cfg(dir.filePath(QStringLiteral("bin/config.ini")));
        cfg.open(QIODevice::WriteOnly);
        cfg.write("[User]\r\nUsername=gavel_haendler\r\n");
        cfg.close();
        qputenv("GAVELDESK_HOME", dir.path().toLocal8Bit());
        if (withDatabase) gd::Database::create(dir.filePath(QStringLiteral("gaveldesk.mdb")));
        gd::subInitApp();
    }
};

// A file with `auctions` trades among `contacts` partners, every tenth closed,
// each with a mail text of mailBytes.
inline QString tradesFile(int auctions, int contacts, int mailBytes = 2000) {
    const QString path = QDir::temp().filePath(QStringLiteral("gaveldesk-bench-v%4-%1-%2-%3.mdb")
                                                   .arg(auctions)
                                                   .arg(contacts)
                                                   .arg(mailBytes)
                                                   .arg(gd::kSchemaVersion));
    if (QFile::exists(path)) return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    gd::Database::create(part);
    {
        gd::Transaction tx(part);
        gd::Database db = gd::Database::open(part);
        for (int c = 0; c < contacts; ++c)
            db.execute(
                QStringLiteral("insert into Kunden (KundenNr, Name, Strasse, Ort, Email, ebayName, Kunde, Lieferant, "
                               "Standarduser) values (?, ?, 'Hauptstraße 1', '12345 Berlin', ?, ?, ?, ?, 'haendler')"),
                {QString::number(c), QStringLiteral("Kunde Müller %1").arg(c), QStringLiteral("k%1@example.de").arg(c),
                 QStringLiteral("mitglied_%1").arg(c), c % 3 != 0, c % 3 == 0});
        const QString email(mailBytes, QLatin1Char('e'));
        for (int a = 0; a < auctions; ++a)
            db.execute(QStringLiteral(
                           "insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, Status, Betrag, ebayName, "
                           "EmailText, GruppenID, Abgeschlossen, Standarduser) "
                           "values (?, ?, ?, ?, 'Bezahlt', ?, ?, ?, ?, ?, 'haendler')"),
                       {QStringLiteral("id%1").arg(a), QString::number(1000000 + a),
                        QStringLiteral("Artikel Nummer %1 in gutem Zustand").arg(a),
                        QStringLiteral("20%1-%2-%3 12:%4:00")
                            .arg(20 + a % 7)
                            .arg(1 + a % 12, 2, 10, QLatin1Char('0'))
                            .arg(1 + a % 28, 2, 10, QLatin1Char('0'))
                            .arg(a % 60, 2, 10, QLatin1Char('0')),
                        QStringLiteral("%1,90").arg(5 + a % 200), QStringLiteral("mitglied_%1").arg(a % contacts),
                        email, a % 7 ? QString() : QStringLiteral("g%1").arg(a % contacts), a % 10 == 0 ? 1 : 0});
        tx.commit();
    }
    QFile::rename(part, path);
    return path;
}

}  // namespace bench
