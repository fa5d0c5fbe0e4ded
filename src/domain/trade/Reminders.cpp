#include "domain/trade/Reminders.h"

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/settings/modGlobal.h"

namespace gd {

Result<QList<Reminder>> loadReminders(const Store& store, const QString& sAuktionsID) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Beim Laden der Zahlungserinnerungen ist ein Fehler aufgetreten:"),
                  [&]() -> Result<QList<Reminder>> {
                      Database db = store.open();
                      return db.allRows(QStringLiteral("select Stufe, Datum from Mahnungen where AuktionsID = ? and "
                                                       "Standarduser = ? order by Datum, Stufe"),
                                        {sAuktionsID, store.user}, [](const DbRow& r) {
                                            return Reminder{r.integer(0), r.date(1)};
                                        });
                  });
}

Result<int> reminderLevel(const Store& store, const QString& sAuktionsID) {
    const Result<QList<Reminder>> sent = loadReminders(store, sAuktionsID);
    if (!sent.ok()) return sent.error();
    int level = 0;
    for (const Reminder& r : sent.value()) level = qMax(level, r.Stufe);
    return level;
}

Status recordReminder(const Store& store, const QStringList& auktionsIDs, int stufe, const QDateTime& when) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Die Zahlungserinnerung wurde versendet, konnte aber nicht beim Verkauf "
                                 "vermerkt werden:"),
                  [&]() -> Status {
                      Transaction tx(store);
                      Database db = tx.database();
                      for (const QString& id : auktionsIDs)
                          db.execute(
                              QStringLiteral(
                                  "insert into Mahnungen (AuktionsID, Stufe, Datum, Standarduser) values (?, ?, ?, ?)"),
                              {id, stufe, toDbDate(when), store.user});
                      tx.commit();
                      return {};
                  });
}

QString reminderText(int stufe) { return stufe > 0 ? QStringLiteral("%1. Erinnerung").arg(stufe) : QString(); }

}  // namespace gd
