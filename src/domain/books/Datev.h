#pragma once
// The tax advisor's hand-over: issued invoices, cancellations and payments as a DATEV
// "Buchungsstapel" (DATEV-Format EXTF, header version 700, category 21, format version 13),
// as DATEV's developer portal describes it:
// https://developer.datev.de/datev/platform/de/dtvf/formate/buchungsstapel (fields),
// https://developer.datev.de/datev/platform/en/dtvf/formate/header (header line),
// https://developer.datev.de/datev/platform/en/dtvf/zeichensatz (Windows-1252).

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/settings/modGlobal.h"

namespace gd {

struct DatevAccount {
    QString konto;
    QString schluessel;  // BU-Schlüssel; empty for DATEV's automatic accounts
};

// The bookings' accounts: "Erloese19", "Erloese7", "Erloese25a", "Erloese19UStG", "Bank",
// "Debitor", "Gebuehren", and the accounts money passes through besides the bank: "PayPal",
// "Plattform" (a platform's payouts in transit), "Kasse" (paid by hand), "Forderungsverluste".
const QStringList& datevBookings();
// The chart's ("03" SKR03, "04" SKR04) accounts with the user's "Name=konto/schlüssel;…".
QMap<QString, DatevAccount> datevAccounts(const QString& chart, const QString& overrides);
// The overrides that differ from the chart's.
QString datevOverrides(const QString& chart, const QMap<QString, DatevAccount>& accounts);

struct DatevSetup {
    QString berater, mandant;
    QString chart = QStringLiteral("03");
    QString fiscalStart = QStringLiteral("0101");  // TTMM
    bool lock = false;
    bool payments = true;
    QMap<QString, DatevAccount> accounts;
    // The tax mode of the sales without an invoice, as the options set it.
    bool kleinunternehmer = false;
    QString steuerart;
};
DatevSetup datevSetup(const Settings& s);

struct DatevExport {
    QByteArray bytes;  // Windows-1252, CR LF
    int invoices = 0, cancellations = 0, payments = 0, fees = 0;
    int revenues = 0;        // sales without an invoice, booked with their money
    int payouts = 0;         // platform payouts that reached the bank
    int transliterated = 0;  // texts whose letters Windows-1252 lacks were spelt in Latin ones
};

// "2 Rechnungen, 0 Stornos, 3 Verkäufe mit ihrer Zahlung, 5 Zahlungen, 1 Gebühr, 1 Auszahlung." and
// how many texts were spelt in Latin letters.
QString datevSummary(const DatevExport& ex);
// The last whole month before `today`: the period a monthly hand-over asks for.
std::pair<QDate, QDate> lastWholeMonth(const QDate& today);

// The bookings of [from, to]: refused when the range leaves one fiscal year, or the
// advisor's numbers are missing.
Result<DatevExport> datevExport(const Store& store, const DatevSetup& setup, const QDate& from, const QDate& to,
                                const QDateTime& now);

}  // namespace gd
