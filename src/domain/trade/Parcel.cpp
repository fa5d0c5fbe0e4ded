#include "domain/trade/Parcel.h"

#include <QStringList>

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/settings/modGlobal.h"

namespace gd {
namespace {

struct Carrier {
    const char* name;
    const char* page;  // the number goes at the end
};
// Their public tracking pages, as of this writing.
constexpr Carrier kCarriers[] = {
    {"DHL", "https://www.dhl.de/de/privatkunden/pakete-empfangen/verfolgen.html?piececode="},
    {"Deutsche Post", "https://www.deutschepost.de/de/s/sendungsverfolgung.html?piececode="},
    {"Hermes", "https://www.myhermes.de/empfangen/sendungsverfolgung/sendungsinformation#"},
    {"DPD", "https://tracking.dpd.de/status/de_DE/parcel/"},
    {"GLS", "https://gls-group.com/DE/de/paketverfolgung?match="},
    {"UPS", "https://www.ups.com/track?loc=de_DE&tracknum="},
};

}  // namespace

const QStringList& carriers() {
    static const QStringList names = [] {
        QStringList n;
        for (const Carrier& c : kCarriers) n << QString::fromLatin1(c.name);
        return n;
    }();
    return names;
}

Result<Parcel> loadParcel(const Store& store, const QString& sAuktionsID) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(QStringLiteral("Beim Laden der Sendungsdaten ist ein Fehler aufgetreten:"), [&]() -> Result<Parcel> {
        Database db = store.open();
        return db
            .firstRow(
                QStringLiteral(
                    "select Versanddienst, Sendungsnummer from Versand where AuktionsID = ? and Standarduser = ?"),
                {sAuktionsID, store.user},
                [](const DbRow& r) {
                    return Parcel{r.text(0), r.text(1)};
                })
            .value_or(Parcel{});
    });
}

Status saveParcel(const Store& store, const QString& sAuktionsID, const Parcel& p) {
    CALLSTACK_MODULE("modGlobal");
    return dbStep(sentences::kSendungSpeichern, [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        db.execute(QStringLiteral("delete from Versand where AuktionsID = ?"), {sAuktionsID});
        const QString number = p.Sendungsnummer.simplified();
        if (!number.isEmpty())
            db.execute(QStringLiteral("insert into Versand (AuktionsID, Versanddienst, Sendungsnummer, Standarduser) "
                                      "values (?, ?, ?, ?)"),
                       {sAuktionsID, p.Versanddienst.simplified(), number, store.user});
        tx.commit();
        return {};
    });
}

QString trackingLink(const Parcel& p) {
    // Letters and digits only: a number pasted with blanks or dashes still finds its parcel.
    QString number;
    for (const QChar c : p.Sendungsnummer)
        if (c.isLetterOrNumber() && c.unicode() < 128) number += c;
    if (number.isEmpty()) return {};
    for (const Carrier& c : kCarriers)
        if (p.Versanddienst.trimmed().compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(c.page) + number;
    return {};
}

}  // namespace gd
