#include "domain/bank/Invoice.h"

#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/modFunktions.h"
#include "domain/bank/Iban.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Trade.h"
#include "domain/settings/modGlobal.h"

namespace gd {

qint64 Invoice::total() const {
    qint64 sum = Versand + Versicherung;
    for (const InvoiceItem& p : Posten) sum += p.Einzelpreis * p.Menge;
    return sum;
}

Result<QString> saleId(Database& db, const QString& user, const QString& reference) {
    const QString ref = reference.trimmed();
    // Each on its index: an OR of the two would read every trade.
    if (db.exists(QStringLiteral("select 1 from Auktionen where AuktionsID = ? and Standarduser = ?"), {ref, user}))
        return ref;
    Recordset rs = db.OpenRecordset(
        QStringLiteral("select AuktionsID, ebayName, EndeDatum, Betrag from Auktionen where Standarduser = ? and "
                       "AuktionsNr = ? order by EndeDatum, AuktionsID"),
        {user, ref});
    QStringList candidates;
    QString only;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        only = rs.text(QStringLiteral("AuktionsID"));
        candidates << QStringLiteral("an %1, Ende %2, %3 (Auktions-ID %4)")
                          .arg(rs.text(QStringLiteral("ebayName")),
                               rs.date(QStringLiteral("EndeDatum")).toString(QStringLiteral("dd.MM.yyyy")),
                               rs.text(QStringLiteral("Betrag")), only);
    }
    if (candidates.isEmpty())
        return Error::plain(QStringLiteral("Eine Auktion mit der Nummer '%1' gibt es nicht.").arg(ref));
    if (candidates.size() == 1) return only;
    return Error::plain(
        QStringLiteral("Die Auktionsnummer '%1' gehört zu %2 Auktionen: %3. Geben Sie statt der Nummer die "
                       "Auktions-ID an.")
            .arg(ref)
            .arg(candidates.size())
            .arg(candidates.join(QStringLiteral("; "))));
}

Result<Invoice> invoiceFor(const Store& store, const QString& auktionsNr, const QDate& on) {
    CALLSTACK_MODULE("modBank");
    return dbStep(QStringLiteral("Die Rechnung kann nicht erstellt werden:"), [&]() -> Result<Invoice> {
        Database db = store.open();
        const Result<QString> id = saleId(db, store.user, auktionsNr);
        if (!id.ok()) return id.error();
        const QString columns = QStringLiteral(
            "select a.AuktionsID, a.AuktionsNr, a.Titel, a.Preis, a.Menge, a.Versandkosten, a.Versandversicherung, "
            "a.GruppenID, "
            "a.EndeDatum, a.Versendet, a.VersendetDatum, "
            "a.ebayName, k.Name, k.Strasse, k.Ort, k.Land, k.Kunde, ifnull(s.Satz, 0) as Satz, "
            "ifnull(f.Firma, '') as Firma, ifnull(f.UStIdNr, '') as UStIdNr from Auktionen a join Kunden k on "
            "k.ebayName = a.ebayName and k.Standarduser = a.Standarduser left join Steuersaetze s on s.AuktionsNr = "
            "a.AuktionsNr and s.Standarduser = a.Standarduser left join Firmen f on f.ebayName = a.ebayName and "
            "f.Standarduser = a.Standarduser where a.Standarduser = ? ");
        Recordset rs = db.OpenRecordset(columns + QStringLiteral("and a.AuktionsID = ?"), {store.user, id.value()});
        if (rs.RecordCount() < 1)
            return Error::plain(
                QStringLiteral("Eine Auktion mit der Nummer '%1' gibt es nicht.").arg(auktionsNr.trimmed()));
        rs.MoveFirst();
        if (rs.value(QStringLiteral("Kunde")).toLongLong() == 0)
            return Error::plain(
                QStringLiteral("Die Auktion %1 ist ein Kauf; eine Rechnung schreibt der Verkäufer.").arg(auktionsNr));
        Invoice inv;
        inv.Nummer = rs.text(QStringLiteral("AuktionsNr"));
        inv.Datum = on;
        inv.Verkaeufer = gsKontoinhaber.trimmed().isEmpty() ? store.user : gsKontoinhaber.trimmed();
        for (const QString& part : gsAnschrift.split(QLatin1Char(','), Qt::SkipEmptyParts))
            inv.VerkaeuferAnschrift << part.trimmed();
        inv.VerkaeuferEmail = gsAbsender.trimmed();
        inv.Mitgliedsname = rs.text(QStringLiteral("ebayName"));
        QStringList missing;
        for (const char* c : {"Name", "Strasse", "Ort", "Land"}) {
            const QString part = rs.text(QString::fromLatin1(c)).trimmed();
            if (!part.isEmpty())
                inv.Kaeufer << part;
            else if (qstrcmp(c, "Land") != 0)
                missing << (qstrcmp(c, "Strasse") == 0 ? QStringLiteral("Straße") : QString::fromLatin1(c));
        }
        inv.KaeuferFirma = rs.text(QStringLiteral("Firma")).trimmed();
        inv.KaeuferUstId = rs.text(QStringLiteral("UStIdNr")).trimmed();
        const QString group = rs.text(QStringLiteral("GruppenID")).trimmed();
        Recordset items =
            group.isEmpty()
                ? db.OpenRecordset(columns + QStringLiteral("and a.AuktionsID = ?"), {store.user, id.value()})
                : db.OpenRecordset(columns + QStringLiteral("and a.GruppenID = ? order by a.EndeDatum"),
                                   {store.user, group});
        QStringList numbers;
        for (items.MoveFirst(); !items.isEOF(); items.MoveNext()) {
            bool whole = false;
            const int menge = items.text(QStringLiteral("Menge")).trimmed().toInt(&whole);
            inv.Posten << InvoiceItem{items.text(QStringLiteral("AuktionsNr")),
                                      items.text(QStringLiteral("Titel")),
                                      whole && menge > 0 && menge <= kMostQuantity ? menge : 1,
                                      centsOr0(items.text(QStringLiteral("Preis"))),
                                      items.value(QStringLiteral("Satz")).toInt(),
                                      items.text(QStringLiteral("AuktionsID"))};
            // Each sale's shipping and insurance, as the list sums the stored totals.
            inv.Versand += centsOr0(items.text(QStringLiteral("Versandkosten")));
            inv.Versicherung += centsOr0(items.text(QStringLiteral("Versandversicherung")));
            numbers << items.text(QStringLiteral("AuktionsNr"));
            // The date of delivery: the latest shipment, else the latest end of the group.
            const QDateTime delivered = items.value(QStringLiteral("Versendet")).toLongLong() != 0
                                            ? items.date(QStringLiteral("VersendetDatum"))
                                            : items.date(QStringLiteral("EndeDatum"));
            if (delivered.isValid() && delivered.date().year() > 1900 &&
                (!inv.Lieferdatum.isValid() || delivered.date() > inv.Lieferdatum))
                inv.Lieferdatum = delivered.date();
        }
        inv.Kleinunternehmer = gbKleinunternehmer;
        inv.Steuerart = gSettings.Steuerart.trimmed();
        inv.Steuernummer = gSettings.Steuernummer.trimmed();
        inv.UstId = gSettings.UstId.trimmed();
        inv.Iban = ibanValid(gsIBAN) ? groupedIban(gsIBAN) : QString();
        inv.Bic = compactIban(gsBIC);
        inv.Bank = gsBank.trimmed();
        inv.Verwendungszweck = numbers.join(QStringLiteral(", ")) + QLatin1Char(' ') + inv.Mitgliedsname;
        inv.ERechnung = !inv.KaeuferFirma.isEmpty() || gSettings.ERechnungFuerAlle;
        if (inv.total() > kShortInvoiceLimit) inv.AnschriftFehlt = missing;
        return inv;
    });
}

