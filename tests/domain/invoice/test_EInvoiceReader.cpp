#include <gtest/gtest.h>

#include "domain/invoice/EInvoice.h"
#include "domain/invoice/EInvoiceReader.h"
#include "support/ResultAssert.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

// Shaped like what ciiXml writes, with a second VAT rate, a due date, BIC and account name.
const char* const kCiiInvoice = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<rsm:CrossIndustryInvoice xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100" xmlns:qdt="urn:un:unece:uncefact:data:standard:QualifiedDataType:100" xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100" xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100">
    <rsm:ExchangedDocumentContext>
        <ram:GuidelineSpecifiedDocumentContextParameter>
            <ram:ID>urn:cen.eu:en16931:2017</ram:ID>
        </ram:GuidelineSpecifiedDocumentContextParameter>
    </rsm:ExchangedDocumentContext>
    <rsm:ExchangedDocument>
        <ram:ID>RE-2026-0042</ram:ID>
        <ram:TypeCode>380</ram:TypeCode>
        <ram:IssueDateTime>
            <udt:DateTimeString format="102">20261203</udt:DateTimeString>
        </ram:IssueDateTime>
    </rsm:ExchangedDocument>
    <rsm:SupplyChainTradeTransaction>
        <ram:IncludedSupplyChainTradeLineItem>
            <ram:AssociatedDocumentLineDocument>
                <ram:LineID>1</ram:LineID>
            </ram:AssociatedDocumentLineDocument>
            <ram:SpecifiedTradeProduct>
                <ram:SellerAssignedID>A-100</ram:SellerAssignedID>
                <ram:Name>Versandkartons 40x30</ram:Name>
            </ram:SpecifiedTradeProduct>
            <ram:SpecifiedLineTradeAgreement>
                <ram:NetPriceProductTradePrice>
                    <ram:ChargeAmount>1.7500</ram:ChargeAmount>
                </ram:NetPriceProductTradePrice>
            </ram:SpecifiedLineTradeAgreement>
            <ram:SpecifiedLineTradeDelivery>
                <ram:BilledQuantity unitCode="H87">200</ram:BilledQuantity>
            </ram:SpecifiedLineTradeDelivery>
            <ram:SpecifiedLineTradeSettlement>
                <ram:ApplicableTradeTax>
                    <ram:TypeCode>VAT</ram:TypeCode>
                    <ram:CategoryCode>S</ram:CategoryCode>
                    <ram:RateApplicablePercent>19</ram:RateApplicablePercent>
                </ram:ApplicableTradeTax>
                <ram:SpecifiedTradeSettlementLineMonetarySummation>
                    <ram:LineTotalAmount>350.00</ram:LineTotalAmount>
                </ram:SpecifiedTradeSettlementLineMonetarySummation>
            </ram:SpecifiedLineTradeSettlement>
        </ram:IncludedSupplyChainTradeLineItem>
        <ram:IncludedSupplyChainTradeLineItem>
            <ram:AssociatedDocumentLineDocument>
                <ram:LineID>2</ram:LineID>
            </ram:AssociatedDocumentLineDocument>
            <ram:SpecifiedTradeProduct>
                <ram:SellerAssignedID>B-7</ram:SellerAssignedID>
                <ram:Name>Fachbuch Versandhandel</ram:Name>
            </ram:SpecifiedTradeProduct>
            <ram:SpecifiedLineTradeAgreement>
                <ram:NetPriceProductTradePrice>
                    <ram:ChargeAmount>62.30</ram:ChargeAmount>
                </ram:NetPriceProductTradePrice>
            </ram:SpecifiedLineTradeAgreement>
            <ram:SpecifiedLineTradeDelivery>
                <ram:BilledQuantity unitCode="C62">1</ram:BilledQuantity>
            </ram:SpecifiedLineTradeDelivery>
            <ram:SpecifiedLineTradeSettlement>
                <ram:ApplicableTradeTax>
                    <ram:TypeCode>VAT</ram:TypeCode>
                    <ram:CategoryCode>S</ram:CategoryCode>
                    <ram:RateApplicablePercent>7</ram:RateApplicablePercent>
                </ram:ApplicableTradeTax>
                <ram:SpecifiedTradeSettlementLineMonetarySummation>
                    <ram:LineTotalAmount>62.30</ram:LineTotalAmount>
                </ram:SpecifiedTradeSettlementLineMonetarySummation>
            </ram:SpecifiedLineTradeSettlement>
        </ram:IncludedSupplyChainTradeLineItem>
        <ram:ApplicableHeaderTradeAgreement>
            <ram:BuyerReference>991-01234-56</ram:BuyerReference>
            <ram:SellerTradeParty>
                <ram:Name>Kartonage Beispiel GmbH</ram:Name>
                <ram:PostalTradeAddress>
                    <ram:PostcodeCode>10115</ram:PostcodeCode>
                    <ram:LineOne>Lagerstraße 7</ram:LineOne>
                    <ram:CityName>Berlin</ram:CityName>
                    <ram:CountryID>DE</ram:CountryID>
                </ram:PostalTradeAddress>
                <ram:URIUniversalCommunication>
                    <ram:URIID schemeID="EM">rechnung@kartonage.example</ram:URIID>
                </ram:URIUniversalCommunication>
                <ram:SpecifiedTaxRegistration>
                    <ram:ID schemeID="FC">30/123/45678</ram:ID>
                </ram:SpecifiedTaxRegistration>
                <ram:SpecifiedTaxRegistration>
                    <ram:ID schemeID="VA">DE123456789</ram:ID>
                </ram:SpecifiedTaxRegistration>
            </ram:SellerTradeParty>
            <ram:BuyerTradeParty>
                <ram:Name>Anna Händlerin</ram:Name>
                <ram:PostalTradeAddress>
                    <ram:PostcodeCode>04109</ram:PostcodeCode>
                    <ram:LineOne>Marktweg 3</ram:LineOne>
                    <ram:CityName>Leipzig</ram:CityName>
                    <ram:CountryID>DE</ram:CountryID>
                </ram:PostalTradeAddress>
            </ram:BuyerTradeParty>
        </ram:ApplicableHeaderTradeAgreement>
        <ram:ApplicableHeaderTradeDelivery>
            <ram:ActualDeliverySupplyChainEvent>
                <ram:OccurrenceDateTime>
                    <udt:DateTimeString format="102">20261201</udt:DateTimeString>
                </ram:OccurrenceDateTime>
            </ram:ActualDeliverySupplyChainEvent>
        </ram:ApplicableHeaderTradeDelivery>
        <ram:ApplicableHeaderTradeSettlement>
            <ram:PaymentReference>RE-2026-0042</ram:PaymentReference>
            <ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>
            <ram:SpecifiedTradeSettlementPaymentMeans>
                <ram:TypeCode>58</ram:TypeCode>
                <ram:PayeePartyCreditorFinancialAccount>
                    <ram:IBANID>DE89370400440532013000</ram:IBANID>
                    <ram:AccountName>Kartonage Beispiel GmbH</ram:AccountName>
                </ram:PayeePartyCreditorFinancialAccount>
                <ram:PayeeSpecifiedCreditorFinancialInstitution>
                    <ram:BICID>COBADEFFXXX</ram:BICID>
                </ram:PayeeSpecifiedCreditorFinancialInstitution>
            </ram:SpecifiedTradeSettlementPaymentMeans>
            <ram:ApplicableTradeTax>
                <ram:CalculatedAmount>66.50</ram:CalculatedAmount>
                <ram:TypeCode>VAT</ram:TypeCode>
                <ram:BasisAmount>350.00</ram:BasisAmount>
                <ram:CategoryCode>S</ram:CategoryCode>
                <ram:RateApplicablePercent>19</ram:RateApplicablePercent>
            </ram:ApplicableTradeTax>
            <ram:ApplicableTradeTax>
                <ram:CalculatedAmount>4.36</ram:CalculatedAmount>
                <ram:TypeCode>VAT</ram:TypeCode>
                <ram:BasisAmount>62.30</ram:BasisAmount>
                <ram:CategoryCode>S</ram:CategoryCode>
                <ram:RateApplicablePercent>7</ram:RateApplicablePercent>
            </ram:ApplicableTradeTax>
            <ram:SpecifiedTradePaymentTerms>
                <ram:Description>Zahlbar innerhalb 14 Tagen ohne Abzug.</ram:Description>
                <ram:DueDateDateTime>
                    <udt:DateTimeString format="102">20261217</udt:DateTimeString>
                </ram:DueDateDateTime>
            </ram:SpecifiedTradePaymentTerms>
            <ram:SpecifiedTradeSettlementHeaderMonetarySummation>
                <ram:LineTotalAmount>412.30</ram:LineTotalAmount>
                <ram:TaxBasisTotalAmount>412.30</ram:TaxBasisTotalAmount>
                <ram:TaxTotalAmount currencyID="EUR">70.86</ram:TaxTotalAmount>
                <ram:GrandTotalAmount>483.16</ram:GrandTotalAmount>
                <ram:DuePayableAmount>483.16</ram:DuePayableAmount>
            </ram:SpecifiedTradeSettlementHeaderMonetarySummation>
        </ram:ApplicableHeaderTradeSettlement>
    </rsm:SupplyChainTradeTransaction>
