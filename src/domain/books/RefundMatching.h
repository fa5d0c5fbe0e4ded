#pragma once
// Refunds found in a bank statement: a transfer out that names the item of an open return is that
// return's refund, booked as if "Erstatten" had been pressed on the day the bank booked it.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/bank/Statement.h"
#include "domain/db/Store.h"
#include "domain/invoice/IssuedInvoices.h"

namespace gd {

struct RefundProposal {
    Credit Ausgang;  // Cent positive: what went out
    QString AuktionsNr, Kaeufer;
    qint64 Zurueck = 0;    // off the claim when booked; 0: nothing to book
    QString Grund;         // why this return, or why it is not booked
    bool Erfasst = false;  // booked from a statement before
};

// Only transfers that name an item number with an open return, or were booked before, are
// proposed: the other money out is none of ours.
Result<QList<RefundProposal>> refundsFor(const Store& store, const QList<Credit>& outgoing);
// Each proposal with an amount booked through refundReturn (its invoice cancelled as there); one
// line a proposal in `notes`. The number booked.
Result<int> applyRefunds(const Store& store, const QList<RefundProposal>& proposals, const QDateTime& now,
                         const QString& invoicePattern, const InvoicePage& page, QStringList* notes = nullptr);

}  // namespace gd
