#include "domain/invoice/Invoice.h"

#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/modFunktions.h"
#include "domain/bank/Iban.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/trade/Trade.h"

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
    QStringList candidates;
    QString only;
    QStringList names;
    db.forEachRow(QStringLiteral("select AuktionsID, ebayName, EndeDatum, Betrag from Auktionen where Standarduser = ? "
                                 "and AuktionsNr = ? order by EndeDatum, AuktionsID"),
                  {user, ref}, names, [&](const DbRow& r) {
                      only = r.text(0);
                      candidates << QStringLiteral("an %1, Ende %2, %3 (Auktions-ID %4)")
                                        .arg(r.text(1), r.date(2).toString(QStringLiteral("dd.MM.yyyy")), r.text(3),
                                             only);
                  });
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

InvoiceProfile invoiceProfile(const Settings& s) {
    InvoiceProfile p;
    p.member = s.StandardUser;
    p.holder = s.Kontoinhaber;
    p.address = s.Anschrift;
    p.email = s.Absender;
    p.iban = s.IBAN;
    p.bic = s.BIC;
    p.bank = s.Bank;
    p.kleinunternehmer = s.Kleinunternehmer;
    p.steuerart = s.Steuerart;
    p.steuernummer = s.Steuernummer;
    p.ustId = s.UstId;
    p.eInvoiceForAll = s.ERechnungFuerAlle;
    p.smallBusinessLimitsText = s.GrenzeKleinunternehmer;
    return p;
}

namespace {

// A sale of the invoice with its buyer, as invoiceFor reads it.
struct SaleLine {
    QString auktionsID, auktionsNr, titel, gruppenID, ebayName;
    qint64 preis = 0, versand = 0, versicherung = 0;
    int menge = 1, satz = 0;
    QDateTime ende, versendet;
    bool shipped = false;
    QStringList kaeufer;  // name, street, town, country as stored (empty ones too)
    bool kunde = false;
    QString firma, ustIdNr;
};

const char* const kSaleLines =
    "select a.AuktionsID, a.AuktionsNr, a.Titel, a.Preis, a.Menge, a.Versandkosten, a.Versandversicherung, "
    "a.GruppenID, a.EndeDatum, a.Versendet, a.VersendetDatum, a.ebayName, k.Name, k.Strasse, k.Ort, k.Land, k.Kunde, "
    "coalesce(s.Satz, 0), coalesce(f.Firma, ''), coalesce(f.UStIdNr, '') from Auktionen a join Kunden k on k.ebayName "
    "= "
    "a.ebayName and k.Standarduser = a.Standarduser left join Steuersaetze s on s.AuktionsNr = a.AuktionsNr and "
    "s.Standarduser = a.Standarduser left join Firmen f on f.ebayName = a.ebayName and f.Standarduser = "
    "a.Standarduser where a.Standarduser = ? ";

QList<SaleLine> saleLines(Database& db, const QString& where, const Params& params) {
    QList<SaleLine> out;
    QStringList names;
    db.forEachRow(QLatin1String(kSaleLines) + where, params, names, [&out](const DbRow& r) {
        SaleLine l;
        l.auktionsID = r.text(0);
        l.auktionsNr = r.text(1);
        l.titel = r.text(2);
        l.preis = centsOr0(r.text(3));
        bool whole = false;
        const int menge = r.text(4).trimmed().toInt(&whole);
        l.menge = whole && menge > 0 && menge <= kMostQuantity ? menge : 1;
        l.versand = centsOr0(r.text(5));
        l.versicherung = centsOr0(r.text(6));
        l.gruppenID = r.text(7).trimmed();
        l.ende = r.date(8);
        l.shipped = r.int64(9) != 0;
        l.versendet = r.date(10);
        l.ebayName = r.text(11);
        l.kaeufer = {r.text(12), r.text(13), r.text(14), r.text(15)};
        l.kunde = r.int64(16) != 0;
        l.satz = r.integer(17);
        l.firma = r.text(18).trimmed();
        l.ustIdNr = r.text(19).trimmed();
        out << l;
    });
    return out;
}

}  // namespace

