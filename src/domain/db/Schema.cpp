#include "domain/db/Schema.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "domain/db/Database.h"
#include "domain/db/Documents.h"
#include "domain/db/Journal.h"
#include "domain/db/SchemaFill.h"
#include "domain/db/SchemaSteps.h"
#include "domain/db/SearchFold.h"
#include "domain/db/SqliteError.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

// Text columns compare without regard to case, as the program expects;
// empty text rather than Null, zero date rather than Null.
constexpr const char* kSchema = R"SQL(
CREATE TABLE Kunden (
  KundenNr     TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Name         TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Strasse      TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Ort          TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Land         TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Email        TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  ebayName     TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Kunde        INTEGER NOT NULL DEFAULT 0,
  Lieferant    INTEGER NOT NULL DEFAULT 0,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE TABLE Auktionen (
  AuktionsID          TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  KundenNr            TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsNr          TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Titel               TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  EndeDatum           TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Status              TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Preis               TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Menge               TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Betrag              TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Versandkosten       TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Versandversicherung TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Hinweise            TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Versandinfos        TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Zahlungshinweise    TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Bemerkungen         TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Mitteilungen        TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Bezahlung           TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  ebayName            TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  GruppenID           TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Standarduser        TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Antwort                INTEGER NOT NULL DEFAULT 0,
  AntwortDatum           TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  "Bestätigung"          INTEGER NOT NULL DEFAULT 0,
  "BestätigungDatum"     TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Bezahlt                INTEGER NOT NULL DEFAULT 0,
  BezahltDatum           TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Versendet              INTEGER NOT NULL DEFAULT 0,
  VersendetDatum         TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Bewertet               INTEGER NOT NULL DEFAULT 0,
  BewertetDatum          TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Bewerungabgegeben      INTEGER NOT NULL DEFAULT 0,
  BewerungabgegebenDatum TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Abgeschlossen          INTEGER NOT NULL DEFAULT 0,
  AbgeschlossenDatum     TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  -- last, so that reading any other column never walks the overflow pages of a long email
  EmailText              TEXT NOT NULL DEFAULT ''
);
CREATE INDEX Kunden_User_ebayName ON Kunden (Standarduser, ebayName);
CREATE INDEX Kunden_User_KundenNr ON Kunden (Standarduser, KundenNr);
CREATE UNIQUE INDEX Auktionen_AuktionsID ON Auktionen (AuktionsID);
CREATE INDEX Auktionen_User_ebayName ON Auktionen (Standarduser, ebayName);
CREATE INDEX Auktionen_User_AuktionsNr ON Auktionen (Standarduser, AuktionsNr);
CREATE INDEX Auktionen_User_KundenNr ON Auktionen (Standarduser, KundenNr);
CREATE INDEX Auktionen_User_GruppenID ON Auktionen (Standarduser, GruppenID);
)SQL";

