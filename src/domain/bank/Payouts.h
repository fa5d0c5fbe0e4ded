#pragma once
// Money a platform collected and paid out: its report names each sale with what the buyer paid
// and the fee kept back; a payout arrives in the bank as one credit for many sales. The sales
// are marked paid on the day the buyer paid, the fees kept, the payout linked to its credit,
// and what does not fit is listed, never guessed.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/bank/Profiles.h"
#include "domain/bank/Statement.h"
#include "domain/db/Store.h"

namespace gd {

struct PayoutLine {
    int line = 0;
    QString payoutId;
    QDate payoutDate, paidDate;
    QString itemNr, orderNr, buyer;
    qint64 gross = 0, fees = 0;
};

struct PayoutReport {
    QString profile;
    QList<PayoutLine> sales;
    QList<BankStatement::Skipped> notRead;
    int otherRows = 0;  // refunds, payouts, fees on their own: not a sale
};
Result<PayoutReport> parsePayoutReport(const QByteArray& bytes, const QList<FileProfile>& profiles);
// The payout's ID as a word of the reference: "P-1" is not named by "Auszahlung P-12".
bool namesId(const QString& zweck, const QString& id);

struct PayoutSummary {
    QString id;
    QDate date, credited;  // credited: the day the bank booked it, invalid while not seen
    int sales = 0;
    qint64 gross = 0, fees = 0;
    qint64 net() const { return gross - fees; }
};
// "Auszahlung 17.11.: 14 Verkäufe, 412,30 € brutto, 61,84 € Gebühren, 350,46 € ausgezahlt — auf
// dem Konto am 19.11."
QString payoutText(const PayoutSummary& p);

struct PayoutOutcome {
    int paid = 0;         // sales marked paid now
    int alreadyPaid = 0;  // marked before: their day stays
    int known = 0;        // lines already read from an earlier report
    QStringList unknown;  // item numbers the desk does not know as sales yet: kept, paid when the sale comes
    QStringList refused;  // lines that pay nothing, each with its reason
};
// "2 Verkäufe als bezahlt markiert, 1 war es schon, 3 Zeilen schon früher gelesen."
QString payoutOutcomeText(const PayoutOutcome& o);
// Idempotent: a report read again, or one that overlaps, changes nothing it already did.
Result<PayoutOutcome> applyPayoutReport(const Store& store, const PayoutReport& report);

Result<QList<PayoutSummary>> payoutSummaries(const Store& store);
// Each payout not yet seen in the bank, linked to the credit of its net amount whose reference
// names its ID. `unmatched` gets the credits that look like payouts (the reference says
// "Auszahlung" or names a payout ID pattern) but belong to none.
Result<QList<PayoutSummary>> linkPayouts(const Store& store, const QList<Credit>& credits, QStringList* unmatched);

}  // namespace gd