</rsm:CrossIndustryInvoice>
)xml";

// § 19, with prefixes of the sender's own choosing: "ram" is bound to a foreign namespace here,
// and a payee whose name and address must not pass for the seller's.
const char* const kCiiSmallBusiness = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<x:CrossIndustryInvoice xmlns:x="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
    xmlns:r="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"
    xmlns:u="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"
    xmlns:ram="urn:example:fremd">
  <x:ExchangedDocument>
    <r:ID>KU-7</r:ID>
    <ram:ID>FALSCH</ram:ID>
    <r:TypeCode>380</r:TypeCode>
    <r:IssueDateTime><u:DateTimeString format="102">20260115</u:DateTimeString></r:IssueDateTime>
    <r:IncludedNote><r:Content>#ADU#Vielen Dank für Ihren Einkauf.</r:Content></r:IncludedNote>
  </x:ExchangedDocument>
  <x:SupplyChainTradeTransaction>
    <r:IncludedSupplyChainTradeLineItem>
      <r:SpecifiedTradeProduct><r:Name>Handgenähte Tasche</r:Name></r:SpecifiedTradeProduct>
      <r:SpecifiedLineTradeDelivery><r:BilledQuantity unitCode="C62">1</r:BilledQuantity></r:SpecifiedLineTradeDelivery>
      <r:SpecifiedLineTradeSettlement>
        <r:ApplicableTradeTax>
          <r:TypeCode>VAT</r:TypeCode><r:CategoryCode>E</r:CategoryCode>
          <r:RateApplicablePercent>0</r:RateApplicablePercent>
        </r:ApplicableTradeTax>
        <r:SpecifiedTradeSettlementLineMonetarySummation>
          <r:LineTotalAmount>45.00</r:LineTotalAmount>
        </r:SpecifiedTradeSettlementLineMonetarySummation>
      </r:SpecifiedLineTradeSettlement>
    </r:IncludedSupplyChainTradeLineItem>
    <r:ApplicableHeaderTradeAgreement>
      <r:SellerTradeParty>
        <r:Name>Nähstube Klein</r:Name>
        <r:PostalTradeAddress>
          <r:PostcodeCode>79098</r:PostcodeCode><r:LineOne>Münsterplatz 4</r:LineOne>
          <r:LineTwo>Hinterhaus</r:LineTwo><r:CityName>Freiburg</r:CityName><r:CountryID>DE</r:CountryID>
        </r:PostalTradeAddress>
        <r:SpecifiedTaxRegistration><r:ID schemeID="FC">06/123/45678</r:ID></r:SpecifiedTaxRegistration>
      </r:SellerTradeParty>
      <r:BuyerTradeParty><r:Name>Max Käufer</r:Name></r:BuyerTradeParty>
    </r:ApplicableHeaderTradeAgreement>
    <r:ApplicableHeaderTradeDelivery/>
    <r:ApplicableHeaderTradeSettlement>
      <r:InvoiceCurrencyCode>EUR</r:InvoiceCurrencyCode>
      <r:PayeeTradeParty>
        <r:Name>Inkasso Süd AG</r:Name>
        <r:PostalTradeAddress>
          <r:PostcodeCode>80331</r:PostcodeCode><r:LineOne>Bankgasse 1</r:LineOne>
          <r:CityName>München</r:CityName><r:CountryID>DE</r:CountryID>
        </r:PostalTradeAddress>
      </r:PayeeTradeParty>
      <r:ApplicableTradeTax>
        <r:CalculatedAmount>0.00</r:CalculatedAmount><r:TypeCode>VAT</r:TypeCode>
        <r:ExemptionReason>Kein Ausweis von Umsatzsteuer, da Kleinunternehmer gemäß § 19 UStG</r:ExemptionReason>
        <r:BasisAmount>45.00</r:BasisAmount><r:CategoryCode>E</r:CategoryCode>
        <r:RateApplicablePercent>0</r:RateApplicablePercent>
      </r:ApplicableTradeTax>
      <r:SpecifiedTradeSettlementHeaderMonetarySummation>
        <r:LineTotalAmount>45.00</r:LineTotalAmount><r:TaxBasisTotalAmount>45.00</r:TaxBasisTotalAmount>
        <r:TaxTotalAmount currencyID="EUR">0.00</r:TaxTotalAmount><r:GrandTotalAmount>45.00</r:GrandTotalAmount>
        <r:DuePayableAmount>45.00</r:DuePayableAmount>
      </r:SpecifiedTradeSettlementHeaderMonetarySummation>
    </r:ApplicableHeaderTradeSettlement>
  </x:SupplyChainTradeTransaction>
