#include "domain/import/OrderReport.h"

#include <QRegularExpression>
#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "domain/bank/Csv.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/import/Accept.h"
#include "domain/trade/LoadSave.h"
#include "domain/trade/TaxData.h"

namespace gd {
namespace {

bool sameText(const QString& a, const QString& b) {
    return a.simplified().compare(b.simplified(), Qt::CaseInsensitive) == 0;
}

}  // namespace

Result<OrderReport> parseOrderReport(const QByteArray& bytes, const QList<FileProfile>& profiles,
                                     const QString& mainPlatform) {
    const Result<QString> table = decodedTable(bytes);
    if (!table.ok()) return table.error();
    const ProfileMatch m = recogniseProfile(table.value(), profiles, QStringLiteral("Bestellungen"));
    if (!m.profile)
        return Error::plain(
            QStringLiteral("Kein Profil in Dateiformate.ini erkennt die Datei als Bestellbericht. "
                           "„Aktionen → Dateiformat prüfen…“ zeigt ihre Spalten."));
    const FileProfile& p = *m.profile;
    const QStringList& header = m.records[m.header].fields;
    const auto col = [&](const char* role) { return roleColumn(p, QString::fromLatin1(role), header); };
    const int order = col("Bestellnummer"), item = col("Artikelnummer"), member = col("Kaeufer"), name = col("Name"),
              street = col("Strasse"), postcode = col("PLZ"), town = col("Ort"), country = col("Land"),
              email = col("Email"), title = col("Titel"), price = col("Preis"), quantity = col("Menge"),
              shipping = col("Versand"), day = col("Datum");
    if (order < 0 || item < 0 || (member < 0 && name < 0))
        return Error::plain(QStringLiteral("Das Profil „%1“ erkennt die Datei, aber Bestellnummer, Artikelnummer "
                                           "oder Käufer fehlen.")
                                .arg(p.name));
    OrderReport out;
    out.profile = p.name;
    out.mainPlatform = mainPlatform;
    out.platform = p.spalten.value(QStringLiteral("Plattform"), mainPlatform).trimmed();
    static const QRegularExpression plain(QStringLiteral("^[0-9A-Za-z][0-9A-Za-z_-]{0,39}$"));
    for (qsizetype i = m.header + 1; i < m.records.size(); ++i) {
        const CsvRecord& rec = m.records[i];
        const auto at = [&](int c) { return c >= 0 ? rec.fields.value(c).simplified() : QString(); };
        const auto skip = [&](const QString& why) {
            out.notRead << BankStatement::Skipped{rec.line, at(price).left(64), at(name).left(64), why,
                                                  at(order).left(64)};
        };
        if (rec.openQuote > 0) {
            skip(QStringLiteral("Anführungszeichen nicht geschlossen, der Rest der Datei ist nicht gelesen"));
            break;
        }
        OrderLine l;
        l.line = rec.line;
        l.orderNr = at(order).remove(QLatin1Char(' '));
        l.itemNr = at(item);
        // Cells a spreadsheet would run as formulas are no numbers and no names.
        if (!plain.match(l.itemNr).hasMatch() || !plain.match(l.orderNr).hasMatch()) {
            skip(QStringLiteral("Bestell- oder Artikelnummer „%1“ ist keine").arg(at(item).left(40)));
            continue;
        }
        l.member = at(member);
        l.name = at(name);
        l.street = at(street);
        l.town = QString(at(postcode) + QLatin1Char(' ') + at(town)).trimmed();
        l.country = at(country);
        l.email = at(email);
        l.title = at(title);
        l.price = at(price);
        l.quantity = at(quantity);
        l.shipping = at(shipping);
        const QDate d = germanDate(at(day));
        l.day = d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString();
        const QStringList texts{l.member, l.name, l.street, l.town, l.email, l.title};
        if (std::any_of(texts.begin(), texts.end(), [](const QString& f) {
                return f.startsWith(QLatin1Char('=')) || f.startsWith(QLatin1Char('@'));
            })) {
            skip(QStringLiteral("ein Feld beginnt wie eine Tabellenformel"));
            continue;
        }
        if (l.member.isEmpty()) l.member = l.name;
        out.orders << l;
    }
    return out;
}

Result<OrderOutcome> applyOrderReport(const Store& store, const OrderReport& report) {
    CALLSTACK();
    OrderOutcome out;
    return dbStep(QStringLiteral("Der Bestellbericht kann nicht gespeichert werden:"), [&]() -> Result<OrderOutcome> {
        // All of it or nothing: a report half applied would be read again differently.
        Transaction tx(store);
        Database db = tx.database();
        const Store in = store.within(tx);
        for (const OrderLine& l : report.orders) {
            const Params key{store.user, report.platform, l.orderNr, l.itemNr};
            if (db.exists(QStringLiteral("select 1 from Bestellungen where Standarduser = ? and Plattform = ? and "
                                         "Bestellnummer = ? and AuktionsNr = ?"),
                          key)) {
                ++out.known;
                continue;
            }
            const std::optional<QString> buyer =
                db.firstRow(QStringLiteral("select ebayName from Auktionen where AuktionsNr = ? and Standarduser = ?"),
                            {l.itemNr, store.user}, [](const DbRow& r) { return r.text(0); });
            if (!buyer) {
                // An order whose mail never came: stored as an import would store it.
                ImportRecords r;
                r.oKunde.ebayName = l.member;
                r.oKunde.Name = l.name;
                r.oKunde.Strasse = l.street;
                r.oKunde.Ort = l.town;
                r.oKunde.Land = l.country;
                r.oKunde.Email = l.email;
                r.oKunde.Kunde = true;
                r.oAuktion.AuktionsNr = l.itemNr;
                r.oAuktion.Titel = l.title;
                r.oAuktion.EndeDatum = l.day;
                r.oAuktion.Preis = l.price;
                r.oAuktion.Menge = l.quantity.isEmpty() ? QStringLiteral("1") : l.quantity;
                r.oAuktion.Versandkosten = l.shipping;
                bool whole = false;
                const int n = r.oAuktion.Menge.toInt(&whole);
                r.oAuktion.Betrag = centsText(centsOr0(l.price) * (whole && n > 0 && n <= kMostQuantity ? n : 1) +
                                              centsOr0(l.shipping));
                r.sektion = report.platform == report.mainPlatform ? QStringLiteral("Verkauf")
                                                                   : QStringLiteral("Verkauf ") + report.platform;
                r.plattform = report.platform;
                // The limits a mail's import keeps: no negative price, no amount beyond any trade's.
                if (const QStringList bad = implausibleFields(r); !bad.isEmpty()) {
                    out.refused << QStringLiteral("Zeile %1, Artikel %2: %3").arg(l.line).arg(l.itemNr, bad.join(u' '));
                    continue;
                }
                const Result<Stored> stored = acceptImport(in, r, ImportChoices{});
                if (!stored.ok()) return stored.error();
                ++out.created;
            } else {
                const Result<std::optional<tKunde>> found = funLoadKunde(in, *buyer);
                if (!found.ok()) return found.error();
                tKunde k = found.value().value_or(tKunde());
                int filled = 0;
                const auto take = [&](QString& stored, const QString& reported, const char* field) {
                    if (reported.isEmpty() || sameText(stored, reported)) return;
                    if (stored.trimmed().isEmpty()) {
                        stored = reported;
                        ++filled;
                    } else {
                        out.differs << QStringLiteral("%1 %2: gespeichert „%3“, im Bericht „%4“")
                                           .arg(l.itemNr, QString::fromUtf8(field), stored.simplified(), reported);
                    }
                };
                if (found.value()) {
                    take(k.Name, l.name, "Name");
                    take(k.Strasse, l.street, "Straße");
                    take(k.Ort, l.town, "Ort");
                    take(k.Land, l.country, "Land");
                    take(k.Email, l.email, "E-Mail");
                    if (filled > 0) {
                        const Result<QString> saved = funSaveLieferantupdate(in, k, l.itemNr);
                        if (!saved.ok()) return saved.error();
                        out.filled += filled;
                    }
                }
            }
            db.execute(QStringLiteral("insert into Bestellungen (Standarduser, Plattform, Bestellnummer, AuktionsNr) "
                                      "values (?, ?, ?, ?) on conflict do nothing"),
                       key);
        }
        tx.commit();
        return out;
    });
}

QStringList orderOutcomeLines(const OrderReport& report, const OrderOutcome& done) {
    QStringList out{QStringLiteral("%1: %2 Geschäfte neu angelegt, %3 leere Angaben ergänzt, %4 Bestellungen schon "
                                   "früher gelesen.")
                        .arg(report.profile)
                        .arg(done.created)
                        .arg(done.filled)
                        .arg(done.known)};
    for (const QString& d : done.differs) out << QStringLiteral("abweichend, nicht übernommen: ") + d;
    for (const QString& r : done.refused) out << QStringLiteral("nicht angelegt: ") + r;
    for (const BankStatement::Skipped& s : report.notRead)
        out << QStringLiteral("Zeile %1 nicht gelesen: %2").arg(s.Zeile).arg(s.Grund);
    return out;
}

}  // namespace gd