TaxMode taxMode(const Invoice& inv) {
    if (inv.Kleinunternehmer) return TaxMode::SmallBusiness;
    if (inv.Steuerart == QStringLiteral("25a")) return TaxMode::Margin;
    if (inv.Steuerart == QStringLiteral("19") || inv.Steuerart == QStringLiteral("7")) return TaxMode::Standard;
    return TaxMode::None;
}

int taxRate(const Invoice& inv) { return taxMode(inv) == TaxMode::Standard ? inv.Steuerart.toInt() : 0; }

int itemRate(const Invoice& inv, const InvoiceItem& it) {
    if (taxMode(inv) != TaxMode::Standard) return 0;
    return it.Steuersatz > 0 ? it.Steuersatz : taxRate(inv);
}

QList<TaxLine> taxLines(const Invoice& inv) {
    QList<TaxLine> lines;
    const auto lineOf = [&](int rate) -> TaxLine& {
        for (TaxLine& l : lines)
            if (l.rate == rate) return l;
        lines << TaxLine{rate};
        return lines.last();
    };
    for (const InvoiceItem& it : inv.Posten) lineOf(itemRate(inv, it)).goods += it.Einzelpreis * it.Menge;
    if (lines.isEmpty()) lineOf(taxRate(inv));
    std::sort(lines.begin(), lines.end(), [](const TaxLine& a, const TaxLine& b) { return a.rate > b.rate; });
    // Shared by the goods' prices; what the division leaves goes to the last rate, so the
    // shares add up to the cent (a cancellation's negative amounts the same, mirrored).
    qint64 goods = 0;
    for (const TaxLine& l : lines) goods += l.goods;
    const auto share = [&](qint64 amount, qint64 TaxLine::*field) {
        qint64 given = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qint64 part = i + 1 == lines.size() ? amount - given
                                : goods == 0          ? (i == 0 ? amount : 0)
                                                      : amount * lines[i].goods / goods;
            lines[i].*field = part;
            given += part;
        }
    };
    share(inv.Versand, &TaxLine::shipping);
    share(inv.Versicherung, &TaxLine::insurance);
    return lines;
}

QString missingAddressText(const Invoice& inv) {
    return QStringLiteral(
               "Eine Rechnung über 250 € braucht die vollständige Anschrift des Käufers (§ 33 UStDV). Beim "
               "Käufer %1 fehlt: %2. Bitte tragen Sie sie ein und erstellen Sie die Rechnung dann.")
        .arg(inv.Mitgliedsname, inv.AnschriftFehlt.join(QStringLiteral(", ")));
}

TaxSplit splitGross(qint64 gross, int rate) {
    if (rate <= 0) return {gross, 0};
    const qint64 sign = gross < 0 ? -1 : 1, g = gross * sign;
    const auto roundDiv = [](qint64 a, qint64 b) { return (2 * a + b) / (2 * b); };
    const qint64 first = roundDiv(g * 100, 100 + rate);
    for (const qint64 d : {0, -1, 1, -2, 2}) {
        const qint64 net = first + d;
        if (net >= 0 && net + roundDiv(net * rate, 100) == g) return {sign * net, sign * (g - net)};
    }
    return {sign * first, sign * (g - first)};  // no net fits to the cent: the tax takes the cent
}

}  // namespace gd