</x:CrossIndustryInvoice>
)xml";

// The second TaxTotal is in another currency and must not replace the first.
const char* const kUblInvoice = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
         xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
         xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <cbc:CustomizationID>urn:cen.eu:en16931:2017</cbc:CustomizationID>
  <cbc:ID>2026-991</cbc:ID>
  <cbc:IssueDate>2026-11-28</cbc:IssueDate>
  <cbc:DueDate>2026-12-12</cbc:DueDate>
  <cbc:InvoiceTypeCode>380</cbc:InvoiceTypeCode>
  <cbc:Note>Lieferung ab Lager Hamburg.</cbc:Note>
  <cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>
  <cbc:BuyerReference>K-4711</cbc:BuyerReference>
  <cac:AccountingSupplierParty>
    <cac:Party>
      <cbc:EndpointID schemeID="EM">faktura@lieferant.example</cbc:EndpointID>
      <cac:PartyName><cbc:Name>Lieferant Nord</cbc:Name></cac:PartyName>
      <cac:PostalAddress>
        <cbc:StreetName>Hafenstraße 12</cbc:StreetName>
        <cbc:CityName>Hamburg</cbc:CityName>
        <cbc:PostalZone>20457</cbc:PostalZone>
        <cac:Country><cbc:IdentificationCode>DE</cbc:IdentificationCode></cac:Country>
      </cac:PostalAddress>
      <cac:PartyTaxScheme>
        <cbc:CompanyID>DE987654321</cbc:CompanyID>
        <cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme>
      </cac:PartyTaxScheme>
      <cac:PartyTaxScheme>
        <cbc:CompanyID>22/815/08151</cbc:CompanyID>
        <cac:TaxScheme><cbc:ID>FC</cbc:ID></cac:TaxScheme>
      </cac:PartyTaxScheme>
      <cac:PartyLegalEntity><cbc:RegistrationName>Lieferant Nord GmbH &amp; Co. KG</cbc:RegistrationName></cac:PartyLegalEntity>
      <cac:Contact><cbc:ElectronicMail>buchhaltung@lieferant.example</cbc:ElectronicMail></cac:Contact>
    </cac:Party>
  </cac:AccountingSupplierParty>
  <cac:AccountingCustomerParty>
    <cac:Party>
      <cac:PostalAddress>
        <cbc:StreetName>Ringstraße 3</cbc:StreetName>
        <cbc:CityName>Wien</cbc:CityName>
        <cbc:PostalZone>1010</cbc:PostalZone>
        <cac:Country><cbc:IdentificationCode>AT</cbc:IdentificationCode></cac:Country>
      </cac:PostalAddress>
      <cac:PartyLegalEntity><cbc:RegistrationName>Anna Händlerin</cbc:RegistrationName></cac:PartyLegalEntity>
    </cac:Party>
  </cac:AccountingCustomerParty>
  <cac:Delivery><cbc:ActualDeliveryDate>2026-11-27</cbc:ActualDeliveryDate></cac:Delivery>
  <cac:PaymentMeans>
    <cbc:PaymentMeansCode>58</cbc:PaymentMeansCode>
    <cbc:PaymentID>2026-991</cbc:PaymentID>
    <cac:PayeeFinancialAccount>
      <cbc:ID>DE02120300000000202051</cbc:ID>
      <cbc:Name>Lieferant Nord</cbc:Name>
      <cac:FinancialInstitutionBranch><cbc:ID>BYLADEM1001</cbc:ID></cac:FinancialInstitutionBranch>
    </cac:PayeeFinancialAccount>
  </cac:PaymentMeans>
  <cac:PaymentTerms><cbc:Note>Zahlbar bis 12.12.2026 ohne Abzug.</cbc:Note></cac:PaymentTerms>
  <cac:TaxTotal>
    <cbc:TaxAmount currencyID="EUR">19.00</cbc:TaxAmount>
    <cac:TaxSubtotal>
      <cbc:TaxableAmount currencyID="EUR">100.00</cbc:TaxableAmount>
      <cbc:TaxAmount currencyID="EUR">19.00</cbc:TaxAmount>
      <cac:TaxCategory>
        <cbc:ID>S</cbc:ID><cbc:Percent>19</cbc:Percent>
        <cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme>
      </cac:TaxCategory>
    </cac:TaxSubtotal>
  </cac:TaxTotal>
  <cac:TaxTotal><cbc:TaxAmount currencyID="USD">21.50</cbc:TaxAmount></cac:TaxTotal>
  <cac:LegalMonetaryTotal>
    <cbc:LineExtensionAmount currencyID="EUR">100.00</cbc:LineExtensionAmount>
    <cbc:TaxExclusiveAmount currencyID="EUR">100.00</cbc:TaxExclusiveAmount>
    <cbc:TaxInclusiveAmount currencyID="EUR">119.00</cbc:TaxInclusiveAmount>
    <cbc:PayableAmount currencyID="EUR">119.00</cbc:PayableAmount>
  </cac:LegalMonetaryTotal>
  <cac:InvoiceLine>
    <cbc:ID>1</cbc:ID>
    <cbc:InvoicedQuantity unitCode="HUR">2.5</cbc:InvoicedQuantity>
    <cbc:LineExtensionAmount currencyID="EUR">100.00</cbc:LineExtensionAmount>
    <cac:Item>
      <cbc:Name>Verpackungsservice</cbc:Name>
      <cac:ClassifiedTaxCategory>
        <cbc:ID>S</cbc:ID><cbc:Percent>19</cbc:Percent>
        <cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme>
      </cac:ClassifiedTaxCategory>
    </cac:Item>
    <cac:Price><cbc:PriceAmount currencyID="EUR">40.00</cbc:PriceAmount></cac:Price>
  </cac:InvoiceLine>
