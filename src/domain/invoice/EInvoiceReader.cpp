#include "domain/invoice/EInvoiceReader.h"

#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <optional>
#include <utility>

#include "base/Money.h"
#include "domain/bank/Iban.h"

namespace gd {
namespace {

// Real invoices nest about a dozen levels; far more is a file built to wear the reader down.
constexpr int kMostDepth = 64;

const QString kCii = QStringLiteral("urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100");
const QString kUblInvoice = QStringLiteral("urn:oasis:names:specification:ubl:schema:xsd:Invoice-2");
const QString kUblCredit = QStringLiteral("urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2");

// Paths are built with these prefixes, whatever prefixes the sender declared.
QString prefixed(QStringView ns, QStringView name) {
    static const QHash<QString, QString> known = {
        {kCii, QStringLiteral("rsm")},
        {QStringLiteral("urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"),
         QStringLiteral("ram")},
        {QStringLiteral("urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"), QStringLiteral("udt")},
        {QStringLiteral("urn:un:unece:uncefact:data:standard:QualifiedDataType:100"), QStringLiteral("qdt")},
        {QStringLiteral("urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"),
         QStringLiteral("cac")},
        {QStringLiteral("urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"), QStringLiteral("cbc")},
    };
    return known.value(ns.toString(), QStringLiteral("?")) + QLatin1Char(':') + name.toString();
}

bool eq(QStringView v, const char* s) { return v == QLatin1String(s); }

// Whether v begins with prefix; then v is what follows it.
bool cut(QStringView& v, const char* prefix) {
    const QLatin1String pre(prefix);
    if (!v.startsWith(pre)) return false;
    v = v.mid(pre.size());
    return true;
}

QString attr(const QXmlStreamAttributes& a, const char* name) {
    return a.value(QLatin1String(name)).toString().trimmed();
}

// xs:decimal as cents. Digits past the second place count only when they are zeros: rounding
// them away would show an amount the sender did not write.
std::optional<qint64> decimalCents(const QString& text) {
    static const QRegularExpression shape(QStringLiteral("^([+-]?)([0-9]{0,13})(?:\\.([0-9]+))?$"));
    const QRegularExpressionMatch m = shape.match(text.trimmed());
    if (!m.hasMatch() || (m.capturedLength(2) == 0 && m.capturedLength(3) == 0)) return std::nullopt;
    QString decimals = m.captured(3);
    while (decimals.size() > 2 && decimals.endsWith(QLatin1Char('0'))) decimals.chop(1);
    if (decimals.size() > 2) return std::nullopt;
    const qint64 cents = m.captured(2).toLongLong() * 100 + decimals.leftJustified(2, QLatin1Char('0')).toLongLong();
    return m.captured(1) == QLatin1String("-") ? -cents : cents;
}

void money(qint64& field, const QString& text) {
    if (const auto c = decimalCents(text)) field = *c;
}

// Format 102 is the only one that names a day; 610 (month) and 616 (week) do not.
QDate ciiDate(const QString& text, const QXmlStreamAttributes& a) {
    const QString format = attr(a, "format");
    if (!format.isEmpty() && format != QLatin1String("102")) return {};
    return QDate::fromString(text, QStringLiteral("yyyyMMdd"));
}

// "2026-12-03", also with a zone behind it.
QDate isoDate(const QString& text) { return QDate::fromString(text.left(10), Qt::ISODate); }

void first(QString& field, const QString& text) {
    if (field.isEmpty()) field = text;
}

void addLine(QString& field, const QString& text) {
    if (!text.isEmpty()) field += (field.isEmpty() ? QString() : QStringLiteral("\n")) + text;
}

void addNote(ReceivedInvoice& inv, QString text) {
    // "#ADU#…": the subject code some senders put in front; it means nothing to a reader.
    static const QRegularExpression subject(QStringLiteral("^#[A-Z]{3}#"));
    text.remove(subject);
    if (!text.trimmed().isEmpty()) inv.notes << text.trimmed();
}

// Only amounts in the invoice's currency: a second total may be in the currency the tax is paid in.
void total(qint64& field, const ReceivedInvoice& inv, const QString& text, const QXmlStreamAttributes& a) {
    const QString currency = attr(a, "currencyID");
    if (currency.isEmpty() || inv.currency.isEmpty() || currency == inv.currency) money(field, text);
}

struct Party {
    QString name, legalName, postcode, city, country, vatId, taxNumber, email, otherEmail, companyId, scheme;
    QStringList street;

