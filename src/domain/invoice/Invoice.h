#pragma once
// What an invoice for a sale or a group says; ui/InvoicePdf sets it as a page.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"
#include "domain/settings/modGlobal.h"

namespace gd {

struct InvoiceItem {
    QString AuktionsNr, Titel;
    int Menge = 1;
    qint64 Einzelpreis = 0;  // cents
    int Steuersatz = 0;      // this sale's own VAT rate; 0: the invoice's
    QString AuktionsID;      // the sale itself: two sales may share an item number
};

struct Invoice {
    QString Nummer;
    QDate Datum;
    QString Bezug;            // a cancellation: the number of the invoice it cancels
    QDate BezugDatum;         // and its date
    bool Teilstorno = false;  // a cancellation of some of its lines only: the invoice stays valid for the rest
    QString Verkaeufer;       // account holder
    QStringList VerkaeuferAnschrift;
    QString VerkaeuferEmail;
    QString Mitgliedsname;               // the buyer's
    QStringList Kaeufer;                 // name, street, town, country
    QString KaeuferFirma, KaeuferUstId;  // a business buyer's
    QList<InvoiceItem> Posten;
    qint64 Versand = 0;       // every sale's shipping
    qint64 Versicherung = 0;  // every sale's shipping insurance
    bool Kleinunternehmer = false;
    // Without § 19: "" shows no VAT (a private sale), "19" or "7" standard VAT at that rate
    // (shipping at the goods' rate), "25a" the margin scheme for second-hand goods.
    QString Steuerart;
    QDate Lieferdatum;            // shipped, else the sale's end
    QString Steuernummer, UstId;  // the seller's
    QString Iban, Bic, Bank;
    QString Verwendungszweck;
    // What the buyer had paid of it when it was issued, and the day the last of it came; the
    // invoice then asks only for the rest (nothing when paid).
    qint64 Bezahlt = 0;
    QDate BezahltAm;
    bool ERechnung = false;  // the PDF carries the invoice as EN 16931 XML
    // Not kept: the parts of the buyer's address that the invoice's amount requires and that
    // are missing (names of the fields), found when the invoice is made.
    QStringList AnschriftFehlt;
    qint64 total() const;
    qint64 due() const { return isCancellation() ? total() : qMax<qint64>(0, total() - Bezahlt); }
    bool paid() const { return !isCancellation() && total() > 0 && Bezahlt >= total(); }
    bool isCancellation() const { return !Bezug.isEmpty(); }
};

enum class TaxMode { None, SmallBusiness, Standard, Margin };
TaxMode taxMode(const Invoice& inv);
int taxRate(const Invoice& inv);  // percent; 0 unless standard VAT
int itemRate(const Invoice& inv, const InvoiceItem& it);

// Prices are what the buyer pays: the tax is in them. Net and tax of a gross amount, so that
// net + tax is the gross and the tax is the net's rate rounded to the cent wherever that exists.
struct TaxSplit {
    qint64 net = 0, tax = 0;
};
TaxSplit splitGross(qint64 gross, int rate);

// The amounts of one VAT rate: the goods at that rate and their share of shipping and
// insurance (which follow the goods: with two rates, in the ratio of the goods' prices).
struct TaxLine {
    int rate = 0;
    qint64 goods = 0, shipping = 0, insurance = 0;
    qint64 gross() const { return goods + shipping + insurance; }
    TaxSplit split() const { return splitGross(gross(), rate); }
};
// Standard VAT: one line per rate, the highest first. Otherwise one line at 0 %.
QList<TaxLine> taxLines(const Invoice& inv);

// Above this gross amount an invoice names the buyer's full address (§ 33 UStDV: up to
// 250 € the short form is enough).
inline constexpr qint64 kShortInvoiceLimit = 25000;
QString missingAddressText(const Invoice& inv);

// The sale a reference names: given by its AuktionsID, or by its item number where exactly one
// sale has it. Unknown or shared numbers are refused, the candidates named.
Result<QString> saleId(Database& db, const QString& user, const QString& reference);

// The seller as invoices name them, and the tax the options set.
struct InvoiceProfile {
    QString member;   // the member name: the seller's name where no account holder is set
    QString holder;   // the account holder
    QString address;  // "Street 1, 12345 Town"
    QString email;
    QString iban, bic, bank;
    bool kleinunternehmer = false;
    QString steuerart, steuernummer, ustId;
    bool eInvoiceForAll = false;      // the e-invoice inside the PDF for private buyers too
    QString smallBusinessLimitsText;  // "25000;100000;80"
};
InvoiceProfile invoiceProfile(const Settings& s);

// The sale (item number or AuktionsID), with the other sales of its group; the seller
// from the profile. An error when the number is unknown or belongs to a purchase.
Result<Invoice> invoiceFor(const Store& store, const InvoiceProfile& seller, const QString& auktionsNr,
                           const QDate& on);

}  // namespace gd