</Invoice>
)xml";

const char* const kUblCreditNote = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<c:CreditNote xmlns:c="urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
              xmlns:a="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
              xmlns:b="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <b:ID>GS-17</b:ID>
  <b:IssueDate>2026-12-05</b:IssueDate>
  <b:CreditNoteTypeCode>381</b:CreditNoteTypeCode>
  <b:DocumentCurrencyCode>EUR</b:DocumentCurrencyCode>
  <a:AccountingSupplierParty><a:Party>
    <a:PartyName><b:Name>Lieferant Nord</b:Name></a:PartyName>
    <a:PostalAddress>
      <b:CityName>Hamburg</b:CityName><b:PostalZone>20457</b:PostalZone>
      <a:Country><b:IdentificationCode>DE</b:IdentificationCode></a:Country>
    </a:PostalAddress>
  </a:Party></a:AccountingSupplierParty>
  <a:AccountingCustomerParty><a:Party>
    <a:PartyName><b:Name>Anna Händlerin</b:Name></a:PartyName>
  </a:Party></a:AccountingCustomerParty>
  <a:TaxTotal>
    <b:TaxAmount currencyID="EUR">3.80</b:TaxAmount>
    <a:TaxSubtotal>
      <b:TaxableAmount currencyID="EUR">20.00</b:TaxableAmount><b:TaxAmount currencyID="EUR">3.80</b:TaxAmount>
      <a:TaxCategory><b:ID>S</b:ID><b:Percent>19</b:Percent><a:TaxScheme><b:ID>VAT</b:ID></a:TaxScheme></a:TaxCategory>
    </a:TaxSubtotal>
  </a:TaxTotal>
  <a:LegalMonetaryTotal>
    <b:LineExtensionAmount currencyID="EUR">20.00</b:LineExtensionAmount>
    <b:TaxExclusiveAmount currencyID="EUR">20.00</b:TaxExclusiveAmount>
    <b:TaxInclusiveAmount currencyID="EUR">23.80</b:TaxInclusiveAmount>
    <b:PayableAmount currencyID="EUR">23.80</b:PayableAmount>
  </a:LegalMonetaryTotal>
  <a:CreditNoteLine>
    <b:ID>1</b:ID>
    <b:CreditedQuantity unitCode="C62">1</b:CreditedQuantity>
    <b:LineExtensionAmount currencyID="EUR">20.00</b:LineExtensionAmount>
    <a:Item>
      <b:Name>Rücknahme beschädigter Karton</b:Name>
      <a:ClassifiedTaxCategory><b:ID>S</b:ID><b:Percent>19</b:Percent><a:TaxScheme><b:ID>VAT</b:ID></a:TaxScheme></a:ClassifiedTaxCategory>
    </a:Item>
  </a:CreditNoteLine>
</c:CreditNote>
)xml";

const char* const kCiiNamespaces =
    R"(xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100" )"
    R"(xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100" )"
    R"(xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100")";

ReceivedInvoice parsed(const QByteArray& xml) {
    const Result<ReceivedInvoice> r = readEInvoice(xml);
    EXPECT_TRUE(test::ok(r));
    return r.ok() ? r.value() : ReceivedInvoice{};
}

void expectLines(const QString& text, const QStringList& wanted) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& w : wanted)
        EXPECT_TRUE(lines.contains(w)) << w.toStdString() << "\nnot in:\n" << text.toStdString();
}

