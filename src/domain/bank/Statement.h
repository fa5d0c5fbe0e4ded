#pragma once
// The credits of a bank statement the user downloaded: a CAMT.053 file (ISO 20022)
// or a bank's CSV export (semicolon, decimal comma, Windows-1252, UTF-8 or UTF-16).
// Every entry is accounted for: taken as a credit, counted as a debit or pending,
// or listed with the reason it could not be read, so an import never looks complete
// when it is not.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "base/Money.h"
#include "base/Result.h"
#include "domain/bank/Profiles.h"

namespace gd {

struct Credit {
    QDate Buchungstag;
    qint64 Cent = 0;
    QString Name;   // who paid
    QString Zweck;  // the reference the payer typed
    QString Iban;
    QString Referenz;    // CAMT: the bank's reference of the entry (and its transaction)
    QString Email;       // PayPal: the payer's address
    qint64 Gebuehr = 0;  // PayPal: the fee it kept, in cents
};

// Entries of one reading, a ZIP of many statements included.
inline constexpr qsizetype kMostEntries = 100000;
// A month of a busy account is about 1 MB of CAMT; reading one holds about seven times its size.
inline constexpr qsizetype kMostCamtBytes = 8 * 1024 * 1024;

struct BankStatement {
    // An entry that may be money received but could not be read safely.
    struct Skipped {
        int Zeile = 0;     // CSV: the line the entry starts on; CAMT: the n-th entry (Ntry) of the file
        QString Betrag;    // the amount as written, empty when there is none
        QString Name;      // the payer, when known
        QString Grund;     // why, in German, for the user
        QString Referenz;  // CAMT: the entry's NtryRef or AcctSvcrRef, when it has one
    };

    QString Format;  // "CAMT.053", "CSV"
    QString Profil;  // the profile that recognised a CSV, or how it was read
    QList<Credit> Gutschriften;
    // Money taken back (a returned direct debit, a credit reversed, a debit inside a credit entry):
    // never a payment; it reopens the sale it had paid. Cent positive, as the amount taken.
    QList<Credit> Rueckbuchungen;
    // Money paid out (Cent positive, Name the payee): a refund to a buyer among them is found by
    // its text; the rest is none of ours. Counted as Lastschriften as well.
    QList<Credit> Ausgaenge;
    QList<Skipped> NichtGelesen;
    int Lastschriften = 0;  // money out: not a payment received
    int Vorgemerkt = 0;     // not booked yet: may still change or vanish
};

// "Nicht gelesen: 3 Einträge; 10 Lastschriften und 1 vorgemerkte Buchung übergangen."
QString statementCounts(const BankStatement& st);
// One line an entry not read: "Zeile 12: 29.400 (Hans Müller) – Betrag „29.400“ ist mehrdeutig".
QStringList unreadLines(const BankStatement& st);

// By content: XML is read as CAMT.053, anything else as CSV. Only booked credits in euro.
Result<BankStatement> readStatement(const QString& path);
Result<BankStatement> parseStatement(const QByteArray& bytes);
Result<BankStatement> parseCamt053(const QByteArray& xml);
// A CSV by the profiles of bin/Dateiformate.ini, else by the usual headings.
Result<BankStatement> parseBankCsv(const QByteArray& bytes);
Result<BankStatement> parseBankCsv(const QByteArray& bytes, const QList<FileProfile>& profiles);

// A PayPal activity report (by its profile): each completed payment received a credit, its fee
// and the payer's address with it.
Result<BankStatement> parsePayPal(const QByteArray& bytes, const QList<FileProfile>& profiles);

// An amount as German banks export it, to signed cents: "1.234,56", "-12,5", "12,40-",
// "30,90 €", "EUR 5", and unsigned "17.40" (a point with two decimals, no comma).
// Anything that could be read two ways ("29.400") or is no German number ("+29.40",
// "2.94E1") is refused with a German reason, as is more than 999.999.999,99 €.
Result<qint64> amountCents(const QString& text);
std::optional<qint64> centsOf(const QString& text);
// Words with which banks name money taken back: "Rücklastschrift", "RUECKLASTSCHRIFT", "Retoure" …
bool returnText(const QString& text);

}  // namespace gd