    QStringList address() const {
        QStringList out = street;
        const QString town = QString(postcode + QLatin1Char(' ') + city).trimmed();
        if (!town.isEmpty()) out << town;
        if (!country.isEmpty() && country != QLatin1String("DE")) out << country;
        return out;
    }
};

struct State {
    ReceivedInvoice inv;
    Party seller, buyer;
};

void ciiParty(Party& y, QStringView r, const QString& t, const QXmlStreamAttributes& a) {
    if (eq(r, "ram:Name")) {
        y.name = t;
    } else if (cut(r, "ram:PostalTradeAddress/")) {
        if ((eq(r, "ram:LineOne") || eq(r, "ram:LineTwo") || eq(r, "ram:LineThree")) && !t.isEmpty()) y.street << t;
        if (eq(r, "ram:PostcodeCode")) y.postcode = t;
        if (eq(r, "ram:CityName")) y.city = t;
        if (eq(r, "ram:CountryID")) y.country = t;
    } else if (eq(r, "ram:SpecifiedTaxRegistration/ram:ID")) {
        const QString scheme = attr(a, "schemeID");
        if (scheme == QLatin1String("VA")) y.vatId = t;
        if (scheme == QLatin1String("FC")) y.taxNumber = t;
    } else if (eq(r, "ram:URIUniversalCommunication/ram:URIID")) {
        const QString scheme = attr(a, "schemeID");
        if (scheme.isEmpty() || scheme == QLatin1String("EM")) y.email = t;
    } else if (eq(r, "ram:DefinedTradeContact/ram:EmailURIUniversalCommunication/ram:URIID")) {
        first(y.otherEmail, t);
    }
}

void ublParty(Party& y, QStringView r, const QString& t, const QXmlStreamAttributes& a) {
    if (eq(r, "cac:PartyName/cbc:Name")) {
        first(y.name, t);
    } else if (eq(r, "cac:PartyLegalEntity/cbc:RegistrationName")) {
        y.legalName = t;
    } else if (cut(r, "cac:PostalAddress/")) {
        if ((eq(r, "cbc:StreetName") || eq(r, "cbc:AdditionalStreetName") || eq(r, "cac:AddressLine/cbc:Line")) &&
            !t.isEmpty())
            y.street << t;
        if (eq(r, "cbc:PostalZone")) y.postcode = t;
        if (eq(r, "cbc:CityName")) y.city = t;
        if (eq(r, "cac:Country/cbc:IdentificationCode")) y.country = t;
    } else if (eq(r, "cac:PartyTaxScheme/cbc:CompanyID")) {
        y.companyId = t;
    } else if (eq(r, "cac:PartyTaxScheme/cac:TaxScheme/cbc:ID")) {
        y.scheme = t;
    } else if (eq(r, "cac:PartyTaxScheme")) {
        // Only the scheme, which comes after the number, tells a VAT ID from a tax number.
        if (!y.companyId.isEmpty()) (y.scheme == QLatin1String("VAT") ? y.vatId : y.taxNumber) = y.companyId;
        y.companyId.clear();
        y.scheme.clear();
    } else if (eq(r, "cac:Contact/cbc:ElectronicMail")) {
        y.email = t;
    } else if (eq(r, "cbc:EndpointID") && attr(a, "schemeID") == QLatin1String("EM")) {
        y.otherEmail = t;
    }
}

void ciiStart(State& s, const QString& p) {
    if (p == QLatin1String("/rsm:SupplyChainTradeTransaction/ram:IncludedSupplyChainTradeLineItem"))
        s.inv.lines.append(ReceivedLine{});
    else if (p == QLatin1String("/rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeSettlement/"
                                "ram:ApplicableTradeTax"))
        s.inv.taxes.append(ReceivedTax{});
}

void ciiEnd(State& s, const QString& p, const QString& t, const QXmlStreamAttributes& a) {
    ReceivedInvoice& inv = s.inv;
    QStringView r = p;
    if (cut(r, "/rsm:ExchangedDocument/")) {
        if (eq(r, "ram:ID")) inv.number = t;
        if (eq(r, "ram:TypeCode")) inv.typeCode = t;
        if (eq(r, "ram:IssueDateTime/udt:DateTimeString")) inv.issued = ciiDate(t, a);
        if (eq(r, "ram:IncludedNote/ram:Content")) addNote(inv, t);
    } else if (cut(r, "/rsm:SupplyChainTradeTransaction/ram:IncludedSupplyChainTradeLineItem/")) {
        if (inv.lines.isEmpty()) return;
        ReceivedLine& l = inv.lines.last();
        if (eq(r, "ram:SpecifiedTradeProduct/ram:Name")) l.name = t;
        if (eq(r, "ram:SpecifiedLineTradeDelivery/ram:BilledQuantity")) {
            l.quantity = t;
            l.unit = attr(a, "unitCode");
        }
        if (cut(r, "ram:SpecifiedLineTradeSettlement/")) {
            if (eq(r, "ram:ApplicableTradeTax/ram:RateApplicablePercent")) l.taxRate = t;
            if (eq(r, "ram:ApplicableTradeTax/ram:CategoryCode")) l.taxCategory = t;
            if (eq(r, "ram:SpecifiedTradeSettlementLineMonetarySummation/ram:LineTotalAmount")) money(l.net, t);
        }
    } else if (cut(r, "/rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeAgreement/")) {
        if (eq(r, "ram:BuyerReference")) inv.buyerReference = t;
        if (cut(r, "ram:SellerTradeParty/")) ciiParty(s.seller, r, t, a);
        if (cut(r, "ram:BuyerTradeParty/")) ciiParty(s.buyer, r, t, a);
    } else if (eq(r,
                  "/rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeDelivery/"
                  "ram:ActualDeliverySupplyChainEvent/ram:OccurrenceDateTime/udt:DateTimeString")) {
        if (!inv.delivered.isValid()) inv.delivered = ciiDate(t, a);
    } else if (cut(r, "/rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeSettlement/")) {
        if (eq(r, "ram:PaymentReference")) inv.paymentReference = t;
        if (eq(r, "ram:InvoiceCurrencyCode")) inv.currency = t;
        if (cut(r, "ram:SpecifiedTradeSettlementPaymentMeans/")) {
            if (eq(r, "ram:PayeePartyCreditorFinancialAccount/ram:IBANID")) first(inv.iban, t);
            if (eq(r, "ram:PayeePartyCreditorFinancialAccount/ram:AccountName")) first(inv.accountName, t);
            if (eq(r, "ram:PayeeSpecifiedCreditorFinancialInstitution/ram:BICID")) first(inv.bic, t);
        } else if (cut(r, "ram:ApplicableTradeTax/") && !inv.taxes.isEmpty()) {
            ReceivedTax& x = inv.taxes.last();
            if (eq(r, "ram:CalculatedAmount")) money(x.tax, t);
            if (eq(r, "ram:BasisAmount")) money(x.basis, t);
            if (eq(r, "ram:CategoryCode")) x.category = t;
            if (eq(r, "ram:RateApplicablePercent")) x.rate = t;
            if (eq(r, "ram:ExemptionReason")) x.exemption = t;
        } else if (cut(r, "ram:SpecifiedTradePaymentTerms/")) {
            if (eq(r, "ram:Description")) addLine(inv.paymentTerms, t);
            if (eq(r, "ram:DueDateDateTime/udt:DateTimeString") && !inv.due.isValid()) inv.due = ciiDate(t, a);
        } else if (cut(r, "ram:SpecifiedTradeSettlementHeaderMonetarySummation/")) {
            if (eq(r, "ram:TaxBasisTotalAmount")) money(inv.netTotal, t);
            if (eq(r, "ram:TaxTotalAmount")) total(inv.taxTotal, inv, t, a);
            if (eq(r, "ram:GrandTotalAmount")) money(inv.grossTotal, t);
            if (eq(r, "ram:DuePayableAmount")) money(inv.duePayable, t);
        }
    }
}

void ublStart(State& s, const QString& p) {
    if (p == QLatin1String("/cac:InvoiceLine") || p == QLatin1String("/cac:CreditNoteLine"))
        s.inv.lines.append(ReceivedLine{});
    else if (p == QLatin1String("/cac:TaxTotal/cac:TaxSubtotal"))
        s.inv.taxes.append(ReceivedTax{});
}

void ublEnd(State& s, const QString& p, const QString& t, const QXmlStreamAttributes& a) {
    ReceivedInvoice& inv = s.inv;
    QStringView r = p;
    if (eq(r, "/cbc:ID")) inv.number = t;
    if (eq(r, "/cbc:IssueDate")) inv.issued = isoDate(t);
    if (eq(r, "/cbc:DueDate")) inv.due = isoDate(t);
    if (eq(r, "/cbc:InvoiceTypeCode") || eq(r, "/cbc:CreditNoteTypeCode")) inv.typeCode = t;
    if (eq(r, "/cbc:Note")) addNote(inv, t);
    if (eq(r, "/cbc:DocumentCurrencyCode")) inv.currency = t;
    if (eq(r, "/cbc:BuyerReference")) inv.buyerReference = t;
    if (eq(r, "/cac:Delivery/cbc:ActualDeliveryDate") && !inv.delivered.isValid()) inv.delivered = isoDate(t);
    if (eq(r, "/cac:PaymentTerms/cbc:Note")) addLine(inv.paymentTerms, t);
    if (cut(r, "/cac:AccountingSupplierParty/cac:Party/")) {
        ublParty(s.seller, r, t, a);
    } else if (cut(r, "/cac:AccountingCustomerParty/cac:Party/")) {
        ublParty(s.buyer, r, t, a);
    } else if (cut(r, "/cac:PaymentMeans/")) {
        if (eq(r, "cbc:PaymentID")) first(inv.paymentReference, t);
        if (eq(r, "cac:PayeeFinancialAccount/cbc:ID")) first(inv.iban, t);
        if (eq(r, "cac:PayeeFinancialAccount/cbc:Name")) first(inv.accountName, t);
        if (eq(r, "cac:PayeeFinancialAccount/cac:FinancialInstitutionBranch/cbc:ID")) first(inv.bic, t);
    } else if (cut(r, "/cac:TaxTotal/")) {
        if (eq(r, "cbc:TaxAmount")) total(inv.taxTotal, inv, t, a);
        if (cut(r, "cac:TaxSubtotal/") && !inv.taxes.isEmpty()) {
            ReceivedTax& x = inv.taxes.last();
            if (eq(r, "cbc:TaxableAmount")) money(x.basis, t);
            if (eq(r, "cbc:TaxAmount")) money(x.tax, t);
            if (eq(r, "cac:TaxCategory/cbc:ID")) x.category = t;
            if (eq(r, "cac:TaxCategory/cbc:Percent")) x.rate = t;
            if (eq(r, "cac:TaxCategory/cbc:TaxExemptionReason")) x.exemption = t;
        }
    } else if (cut(r, "/cac:LegalMonetaryTotal/")) {
        if (eq(r, "cbc:TaxExclusiveAmount")) money(inv.netTotal, t);
        if (eq(r, "cbc:TaxInclusiveAmount")) money(inv.grossTotal, t);
        if (eq(r, "cbc:PayableAmount")) money(inv.duePayable, t);
    } else if ((cut(r, "/cac:InvoiceLine/") || cut(r, "/cac:CreditNoteLine/")) && !inv.lines.isEmpty()) {
        ReceivedLine& l = inv.lines.last();
        if (eq(r, "cbc:InvoicedQuantity") || eq(r, "cbc:CreditedQuantity")) {
            l.quantity = t;
            l.unit = attr(a, "unitCode");
        }
        if (eq(r, "cbc:LineExtensionAmount")) money(l.net, t);
        if (eq(r, "cac:Item/cbc:Name")) l.name = t;
        if (eq(r, "cac:Item/cac:ClassifiedTaxCategory/cbc:ID")) l.taxCategory = t;
        if (eq(r, "cac:Item/cac:ClassifiedTaxCategory/cbc:Percent")) l.taxRate = t;
    }
}

Error notRead(const QString& why) { return Error::plain(QStringLiteral("Die E-Rechnung wurde nicht gelesen: ") + why); }

}  // namespace

Result<ReceivedInvoice> readEInvoice(const QByteArray& xml) {
    if (xml.size() > kMostEInvoiceBytes)
        return notRead(QStringLiteral("Die Datei ist größer als 2 MB; so groß ist keine Rechnung."));
    if (xml.trimmed().isEmpty()) return notRead(QStringLiteral("Die Datei ist leer."));
    // Also checked before reading: a DTD can fail to parse before the reader reports it.
    const Error doctype =
        notRead(QStringLiteral("Die Datei enthält eine DOCTYPE-Deklaration. Solche Dateien werden zum Schutz vor "
                               "manipulierten Dateien nicht geöffnet."));
    if (xml.contains("<!DOCTYPE")) return doctype;

    struct Frame {
        qsizetype mark;
        QXmlStreamAttributes attributes;
        QString text;
    };
    State s;
    bool cii = false;
    QList<Frame> frames;
    QString path;  // below the root: "/rsm:ExchangedDocument/ram:ID"
    QXmlStreamReader r(xml);
    while (!r.atEnd() && !r.hasError()) {
        r.readNext();
        if (r.isDTD()) return doctype;
        if (r.isStartElement()) {
            if (frames.isEmpty()) {
                const QStringView ns = r.namespaceUri(), name = r.name();
                cii = ns == QStringView(kCii) && name == QLatin1String("CrossIndustryInvoice");
                const bool credit = ns == QStringView(kUblCredit) && name == QLatin1String("CreditNote");
                if (!cii && !credit && !(ns == QStringView(kUblInvoice) && name == QLatin1String("Invoice")))
                    return notRead(
                        QStringLiteral("Die Datei ist keine E-Rechnung (weder UN/CEFACT CII noch UBL-Rechnung oder "
                                       "-Gutschrift)."));
                s.inv.syntax = cii ? QStringLiteral("CII") : QStringLiteral("UBL");
                if (credit) s.inv.typeCode = QStringLiteral("381");
                frames.append(Frame{0, {}, {}});
                continue;
            }
            if (frames.size() >= kMostDepth)
                return notRead(QStringLiteral("Die Datei ist zu tief verschachtelt (Zeile %1).").arg(r.lineNumber()));
            frames.append(Frame{path.size(), r.attributes(), {}});
            path += QLatin1Char('/') + prefixed(r.namespaceUri(), r.name());
            (cii ? ciiStart : ublStart)(s, path);
        } else if (r.isCharacters() && !frames.isEmpty()) {
            frames.last().text += r.text();
        } else if (r.isEndElement() && !frames.isEmpty()) {
            const Frame f = frames.takeLast();
            if (frames.isEmpty()) continue;
            const QString text = f.text.trimmed();
            (cii ? ciiEnd : ublEnd)(s, path, text, f.attributes);
            path.truncate(f.mark);
        }
    }
    if (r.hasError())
        return notRead(QStringLiteral("Die Datei ist kein lesbares XML (Zeile %1, Spalte %2: %3).")
                           .arg(r.lineNumber())
                           .arg(r.columnNumber())
                           .arg(r.errorString()));
    if (frames.isEmpty() && s.inv.syntax.isEmpty()) return notRead(QStringLiteral("Die Datei enthält kein XML."));
    ReceivedInvoice& inv = s.inv;
    if (inv.number.isEmpty()) return notRead(QStringLiteral("Sie enthält keine Rechnungsnummer."));
    inv.sellerName = s.seller.legalName.isEmpty() ? s.seller.name : s.seller.legalName;
    inv.sellerAddress = s.seller.address();
    inv.sellerVatId = s.seller.vatId;
    inv.sellerTaxNumber = s.seller.taxNumber;
    inv.sellerEmail = s.seller.email.isEmpty() ? s.seller.otherEmail : s.seller.email;
    inv.buyerName = s.buyer.legalName.isEmpty() ? s.buyer.name : s.buyer.legalName;
    inv.buyerAddress = s.buyer.address();
    return std::move(inv);
}

namespace {

QString dayText(const QDate& d) { return d.toString(QStringLiteral("dd.MM.yyyy")); }

QString moneyText(qint64 cents, const QString& currency) {
    const bool euro = currency.isEmpty() || currency == QLatin1String("EUR");
    return centsText(cents) + QLatin1Char(' ') + (euro ? QStringLiteral("€") : currency);
}

// "2.5000" → "2,5"; what is no plain decimal is shown as written.
QString decimalText(const QString& text) {
    static const QRegularExpression shape(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    if (!shape.match(text).hasMatch()) return text;
    QString out = text;
    if (out.contains(QLatin1Char('.'))) {
        while (out.endsWith(QLatin1Char('0'))) out.chop(1);
        if (out.endsWith(QLatin1Char('.'))) out.chop(1);
    }
    return out.replace(QLatin1Char('.'), QLatin1Char(','));
}

QString unitText(const QString& code) {
    static const QHash<QString, QString> words = {
        {QStringLiteral("C62"), QStringLiteral("Stück")},    {QStringLiteral("H87"), QStringLiteral("Stück")},
        {QStringLiteral("XPP"), QStringLiteral("Stück")},    {QStringLiteral("EA"), QStringLiteral("Stück")},
        {QStringLiteral("KGM"), QStringLiteral("kg")},       {QStringLiteral("GRM"), QStringLiteral("g")},
        {QStringLiteral("TNE"), QStringLiteral("t")},        {QStringLiteral("HUR"), QStringLiteral("Std.")},
        {QStringLiteral("MIN"), QStringLiteral("Min.")},     {QStringLiteral("DAY"), QStringLiteral("Tag(e)")},
        {QStringLiteral("MON"), QStringLiteral("Monat(e)")}, {QStringLiteral("MTR"), QStringLiteral("m")},
        {QStringLiteral("KMT"), QStringLiteral("km")},       {QStringLiteral("MTK"), QStringLiteral("m²")},
        {QStringLiteral("MTQ"), QStringLiteral("m³")},       {QStringLiteral("LTR"), QStringLiteral("l")},
        {QStringLiteral("SET"), QStringLiteral("Satz")},     {QStringLiteral("LS"), QStringLiteral("pauschal")},
    };
    return words.value(code, code);
}

QString kindText(const QString& typeCode) {
    static const QHash<QString, QString> kinds = {
        {QStringLiteral("381"), QStringLiteral("Gutschrift")},
        {QStringLiteral("384"), QStringLiteral("Rechnungskorrektur")},
        {QStringLiteral("326"), QStringLiteral("Teilrechnung")},
        {QStringLiteral("386"), QStringLiteral("Vorauszahlungsrechnung")},
        {QStringLiteral("389"), QStringLiteral("Gutschrift (vom Käufer ausgestellt)")},
    };
    return kinds.value(typeCode, QStringLiteral("Rechnung"));
}

QString categoryText(const QString& category) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("Z"), QStringLiteral("Nullsatz")},
        {QStringLiteral("E"), QStringLiteral("Steuerbefreit")},
        {QStringLiteral("AE"), QStringLiteral("Steuerschuldnerschaft des Leistungsempfängers")},
        {QStringLiteral("K"), QStringLiteral("Innergemeinschaftliche Lieferung")},
        {QStringLiteral("G"), QStringLiteral("Ausfuhr")},
        {QStringLiteral("O"), QStringLiteral("Nicht steuerbar")},
    };
    if (category.isEmpty() || category == QLatin1String("S")) return {};
    return names.value(category, QStringLiteral("Kategorie ") + category);
}

}  // namespace

