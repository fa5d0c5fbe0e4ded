#pragma once
// Payment reminders sent for a sale: each one with its date and level (1, 2, …).

#include <QDateTime>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct Reminder {
    int Stufe = 0;
    QDateTime Datum;
};

// Those sent for the auction, oldest first.
Result<QList<Reminder>> loadReminders(const Store& store, const QString& sAuktionsID);
// The highest level sent for the auction, 0 for none.
Result<int> reminderLevel(const Store& store, const QString& sAuktionsID);
// One reminder of the level for each auction (a group's mail reminds of all of them), all or none.
Status recordReminder(const Store& store, const QStringList& auktionsIDs, int stufe, const QDateTime& when);

// "1. Erinnerung" …; empty for level 0.
QString reminderText(int stufe);

}  // namespace gd
