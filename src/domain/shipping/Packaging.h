#pragma once
// What the parcels went in, for the packaging register (LUCID): each parcel's packaging with its
// material and weight as chosen, and per year the weight of each material in kilograms.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

// The kinds of material the register asks for: § 16 (2) VerpackG, and the other materials
// together (§ 10 (1) sentence 3).
inline constexpr const char* kPackagingMaterials[] = {"Glas",
                                                      "Papier, Pappe, Karton",
                                                      "Eisenmetalle",
                                                      "Aluminium",
                                                      "Kunststoffe",
                                                      "Getränkekartonverpackungen",
                                                      "sonstige Verbundverpackungen",
                                                      "sonstige Materialien"};

struct Packaging {
    QString name, material;
    int gramm = 0;
};

// "Karton S|Papier, Pappe, Karton|180;…" as the options keep the seller's list. An entry with an
// unknown material or no weight is left out and named in `refused`.
QList<Packaging> packagingList(const QString& text, QStringList* refused = nullptr);

// The parcel of a sale went in this packaging; an empty name takes the record away.
Status recordPackaging(const Store& store, const QString& auktionsID, const Packaging& p);
Result<std::optional<Packaging>> packagingOf(const Store& store, const QString& auktionsID);

struct MaterialYear {
    QString material;
    int parcels = 0;
    qint64 gramm = 0;
};
// The year's sales sent (by the day "Versendet" was set) with their packaging, per material in the
// register's order, every material listed.
Result<QList<MaterialYear>> packagingYear(const Store& store, int year);
// "Materialart;Sendungen;kg" with the kilograms to three places (the register's form), Windows-1252.
QByteArray packagingCsv(const QList<MaterialYear>& year);
// "1,234" kg of grams.
QString kgText(qint64 gramm);

}  // namespace gd