// Version 2: the parcel of a trade and the payment reminders sent for it, in tables
// of their own, so that the trades' rows (and their mail texts) are not rewritten;
// and the search index of every trade, kept by triggers.
// Repeatable: a copy made with the cipher tool's export has lost its version number.
constexpr const char* kVersion2 = R"SQL(
CREATE TABLE IF NOT EXISTS Versand (
  AuktionsID     TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
  Versanddienst  TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Sendungsnummer TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Standarduser   TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE TABLE IF NOT EXISTS Mahnungen (
  AuktionsID   TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Stufe        INTEGER NOT NULL DEFAULT 1,
  Datum        TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE INDEX IF NOT EXISTS Mahnungen_AuktionsID ON Mahnungen (AuktionsID, Stufe);
-- Every text of a trade a seller may look for, folded (see SuchQuelle), one row per trade.
CREATE VIRTUAL TABLE IF NOT EXISTS Suche USING fts4(Text, prefix="2");
-- search results come newest first across every state: their first screenful without a sort
CREATE INDEX IF NOT EXISTS Auktionen_Ende ON Auktionen (Standarduser, EndeDatum);
@FOLD@
-- a trade deleted takes its parcel, reminders and search row along, whoever deletes it
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Versand WHERE AuktionsID = old.AuktionsID;
  DELETE FROM Mahnungen WHERE AuktionsID = old.AuktionsID;
  DELETE FROM Suche WHERE docid = old.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Auktionen_Neu AFTER INSERT ON Auktionen BEGIN
  INSERT INTO Suche (docid, Text) SELECT docid, Text FROM SuchQuelle WHERE docid = new.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Auktionen_Geaendert AFTER UPDATE OF AuktionsID, AuktionsNr, Titel, Hinweise, Versandinfos,
    Zahlungshinweise, Bemerkungen, Mitteilungen, ebayName, Standarduser, EmailText ON Auktionen BEGIN
  DELETE FROM Suche WHERE docid = old.rowid;
  INSERT INTO Suche (docid, Text) SELECT docid, Text FROM SuchQuelle WHERE docid = new.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Kunden_Geaendert AFTER UPDATE OF Name, Strasse, Ort, Email, ebayName ON Kunden
    WHEN old.Name IS NOT new.Name OR old.Strasse IS NOT new.Strasse OR old.Ort IS NOT new.Ort
      OR old.Email IS NOT new.Email OR old.ebayName IS NOT new.ebayName BEGIN
  DELETE FROM Suche WHERE docid IN (SELECT rowid FROM Auktionen WHERE Standarduser = new.Standarduser
                                    AND ebayName IN (old.ebayName, new.ebayName));
  INSERT INTO Suche (docid, Text) SELECT docid, Text FROM SuchQuelle WHERE docid IN (SELECT rowid FROM Auktionen
      WHERE Standarduser = new.Standarduser AND ebayName IN (old.ebayName, new.ebayName));
END;
CREATE TRIGGER IF NOT EXISTS Versand_Neu AFTER INSERT ON Versand BEGIN
  DELETE FROM Suche WHERE docid IN (SELECT rowid FROM Auktionen WHERE AuktionsID = new.AuktionsID);
  INSERT INTO Suche (docid, Text) SELECT docid, Text FROM SuchQuelle WHERE docid IN (SELECT rowid FROM Auktionen
      WHERE AuktionsID = new.AuktionsID);
END;
CREATE TRIGGER IF NOT EXISTS Versand_Geloescht AFTER DELETE ON Versand BEGIN
  DELETE FROM Suche WHERE docid IN (SELECT rowid FROM Auktionen WHERE AuktionsID = old.AuktionsID);
  INSERT INTO Suche (docid, Text) SELECT docid, Text FROM SuchQuelle WHERE docid IN (SELECT rowid FROM Auktionen
      WHERE AuktionsID = old.AuktionsID);
END;
)SQL";

// Version 3: payments that cover part of what a sale or group asks for, in cents, kept
// with the sale until the rest arrives.
constexpr const char* kVersion3 = R"SQL(
CREATE TABLE IF NOT EXISTS Teilzahlungen (
  AuktionsID   TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Cent         INTEGER NOT NULL DEFAULT 0,
  Datum        TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE INDEX IF NOT EXISTS Teilzahlungen_AuktionsID ON Teilzahlungen (AuktionsID);
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Teilzahlungen AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Teilzahlungen WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

// Each mail sent, kept with its trade; gone with it.
constexpr const char* kVersion4 = R"SQL(
CREATE TABLE IF NOT EXISTS Gesendet (
  ID           INTEGER PRIMARY KEY,
  AuktionsID   TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Zeit         TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Weg          TEXT NOT NULL DEFAULT '',
  An           TEXT NOT NULL DEFAULT '',
  Betreff      TEXT NOT NULL DEFAULT '',
  MessageID    TEXT NOT NULL DEFAULT '',
  Text         TEXT NOT NULL DEFAULT '',
  Antwort      TEXT NOT NULL DEFAULT '',
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE INDEX IF NOT EXISTS Gesendet_AuktionsID ON Gesendet (AuktionsID);
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Gesendet AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Gesendet WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

// Issued invoices: numbered without gaps per year, their data and their PDF as issued, never
// changed nor deleted (a cancellation is an invoice of its own). They outlive their trades.
constexpr const char* kVersion5 = R"SQL(
CREATE TABLE IF NOT EXISTS Rechnungen (
  Nummer       TEXT NOT NULL PRIMARY KEY,
  Jahr         INTEGER NOT NULL,
  Lfd          INTEGER NOT NULL,
  Art          TEXT NOT NULL DEFAULT 'Rechnung',
  Bezug        TEXT NOT NULL DEFAULT '',
  Artikel      TEXT NOT NULL DEFAULT '',
  Ausgestellt  TEXT NOT NULL,
  Kaeufer      TEXT NOT NULL DEFAULT '',
  Cent         INTEGER NOT NULL DEFAULT 0,
  Daten        TEXT NOT NULL DEFAULT '',
  Pdf          BLOB NOT NULL,
  Sha256       TEXT NOT NULL,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  UNIQUE (Jahr, Lfd)
);
CREATE TRIGGER IF NOT EXISTS Rechnungen_Unveraenderlich BEFORE UPDATE ON Rechnungen BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
END;
CREATE TRIGGER IF NOT EXISTS Rechnungen_Unloeschbar BEFORE DELETE ON Rechnungen BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
END;
)SQL";

// Version 6: business buyers (a company name makes the contact one), a sale's own VAT rate
// where it differs from the options', the e-invoice XML an invoice was issued with, the
// platform whose mail made a trade, the platforms' payouts with each sale's fee, and e-invoices
// received, kept as they came with a purchase.
constexpr const char* kVersion6 = R"SQL(
CREATE TABLE IF NOT EXISTS Firmen (
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  ebayName     TEXT NOT NULL,
  Firma        TEXT NOT NULL,
  UStIdNr      TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (Standarduser, ebayName)
);
CREATE TABLE IF NOT EXISTS Steuersaetze (
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsNr   TEXT NOT NULL,
  Satz         INTEGER NOT NULL,
  PRIMARY KEY (Standarduser, AuktionsNr)
);
CREATE TABLE IF NOT EXISTS RechnungenXml (
  Nummer TEXT NOT NULL PRIMARY KEY REFERENCES Rechnungen (Nummer),
  Xml    BLOB NOT NULL
);
CREATE TRIGGER IF NOT EXISTS RechnungenXml_Unveraenderlich BEFORE UPDATE ON RechnungenXml BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
END;
CREATE TRIGGER IF NOT EXISTS RechnungenXml_Unloeschbar BEFORE DELETE ON RechnungenXml BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
END;
CREATE TABLE IF NOT EXISTS Herkunft (
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsNr   TEXT NOT NULL,
  Plattform    TEXT NOT NULL,
  PRIMARY KEY (Standarduser, AuktionsNr)
);
CREATE TABLE IF NOT EXISTS Auszahlungen (
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  ID           TEXT NOT NULL,
  Datum        TEXT NOT NULL,
  Gutschrift   TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (Standarduser, ID)
);
CREATE TABLE IF NOT EXISTS AuszahlungsPosten (
  Standarduser  TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuszahlungsID TEXT NOT NULL,
  AuktionsNr    TEXT NOT NULL,
  Bestellnummer TEXT NOT NULL DEFAULT '',
  Brutto        INTEGER NOT NULL DEFAULT 0,
  Gebuehren     INTEGER NOT NULL DEFAULT 0,
  Zahlungsdatum TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (Standarduser, AuszahlungsID, AuktionsNr, Bestellnummer)
);
CREATE TABLE IF NOT EXISTS Gebuehren (
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Quelle       TEXT NOT NULL,
  Referenz     TEXT NOT NULL,
  AuktionsNr   TEXT NOT NULL,
  Datum        TEXT NOT NULL,
  Cent         INTEGER NOT NULL,
  PRIMARY KEY (Standarduser, Quelle, Referenz, AuktionsNr)
);
CREATE TABLE IF NOT EXISTS Bestellungen (
  Standarduser  TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Plattform     TEXT NOT NULL,
  Bestellnummer TEXT NOT NULL,
  AuktionsNr    TEXT NOT NULL,
  PRIMARY KEY (Standarduser, Plattform, Bestellnummer, AuktionsNr)
);
CREATE TABLE IF NOT EXISTS EingangsRechnungen (
  ID           INTEGER PRIMARY KEY,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsNr   TEXT NOT NULL,
  Datei        TEXT NOT NULL,
  Nummer       TEXT NOT NULL DEFAULT '',
  Verkaeufer   TEXT NOT NULL DEFAULT '',
  Cent         INTEGER NOT NULL DEFAULT 0,
  Abgelegt     TEXT NOT NULL,
  Daten        BLOB NOT NULL,
  Sha256       TEXT NOT NULL,
  UNIQUE (Standarduser, AuktionsNr, Sha256)
);
CREATE TRIGGER IF NOT EXISTS EingangsRechnungen_Unveraenderlich BEFORE UPDATE ON EingangsRechnungen BEGIN
  SELECT RAISE(ABORT, 'Eine abgelegte Rechnung wird nicht geändert.');
END;
CREATE TRIGGER IF NOT EXISTS EingangsRechnungen_Unloeschbar BEFORE DELETE ON EingangsRechnungen BEGIN
  SELECT RAISE(ABORT, 'Eine abgelegte Rechnung wird aufbewahrt und nicht gelöscht.');
END;
)SQL";

// Version 7: each trade's row version, raised by every change of it whoever writes, and the
// seat and user of the last change where the engine knows them: a save of a trade read before
// another seat's change is refused instead of overwriting it.
constexpr const char* kVersion7 = R"SQL(
CREATE TABLE IF NOT EXISTS Stand (
  AuktionsID TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
  Version    INTEGER NOT NULL DEFAULT 0,
  Platz      TEXT NOT NULL DEFAULT '',
  Benutzer   TEXT NOT NULL DEFAULT '',
  Zeit       TEXT NOT NULL DEFAULT '1899-12-30 00:00:00'
);
CREATE TRIGGER IF NOT EXISTS Auktionen_Stand AFTER UPDATE ON Auktionen BEGIN
  INSERT OR REPLACE INTO Stand (AuktionsID, Version, Platz, Benutzer, Zeit) VALUES (new.AuktionsID,
    coalesce((SELECT Version FROM Stand WHERE AuktionsID = old.AuktionsID), 0) + 1, '', '',
    datetime('now', 'localtime'));
END;
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Stand AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Stand WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

// Version 8: the money of every sale as entries never changed: what the buyer owes, what came
// in and went back, fees and write-offs, each with its day, account and source. Gone with its trade.
constexpr const char* kVersion8 = R"SQL(
CREATE TABLE IF NOT EXISTS Buchungen (
  ID           INTEGER PRIMARY KEY,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsID   TEXT NOT NULL COLLATE NOCASE,
  Tag          TEXT NOT NULL,
  Cent         INTEGER NOT NULL,
  Art          TEXT NOT NULL,
  Konto        TEXT NOT NULL DEFAULT '',
  Quelle       TEXT NOT NULL DEFAULT '',
  Referenz     TEXT NOT NULL DEFAULT '',
  Text         TEXT NOT NULL DEFAULT '',
  Erfasst      TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS Buchungen_AuktionsID ON Buchungen (AuktionsID, Art, Cent);
CREATE INDEX IF NOT EXISTS Buchungen_Referenz ON Buchungen (Standarduser, Quelle, Referenz);
CREATE INDEX IF NOT EXISTS Buchungen_Tag ON Buchungen (Standarduser, Tag);
-- the money that moved, apart from the claims: the status bar's sums read only these
CREATE INDEX IF NOT EXISTS Buchungen_Art ON Buchungen (Standarduser, Art, AuktionsID, Cent);
-- a sale that arrives looks for payout lines that named it before
CREATE INDEX IF NOT EXISTS AuszahlungsPosten_AuktionsNr ON AuszahlungsPosten (Standarduser, AuktionsNr);
CREATE TRIGGER IF NOT EXISTS Buchungen_Unveraenderlich BEFORE UPDATE ON Buchungen BEGIN
  SELECT RAISE(ABORT, 'Eine Buchung wird nicht geändert; sie wird durch eine Gegenbuchung berichtigt.');
END;
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Buchungen AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Buchungen WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

// Version 9: every issued document a link of a hash chain; none replaced under its number, whatever
// the statement says (REPLACE deletes without the delete trigger).
constexpr const char* kVersion9 = R"SQL(
CREATE TABLE IF NOT EXISTS Belegkette (
  Pos       INTEGER NOT NULL PRIMARY KEY,
  Nummer    TEXT NOT NULL UNIQUE REFERENCES Rechnungen (Nummer),
  XmlSha256 TEXT NOT NULL DEFAULT '',
  Zeit      TEXT NOT NULL,
  Hash      TEXT NOT NULL
);
CREATE TRIGGER IF NOT EXISTS Belegkette_Unveraenderlich BEFORE UPDATE ON Belegkette BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
END;
CREATE TRIGGER IF NOT EXISTS Belegkette_Unloeschbar BEFORE DELETE ON Belegkette BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
END;
CREATE TRIGGER IF NOT EXISTS Belegkette_Einmalig BEFORE INSERT ON Belegkette
  WHEN EXISTS (SELECT 1 FROM Belegkette WHERE Pos = new.Pos OR Nummer = new.Nummer) BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht ersetzt; sie kann nur storniert werden.');
END;
-- a sale's invoice is looked up by its item number without reading the invoices' pages
CREATE INDEX IF NOT EXISTS Rechnungen_Artikel ON Rechnungen (Standarduser, Art, Artikel, Nummer);
CREATE TRIGGER IF NOT EXISTS Rechnungen_Einmalig BEFORE INSERT ON Rechnungen
  WHEN EXISTS (SELECT 1 FROM Rechnungen WHERE Nummer = new.Nummer OR (Jahr = new.Jahr AND Lfd = new.Lfd)) BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht ersetzt; sie kann nur storniert werden.');
END;
CREATE TRIGGER IF NOT EXISTS RechnungenXml_Einmalig BEFORE INSERT ON RechnungenXml
  WHEN EXISTS (SELECT 1 FROM RechnungenXml WHERE Nummer = new.Nummer) BEGIN
  SELECT RAISE(ABORT, 'Eine ausgestellte Rechnung wird nicht ersetzt; sie kann nur storniert werden.');
END;
)SQL";

// Version 10: each contact's row version, as the trades' (version 7): a contact read before
// another seat changed it is not saved over that change.
constexpr const char* kVersion10 = R"SQL(
CREATE TABLE IF NOT EXISTS KundenStand (
  Standarduser TEXT NOT NULL COLLATE NOCASE,
  KundenNr     TEXT NOT NULL COLLATE NOCASE,
  Version      INTEGER NOT NULL DEFAULT 0,
  Platz        TEXT NOT NULL DEFAULT '',
  Benutzer     TEXT NOT NULL DEFAULT '',
  Zeit         TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  PRIMARY KEY (Standarduser, KundenNr)
);
CREATE TRIGGER IF NOT EXISTS Kunden_Stand AFTER UPDATE ON Kunden BEGIN
  DELETE FROM KundenStand WHERE Standarduser = old.Standarduser AND KundenNr = old.KundenNr AND
    (old.Standarduser <> new.Standarduser OR old.KundenNr <> new.KundenNr);
  INSERT INTO KundenStand (Standarduser, KundenNr, Version, Zeit)
    VALUES (new.Standarduser, new.KundenNr, 1, datetime('now', 'localtime'))
    ON CONFLICT (Standarduser, KundenNr) DO UPDATE SET Version = Version + 1, Zeit = excluded.Zeit;
END;
CREATE TRIGGER IF NOT EXISTS Kunden_Geloescht_Stand AFTER DELETE ON Kunden BEGIN
  DELETE FROM KundenStand WHERE Standarduser = old.Standarduser AND KundenNr = old.KundenNr;
END;
)SQL";

