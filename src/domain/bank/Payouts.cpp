#include "domain/bank/Payouts.h"

#include <QRegularExpression>

#include "base/CallStack.h"
#include "base/Words.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"

namespace gd {
namespace {

QString shortDay(const QDate& d) { return d.toString(QStringLiteral("dd.MM.")); }

}  // namespace

bool namesId(const QString& zweck, const QString& id) {
    const auto part = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'); };
    for (qsizetype at = zweck.indexOf(id, 0, Qt::CaseInsensitive); at >= 0;
         at = zweck.indexOf(id, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + id.size();
        if ((at == 0 || !part(zweck[at - 1])) && (end == zweck.size() || !part(zweck[end]))) return true;
    }
    return false;
}

Result<PayoutReport> parsePayoutReport(const QByteArray& bytes, const QList<FileProfile>& profiles) {
    const Result<QString> table = decodedTable(bytes);
    if (!table.ok()) return table.error();
    const ProfileMatch m = recogniseProfile(table.value(), profiles, QStringLiteral("Auszahlung"));
    if (!m.profile)
        return Error::plain(
            QStringLiteral("Kein Profil in Dateiformate.ini erkennt die Datei als Auszahlungsbericht. "
                           "„Aktionen → Dateiformat prüfen…“ zeigt ihre Spalten."));
    const FileProfile& p = *m.profile;
    const QStringList& header = m.records[m.header].fields;
    const auto col = [&](const char* role) { return roleColumn(p, QString::fromLatin1(role), header); };
    const int type = col("Typ"), item = col("Artikelnummer"), order = col("Bestellnummer"), buyer = col("Kaeufer"),
              gross = col("Brutto"), id = col("AuszahlungsID"), day = col("Auszahlungsdatum"),
              paid = col("Zahlungsdatum");
    QList<int> fees;
    for (const QString& h : p.headings(QStringLiteral("Gebuehren")))
        if (const int c = column(header, {h}); c >= 0) fees << c;
    QStringList missing;
    for (const auto& [c, role] : {std::pair(item, "Artikelnummer"), std::pair(gross, "Brutto"),
                                  std::pair(id, "AuszahlungsID"), std::pair(day, "Auszahlungsdatum")})
        if (c < 0) missing << QString::fromLatin1(role);
    if (!missing.isEmpty())
        return Error::plain(QStringLiteral("Das Profil „%1“ erkennt die Datei, aber die Spalten für %2 fehlen.")
                                .arg(p.name, missing.join(QStringLiteral(", "))));
    const QStringList saleTypes =
        p.spalten.value(QStringLiteral("Verkaufstyp")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    PayoutReport out;
    out.profile = p.name;
    for (qsizetype i = m.header + 1; i < m.records.size(); ++i) {
        const CsvRecord& rec = m.records[i];
        const auto at = [&](int c) { return c >= 0 ? rec.fields.value(c).simplified() : QString(); };
        const auto skip = [&](const QString& why) {
            out.notRead << BankStatement::Skipped{rec.line, at(gross).left(64), at(buyer).left(64), why,
                                                  at(id).left(64)};
        };
        if (rec.openQuote > 0) {
            skip(QStringLiteral("Anführungszeichen nicht geschlossen, der Rest der Datei ist nicht gelesen"));
            break;
        }
        if (type >= 0 && !saleTypes.isEmpty() &&
            std::none_of(saleTypes.begin(), saleTypes.end(),
                         [&](const QString& t) { return at(type).compare(t.trimmed(), Qt::CaseInsensitive) == 0; })) {
            ++out.otherRows;
            continue;
        }
        PayoutLine l;
        l.line = rec.line;
        l.itemNr = at(item);
        l.orderNr = at(order);
        l.buyer = at(buyer);
        l.payoutId = at(id);
        l.payoutDate = germanDate(at(day));
        l.paidDate = paid >= 0 ? germanDate(at(paid)) : QDate();
        if (!l.paidDate.isValid()) l.paidDate = l.payoutDate;
        // A cell a spreadsheet would run as a formula is no item number.
        static const QRegularExpression plain(QStringLiteral("^[0-9A-Za-z][0-9A-Za-z_-]{0,39}$"));
        if (!plain.match(l.itemNr).hasMatch()) {
            skip(QStringLiteral("Artikelnummer „%1“ ist keine").arg(l.itemNr.left(40)));
            continue;
        }
        if (l.payoutId.isEmpty() || !l.payoutDate.isValid()) {
            ++out.otherRows;  // not paid out yet: a later report brings it
            continue;
        }
        const Result<qint64> g = amountCents(at(gross));
        if (!g.ok()) {
            skip(g.error().sentence);
            continue;
        }
        l.gross = g.value();
        bool feesOk = true;
        for (const int c : fees) {
            if (at(c).isEmpty()) continue;
            const Result<qint64> f = amountCents(at(c));
            if (!f.ok()) {
                skip(f.error().sentence);
                feesOk = false;
                break;
            }
            l.fees += f.value() < 0 ? -f.value() : f.value();  // reports write fees with either sign
        }
        if (feesOk) out.sales << l;
    }
    return out;
}

QString payoutText(const PayoutSummary& p) {
    QString text = QStringLiteral("Auszahlung %1: %2, %3 brutto, %4 Gebühren, %5 ausgezahlt")
                       .arg(shortDay(p.date), counted(p.sales, QStringLiteral("Verkauf"), QStringLiteral("Verkäufe")),
                            euroText(p.gross), euroText(p.fees), euroText(p.net()));
    return text + (p.credited.isValid() ? QStringLiteral(" \u2014 auf dem Konto am %1").arg(shortDay(p.credited))
                                        : QStringLiteral(" \u2014 noch nicht auf dem Konto gesehen"));
}

QString payoutOutcomeText(const PayoutOutcome& o) {
    return QStringLiteral("%1 als bezahlt markiert, %2 %3 es schon, %4 schon früher gelesen.")
        .arg(counted(o.paid, QStringLiteral("Verkauf"), QStringLiteral("Verkäufe")))
        .arg(o.alreadyPaid)
        .arg(o.alreadyPaid == 1 ? QStringLiteral("war") : QStringLiteral("waren"),
             counted(o.known, QStringLiteral("Zeile"), QStringLiteral("Zeilen")));
}

Result<PayoutOutcome> applyPayoutReport(const Store& store, const PayoutReport& report) {
    CALLSTACK_MODULE("modBank");
    return dbStep(
        QStringLiteral("Der Auszahlungsbericht kann nicht gespeichert werden:"), [&]() -> Result<PayoutOutcome> {
            // All of it or nothing: a report half applied would be read again differently.
            Transaction tx(store);
            Database db = tx.database();
            PayoutOutcome out;
            for (const PayoutLine& l : report.sales) {
                if (db.exists(QStringLiteral("select 1 from AuszahlungsPosten where Standarduser = ? and "
                                             "AuszahlungsID = ? and AuktionsNr = ? and Bestellnummer = ?"),
                              {store.user, l.payoutId, l.itemNr, l.orderNr})) {
                    ++out.known;
                    continue;
                }
                const auto refuse = [&out, &l](const QString& why) {
                    out.refused << QStringLiteral("Zeile %1, Artikel %2: %3").arg(l.line).arg(l.itemNr, why);
                };
                // A line that cannot be a buyer's payment pays nothing and is not kept.
                if (l.gross <= 0) {
                    refuse(QStringLiteral("Brutto %1 ist keine Zahlung").arg(euroText(l.gross)));
                    continue;
                }
                if (l.fees < 0 || l.fees > l.gross) {
                    refuse(QStringLiteral("Gebühr %1 liegt nicht zwischen 0 und dem Brutto %2")
                               .arg(euroText(l.fees), euroText(l.gross)));
                    continue;
                }
                const std::optional<QString> sale =
                    db.firstRow(QStringLiteral("select a.AuktionsID from Auktionen a join Kunden k on k.ebayName = "
                                               "a.ebayName and k.Standarduser = a.Standarduser where a.AuktionsNr = ? "
                                               "and a.Standarduser = ? and k.Kunde <> 0 order by a.EndeDatum desc"),
                                {l.itemNr, store.user}, [](const DbRow& r) { return r.text(0); });
                QString why;
                if (sale) {
                    why = journal::applyPayoutLine(db, store.user, *sale, l.payoutId, l.paidDate, l.gross, l.fees);
                    if (why == QLatin1String("schon bezahlt")) {
                        ++out.alreadyPaid;
                    } else if (!why.isEmpty()) {
                        refuse(why);
                        continue;
                    } else {
                        ++out.paid;
                    }
                }
                // Kept: read again, it is known; for a sale not yet here, it waits for the sale's mail.
                db.execute(
                    QStringLiteral("insert into Auszahlungen (Standarduser, ID, Datum) select ?, ?, ? where not exists "
                                   "(select 1 from Auszahlungen where Standarduser = ? and ID = ?)"),
                    {store.user, l.payoutId, l.payoutDate.toString(Qt::ISODate), store.user, l.payoutId});
                db.execute(
                    QStringLiteral("insert into AuszahlungsPosten (Standarduser, AuszahlungsID, AuktionsNr, "
                                   "Bestellnummer, Brutto, Gebuehren, Zahlungsdatum) values (?, ?, ?, ?, ?, ?, ?)"),
                    {store.user, l.payoutId, l.itemNr, l.orderNr, l.gross, l.fees, l.paidDate.toString(Qt::ISODate)});
                if (!sale) out.unknown << l.itemNr;
            }
            tx.commit();
            return out;
        });
}

Result<QList<PayoutSummary>> payoutSummaries(const Store& store) {
    CALLSTACK_MODULE("modBank");
    return dbStep(
        QStringLiteral("Die Auszahlungen können nicht gelesen werden:"), [&]() -> Result<QList<PayoutSummary>> {
            Database db = store.open();
            return db.allRows(
                QStringLiteral("select z.ID, z.Datum, z.Gutschrift, count(p.AuktionsNr), coalesce(sum(p.Brutto), 0), "
                               "coalesce(sum(p.Gebuehren), 0) from Auszahlungen z left join AuszahlungsPosten p on "
                               "p.Standarduser = z.Standarduser and p.AuszahlungsID = z.ID where z.Standarduser = ? "
                               "group by z.ID, z.Datum, z.Gutschrift order by z.Datum desc, z.ID"),
                {store.user}, [](const DbRow& r) {
                    return PayoutSummary{r.text(0),
                                         QDate::fromString(r.text(1), Qt::ISODate),
                                         QDate::fromString(r.text(2), Qt::ISODate),
                                         r.integer(3),
                                         r.int64(4),
                                         r.int64(5)};
                });
        });
}

Result<QList<PayoutSummary>> linkPayouts(const Store& store, const QList<Credit>& credits, QStringList* unmatched) {
    CALLSTACK_MODULE("modBank");
    const Result<QList<PayoutSummary>> all = payoutSummaries(store);
    if (!all.ok()) return all.error();
    return dbStep(
        QStringLiteral("Die Auszahlungen können nicht zugeordnet werden:"), [&]() -> Result<QList<PayoutSummary>> {
            QList<PayoutSummary> linked;
            QList<bool> used(credits.size(), false);
            for (PayoutSummary p : all.value()) {
                for (qsizetype i = 0; i < credits.size(); ++i) {
                    const Credit& c = credits[i];
                    if (used[i] || c.Cent != p.net() || !namesId(c.Zweck, p.id)) continue;
                    used[i] = true;
                    if (!p.credited.isValid()) {
                        p.credited = c.Buchungstag;
                        linked << p;
                    }
                    break;
                }
            }
            // Written only when there is something to link: most statements carry no payout.
            if (!linked.isEmpty()) {
                Transaction tx(store);
                Database db = tx.database();
                for (const PayoutSummary& p : linked)
                    db.execute(
                        QStringLiteral("update Auszahlungen set Gutschrift = ? where Standarduser = ? and ID = ? and "
                                       "Gutschrift = ''"),
                        {p.credited.toString(Qt::ISODate), store.user, p.id});
                tx.commit();
            }
            if (unmatched)
                for (qsizetype i = 0; i < credits.size(); ++i)
                    if (!used[i] && credits[i].Zweck.contains(QStringLiteral("Auszahlung"), Qt::CaseInsensitive))
                        *unmatched << QStringLiteral("%1 %2 „%3“")
                                          .arg(credits[i].Buchungstag.toString(QStringLiteral("dd.MM.yyyy")),
                                               euroText(credits[i].Cent), credits[i].Zweck.left(60));
            return linked;
        });
}

}  // namespace gd
