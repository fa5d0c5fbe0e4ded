#pragma once
// What an invoice for a sale or a group says; ui/InvoicePdf sets it as a page.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "domain/db/Store.h"

namespace gd {

struct InvoiceItem {
    QString AuktionsNr, Titel;
    int Menge = 1;
    qint64 Einzelpreis = 0;  // cents
};

struct Invoice {
    QString Nummer;
    QDate Datum;
    QString Bezug;       // a cancellation: the number of the invoice it cancels
    QDate BezugDatum;    // and its date
    QString Verkaeufer;  // account holder
    QStringList VerkaeuferAnschrift;
    QString VerkaeuferEmail;
    QString Mitgliedsname;  // the buyer's
    QStringList Kaeufer;    // name, street, town, country
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
    qint64 total() const;
    bool isCancellation() const { return !Bezug.isEmpty(); }
};

enum class TaxMode { None, SmallBusiness, Standard, Margin };
TaxMode taxMode(const Invoice& inv);
int taxRate(const Invoice& inv);  // percent; 0 unless standard VAT

// Prices are what the buyer pays: the tax is in them. Net and tax of a gross amount, so that
// net + tax is the gross and the tax is the net's rate rounded to the cent wherever that exists.
struct TaxSplit {
    qint64 net = 0, tax = 0;
};
TaxSplit splitGross(qint64 gross, int rate);

// The sale with this item number, with the other sales of its group; the seller
// from the options. An error when the number is unknown or belongs to a purchase.
Result<Invoice> invoiceFor(const Store& store, const QString& auktionsNr, const QDate& on);
inline Result<Invoice> invoiceFor(const QString& auktionsNr, const QDate& on) {
    return invoiceFor(currentStore(), auktionsNr, on);
}

}  // namespace gd
