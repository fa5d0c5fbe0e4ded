#pragma once
// The credits of a statement against the open sales: which credit pays which
// sale or group, how sure that is, and the "Bezahlt" it sets once confirmed.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/bank/Statement.h"

namespace gd {

enum class Grade {
    Sicher,          // the amount, and the item number or the buyer's name
    Wahrscheinlich,  // the item number with another amount, or the amount of exactly one open sale
    Keine,
    Erfasst,         // the sale it pays is marked paid already
};
QString gradeText(Grade g);  // "sicher", "wahrscheinlich", "keine", "bereits erfasst"

// What a sale or a group of the file looks like to the matching.
struct OpenSale {
    QString AuktionsID, AuktionsNr, GruppenID, ebayName, Name, Preis, Menge, Betrag, Versandkosten;
    bool Bezahlt = false;
    QDate BezahltAm;
};

struct Proposal {
    Credit Gutschrift;
    Grade Einstufung = Grade::Keine;
    QStringList AuktionsIDs;  // the sale, or every open sale of the group
    QStringList AuktionsNrn;
    QString Kaeufer;          // member name
    qint64 Erwartet = 0;      // the amount asked, in cents
    QString Grund;            // why, for the user: "Artikelnummer und Betrag" …
};

// Pure: for tests and for any source of sales.
QList<Proposal> matchCredits(const QList<Credit>& credits, const QList<OpenSale>& sales);
// The sales of the user's file not closed (paid ones too: a credit for one of those
// is known and proposes nothing).
Result<QList<OpenSale>> loadSalesForMatching();
// Read, load, match.
Result<QList<Proposal>> proposalsFor(const QList<Credit>& credits);
// "Bezahlt" with the booking day for every sale of the proposals still unpaid, in
// one transaction; the number of sales set.
Result<int> applyProposals(const QList<Proposal>& confirmed);

}  // namespace gd