// Version 11: the mails a trade was read from in the seller's mailbox, by the mailbox's own keys
// (its UIDVALIDITY and the mail's UID): a mail is stored once, whichever seat fetches it and
// however often.
constexpr const char* kVersion11 = R"SQL(
CREATE TABLE IF NOT EXISTS Posteingang (
  Konto        TEXT NOT NULL COLLATE NOCASE,
  Ordner       TEXT NOT NULL,
  UidValidity  INTEGER NOT NULL,
  Uid          INTEGER NOT NULL,
  MessageID    TEXT NOT NULL DEFAULT '',
  AuktionsID   TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Zeit         TEXT NOT NULL DEFAULT '1899-12-30 00:00:00',
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  PRIMARY KEY (Konto, Ordner, UidValidity, Uid)
);
)SQL";

// What the search finds a trade by: its own texts, its partner's and its parcel's, and the mail
// (its first 64 KB: a notification says what matters early; a mail of megabytes would make
// every change of its trade slow).
constexpr const char* kSearchText =
    "a.AuktionsNr || ' ' || a.Titel || ' ' || a.ebayName || ' ' || a.Hinweise || ' ' || a.Versandinfos || ' ' || "
    "a.Zahlungshinweise || ' ' || a.Bemerkungen || ' ' || a.Mitteilungen || ' ' || "
    "coalesce((SELECT k.Name || ' ' || k.Strasse || ' ' || k.Ort || ' ' || k.Email FROM Kunden k "
    "WHERE k.ebayName = a.ebayName AND k.Standarduser = a.Standarduser LIMIT 1), '') || ' ' || "
    "coalesce((SELECT v.Versanddienst || ' ' || v.Sendungsnummer FROM Versand v WHERE v.AuktionsID = a.AuktionsID), "
    "'') "
    "|| ' ' || substr(a.EmailText, 1, 65536)";

