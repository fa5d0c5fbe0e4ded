#pragma once
// What the detail pane computes from an auction: the total, the age of the
// item page and its address.

#include <QDate>
#include <QString>
#include <optional>

namespace gd {

// Quantity × price + shipping + insurance in "#,###.00" (no digit before the
// separator below one). nullopt when the quantity is no whole number.
std::optional<QString> funBetrag(const QString& sPreis, const QString& sMenge, const QString& sVersand,
                                 const QString& sVersicherung = QString());

// The platform keeps ended auctions for this many days.
inline constexpr qint64 kItemPageDays = 90;
// Days from the end date to today; 0 for a text that is no date.
qint64 daysSinceEnd(const QString& sEndeDatum, const QDate& today);
// The item page of the link template ("…[#Artikel#]…") for the number (without blanks and ")").
QString itemLink(const QString& linkTemplate, const QString& sAuktionsNr);

}  // namespace gd