TEST(EInvoiceReader, CiiWithTwoRates) {
    const ReceivedInvoice inv = parsed(QByteArray(kCiiInvoice));
    EXPECT_EQ(inv.syntax, u"CII"_s);
    EXPECT_EQ(inv.typeCode, u"380"_s);
    EXPECT_EQ(inv.number, u"RE-2026-0042"_s);
    EXPECT_EQ(inv.buyerReference, u"991-01234-56"_s);
    EXPECT_EQ(inv.issued, QDate(2026, 12, 3));
    EXPECT_EQ(inv.delivered, QDate(2026, 12, 1));
    EXPECT_EQ(inv.due, QDate(2026, 12, 17));
    EXPECT_EQ(inv.currency, u"EUR"_s);
    EXPECT_EQ(inv.sellerName, u"Kartonage Beispiel GmbH"_s);
    EXPECT_EQ(inv.sellerAddress, (QStringList{u"Lagerstraße 7"_s, u"10115 Berlin"_s}));
    EXPECT_EQ(inv.sellerVatId, u"DE123456789"_s);
    EXPECT_EQ(inv.sellerTaxNumber, u"30/123/45678"_s);
    EXPECT_EQ(inv.sellerEmail, u"rechnung@kartonage.example"_s);
    EXPECT_EQ(inv.buyerName, u"Anna Händlerin"_s);
    EXPECT_EQ(inv.buyerAddress, (QStringList{u"Marktweg 3"_s, u"04109 Leipzig"_s}));
    EXPECT_EQ(inv.iban, u"DE89370400440532013000"_s);
    EXPECT_EQ(inv.bic, u"COBADEFFXXX"_s);
    EXPECT_EQ(inv.accountName, u"Kartonage Beispiel GmbH"_s);
    EXPECT_EQ(inv.paymentReference, u"RE-2026-0042"_s);
    EXPECT_EQ(inv.paymentTerms, u"Zahlbar innerhalb 14 Tagen ohne Abzug."_s);
    EXPECT_EQ(inv.netTotal, 41230);
    EXPECT_EQ(inv.taxTotal, 7086);
    EXPECT_EQ(inv.grossTotal, 48316);
    EXPECT_EQ(inv.duePayable, 48316);
    EXPECT_TRUE(inv.notes.isEmpty());

    const struct {
        const char16_t* name;
        const char* quantity;
        const char* unit;
        qint64 net;
        const char* rate;
    } lines[] = {{u"Versandkartons 40x30", "200", "H87", 35000, "19"},
                 {u"Fachbuch Versandhandel", "1", "C62", 6230, "7"}};
    ASSERT_EQ(inv.lines.size(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(inv.lines[i].name, QString::fromUtf16(lines[i].name));
        EXPECT_EQ(inv.lines[i].quantity, QLatin1String(lines[i].quantity));
        EXPECT_EQ(inv.lines[i].unit, QLatin1String(lines[i].unit));
        EXPECT_EQ(inv.lines[i].net, lines[i].net);
        EXPECT_EQ(inv.lines[i].taxRate, QLatin1String(lines[i].rate));
        EXPECT_EQ(inv.lines[i].taxCategory, u"S"_s);
    }
    // Only the header's taxes, not the lines' ApplicableTradeTax.
    ASSERT_EQ(inv.taxes.size(), 2);
    EXPECT_EQ(inv.taxes[0].rate, u"19"_s);
    EXPECT_EQ(inv.taxes[0].basis, 35000);
    EXPECT_EQ(inv.taxes[0].tax, 6650);
    EXPECT_EQ(inv.taxes[1].rate, u"7"_s);
    EXPECT_EQ(inv.taxes[1].basis, 6230);
    EXPECT_EQ(inv.taxes[1].tax, 436);

    const QString text = readableText(inv);
    expectLines(
        text, {u"Rechnung RE-2026-0042 vom 03.12.2026"_s, u"Leistungsdatum: 01.12.2026"_s, u"USt-IdNr.: DE123456789"_s,
               u"200 Stück Versandkartons 40x30: 350,00 € (19 %)"_s, u"1 Stück Fachbuch Versandhandel: 62,30 € (7 %)"_s,
               u"19 % auf 350,00 €: 66,50 €"_s, u"7 % auf 62,30 €: 4,36 €"_s, u"Umsatzsteuer: 70,86 €"_s,
               u"Zu zahlen: 483,16 €"_s, u"Fällig am: 17.12.2026"_s, u"IBAN: DE89 3704 0044 0532 0130 00"_s,
               u"Verwendungszweck: RE-2026-0042"_s});
    const QStringList order = text.split(QLatin1Char('\n'));
    qsizetype last = -1;
    for (const QString& heading :
         {u"Verkäufer"_s, u"Käufer"_s, u"Positionen"_s, u"Steuer"_s, u"Summen"_s, u"Zahlung"_s}) {
        const qsizetype at = order.indexOf(heading);
        EXPECT_GT(at, last) << heading.toStdString();
        last = at;
    }
}

TEST(EInvoiceReader, CiiSmallBusinessByNamespaceNotPrefix) {
    const ReceivedInvoice inv = parsed(QByteArray(kCiiSmallBusiness));
    EXPECT_EQ(inv.number, u"KU-7"_s);
    EXPECT_EQ(inv.issued, QDate(2026, 1, 15));
    EXPECT_EQ(inv.sellerName, u"Nähstube Klein"_s);
    EXPECT_EQ(inv.sellerAddress, (QStringList{u"Münsterplatz 4"_s, u"Hinterhaus"_s, u"79098 Freiburg"_s}));
    EXPECT_EQ(inv.sellerTaxNumber, u"06/123/45678"_s);
    EXPECT_TRUE(inv.sellerVatId.isEmpty());
    EXPECT_EQ(inv.buyerName, u"Max Käufer"_s);
    EXPECT_TRUE(inv.buyerAddress.isEmpty());
    EXPECT_FALSE(inv.delivered.isValid());
    EXPECT_EQ(inv.notes, QStringList{u"Vielen Dank für Ihren Einkauf."_s});
    ASSERT_EQ(inv.lines.size(), 1);
    EXPECT_EQ(inv.lines[0].taxCategory, u"E"_s);
    ASSERT_EQ(inv.taxes.size(), 1);
    EXPECT_EQ(inv.taxes[0].category, u"E"_s);
    EXPECT_EQ(inv.taxes[0].basis, 4500);
    EXPECT_EQ(inv.taxes[0].tax, 0);
    EXPECT_EQ(inv.taxes[0].exemption, u"Kein Ausweis von Umsatzsteuer, da Kleinunternehmer gemäß § 19 UStG"_s);
    EXPECT_EQ(inv.taxTotal, 0);
    EXPECT_EQ(inv.duePayable, 4500);

    const QString text = readableText(inv);
    expectLines(text, {u"Steuerbefreit, 0 % auf 45,00 €: 0,00 €"_s,
                       u"Grund: Kein Ausweis von Umsatzsteuer, da Kleinunternehmer gemäß § 19 UStG"_s,
                       u"Umsatzsteuer: 0,00 €"_s, u"Vielen Dank für Ihren Einkauf."_s});
    for (const char* absent : {"USt-IdNr.", "Leistungsdatum", "Zahlung", "Inkasso", "FALSCH"})
        EXPECT_FALSE(text.contains(QLatin1String(absent))) << absent;
}

TEST(EInvoiceReader, UblInvoice) {
    const ReceivedInvoice inv = parsed(QByteArray(kUblInvoice));
    EXPECT_EQ(inv.syntax, u"UBL"_s);
    EXPECT_EQ(inv.typeCode, u"380"_s);
    EXPECT_EQ(inv.number, u"2026-991"_s);
    EXPECT_EQ(inv.issued, QDate(2026, 11, 28));
    EXPECT_EQ(inv.due, QDate(2026, 12, 12));
    EXPECT_EQ(inv.delivered, QDate(2026, 11, 27));
    EXPECT_EQ(inv.buyerReference, u"K-4711"_s);
    EXPECT_EQ(inv.sellerName, u"Lieferant Nord GmbH & Co. KG"_s);  // the registered name before the trading name
    EXPECT_EQ(inv.sellerAddress, (QStringList{u"Hafenstraße 12"_s, u"20457 Hamburg"_s}));
    EXPECT_EQ(inv.sellerVatId, u"DE987654321"_s);
    EXPECT_EQ(inv.sellerTaxNumber, u"22/815/08151"_s);
    EXPECT_EQ(inv.sellerEmail, u"buchhaltung@lieferant.example"_s);
    EXPECT_EQ(inv.buyerName, u"Anna Händlerin"_s);
    EXPECT_EQ(inv.buyerAddress, (QStringList{u"Ringstraße 3"_s, u"1010 Wien"_s, u"AT"_s}));
    EXPECT_EQ(inv.iban, u"DE02120300000000202051"_s);
    EXPECT_EQ(inv.bic, u"BYLADEM1001"_s);
    EXPECT_EQ(inv.accountName, u"Lieferant Nord"_s);
    EXPECT_EQ(inv.paymentReference, u"2026-991"_s);
    EXPECT_EQ(inv.paymentTerms, u"Zahlbar bis 12.12.2026 ohne Abzug."_s);
    EXPECT_EQ(inv.notes, QStringList{u"Lieferung ab Lager Hamburg."_s});
    EXPECT_EQ(inv.netTotal, 10000);
    EXPECT_EQ(inv.taxTotal, 1900);
    EXPECT_EQ(inv.grossTotal, 11900);
    EXPECT_EQ(inv.duePayable, 11900);
    ASSERT_EQ(inv.lines.size(), 1);
    EXPECT_EQ(inv.lines[0].name, u"Verpackungsservice"_s);
    EXPECT_EQ(inv.lines[0].quantity, u"2.5"_s);
    EXPECT_EQ(inv.lines[0].unit, u"HUR"_s);
    EXPECT_EQ(inv.lines[0].net, 10000);
    EXPECT_EQ(inv.lines[0].taxRate, u"19"_s);
    EXPECT_EQ(inv.lines[0].taxCategory, u"S"_s);
    ASSERT_EQ(inv.taxes.size(), 1);
    EXPECT_EQ(inv.taxes[0].category, u"S"_s);
    EXPECT_EQ(inv.taxes[0].basis, 10000);
    EXPECT_EQ(inv.taxes[0].tax, 1900);
    expectLines(readableText(inv),
                {u"Rechnung 2026-991 vom 28.11.2026"_s, u"Käuferreferenz: K-4711"_s, u"Steuernummer: 22/815/08151"_s,
                 u"2,5 Std. Verpackungsservice: 100,00 € (19 %)"_s, u"IBAN: DE02 1203 0000 0000 2020 51"_s,
                 u"BIC: BYLADEM1001"_s, u"Empfänger: Lieferant Nord"_s});
}

TEST(EInvoiceReader, UblCreditNote) {
    const ReceivedInvoice inv = parsed(QByteArray(kUblCreditNote));
    EXPECT_EQ(inv.syntax, u"UBL"_s);
    EXPECT_EQ(inv.typeCode, u"381"_s);
    EXPECT_EQ(inv.number, u"GS-17"_s);
    EXPECT_EQ(inv.sellerName, u"Lieferant Nord"_s);
    EXPECT_EQ(inv.sellerAddress, QStringList{u"20457 Hamburg"_s});
    EXPECT_EQ(inv.buyerName, u"Anna Händlerin"_s);
    ASSERT_EQ(inv.lines.size(), 1);
    EXPECT_EQ(inv.lines[0].quantity, u"1"_s);
    EXPECT_EQ(inv.lines[0].net, 2000);
    EXPECT_EQ(inv.grossTotal, 2380);
    const QString text = readableText(inv);
    expectLines(text, {u"Gutschrift GS-17 vom 05.12.2026"_s, u"1 Stück Rücknahme beschädigter Karton: 20,00 € (19 %)"_s,
                       u"Brutto: 23,80 €"_s});
    for (const char* absent : {"Zahlung", "IBAN", "Hinweise", "Käuferreferenz", "E-Mail"})
        EXPECT_FALSE(text.contains(QLatin1String(absent))) << absent;
}

TEST(EInvoiceReader, ReadsWhatThisProgramWrites) {
    Invoice sale;
    sale.Nummer = u"2026-0007"_s;
    sale.Datum = QDate(2026, 12, 3);
    sale.Lieferdatum = QDate(2026, 12, 1);
    sale.Verkaeufer = u"Jörg Händler"_s;
    sale.VerkaeuferAnschrift = {u"Hauptstraße 12"_s, u"10115 Berlin"_s, u"Deutschland"_s};
    sale.VerkaeuferEmail = u"joerg@haendler.example"_s;
    sale.Kaeufer = {u"Erika Muster"_s, u"Gartenweg 5"_s, u"80331 München"_s};
    InvoiceItem mill;
    mill.AuktionsNr = u"4711"_s;
    mill.Titel = u"Kaffeemühle"_s;
    mill.Menge = 2;
    mill.Einzelpreis = 2990;
    InvoiceItem book = mill;
    book.AuktionsNr = u"4712"_s;
    book.Titel = u"Kochbuch"_s;
    book.Menge = 1;
    book.Einzelpreis = 1200;
    book.Steuersatz = 7;
    sale.Posten = {mill, book};
    sale.Versand = 490;
    sale.Steuerart = u"19"_s;
    sale.UstId = u"DE123456789"_s;
    sale.Iban = u"DE89 3704 0044 0532 0130 00"_s;
    sale.Verwendungszweck = u"2026-0007"_s;
    const Result<QByteArray> xml = ciiXml(sale);
    ASSERT_TRUE(test::ok(xml));

    const ReceivedInvoice inv = parsed(xml.value());
    EXPECT_EQ(inv.number, u"2026-0007"_s);
    EXPECT_EQ(inv.typeCode, u"380"_s);
    EXPECT_EQ(inv.issued, QDate(2026, 12, 3));
    EXPECT_EQ(inv.delivered, QDate(2026, 12, 1));
    EXPECT_EQ(inv.sellerName, u"Jörg Händler"_s);
    EXPECT_EQ(inv.sellerAddress, (QStringList{u"Hauptstraße 12"_s, u"10115 Berlin"_s}));
    EXPECT_EQ(inv.sellerVatId, u"DE123456789"_s);
    EXPECT_EQ(inv.sellerEmail, u"joerg@haendler.example"_s);
    EXPECT_EQ(inv.buyerName, u"Erika Muster"_s);
    EXPECT_EQ(inv.buyerAddress, (QStringList{u"Gartenweg 5"_s, u"80331 München"_s}));
    EXPECT_EQ(inv.iban, u"DE89370400440532013000"_s);
    EXPECT_EQ(inv.paymentReference, u"2026-0007"_s);
    // Two sales at 19 % and 7 %, and shipping shared between the rates.
    ASSERT_GE(inv.lines.size(), 3);
    EXPECT_EQ(inv.lines[0].name, u"Kaffeemühle"_s);
    EXPECT_EQ(inv.lines[0].quantity, u"2"_s);
    EXPECT_EQ(inv.lines[0].unit, u"H87"_s);
    EXPECT_EQ(inv.lines[0].taxRate, u"19"_s);
    EXPECT_EQ(inv.lines[1].name, u"Kochbuch"_s);
    EXPECT_EQ(inv.lines[1].taxRate, u"7"_s);
    EXPECT_EQ(inv.grossTotal, 7670);
    EXPECT_EQ(inv.duePayable, 7670);
    EXPECT_EQ(inv.netTotal + inv.taxTotal, inv.grossTotal);
    qint64 lineNets = 0, bases = 0, taxes = 0;
    for (const ReceivedLine& l : inv.lines) lineNets += l.net;
    for (const ReceivedTax& t : inv.taxes) {
        bases += t.basis;
        taxes += t.tax;
    }
    EXPECT_EQ(lineNets, inv.netTotal);
    EXPECT_EQ(bases, inv.netTotal);
    EXPECT_EQ(taxes, inv.taxTotal);
    ASSERT_EQ(inv.taxes.size(), 2);
    EXPECT_EQ(inv.taxes[0].rate, u"19"_s);
    EXPECT_EQ(inv.taxes[1].rate, u"7"_s);
    expectLines(readableText(inv), {u"Rechnung 2026-0007 vom 03.12.2026"_s, u"IBAN: DE89 3704 0044 0532 0130 00"_s,
                                    u"Zu zahlen: 76,70 €"_s});
}

// Whatever is missing is left out: no label without a value, no heading without lines.
TEST(EInvoiceReader, TextHasNoEmptyParts) {
    ReceivedInvoice bare;
    bare.number = u"RE-1"_s;
    EXPECT_EQ(readableText(bare), u"Rechnung RE-1"_s);
    for (const char* xml : {kCiiInvoice, kCiiSmallBusiness, kUblInvoice, kUblCreditNote}) {
        const QStringList lines = readableText(parsed(QByteArray(xml))).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            EXPECT_FALSE(lines[i].trimmed().endsWith(QLatin1Char(':'))) << lines[i].toStdString();
            if (lines[i].isEmpty()) {
                ASSERT_LT(i + 2, lines.size());
                EXPECT_FALSE(lines[i + 1].isEmpty());
                EXPECT_FALSE(lines[i + 2].isEmpty()) << "heading without lines: " << lines[i + 1].toStdString();
            }
        }
    }
}

