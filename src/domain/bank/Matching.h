#pragma once
// The credits of a statement against the open sales: which credit pays which
// sale or group, how sure that is, and the "Bezahlt" it sets once confirmed.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "base/Result.h"
#include "domain/bank/Statement.h"
#include "domain/db/Store.h"

namespace gd {

enum class Grade {
    Sicher,          // the amount, and the item number or the buyer's name
    Wahrscheinlich,  // the item number with another amount, or the amount of exactly one open sale
    Keine,
    Erfasst,  // the sale it pays is marked paid already
};
QString gradeText(Grade g);  // "sicher", "wahrscheinlich", "keine", "bereits erfasst"

// What a sale or a group of the file looks like to the matching.
struct OpenSale {
    QString AuktionsID, AuktionsNr, GruppenID, ebayName, Name, Betrag;
    std::optional<qint64> Cent;  // the total as read from the file; else Betrag is parsed
    QString Email;               // the buyer's: a PayPal payment names the payer's
    bool Bezahlt = false;
    QDate BezahltAm;
    QList<std::pair<QDate, qint64>> Teilzahlungen;  // part payments kept with the sale: day, cents
};

struct Proposal {
    Credit Gutschrift;
    Grade Einstufung = Grade::Keine;
    QStringList AuktionsIDs;  // the sale, or every open sale of the group
    QStringList AuktionsNrn;
    QString Kaeufer;           // member name
    qint64 Erwartet = 0;       // what is still asked, in cents: the total less part payments
    QString Grund;             // why, for the user: "Artikelnummer und Betrag" …
    bool Teilzahlung = false;  // confirmed as a part payment: kept with the sale, which stays unpaid
    qint64 fehlt() const { return Erwartet - Gutschrift.Cent; }  // > 0: the credit is short
};

// Pure: for tests and for any source of sales.
QList<Proposal> matchCredits(const QList<Credit>& credits, const QList<OpenSale>& sales);
// The sales of the user's file not closed (paid ones too: a credit for one of those
// is known and proposes nothing).
// With the buyers' e-mail addresses only when asked: a bank statement names none.
Result<QList<OpenSale>> loadSalesForMatching(const Store& store, bool withEmail = false);
// Read, load, match.
Result<QList<Proposal>> proposalsFor(const Store& store, const QList<Credit>& credits);
// The credits booked into the journal in one transaction; the number of sales paid by them.
// Each credit is booked once, with the amount it has: short, the rest stays open (a part payment)
// unless the user settled it (then written off); over, the buyer's credit. `notes` tells both.
Result<int> applyProposals(const Store& store, const QList<Proposal>& confirmed, int* partPayments = nullptr,
                           QStringList* notes = nullptr);
// What a credit is known by when the statement is read again: the bank's reference, else its text.
QString creditKey(const Credit& c);

// Money the bank took back, against the sale whose payment it returns: the payment of that amount
// whose sale's item number the text names, else the one of the payer's name.
struct ReturnProposal {
    Credit Rueckbuchung;
    QString AuktionsID, AuktionsNr, Kaeufer;
    QString Grund;         // why this sale, or why none
    bool Erfasst = false;  // booked before
};
Result<QList<ReturnProposal>> returnsFor(const Store& store, const QList<Credit>& returns);
// Each found one a counter-entry: the sale owes the amount again and is no longer paid. One line a
// return in `notes`, for the user.
Result<int> applyReturns(const Store& store, const QList<ReturnProposal>& returns, QStringList* notes = nullptr);
}  // namespace gd
