#pragma once
// What the mail form does with its inputs: fill templates, build the group
// texts, the mailto: URL and the SMTP message, record the milestone.

#include <QHash>
#include <QList>
#include <QString>
#include <QVariantList>
#include <optional>

#include "base/Result.h"
#include "domain/db/Records.h"
#include "domain/db/Store.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/SmtpSession.h"

namespace gd {

// The seller as mails name them and ask to be paid, and how a mail leaves: from the options.
struct MailProfile {
    QString member;  // the member name of the rows: [#StandardUser#], the sender's name
    QString holder;  // the account holder, the seller's name under every template
    QString kontonummer, blz, iban, bic, bank;
    QString link1, link2;
    QString insuredShipping;  // "Versicherter Versand": "" or "0.00" for none
    QString sender;           // the sender's address
    bool copyToSender = true;
    bool footer = true;              // the "-INFO-" footer under every mail
    bool spacesAsPercent20 = false;  // in a mailto: subject, for mail programs that need it
    bool bodyInMailto = true;        // else the body goes to the clipboard
    int mahnTage = 7;                // a sale unpaid this many days after its end is overdue
};
MailProfile mailProfile(const Settings& s);

struct MailInputs {
    Store store;  // where the trade is kept: its group, parcel, reminders and journal are read there
    MailProfile profile;
    QString sName, sPreis, sVersand, sEmail, sArtikelnummer, sAuktionsID, sBezeichnung, sGesamtbetrag;
    QString sMenge, sVersicherung;  // so that every part of the total is shown
    bool bLieferant = false;
    QString sAngebotsende, sDatumBezahlt;
    bool bGruppiert = false;
    QString sKundennr, sStatus;
    QString sVersanddienst, sSendungsnummer;  // the parcel, when one is recorded
    bool bUeberfaellig = false;               // a sale unpaid past the days of the options
    int iMahnstufe = 0;                       // the highest payment reminder sent
    // What the sale (or its group) still owes by its journal, in cents; nullopt for a purchase,
    // whose money the desk does not keep.
    std::optional<qint64> iOffen;
    // Placeholders of one occasion ("[#Rueckgabeeingang#]" of a return): filled like the others.
    QHash<QString, QString> zusatz;
};

// What the main window hands the mail form for the selected auction and its
// partner; the pane's price, shipping and total texts as the user sees them,
// and the date of its "Bezahlt" picker for a payment not yet recorded.
// Fails when the database cannot tell whether the partner has grouped auctions.
Result<MailInputs> mailInputsFor(const Store& store, const MailProfile& profile, const tAuktion& a, const tKunde& k,
                                 const QString& sPreis, const QString& sVersand, const QString& sGesamtbetrag,
                                 const QDate& bezahltAm = QDate(), const QString& sMenge = QString());

// Ends the mail that is going out (the form's "Abbrechen"); it fails as cancelled.
void cancelSending();

// A test mail with these settings (not yet saved) to the address.
Status sendTestMail(const Settings& s, const QString& to);

// "-INFO-%0D%0ADiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt. Weitere
// Informationen erhalten Sie unter: " and the product page.
QString mailFooter();

// Who a mail over SMTP is from and to.
struct SmtpEnvelope {
    QString from, to, copy;  // copy: empty for none
};

class MailComposer {
public:
    explicit MailComposer(MailInputs in);

    // Loads the group of a grouped mail and builds its texts and sums; on a
    // failure the mail goes on with an empty group.
    Status loadGroup();
    void fillArtikelgrouptext();
    void fillDatumgrouptext();
    void fillBetreffrouptext();

    QString fillBody(QString text) const;
    // How every template signs: the seller's name from the options, else the member name.
    QString signature() const;
    // The reference a transfer should carry; the payment code carries the same.
    QString paymentReference() const;
    // The body as the form shows it: filled, and with the footer when the
    // settings ask for it, so the user sees everything that goes out.
    QString shownBody(const QString& text) const;
    QString fillSubject(QString subject) const;
    // The list entry to preselect, given each entry's reminder level (0: none):
    // for an overdue sale the reminder after the last one sent (the last again
    // when all are), else the entry of the auction's status, never a reminder.
    int preselection(const QList<int>& reminderLevels) const;

    // The body as sent: the edited text with "%0D%0A" as line breaks; nothing
    // is added that the form did not show.
    QString finalBody(const QString& edited) const;
    QString mailtoUrl(const QString& body, const QString& subject, const QString& cc, const QString& bcc) const;
    QString smtpMessage(const QString& subject, const QString& body) const;
    // From the member name and sender address; to the partner by name when only an
    // address was typed; a copy to the sender when the settings say so.
    SmtpEnvelope smtpEnvelope(const QString& to) const;
    // Sends through the configured account, as smtpEnvelope says.
    Status sendSmtp(const QString& to, const QString& subject, const QString& body,
                    const QList<MailAttachment>& files = {}) const;
    // The payment code of what is still owed (the total where no journal is kept), the item
    // numbers as reference; empty for a purchase, without a valid IBAN, or with nothing to pay
    // (giroCodeMissing says why).
    QByteArray giroCodePayload() const;
    QString giroCodeMissing() const;
    // What the payment code and [#Offen#] ask for, in cents.
    qint64 openCents() const;
    // The item number an invoice is written for (a group's: its first).
    QString invoiceNumber() const;
    // The sale the invoice is for, by its AuktionsID where known (two sales may share a number).
    QString invoiceSale() const;
    // Records the milestone (list position p >= 1) for the auction or the whole group.
    Status recordStatus(int position) const;
    // Notes a reminder of the level as sent, for the auction or the whole group.
    Status recordReminder(int level) const;
    // The trades the mail is about: the auction, or every one of its group.
    QStringList tradeIds() const;

    const MailInputs& inputs() const { return in_; }
    const QList<QVariantList>& group() const { return group_; }
    QString artikelGroupText() const { return artikel_; }
    QString datumGroupText() const { return datum_; }
    QString nummernGroupText() const { return nummern_; }

private:
    MailInputs in_;
    QList<QVariantList> group_;
    QString artikel_, datum_, nummern_;
};

}  // namespace gd
