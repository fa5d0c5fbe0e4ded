#pragma once
// Every euro of a sale in one place: what the buyer owes, what came in, what went back,
// the fees kept and what was written off, each an entry that is never changed (a mistake is
// undone by a counter-entry). Balances, "Bezahlt", reminders, invoices and the books are sums
// over it.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

class Database;

// Kinds of entry as stored.
namespace art {
inline const QString Forderung = QStringLiteral("Forderung");        // the sale's total, or its correction
inline const QString Zahlung = QStringLiteral("Zahlung");            // money from the buyer
inline const QString Erstattung = QStringLiteral("Erstattung");      // money back to the buyer
inline const QString Rueckbuchung = QStringLiteral("Rueckbuchung");  // a payment taken back (return debit)
inline const QString Storno = QStringLiteral("Storno");              // a booking undone by hand
inline const QString Gebuehr = QStringLiteral("Gebuehr");            // kept by the platform or PayPal
inline const QString Abschreibung = QStringLiteral("Abschreibung");  // "bezahlt trotz Differenz"
inline const QString Rueckgabe = QStringLiteral("Rueckgabe");        // the claim less what the buyer gave back
}  // namespace art

// The accounts money moves through.
namespace konto {
inline const QString Bank = QStringLiteral("Bank");
inline const QString PayPal = QStringLiteral("PayPal");
inline const QString Plattform = QStringLiteral("Plattform");
inline const QString Kasse = QStringLiteral("Kasse");
}  // namespace konto

// Where an entry came from.
namespace quelle {
inline const QString Mail = QStringLiteral("Mail");
inline const QString Kontoauszug = QStringLiteral("Kontoauszug");
inline const QString Auszahlung = QStringLiteral("Auszahlung");
inline const QString PayPal = QStringLiteral("PayPal");
inline const QString Hand = QStringLiteral("Hand");
inline const QString Uebernahme = QStringLiteral("Uebernahme");  // from the files before the journal
}  // namespace quelle

struct JournalEntry {
    qint64 id = 0;
    QString AuktionsID, AuktionsNr;
    QDate Tag;        // the day the money moved
    qint64 Cent = 0;  // what it adds to what the buyer owes; a fee: what was kept, not counted there
    QString Art, Konto, Quelle, Referenz, Text;
};

// An entry of the trade on its day; the rest of its fields as given.
JournalEntry makeEntry(const QString& auktionsID, const QDate& day, qint64 cent, const QString& art,
                       const QString& konto, const QString& quelle, const QString& text = {});

// What the buyer still owes by these entries: > 0 open, < 0 the buyer's credit.
qint64 balanceOf(const QList<JournalEntry>& entries);
// What came in from the buyer and stayed: payments less what went back, without write-offs.
qint64 receivedOf(const QList<JournalEntry>& entries);
// "Offen: 9,40 €", "Guthaben: 20,60 €", "Ausgeglichen".
QString balanceText(qint64 balance);
// "offen 15,40 €", "Guthaben 8,10 €", "bezahlt": the pane's short form.
QString balanceShort(qint64 balance);
// German name of a kind: "Forderung", "Zahlung", "Rücklastschrift" …
QString artText(const QString& art);
// One line of an account: "05.12.2026  Zahlung  Bank  Kontoauszug  −35,40 €  …".
QString entryLine(const JournalEntry& e);

// Split a payment over the open balances of a group's trades, oldest first; what is over goes
// to the last one (the buyer's credit), what is short stays open on the later ones.
QList<qint64> allocate(qint64 amount, const QList<qint64>& open);