TEST(EInvoiceReader, HeadingAndLinesAsText) {
    const struct {
        const char* typeCode;
        const char16_t* heading;
    } kinds[] = {{"380", u"Rechnung RE-1 vom 03.12.2026"},
                 {"381", u"Gutschrift RE-1 vom 03.12.2026"},
                 {"384", u"Rechnungskorrektur RE-1 vom 03.12.2026"},
                 {"", u"Rechnung RE-1 vom 03.12.2026"},
                 {"999", u"Rechnung RE-1 vom 03.12.2026"}};
    for (const auto& k : kinds) {
        ReceivedInvoice inv;
        inv.number = u"RE-1"_s;
        inv.issued = QDate(2026, 12, 3);
        inv.typeCode = QLatin1String(k.typeCode);
        EXPECT_EQ(readableText(inv), QString::fromUtf16(k.heading)) << k.typeCode;
    }

    const struct {
        const char* quantity;
        const char* unit;
        const char16_t* name;
        qint64 net;
        const char* rate;
        const char* currency;
        const char16_t* line;
    } lines[] = {
        {"2.0000", "H87", u"Teil", 123456, "19.00", "EUR", u"2 Stück Teil: 1.234,56 € (19 %)"},
        {"1.5", "KGM", u"Mehl", -500, "7", "", u"1,5 kg Mehl: -5,00 € (7 %)"},
        {"3", "HUR", u"Beratung", 9000, "", "EUR", u"3 Std. Beratung: 90,00 €"},
        {"4", "XYZ", u"Ding", 100, "5.5", "EUR", u"4 XYZ Ding: 1,00 € (5,5 %)"},
        {"2", "", u"Ding", 100, "", "EUR", u"2 × Ding: 1,00 €"},
        {"10", "C62", u"Ding", 100, "", "USD", u"10 Stück Ding: 1,00 USD"},
        {"", "", u"", 0, "", "EUR", u"(ohne Bezeichnung): 0,00 €"},
    };
    for (const auto& l : lines) {
        ReceivedInvoice inv;
        inv.number = u"RE-1"_s;
        inv.currency = QLatin1String(l.currency);
        inv.lines << ReceivedLine{QString::fromUtf16(l.name), QLatin1String(l.quantity),
                                  QLatin1String(l.unit),      l.net,
                                  QLatin1String(l.rate),      QString()};
        const QStringList text = readableText(inv).split(QLatin1Char('\n'));
        EXPECT_EQ(text, (QStringList{u"Rechnung RE-1"_s, QString(), u"Positionen"_s, QString::fromUtf16(l.line)}));
    }
}

