#pragma once
// What the mail form does with its inputs: fill templates, build the group
// texts, the mailto: URL and the SMTP message, record the milestone.

#include <QList>
#include <QString>
#include <QVariantList>

namespace gd {

struct MailInputs {
    QString sName, sPreis, sVersand, sEmail, sArtikelnummer, sAuktionsID, sBezeichnung, sGesamtbetrag;
    bool bLieferant = false;
    QString sAngebotsende, sDatumBezahlt;
    bool bGruppiert = false;
    QString sKundennr, sStatus;
};

inline const QString kFooterStart =
    QStringLiteral("-INFO-%0D%0ADiese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt. Weitere Informationen "
                   "erhalten Sie unter: ");
QString mailFooter();  // kFooterStart + the product page

class MailComposer {
public:
    explicit MailComposer(MailInputs in);

    // Loads the group of a grouped mail and builds its texts and sums.
    void loadGroup();
    void fillArtikelgrouptext();
    void fillDatumgrouptext();
    void fillBetreffrouptext();

    QString fillBody(QString text) const;
    QString fillSubject(QString subject) const;
    // The list entry the auction's status preselects, within the list's size.
    int preselection(int entries) const;

    // The body as sent: footer added once, "%0D%0A" as line breaks.
    QString finalBody(const QString& edited) const;
    QString mailtoUrl(const QString& body, const QString& subject, const QString& cc, const QString& bcc) const;
    QString smtpMessage(const QString& subject, const QString& body) const;
    // Records the milestone (list position p >= 1) for the auction or the whole group.
    void recordStatus(int position) const;

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