// Inside the caller's transaction, on its connection.
namespace journal {
void append(Database& db, const QString& user, const JournalEntry& e);
QList<JournalEntry> entries(Database& db, const QString& user, const QStringList& auktionsIDs);
qint64 balance(Database& db, const QString& user, const QStringList& auktionsIDs);
// The trade alone, or every trade of its group, earliest end first.
QStringList unitOf(Database& db, const QString& user, const QString& auktionsID);
// Whether the trade's partner is a buyer: only sales are in the journal.
bool isSale(Database& db, const QString& user, const QString& auktionsID);
// The claim follows the stored total: a changed total gets a correction entry. False for no sale.
bool syncClaim(Database& db, const QString& user, const QString& auktionsID, const QDate& day, const QString& source);
// "Bezahlt" and its date from the balance: set on `day` when nothing is left to pay after a
// payment or write-off, taken back when money is owed again. The status text follows.
void settle(Database& db, const QString& user, const QStringList& auktionsIDs, const QDate& day);
// Pays what each trade still owes, by hand (the tick in the pane, a payment mail).
void payRest(Database& db, const QString& user, const QStringList& auktionsIDs, const QDate& day,
             const QString& source);
// Undoes what was received (the tick taken away): a counter-entry, the claim open again.
void reopen(Database& db, const QString& user, const QString& auktionsID, const QDate& day);
// "bezahlt trotz Differenz": what each trade of the unit still owes written off with the reason.
void writeOffRest(Database& db, const QString& user, const QStringList& unit, const QDate& day, const QString& reason,
                  const QString& referenz = {});
// Books a received amount over a unit (group): split by allocate(), then settled.
void receive(Database& db, const QString& user, const QStringList& unit, const JournalEntry& payment);
// A platform's payout line pays the trade (or its group) only when its gross is exactly what is
// owed and its fee lies between 0 and the gross: then the payment and the fee are booked through
// the platform's clearing account on the day the buyer paid. Otherwise nothing is booked and the
// reason comes back ("" when booked).
QString applyPayoutLine(Database& db, const QString& user, const QString& auktionsID, const QString& payoutId,
                        const QDate& paidDay, qint64 gross, qint64 fees, const QString& text = {});
// Payout lines read before their sale arrived, applied now; one note a line.
QStringList applyWaitingPayouts(Database& db, const QString& user, const QString& auktionsID);
// The trades an entry with this source and reference was booked to: a statement read again.
QStringList bookedBy(Database& db, const QString& user, const QString& source, const QString& referenz);
}  // namespace journal

// For the window and the command line.
struct TradeAccount {
    QStringList AuktionsIDs;  // the trade, or its group
    QList<JournalEntry> Buchungen;
    qint64 Saldo = 0;
};
// By row key or item number; an empty account when the trade is no sale.
Result<TradeAccount> loadAccount(const Store& store, const QString& auktionsID);
Result<TradeAccount> loadAccountByNr(const Store& store, const QString& auktionsNr);
// The row key of the newest trade with this item number.
Result<QString> auktionsIdOf(const Store& store, const QString& auktionsNr);
// The buyer's credit paid back (bank unless said otherwise): the account is even again.
Status refundCredit(const Store& store, const QString& auktionsID, const QDate& day, const QString& through = {});
// "bezahlt trotz Differenz": writes the open rest off with its reason.
Status writeOff(const Store& store, const QString& auktionsID, const QDate& day, const QString& reason);

// The earlier files' money as entries: a sale's total, its part payments, and a paid sale's
// rest on its paid day, through the payout or PayPal that paid it where one did.
struct OpeningRow {
    QString AuktionsID, AuktionsNr, Betrag, EndeDatum, BezahltDatum;
    bool Bezahlt = false;
    QList<std::pair<QString, qint64>> Teilzahlungen;  // day, cents
    QString AuszahlungsID, AuszahlungsTag;            // a payout line that names the sale
    qint64 AuszahlungBrutto = 0, AuszahlungGebuehren = 0;
    QList<std::pair<QString, qint64>> PayPalGebuehren;  // reference, cents
};
QList<JournalEntry> openingEntries(const OpeningRow& row);
// Fills the journal of a file or server that had none, in the caller's transaction: `rows` runs a
// query and hands each row's values, `exec` runs a statement.
using OpeningRows = std::function<void(const QString& sql, const std::function<void(const QVariantList&)>& row)>;
using OpeningExec = std::function<void(const QString& sql, const QVariantList& params)>;
void fillOpeningJournal(const OpeningRows& rows, const OpeningExec& exec);

}  // namespace gd