QString foldViews() {
    const QString source =
        QStringLiteral("(SELECT a.rowid AS docid, %1 AS x FROM Auktionen a)").arg(QString::fromLatin1(kSearchText));
    return foldViewsSql(source, QStringLiteral("x"), QStringLiteral("SuchQuelle")).join(QLatin1Char('\n'));
}

std::string version2Sql() {
    QString sql = QString::fromUtf8(kVersion2);
    sql.replace(QStringLiteral("@FOLD@"), foldViews());
    return sql.toStdString();
}

// Covers the list: the grid is filled from the index alone, in its order.
constexpr const char* kListIndex =
    "CREATE INDEX Auktionen_Liste ON Auktionen (Standarduser, Abgeschlossen, EndeDatum, ebayName, Titel, Status, "
    "AuktionsNr, GruppenID, AuktionsID, Betrag, Antwort, \"Bestätigung\", Bezahlt, Versendet, Bewertet, "
    "Bewerungabgegeben);";

void run(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) throwSqlite(db, rc);
}

int queryInt(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    int value = 0;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) value = sqlite3_column_int(st, 0);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) throwSqlite(db, rc);
    return value;
}

}  // namespace

void createSchema(sqlite3* db) {
    run(db, "BEGIN;");
    try {
        run(db, kSchema);
        run(db, kListIndex);
        run(db, version2Sql().c_str());
        run(db, kVersion3);
        run(db, kVersion4);
        run(db, kVersion5);
        run(db, kVersion6);
        run(db, kVersion7);
        run(db, kVersion8);
        run(db, kVersion9);
        run(db, kVersion10);
        run(db, kVersion11);
        run(db, kVersion12);
        run(db, kVersion13);
        run(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";").c_str());
        run(db, "COMMIT;");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
}

