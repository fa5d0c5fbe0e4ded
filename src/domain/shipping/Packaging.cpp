#include "domain/shipping/Packaging.h"

#include "base/CallStack.h"
#include "base/codepage.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"

namespace gd {
namespace {

const QString kRead = QStringLiteral("Die Verpackungen können nicht gelesen werden:");

int materialIndex(const QString& m) {
    for (int i = 0; i < int(std::size(kPackagingMaterials)); ++i)
        if (m.trimmed().compare(QString::fromUtf8(kPackagingMaterials[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

QList<Packaging> packagingList(const QString& text, QStringList* refused) {
    QList<Packaging> out;
    for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = entry.split(QLatin1Char('|'));
        bool number = false;
        const int gramm = f.value(2).trimmed().toInt(&number);
        const int m = materialIndex(f.value(1));
        if (f.size() != 3 || f[0].trimmed().isEmpty() || m < 0 || !number || gramm <= 0) {
            if (refused) *refused << entry.trimmed();
            continue;
        }
        out << Packaging{f[0].trimmed(), QString::fromUtf8(kPackagingMaterials[m]), gramm};
    }
    return out;
}

Status recordPackaging(const Store& store, const QString& auktionsID, const Packaging& p) {
    CALLSTACK_MODULE("modVersand");
    return dbStep(QStringLiteral("Die Verpackung kann nicht gespeichert werden:"), [&]() -> Status {
        Transaction tx(store);
        Database db = tx.database();
        db.execute(QStringLiteral("delete from Pakete where AuktionsID = ? and Standarduser = ?"),
                   {auktionsID, store.user});
        if (!p.name.trimmed().isEmpty())
            db.execute(QStringLiteral("insert into Pakete (AuktionsID, Standarduser, Verpackung, Material, Gramm) "
                                      "values (?, ?, ?, ?, ?)"),
                       {auktionsID, store.user, p.name.trimmed(), p.material, p.gramm});
        tx.commit();
        return {};
    });
}

Result<std::optional<Packaging>> packagingOf(const Store& store, const QString& auktionsID) {
    CALLSTACK_MODULE("modVersand");
    return dbStep(kRead, [&]() -> Result<std::optional<Packaging>> {
        Database db = store.open();
        return db.firstRow(
            QStringLiteral("select Verpackung, Material, Gramm from Pakete where AuktionsID = ? and Standarduser = ?"),
            {auktionsID, store.user}, [](const DbRow& r) {
                return Packaging{r.text(0), r.text(1), int(r.int64(2))};
            });
    });
}

Result<QList<MaterialYear>> packagingYear(const Store& store, int year) {
    CALLSTACK_MODULE("modVersand");
    return dbStep(kRead, [&]() -> Result<QList<MaterialYear>> {
        QList<MaterialYear> out;
        for (const char* m : kPackagingMaterials) out << MaterialYear{QString::fromUtf8(m), 0, 0};
        Database db = store.open();
        QStringList names;
        db.forEachRow(QStringLiteral("select p.Material, count(*), sum(p.Gramm) from Pakete p join Auktionen a on "
                                     "a.AuktionsID = p.AuktionsID and a.Standarduser = p.Standarduser where "
                                     "p.Standarduser = ? and a.Versendet <> 0 and substr(a.VersendetDatum, 1, 4) = ? "
                                     "group by p.Material"),
                      {store.user, QString::number(year)}, names, [&out](const DbRow& r) {
                          const int i = materialIndex(r.text(0));
                          MaterialYear& m = out[i < 0 ? int(out.size()) - 1 : i];
                          m.parcels += int(r.int64(1));
                          m.gramm += r.int64(2);
                      });
        return out;
    });
}

QString kgText(qint64 gramm) {
    return QStringLiteral("%1,%2").arg(gramm / 1000).arg(gramm % 1000, 3, 10, QLatin1Char('0'));
}

QByteArray packagingCsv(const QList<MaterialYear>& year) {
    QString text = QStringLiteral("Materialart;Sendungen;kg\r\n");
    for (const MaterialYear& m : year)
        text += QStringLiteral("%1;%2;%3\r\n").arg(m.material).arg(m.parcels).arg(kgText(m.gramm));
    return win::toAnsi(text);
}

}  // namespace gd
