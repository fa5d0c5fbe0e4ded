#pragma once
// A trade partner and an auction as they travel between import, database,
// main window and mail form.

#include <QDateTime>
#include <QString>
#include <array>

#include "base/modFunktions.h"

namespace gd {

struct tKunde {
    QString KundenNr;
    QString Name;
    QString Strasse;
    QString Ort;
    QString Land;
    QString Email;
    QString ebayName;
    // A business partner's, as its mail names them; kept beside the contact, not in it.
    QString Firma;
    QString UStIdNr;
    bool Kunde = false;      // a buyer of the owner
    bool Lieferant = false;  // a seller to the owner
    // The row version it was read at (-1: not read), as a trade's Stand.
    mutable qint64 Stand = -1;
};

// The same contact data (the row's fields and flags; not its number, version or business data).
bool sameContact(const tKunde& a, const tKunde& b);

// Milestones by index: 0 answered ... 6 closed.
inline constexpr int kMilestones = 7;

struct Milestone {
    const char* name;  // the status text
    const char* flagColumn;
    const char* dateColumn;
};
inline constexpr std::array<Milestone, kMilestones> kMilestoneTable = {{
    {"Geantwortet", "Antwort", "AntwortDatum"},
    {"Bestätigt", "Bestätigung", "BestätigungDatum"},
    {"Bezahlt", "Bezahlt", "BezahltDatum"},
    {"Versendet", "Versendet", "VersendetDatum"},
    {"Bewertet", "Bewertet", "BewertetDatum"},
    {"Bewertung erhalten", "Bewerungabgegeben", "BewerungabgegebenDatum"},
    {"Abgeschlossen", "Abgeschlossen", "AbgeschlossenDatum"},
}};

QString milestoneName(int index);  // "" outside 0..6

struct tAuktion {
    QString KundenNr;
    QString AuktionsNr;
    QString Titel;
    QString EndeDatum;  // as the user reads it, "dd.mm.yyyy"
    QString Status;
    QString GruppenID;
    QString Preis;
    QString Menge;
    QString Betrag;
    QString Versandkosten;
    QString Versandversicherung;
    QString Hinweise;
    QString Versandinfos;
    QString Zahlungshinweise;
    QString Bemerkungen;
    QString Mitteilungen;
    QString Bezahlung;
    QString EmailText;
    QString ebayName;
    // AntwortDatum ... AbgeschlossenDatum by milestone index; the zero date is open.
    std::array<QDateTime, kMilestones> Datum = {zeroDate(), zeroDate(), zeroDate(), zeroDate(),
                                                zeroDate(), zeroDate(), zeroDate()};
    QString AuktionsID;
    // The row version it was read at (-1: not read from the database). A save checks it against the
    // stored one, so another seat's change in between is not overwritten, and sets it to what it wrote.
    mutable qint64 Stand = -1;

    QDateTime& AntwortDatum() { return Datum[0]; }
    QDateTime& BestaetigungDatum() { return Datum[1]; }
    QDateTime& BezahltDatum() { return Datum[2]; }
    QDateTime& VersendetDatum() { return Datum[3]; }
    QDateTime& BewertetDatum() { return Datum[4]; }
    QDateTime& BewerungabgegebenDatum() { return Datum[5]; }
    QDateTime& AbgeschlossenDatum() { return Datum[6]; }
};

// Texts of 255 characters or more are cut to their first 254.
QString checklaenge(const QString& sText);

}  // namespace gd
