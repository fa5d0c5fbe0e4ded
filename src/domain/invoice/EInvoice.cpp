#include "domain/invoice/EInvoice.h"

#include <QRegularExpression>
#include <QXmlStreamWriter>

namespace gd {
namespace {

const QString kExemption = QStringLiteral("Kein Ausweis von Umsatzsteuer, da Kleinunternehmer gemäß § 19 UStG");

QString amount(qint64 cents) {
    const qint64 a = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString day(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }

const QHash<QString, QString>& countries() {
    static const QHash<QString, QString> known = {
        {QStringLiteral("deutschland"), QStringLiteral("DE")},  {QStringLiteral("germany"), QStringLiteral("DE")},
        {QStringLiteral("österreich"), QStringLiteral("AT")},   {QStringLiteral("austria"), QStringLiteral("AT")},
        {QStringLiteral("schweiz"), QStringLiteral("CH")},      {QStringLiteral("switzerland"), QStringLiteral("CH")},
        {QStringLiteral("niederlande"), QStringLiteral("NL")},  {QStringLiteral("belgien"), QStringLiteral("BE")},
        {QStringLiteral("luxemburg"), QStringLiteral("LU")},    {QStringLiteral("frankreich"), QStringLiteral("FR")},
        {QStringLiteral("italien"), QStringLiteral("IT")},      {QStringLiteral("spanien"), QStringLiteral("ES")},
        {QStringLiteral("polen"), QStringLiteral("PL")},        {QStringLiteral("tschechien"), QStringLiteral("CZ")},
        {QStringLiteral("dänemark"), QStringLiteral("DK")},     {QStringLiteral("schweden"), QStringLiteral("SE")},
        {QStringLiteral("griechenland"), QStringLiteral("GR")}, {QStringLiteral("irland"), QStringLiteral("IE")},
        {QStringLiteral("norwegen"), QStringLiteral("NO")},     {QStringLiteral("finnland"), QStringLiteral("FI")},
    };
    return known;
}

bool knownCountry(const QString& country) {
    static const QRegularExpression iso(QStringLiteral("^[A-Z]{2}$"));
    return iso.match(country.trimmed()).hasMatch() || countries().contains(country.trimmed().toLower());
}

struct Address {
    QString line, postcode, city, country;
};

// "Hauptstraße 12", "10115 Berlin" (or "110 00 Praha"), "Deutschland" as the lines of a form.
Address address(QStringList lines) {
    Address a;
    a.country = QStringLiteral("DE");
    if (lines.size() > 1 && knownCountry(lines.last())) a.country = countryCode(lines.takeLast());
    static const QRegularExpression town(QStringLiteral("^(\\d{3} \\d{2}|\\d{4,5})\\s+(.+)$"));
    for (const QString& l : lines) {
        const QRegularExpressionMatch m = town.match(l.trimmed());
        if (m.hasMatch() && a.city.isEmpty()) {
            a.postcode = m.captured(1);
            a.city = m.captured(2);
        } else if (a.line.isEmpty()) {
            a.line = l.trimmed();
        } else if (a.city.isEmpty()) {
            a.city = l.trimmed();  // a town without a postcode we know
        }
    }
    return a;
}

void party(QXmlStreamWriter& x, const char* element, const QString& id, const QString& name, const Address& a,
           const std::function<void()>& more = {}) {
    x.writeStartElement(QString::fromLatin1(element));
    if (!id.isEmpty()) x.writeTextElement(QStringLiteral("ram:ID"), id);
    x.writeTextElement(QStringLiteral("ram:Name"), name);
    x.writeStartElement(QStringLiteral("ram:PostalTradeAddress"));
    if (!a.postcode.isEmpty()) x.writeTextElement(QStringLiteral("ram:PostcodeCode"), a.postcode);
    if (!a.line.isEmpty()) x.writeTextElement(QStringLiteral("ram:LineOne"), a.line);
    if (!a.city.isEmpty()) x.writeTextElement(QStringLiteral("ram:CityName"), a.city);
    x.writeTextElement(QStringLiteral("ram:CountryID"), a.country);
    x.writeEndElement();
    if (more) more();
    x.writeEndElement();
}

void dateElement(QXmlStreamWriter& x, const QString& element, const QDate& d, const char* prefix = "udt") {
    x.writeStartElement(element);
    x.writeStartElement(QString::fromLatin1(prefix) + QStringLiteral(":DateTimeString"));
    x.writeAttribute(QStringLiteral("format"), QStringLiteral("102"));
    x.writeCharacters(day(d));
    x.writeEndElement();
    x.writeEndElement();
}

struct Line {
    QString id, name;
    int quantity;
    qint64 price;  // cents, positive
    int rate;
    qint64 net = 0;
};

void taxRegistration(QXmlStreamWriter& x, const QString& scheme, const QString& id) {
    if (id.isEmpty()) return;
    x.writeStartElement(QStringLiteral("ram:SpecifiedTaxRegistration"));
    x.writeStartElement(QStringLiteral("ram:ID"));
    x.writeAttribute(QStringLiteral("schemeID"), scheme);
    x.writeCharacters(id);
    x.writeEndElement();
    x.writeEndElement();
}

}  // namespace

QString countryCode(const QString& country) {
    const QString c = country.trimmed();
    static const QRegularExpression iso(QStringLiteral("^[A-Za-z]{2}$"));
    if (iso.match(c).hasMatch()) return c.toUpper();
    return countries().value(c.toLower(), QStringLiteral("DE"));
}

Result<QByteArray> ciiXml(const Invoice& inv) {
    if (inv.Steuernummer.isEmpty() && inv.UstId.isEmpty())
        return Error::plain(
            QStringLiteral("Eine E-Rechnung braucht Ihre Steuernummer oder USt-IdNr. Bitte tragen Sie "
                           "sie unter Einstellungen, Allgemein ein; sie gilt für die Rechnungen, die "
                           "danach ausgestellt werden."));
    const TaxMode mode = taxMode(inv);
    if (mode == TaxMode::None)
        return Error::plain(
            QStringLiteral("Für eine E-Rechnung braucht es die Angabe, wie Sie Umsatzsteuer zahlen "
                           "(Einstellungen, Allgemein: Kleinunternehmer, Regelbesteuerung oder "
                           "Differenzbesteuerung)."));
    // § 19 and § 25a show no VAT: exempt (E) with the reason the rules ask for.
    const QString category = mode == TaxMode::Standard ? QStringLiteral("S") : QStringLiteral("E");
    const QString reason = mode == TaxMode::SmallBusiness ? kExemption
                           : mode == TaxMode::Margin      ? QStringLiteral("Gebrauchtgegenstände/Sonderregelung")
                                                          : QString();
    const QString reasonCode = mode == TaxMode::Margin ? QStringLiteral("VATEX-EU-F") : QString();
    // A cancellation is a credit note (381) over the same lines, referring to the invoice.
    const bool credit = inv.isCancellation();
    const auto positive = [](qint64 c) { return c < 0 ? -c : c; };
    QList<Line> lines;
    for (const InvoiceItem& it : inv.Posten)
        lines << Line{it.AuktionsNr, it.Titel, it.Menge, positive(it.Einzelpreis), itemRate(inv, it)};
    // Shipping follows the goods: with two rates, one shipping line per rate.
    QList<TaxLine> taxes = taxLines(inv);
    for (TaxLine& t : taxes) {
        const QString at = taxes.size() > 1 ? QStringLiteral(" (%1 %)").arg(t.rate) : QString();
        if (t.shipping != 0)
            lines << Line{QStringLiteral("Versand"), QStringLiteral("Versand") + at, 1, positive(t.shipping), t.rate};
        if (t.insurance != 0)
            lines << Line{QStringLiteral("Versicherung"), QStringLiteral("Versandversicherung") + at, 1,
                          positive(t.insurance), t.rate};
        t.goods = positive(t.goods), t.shipping = positive(t.shipping), t.insurance = positive(t.insurance);
    }
    // Per rate, net lines that add up to the net of the rate: its last line takes the cents of rounding.
    qint64 total = 0, netTotal = 0, taxTotal = 0;
    for (const TaxLine& t : taxes) {
        Line* last = nullptr;
        qint64 sum = 0;
        for (Line& l : lines)
            if (l.rate == t.rate) {
                l.net = splitGross(l.price * l.quantity, t.rate).net;
                sum += l.net;
                last = &l;
            }
        if (last) last->net += t.split().net - sum;
        total += t.gross();
        netTotal += t.split().net;
        taxTotal += t.split().tax;
    }

    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("rsm:CrossIndustryInvoice"));
    x.writeNamespace(QStringLiteral("urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"),
                     QStringLiteral("rsm"));
    x.writeNamespace(QStringLiteral("urn:un:unece:uncefact:data:standard:QualifiedDataType:100"),
                     QStringLiteral("qdt"));
    x.writeNamespace(
        QStringLiteral("urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"),
        QStringLiteral("ram"));
    x.writeNamespace(QStringLiteral("urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"),
                     QStringLiteral("udt"));
    x.writeStartElement(QStringLiteral("rsm:ExchangedDocumentContext"));
    x.writeStartElement(QStringLiteral("ram:GuidelineSpecifiedDocumentContextParameter"));
    x.writeTextElement(QStringLiteral("ram:ID"), QStringLiteral("urn:cen.eu:en16931:2017"));
    x.writeEndElement();
    x.writeEndElement();

