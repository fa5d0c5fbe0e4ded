#pragma once
// A buyer's withdrawal or return of a sale: the notice with the day and time it came, its
// confirmation, the goods back, and the refund as entries of the sale's account. A refund that
// takes the whole sale back cancels its invoice.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/invoice/IssuedInvoices.h"

namespace gd {

// As stored: "Widerruf" (§ 355 BGB), "Mangel" (goods not as described), "Storno" (called off before
// it was shipped).
enum class ReturnKind { Widerruf, Mangel, Storno };
inline constexpr ReturnKind kReturnKinds[] = {ReturnKind::Widerruf, ReturnKind::Mangel, ReturnKind::Storno};
QString returnKindName(ReturnKind k);
QString returnKindText(ReturnKind k);  // as the seller and the buyer read it: "Rückgabe wegen eines Mangels"
std::optional<ReturnKind> returnKindOf(const QString& text);  // any case; the command line's words too

struct ReturnNotice {
    QString auktionsNr;
    ReturnKind art = ReturnKind::Widerruf;
    QDateTime eingang;  // when the notice arrived
    QString grund;
};

struct OpenReturn {
    qint64 id = 0;
    QString AuktionsID, AuktionsNr, ebayName, Titel;
    ReturnKind art = ReturnKind::Widerruf;
    QDateTime eingang, bestaetigt;  // bestaetigt: invalid until the confirmation went out
    QDate wareZurueck;
    QString grund;
    bool versendet = false;
    // § 357 (1) BGB: 14 days from the notice; the seller may hold the money until the goods or a
    // proof of their dispatch are back (§ 357 (4)), which does not move the day.
    QDate faellig() const { return eingang.date().addDays(14); }
    // Confirmed on the day it came, or a reminder.
    bool unbestaetigt() const { return !bestaetigt.isValid(); }
};

// Refused for a purchase, an unknown or doubled item number, a sale with a return still open, a
// notice from the future, and "Storno" for a sale already shipped.
Result<qint64> recordReturn(const Store& store, const ReturnNotice& notice, const QDateTime& now);
Result<QList<OpenReturn>> openReturns(const Store& store);
Result<std::optional<OpenReturn>> openReturnOf(const Store& store, const QString& auktionsNr);
// "Widerruf vom 08.12.2026 · Erstattung bis 22.12.2026" for the pane; empty without an open return.
Result<QString> returnNote(const Store& store, const QString& auktionsID);
QString returnNoteOf(const OpenReturn& r);
Status confirmReturn(const Store& store, qint64 id, const QDateTime& when);
Status goodsBack(const Store& store, const QString& auktionsNr, const QDate& day);

// The confirmation of receipt (§ 356a BGB: without delay, on a durable medium, with the notice's
// day and time): the catalogue's template of this name, or the built-in text.
inline const QString kConfirmationTemplate = QStringLiteral("Widerrufsbestätigung");
QString confirmationSubject();
QString confirmationBody();
// Its placeholders: [#Rueckgabeart#], [#Rueckgabeeingang#], [#Rueckgabegrund#],
// [#Erstattungsbetrag#] (what came in and goes back) and [#Erstattungsfrist#].
Result<QHash<QString, QString>> returnPlaceholders(const Store& store, const OpenReturn& r);

struct RefundDone {
    qint64 zurueckgenommen = 0;  // off the sale's claim
    qint64 erstattet = 0;        // paid back (what had come in, at most)
    QString konto;               // the way it went back: the way it came
    QString storno;              // the cancellation issued, if any
};

// What a refund of the sale's whole return takes off the claims, and pays back of what came in.
struct RefundDue {
    qint64 zurueck = 0, erstatten = 0;
};
Result<RefundDue> refundDue(const Store& store, const QString& auktionsNr);

// Settles the sale's open return: `cents` come off what the buyer owes, and of it what he had paid
// goes back the way it came. An issued invoice is cancelled first (a refund retried after a failure
// finds it cancelled): the sale's own invoice in full; of a group's invoice the sale's line alone
// (the price: shipping goes back only with the whole order), and with its last line the rest, when
// every sale of the group gives back what it still claims. A refund with a deduction on an invoice
// is refused for now. `statementKey`: the refund was read from a statement, under this key.
Result<RefundDone> refundReturn(const Store& store, const QString& auktionsNr, qint64 cents, const QDate& day,
                                const QDateTime& now, const QString& invoicePattern, const InvoicePage& page,
                                const QString& statementKey = QString());

}  // namespace gd
