#pragma once
// Amounts as whole cents. Every amount on the way from a mail to a list, a match,
// an invoice or a payment code goes through here, never through double.

#include <QString>
#include <QtGlobal>
#include <optional>

namespace gd {

// 999.999.999,99 €: what a trade may plausibly be worth; more is a fault in the mail.
inline constexpr qint64 kMostCents = 99'999'999'999;
// With it, a line's price × quantity and any sum of lines stay far inside qint64.
inline constexpr int kMostQuantity = 999'999;

// An amount as mails, the pane and the stored rows write it: "24,50", "1.234,5",
// "EUR 24,50", "24,50 €", "-3", and "24.50" (a point with two decimals, no comma).
// nullopt for no amount, more than two decimals, or beyond ±kMostCents.
std::optional<qint64> parseCents(const QString& text);
// The same, 0 where there is no amount: for sums over stored texts.
qint64 centsOr0(const QString& text);
// "1.234,56", "-0,50"; any qint64.
QString centsText(qint64 cents);
// "17,40 €"
QString euroText(qint64 cents);

}  // namespace gd