    x.writeStartElement(QStringLiteral("rsm:ExchangedDocument"));
    x.writeTextElement(QStringLiteral("ram:ID"), inv.Nummer);
    x.writeTextElement(QStringLiteral("ram:TypeCode"), credit ? QStringLiteral("381") : QStringLiteral("380"));
    dateElement(x, QStringLiteral("ram:IssueDateTime"), inv.Datum);
    if (!reason.isEmpty()) {
        x.writeStartElement(QStringLiteral("ram:IncludedNote"));
        x.writeTextElement(QStringLiteral("ram:Content"), reason);
        x.writeEndElement();
    }
    x.writeEndElement();

    x.writeStartElement(QStringLiteral("rsm:SupplyChainTradeTransaction"));
    int n = 0;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const Line& l = lines[k];
        x.writeStartElement(QStringLiteral("ram:IncludedSupplyChainTradeLineItem"));
        x.writeStartElement(QStringLiteral("ram:AssociatedDocumentLineDocument"));
        x.writeTextElement(QStringLiteral("ram:LineID"), QString::number(++n));
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("ram:SpecifiedTradeProduct"));
        x.writeTextElement(QStringLiteral("ram:SellerAssignedID"), l.id);
        x.writeTextElement(QStringLiteral("ram:Name"), l.name);
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("ram:SpecifiedLineTradeAgreement"));
        x.writeStartElement(QStringLiteral("ram:NetPriceProductTradePrice"));
        x.writeTextElement(
            QStringLiteral("ram:ChargeAmount"),
            l.quantity == 1 ? amount(l.net) : QString::number(double(l.net) / 100.0 / l.quantity, 'f', 4));
        x.writeEndElement();
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("ram:SpecifiedLineTradeDelivery"));
        x.writeStartElement(QStringLiteral("ram:BilledQuantity"));
        x.writeAttribute(QStringLiteral("unitCode"), QStringLiteral("H87"));  // piece
        x.writeCharacters(QString::number(l.quantity));
        x.writeEndElement();
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("ram:SpecifiedLineTradeSettlement"));
        x.writeStartElement(QStringLiteral("ram:ApplicableTradeTax"));
        x.writeTextElement(QStringLiteral("ram:TypeCode"), QStringLiteral("VAT"));
        x.writeTextElement(QStringLiteral("ram:CategoryCode"), category);
        x.writeTextElement(QStringLiteral("ram:RateApplicablePercent"), QString::number(l.rate));
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("ram:SpecifiedTradeSettlementLineMonetarySummation"));
        x.writeTextElement(QStringLiteral("ram:LineTotalAmount"), amount(l.net));
        x.writeEndElement();
        x.writeEndElement();
        x.writeEndElement();
    }

    x.writeStartElement(QStringLiteral("ram:ApplicableHeaderTradeAgreement"));
    // Without a VAT ID the seller is known by the tax number (BR-CO-26 asks for one of them).
    party(x, "ram:SellerTradeParty", inv.UstId.isEmpty() ? inv.Steuernummer : QString(), inv.Verkaeufer,
          address(inv.VerkaeuferAnschrift), [&] {
              if (!inv.VerkaeuferEmail.isEmpty()) {
                  x.writeStartElement(QStringLiteral("ram:URIUniversalCommunication"));
                  x.writeStartElement(QStringLiteral("ram:URIID"));
                  x.writeAttribute(QStringLiteral("schemeID"), QStringLiteral("EM"));
                  x.writeCharacters(inv.VerkaeuferEmail);
                  x.writeEndElement();
                  x.writeEndElement();
              }
              // "FC": the tax office's number; "VA": the VAT ID.
              taxRegistration(x, QStringLiteral("FC"), inv.Steuernummer);
              taxRegistration(x, QStringLiteral("VA"), inv.UstId);
          });
    // A business is named by its company; the person's name then is part of its address.
    const QStringList buyer = inv.Kaeufer;
    const bool business = !inv.KaeuferFirma.isEmpty();
    party(x, "ram:BuyerTradeParty", QString(),
          business          ? inv.KaeuferFirma
          : buyer.isEmpty() ? inv.Mitgliedsname
                            : buyer.first(),
          address(buyer.mid(1)), [&] { taxRegistration(x, QStringLiteral("VA"), inv.KaeuferUstId); });
    x.writeEndElement();

    x.writeStartElement(QStringLiteral("ram:ApplicableHeaderTradeDelivery"));
    x.writeStartElement(QStringLiteral("ram:ActualDeliverySupplyChainEvent"));
    dateElement(x, QStringLiteral("ram:OccurrenceDateTime"),
                inv.Lieferdatum.isValid() ? inv.Lieferdatum : (credit ? inv.BezugDatum : inv.Datum));
    x.writeEndElement();
    x.writeEndElement();

    x.writeStartElement(QStringLiteral("ram:ApplicableHeaderTradeSettlement"));
    if (!inv.Verwendungszweck.isEmpty() && !credit)
        x.writeTextElement(QStringLiteral("ram:PaymentReference"), inv.Verwendungszweck.left(140));
    x.writeTextElement(QStringLiteral("ram:InvoiceCurrencyCode"), QStringLiteral("EUR"));
    if (!inv.Iban.isEmpty() && !credit && !inv.paid()) {
        x.writeStartElement(QStringLiteral("ram:SpecifiedTradeSettlementPaymentMeans"));
        x.writeTextElement(QStringLiteral("ram:TypeCode"), QStringLiteral("58"));  // SEPA credit transfer
        x.writeStartElement(QStringLiteral("ram:PayeePartyCreditorFinancialAccount"));
        x.writeTextElement(QStringLiteral("ram:IBANID"), QString(inv.Iban).remove(QLatin1Char(' ')));
        x.writeEndElement();
        x.writeEndElement();
    }
    for (const TaxLine& t : taxes) {
        x.writeStartElement(QStringLiteral("ram:ApplicableTradeTax"));
        x.writeTextElement(QStringLiteral("ram:CalculatedAmount"), amount(t.split().tax));
        x.writeTextElement(QStringLiteral("ram:TypeCode"), QStringLiteral("VAT"));
        if (!reason.isEmpty()) x.writeTextElement(QStringLiteral("ram:ExemptionReason"), reason);
        x.writeTextElement(QStringLiteral("ram:BasisAmount"), amount(t.split().net));
        x.writeTextElement(QStringLiteral("ram:CategoryCode"), category);
        if (!reasonCode.isEmpty()) x.writeTextElement(QStringLiteral("ram:ExemptionReasonCode"), reasonCode);
        x.writeTextElement(QStringLiteral("ram:RateApplicablePercent"), QString::number(t.rate));
        x.writeEndElement();
    }
    x.writeStartElement(QStringLiteral("ram:SpecifiedTradePaymentTerms"));
    x.writeTextElement(
        QStringLiteral("ram:Description"),
        credit
            ? (inv.Teilstorno ? QStringLiteral("Teilstorno der Rechnung ") : QStringLiteral("Storno der Rechnung ")) +
                  inv.Bezug
        : inv.paid() ? QStringLiteral("Bezahlt am %1.").arg(inv.BezahltAm.toString(QStringLiteral("dd.MM.yyyy")))
                     : QStringLiteral("Zahlbar sofort ohne Abzug."));
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("ram:SpecifiedTradeSettlementHeaderMonetarySummation"));
    x.writeTextElement(QStringLiteral("ram:LineTotalAmount"), amount(netTotal));
    x.writeTextElement(QStringLiteral("ram:TaxBasisTotalAmount"), amount(netTotal));
    x.writeStartElement(QStringLiteral("ram:TaxTotalAmount"));
    x.writeAttribute(QStringLiteral("currencyID"), QStringLiteral("EUR"));
    x.writeCharacters(amount(taxTotal));
    x.writeEndElement();
    x.writeTextElement(QStringLiteral("ram:GrandTotalAmount"), amount(total));
    // What was paid before the invoice: its accounts department pays only the rest.
    if (!credit && inv.Bezahlt > 0) x.writeTextElement(QStringLiteral("ram:TotalPrepaidAmount"), amount(inv.Bezahlt));
    x.writeTextElement(QStringLiteral("ram:DuePayableAmount"), amount(credit ? total : inv.due()));
    x.writeEndElement();
    if (credit) {
        x.writeStartElement(QStringLiteral("ram:InvoiceReferencedDocument"));
        x.writeTextElement(QStringLiteral("ram:IssuerAssignedID"), inv.Bezug);
        dateElement(x, QStringLiteral("ram:FormattedIssueDateTime"), inv.BezugDatum, "qdt");
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

}  // namespace gd
