#pragma once
// The later steps of the file's schema, each a version: kept apart from the first ones, which
// built the tables every trade needs.

namespace gd {

// Version 12: a buyer's withdrawal or return of a sale: when the notice came, when its receipt was
// confirmed, when the goods came back and when it was settled. The money is in Buchungen.
constexpr const char* kVersion12 = R"SQL(
CREATE TABLE IF NOT EXISTS Rueckgaben (
  ID           INTEGER PRIMARY KEY,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  AuktionsID   TEXT NOT NULL COLLATE NOCASE,
  Art          TEXT NOT NULL,
  Eingang      TEXT NOT NULL,
  Grund        TEXT NOT NULL DEFAULT '',
  Bestaetigt   TEXT NOT NULL DEFAULT '',
  WareZurueck  TEXT NOT NULL DEFAULT '',
  Erledigt     TEXT NOT NULL DEFAULT '',
  Erfasst      TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS Rueckgaben_AuktionsID ON Rueckgaben (Standarduser, AuktionsID);
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Rueckgaben AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Rueckgaben WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

// Version 13: what a parcel went in: the packaging the seller chose, with its material and weight
// as they were then (the seller's list may change later), for the packaging register's yearly report.
constexpr const char* kVersion13 = R"SQL(
CREATE TABLE IF NOT EXISTS Pakete (
  AuktionsID   TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
  Standarduser TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
  Verpackung   TEXT NOT NULL DEFAULT '',
  Material     TEXT NOT NULL DEFAULT '',
  Gramm        INTEGER NOT NULL DEFAULT 0
);
CREATE TRIGGER IF NOT EXISTS Auktionen_Geloescht_Pakete AFTER DELETE ON Auktionen BEGIN
  DELETE FROM Pakete WHERE AuktionsID = old.AuktionsID;
END;
)SQL";

}  // namespace gd
