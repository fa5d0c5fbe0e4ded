#pragma once
// A platform's order report: the shipping address the notification mail hid behind an alias,
// and the orders whose mails never arrived. Read through its profile (Art=Bestellungen); the
// key is platform, order and item number, so a report read again, or one that overlaps,
// changes nothing. A field that differs from what a mail stored is shown, not overwritten.

#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/bank/Profiles.h"
#include "domain/bank/Statement.h"
#include "domain/db/Store.h"

namespace gd {

struct OrderLine {
    int line = 0;
    QString orderNr, itemNr, member, name, street, town, country, email, title, price, quantity, shipping;
    QString day;  // "dd.MM.yyyy"
};

struct OrderReport {
    QString profile, platform;
    QString mainPlatform;  // the platform of the base sections, as the options name it
    QList<OrderLine> orders;
    QList<BankStatement::Skipped> notRead;
};
// A report without a platform column is the main platform's.
Result<OrderReport> parseOrderReport(const QByteArray& bytes, const QList<FileProfile>& profiles,
                                     const QString& mainPlatform);

struct OrderOutcome {
    int created = 0;      // trades the mails missed
    int filled = 0;       // empty fields of a stored buyer filled
    int known = 0;        // orders read before
    QStringList differs;  // "4711 Straße: gespeichert „…“, im Bericht „…“"
    QStringList refused;  // orders not created: an amount or quantity no mail's import would take
};
Result<OrderOutcome> applyOrderReport(const Store& store, const OrderReport& report);
// What a read did, in lines for the user: counts, then each difference and each line not read.
QStringList orderOutcomeLines(const OrderReport& report, const OrderOutcome& done);

}  // namespace gd