TEST(EInvoiceReader, AmountsExactlyInCents) {
    const char* const minimal =
        R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2" )"
        R"(xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2" )"
        R"(xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">)"
        R"(<cbc:ID>M-1</cbc:ID><cac:LegalMonetaryTotal><cbc:PayableAmount currencyID="EUR">%1</cbc:PayableAmount>)"
        R"(</cac:LegalMonetaryTotal></Invoice>)";
    const struct {
        const char* written;
        qint64 cents;  // 0: not an amount, left out
    } cases[] = {
        {"412.30", 41230}, {"-5", -500},   {"1234.5", 123450},
        {"12.3400", 1234}, {"-0.50", -50}, {"+3.01", 301},
        {" 7.10 ", 710},   {".5", 50},     {"0.005", 0},
        {"1,50", 0},       {"1e3", 0},     {"abc", 0},
        {"", 0},           {"-", 0},       {"99999999999999999999", 0},
        {"1.2.3", 0},      {"٣.٠٠", 0},  // other scripts' digits are no amount
    };
    for (const auto& c : cases) {
        const QByteArray xml = QString::fromUtf8(minimal).arg(QString::fromUtf8(c.written)).toUtf8();
        const Result<ReceivedInvoice> r = readEInvoice(xml);
        ASSERT_TRUE(test::ok(r)) << c.written;  // a bad amount costs that amount, not the invoice
        EXPECT_EQ(r.value().duePayable, c.cents) << c.written;
    }
}

