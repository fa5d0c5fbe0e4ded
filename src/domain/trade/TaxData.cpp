#include "domain/trade/TaxData.h"

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"

namespace gd {

Result<Business> loadBusiness(const Store& store, const QString& ebayName) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Die Firmendaten können nicht gelesen werden:"), [&]() -> Result<Business> {
        Database db = store.open();
        return db
            .firstRow(QStringLiteral("select Firma, UStIdNr from Firmen where ebayName = ? and Standarduser = ?"),
                      {ebayName.trimmed(), store.user},
                      [](const DbRow& r) {
                          return Business{r.text(0), r.text(1)};
                      })
            .value_or(Business{});
    });
}

Status saveBusiness(const Store& store, const QString& ebayName, const Business& b) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Die Firmendaten können nicht gespeichert werden:"), [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        db.execute(QStringLiteral("delete from Firmen where ebayName = ? and Standarduser = ?"),
                   {ebayName.trimmed(), store.user});
        if (b.isBusiness())
            db.execute(
                QStringLiteral("insert into Firmen (Standarduser, ebayName, Firma, UStIdNr) values (?, ?, ?, ?)"),
                {store.user, ebayName.trimmed(), b.Firma.simplified(),
                 b.UstId.simplified().remove(QLatin1Char(' ')).toUpper()});
        tx.commit();
        return {};
    });
}

Result<int> loadItemRate(const Store& store, const QString& auktionsNr) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Der Steuersatz kann nicht gelesen werden:"), [&]() -> Result<int> {
        Database db = store.open();
        const int rate =
            db.firstRow(QStringLiteral("select Satz from Steuersaetze where AuktionsNr = ? and Standarduser = ?"),
                        {auktionsNr.trimmed(), store.user}, [](const DbRow& r) { return r.integer(0); })
                .value_or(0);
        return validItemRate(rate) ? rate : 0;
    });
}

Status saveItemRate(const Store& store, const QString& auktionsNr, int rate) {
    CALLSTACK_MODULE("modGlobal");
    if (!validItemRate(rate))
        return Error::plain(QStringLiteral("Ein Steuersatz von %1 % ist nicht vorgesehen (7 % oder 19 %).").arg(rate));
    return dbStep(QStringLiteral("Der Steuersatz kann nicht gespeichert werden:"), [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        db.execute(QStringLiteral("delete from Steuersaetze where AuktionsNr = ? and Standarduser = ?"),
                   {auktionsNr.trimmed(), store.user});
        if (rate != 0)
            db.execute(QStringLiteral("insert into Steuersaetze (Standarduser, AuktionsNr, Satz) values (?, ?, ?)"),
                       {store.user, auktionsNr.trimmed(), rate});
        tx.commit();
        return {};
    });
}

QString platformOfSection(const QString& section, const QString& mainPlatform) {
    const qsizetype blank = section.trimmed().indexOf(QLatin1Char(' '));
    return blank > 0 ? section.trimmed().mid(blank + 1).trimmed() : mainPlatform;
}

Status savePlatform(const Store& store, const QString& auktionsNr, const QString& platform) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Die Plattform der Auktion kann nicht gespeichert werden:"), [&]() -> Status {
        // None given: the year's figures count the sale to the main platform of the day.
        if (platform.trimmed().isEmpty()) return {};
        Database db = store.open();
        db.execute(
            QStringLiteral("insert into Herkunft (Standarduser, AuktionsNr, Plattform) values (?, ?, ?) on conflict "
                           "(Standarduser, AuktionsNr) do update set Plattform = excluded.Plattform"),
            {store.user, auktionsNr.trimmed(), platform.trimmed()});
        return {};
    });
}

}  // namespace gd