Result<Invoice> invoiceFor(const Store& store, const InvoiceProfile& seller, const QString& auktionsNr,
                           const QDate& on) {
    CALLSTACK_MODULE("modBank");
    return dbStep(QStringLiteral("Die Rechnung kann nicht erstellt werden:"), [&]() -> Result<Invoice> {
        Database db = store.open();
        const Result<QString> id = saleId(db, store.user, auktionsNr);
        if (!id.ok()) return id.error();
        const QList<SaleLine> sale = saleLines(db, QStringLiteral("and a.AuktionsID = ?"), {store.user, id.value()});
        if (sale.isEmpty())
            return Error::plain(
                QStringLiteral("Eine Auktion mit der Nummer '%1' gibt es nicht.").arg(auktionsNr.trimmed()));
        const SaleLine& first = sale.first();
        if (!first.kunde)
            return Error::plain(
                QStringLiteral("Die Auktion %1 ist ein Kauf; eine Rechnung schreibt der Verkäufer.").arg(auktionsNr));
        Invoice inv;
        inv.Nummer = first.auktionsNr;
        inv.Datum = on;
        inv.Verkaeufer = seller.holder.trimmed().isEmpty() ? store.user : seller.holder.trimmed();
        for (const QString& part : seller.address.split(QLatin1Char(','), Qt::SkipEmptyParts))
            inv.VerkaeuferAnschrift << part.trimmed();
        inv.VerkaeuferEmail = seller.email.trimmed();
        inv.Mitgliedsname = first.ebayName;
        QStringList missing;
        static const char* const kParts[] = {"Name", "Straße", "Ort", "Land"};
        for (qsizetype i = 0; i < first.kaeufer.size(); ++i) {
            const QString part = first.kaeufer[i].trimmed();
            if (!part.isEmpty())
                inv.Kaeufer << part;
            else if (i != 3)
                missing << QString::fromUtf8(kParts[i]);
        }
        inv.KaeuferFirma = first.firma;
        inv.KaeuferUstId = first.ustIdNr;
        const QList<SaleLine> items = first.gruppenID.isEmpty()
                                          ? sale
                                          : saleLines(db, QStringLiteral("and a.GruppenID = ? order by a.EndeDatum"),
                                                      {store.user, first.gruppenID});
        QStringList numbers;
        for (const SaleLine& it : items) {
            inv.Posten << InvoiceItem{it.auktionsNr, it.titel, it.menge, it.preis, it.satz, it.auktionsID};
            // Each sale's shipping and insurance, as the list sums the stored totals.
            inv.Versand += it.versand;
            inv.Versicherung += it.versicherung;
            numbers << it.auktionsNr;
            // The date of delivery: the latest shipment, else the latest end of the group.
            const QDateTime delivered = it.shipped ? it.versendet : it.ende;
            if (delivered.isValid() && delivered.date().year() > 1900 &&
                (!inv.Lieferdatum.isValid() || delivered.date() > inv.Lieferdatum))
                inv.Lieferdatum = delivered.date();
        }
        inv.Kleinunternehmer = seller.kleinunternehmer;
        inv.Steuerart = seller.steuerart.trimmed();
        inv.Steuernummer = seller.steuernummer.trimmed();
        inv.UstId = seller.ustId.trimmed();
        inv.Iban = ibanValid(seller.iban) ? groupedIban(seller.iban) : QString();
        inv.Bic = compactIban(seller.bic);
        inv.Bank = seller.bank.trimmed();
        inv.Verwendungszweck = numbers.join(QStringLiteral(", ")) + QLatin1Char(' ') + inv.Mitgliedsname;
        inv.ERechnung = !inv.KaeuferFirma.isEmpty() || seller.eInvoiceForAll;
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