TEST(EInvoiceReader, Dates) {
    const char* const ubl = R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2" )"
                            R"(xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">)"
                            R"(<cbc:ID>D-1</cbc:ID><cbc:IssueDate>%1</cbc:IssueDate></Invoice>)";
    const struct {
        const char* written;
        QDate day;
    } iso[] = {{"2026-12-03", QDate(2026, 12, 3)},
               {"2026-12-03+01:00", QDate(2026, 12, 3)},
               {"03.12.2026", QDate()},
               {"2026-02-30", QDate()}};
    for (const auto& c : iso)
        EXPECT_EQ(parsed(QString::fromUtf8(ubl).arg(QLatin1String(c.written)).toUtf8()).issued, c.day) << c.written;

    const QString cii = u"<rsm:CrossIndustryInvoice "_s + QString::fromUtf8(kCiiNamespaces) +
                        u"><rsm:ExchangedDocument><ram:ID>D-2</ram:ID><ram:IssueDateTime>"
                        "<udt:DateTimeString%1>%2</udt:DateTimeString></ram:IssueDateTime>"
                        "</rsm:ExchangedDocument></rsm:CrossIndustryInvoice>"_s;
    const struct {
        const char* format;
        const char* written;
        QDate day;
    } cases[] = {{R"( format="102")", "20261203", QDate(2026, 12, 3)},
                 {"", "20261203", QDate(2026, 12, 3)},
                 {R"( format="610")", "202612", QDate()},  // a month, no day
                 {R"( format="102")", "2026-12-03", QDate()},
                 {R"( format="102")", "20260230", QDate()}};
    for (const auto& c : cases)
        EXPECT_EQ(parsed(cii.arg(QLatin1String(c.format), QLatin1String(c.written)).toUtf8()).issued, c.day)
            << c.written;
}

QByteArray utf16le(const QByteArray& utf8) {
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : QString::fromUtf8(utf8)) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

TEST(EInvoiceReader, HostileOrBrokenInputIsRefused) {
    const QByteArray cii(kCiiInvoice);
    QByteArray noNumber = cii;
    noNumber.replace("<ram:ID>RE-2026-0042</ram:ID>", "");
    QByteArray blankNumber = cii;
    blankNumber.replace("<ram:ID>RE-2026-0042</ram:ID>", "<ram:ID>  </ram:ID>");
    QByteArray big = cii;
    big.append(QByteArray(3 * 1024 * 1024, ' '));
    const QByteArray entities =
        QByteArray(R"(<?xml version="1.0"?><!DOCTYPE r [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;">]>)") +
        "<rsm:CrossIndustryInvoice " + kCiiNamespaces +
        "><rsm:ExchangedDocument><ram:ID>&b;</ram:ID></rsm:ExchangedDocument></rsm:CrossIndustryInvoice>";
    const QByteArray external =
        QByteArray(R"(<?xml version="1.0"?><!DOCTYPE r [<!ENTITY x SYSTEM "file:///etc/passwd">]>)") +
        "<Invoice xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2\">&x;</Invoice>";
    QByteArray deep = QByteArray("<rsm:CrossIndustryInvoice ") + kCiiNamespaces + ">";
    deep.append(QByteArray("<a>").repeated(5000));

    const struct {
        const char* what;
        QByteArray xml;
        const char* says;
    } cases[] = {
        {"empty", QByteArray(), "leer"},
        {"blanks", QByteArray(" \r\n\t "), "leer"},
        {"text", QByteArray("Das ist keine Rechnung."), "kein lesbares XML (Zeile 1"},
        {"binary", QByteArray("\x00\x01\x02\xFF\xFE", 5), "XML"},
        {"truncated", cii.left(cii.size() / 2), "kein lesbares XML (Zeile"},
        {"DOCTYPE with entities", entities, "DOCTYPE"},
        {"external entity", external, "DOCTYPE"},
        {"DOCTYPE in UTF-16", utf16le(entities), "DOCTYPE"},
        {"3 MB", big, "größer als 2 MB"},
        {"HTML", QByteArray("<html><body>Rechnung</body></html>"), "keine E-Rechnung"},
        {"no namespace", QByteArray("<Invoice><ID>1</ID></Invoice>"), "keine E-Rechnung"},
        {"foreign namespace",
         QByteArray(
             R"(<rsm:CrossIndustryInvoice xmlns:rsm="urn:example"><rsm:ID>1</rsm:ID></rsm:CrossIndustryInvoice>)"),
         "keine E-Rechnung"},
        {"nested too deep", deep, "verschachtelt"},
        {"no number", noNumber, "keine Rechnungsnummer"},
        {"blank number", blankNumber, "keine Rechnungsnummer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<ReceivedInvoice> r = readEInvoice(c.xml);
        ASSERT_FALSE(r.ok());
        EXPECT_TRUE(r.error().sentence.startsWith(u"Die E-Rechnung wurde nicht gelesen: "_s))
            << r.error().sentence.toStdString();
        EXPECT_TRUE(r.error().sentence.contains(QString::fromUtf8(c.says))) << r.error().sentence.toStdString();
    }
}

}  // namespace
}  // namespace gd