std::vector<QString> schemaStatements() {
    std::vector<QString> out;
    for (const QString& part :
         {QString::fromUtf8(kSchema), QString::fromUtf8(kListIndex), QString::fromStdString(version2Sql()),
          QString::fromUtf8(kVersion3), QString::fromUtf8(kVersion4), QString::fromUtf8(kVersion5),
          QString::fromUtf8(kVersion6), QString::fromUtf8(kVersion7), QString::fromUtf8(kVersion8),
          QString::fromUtf8(kVersion9), QString::fromUtf8(kVersion10), QString::fromUtf8(kVersion11),
          QString::fromUtf8(kVersion12), QString::fromUtf8(kVersion13)}) {
        // Statements end with ";" at a line's end; a trigger's body runs to its "END;".
        QString current;
        for (const QString& line : part.split(QLatin1Char('\n'))) {
            if (line.trimmed().startsWith(QLatin1String("--")) || (current.isEmpty() && line.trimmed().isEmpty()))
                continue;
            current += line + QLatin1Char('\n');
            const bool trigger = current.trimmed().startsWith(QLatin1String("CREATE TRIGGER"));
            const QString t = line.trimmed();
            if ((!trigger && t.endsWith(QLatin1Char(';'))) || (trigger && t == QLatin1String("END;"))) {
                out.push_back(current.trimmed());
                current.clear();
            }
        }
    }
    return out;
}