QString readableText(const ReceivedInvoice& inv) {
    QStringList out;
    const auto section = [&out](const QString& heading, const QStringList& body) {
        if (body.isEmpty()) return;
        out << QString() << heading << body;
    };
    const auto labelled = [](QStringList& body, const QString& label, const QString& value) {
        if (!value.trimmed().isEmpty()) body << label + QStringLiteral(": ") + value;
    };
    const auto dated = [&labelled](QStringList& body, const QString& label, const QDate& d) {
        if (d.isValid()) labelled(body, label, dayText(d));
    };
    const QString& cur = inv.currency;

    QString title = kindText(inv.typeCode);
    if (!inv.number.isEmpty()) title += QLatin1Char(' ') + inv.number;
    if (inv.issued.isValid()) title += QStringLiteral(" vom ") + dayText(inv.issued);
    out << title;
    dated(out, QStringLiteral("Leistungsdatum"), inv.delivered);
    labelled(out, QStringLiteral("Käuferreferenz"), inv.buyerReference);

    QStringList seller;
    if (!inv.sellerName.isEmpty()) seller << inv.sellerName;
    seller << inv.sellerAddress;
    labelled(seller, QStringLiteral("USt-IdNr."), inv.sellerVatId);
    labelled(seller, QStringLiteral("Steuernummer"), inv.sellerTaxNumber);
    labelled(seller, QStringLiteral("E-Mail"), inv.sellerEmail);
    section(QStringLiteral("Verkäufer"), seller);

    QStringList buyer;
    if (!inv.buyerName.isEmpty()) buyer << inv.buyerName;
    section(QStringLiteral("Käufer"), buyer << inv.buyerAddress);

    QStringList lines;
    for (const ReceivedLine& l : inv.lines) {
        QString s;
        if (!l.quantity.isEmpty()) {
            const QString unit = unitText(l.unit);
            s = decimalText(l.quantity) + QLatin1Char(' ') + (unit.isEmpty() ? QStringLiteral("×") : unit) +
                QLatin1Char(' ');
        }
        s += (l.name.isEmpty() ? QStringLiteral("(ohne Bezeichnung)") : l.name) + QStringLiteral(": ") +
             moneyText(l.net, cur);
        if (!l.taxRate.isEmpty()) s += QStringLiteral(" (") + decimalText(l.taxRate) + QStringLiteral(" %)");
        lines << s;
    }
    section(QStringLiteral("Positionen"), lines);

    QStringList taxes;
    for (const ReceivedTax& x : inv.taxes) {
        const QString category = categoryText(x.category);
        QString s;
        if (!category.isEmpty()) s = category + QStringLiteral(", ");
        if (!x.rate.isEmpty()) s += decimalText(x.rate) + QStringLiteral(" % ");
        s += QStringLiteral("auf ") + moneyText(x.basis, cur) + QStringLiteral(": ") + moneyText(x.tax, cur);
        taxes << s;
        labelled(taxes, QStringLiteral("Grund"), x.exemption);
    }
    section(QStringLiteral("Steuer"), taxes);

    // All four or none: 0,00 € Umsatzsteuer says something, a missing block of sums does not.
    QStringList sums;
    if (inv.netTotal != 0 || inv.taxTotal != 0 || inv.grossTotal != 0 || inv.duePayable != 0) {
        labelled(sums, QStringLiteral("Netto"), moneyText(inv.netTotal, cur));
        labelled(sums, QStringLiteral("Umsatzsteuer"), moneyText(inv.taxTotal, cur));
        labelled(sums, QStringLiteral("Brutto"), moneyText(inv.grossTotal, cur));
        labelled(sums, QStringLiteral("Zu zahlen"), moneyText(inv.duePayable, cur));
    }
    section(QStringLiteral("Summen"), sums);

    QStringList payment;
    for (const QString& t : inv.paymentTerms.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) payment << t.trimmed();
    dated(payment, QStringLiteral("Fällig am"), inv.due);
    labelled(payment, QStringLiteral("Empfänger"), inv.accountName);
    labelled(payment, QStringLiteral("IBAN"), inv.iban.isEmpty() ? QString() : groupedIban(inv.iban));
    labelled(payment, QStringLiteral("BIC"), inv.bic);
    labelled(payment, QStringLiteral("Verwendungszweck"), inv.paymentReference);
    section(QStringLiteral("Zahlung"), payment);

    section(QStringLiteral("Hinweise"), inv.notes);
    return out.join(QLatin1Char('\n'));
}

}  // namespace gd