QString searchTextSql() { return QString::fromLatin1(kSearchText); }

int checkSchema(sqlite3* db) {
    const int tables =
        queryInt(db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('Kunden','Auktionen')");
    if (tables != 2)
        throw DbError(3078, QStringLiteral("Die Datei enthält die Tabellen 'Kunden' und 'Auktionen' nicht."));
    const int version = queryInt(db, "PRAGMA user_version");
    if (version > kSchemaVersion)
        throw DbError(3197, QStringLiteral("Die Datenbank stammt von einer neueren Programmversion (Version %1); diese "
                                           "Version von Gaveldesk kennt nur Version %2. Die Datei bleibt unverändert; "
                                           "öffnen Sie sie mit der neueren Version.")
                                .arg(version)
                                .arg(kSchemaVersion));
    return version;
}

int schemaVersion(sqlite3* db) { return queryInt(db, "PRAGMA user_version"); }

void migrateSchema(sqlite3* db, int from) {
    // Inside the caller's transaction: all steps or none.
    if (from < 2) {
        run(db, version2Sql().c_str());
        // The list index of earlier builds lacks the total and the milestones, so the list read every row of the table.
        run(db, "DROP INDEX IF EXISTS Auktionen_Liste;");
        run(db, kListIndex);
    }
    if (from < 3) run(db, kVersion3);
    if (from < 4) {
        run(db, kVersion4);
        // The folding learnt Greek and Cyrillic capitals and accents: its views anew (the triggers
        // name only the last one), and the trades already there folded again.
        std::vector<std::string> views;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'view' AND name LIKE 'SuchQuelle%'", -1,
                               &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                views.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        for (const std::string& v : views) run(db, ("DROP VIEW \"" + v + "\";").c_str());
        run(db, foldViews().toStdString().c_str());
        // The program folds them: the same folding as the views', many times faster over 100,000 mails.
        addFoldFunction(db);
        // A file without an index folds every trade; a later one only the trades with Greek or
        // Cyrillic letters (UTF-8 lead bytes 0xCD to 0xD3): the others fold as before, and
        // refolding 100,000 trades took half a minute at the first start.
        sqlite3_create_function_v2(
            db, "gd_greek_cyrillic", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
            [](sqlite3_context* ctx, int, sqlite3_value** argv) {
                const auto* in = sqlite3_value_text(argv[0]);
                const int n = sqlite3_value_bytes(argv[0]);
                const bool found =
                    in && std::any_of(in, in + n, [](unsigned char c) { return c >= 0xCD && c <= 0xD3; });
                sqlite3_result_int(ctx, found ? 1 : 0);
            },
            nullptr, nullptr, nullptr);
        const std::string text = kSearchText;
        if (from < 2)
            run(db, ("DELETE FROM Suche; INSERT INTO Suche (docid, Text) SELECT a.rowid, gd_fold(" + text +
                     ") FROM Auktionen a;")
                        .c_str());
        else
            run(db,
                ("CREATE TEMP TABLE gd_neu AS SELECT a.rowid AS id FROM Auktionen a WHERE gd_greek_cyrillic(" + text +
                 "); DELETE FROM Suche WHERE docid IN (SELECT id FROM gd_neu); INSERT INTO Suche (docid, Text) "
                 "SELECT a.rowid, gd_fold(" +
                 text + ") FROM Auktionen a WHERE a.rowid IN (SELECT id FROM gd_neu); DROP TABLE gd_neu;")
                    .c_str());
    }
    if (from < 5) run(db, kVersion5);
    if (from < 6) run(db, kVersion6);
    if (from < 7) run(db, kVersion7);
    if (from < 8) {
        run(db, kVersion8);
        withStatements(db, fillOpeningJournal);
    }
    if (from < 9) {
        run(db, kVersion9);
        addSha256Function(db);
        withStatements(db, fillDocumentChain);
    }
    if (from < 10) run(db, kVersion10);
    if (from < 11) run(db, kVersion11);
    if (from < 12) run(db, kVersion12);
    if (from < 13) run(db, kVersion13);
    run(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";").c_str());
}

}  // namespace gd
