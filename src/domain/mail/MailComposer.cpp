#include "domain/mail/MailComposer.h"

#include <QRegularExpression>
#include <cmath>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "base/Product.h"
#include "base/modFunktions.h"
#include "domain/bank/GiroCode.h"
#include "domain/bank/Iban.h"
#include "domain/db/Journal.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/ctlSMTPRelay.h"
#include "domain/smtp/modMail.h"
#include "domain/trade/Parcel.h"
#include "domain/trade/Reminders.h"
#include "domain/trade/StatusGruppen.h"
#include "domain/trade/Trade.h"

#define CALLSTACK_MAIL() CALLSTACK()

namespace gd {
namespace {
// A part of the total that is nothing: its line goes, as it adds nothing to the sum.
bool nothing(const QString& amount) { return centsOr0(amount) == 0; }
bool single(const QString& menge) {
    bool ok = false;
    const int n = menge.trimmed().toInt(&ok);
    return !ok || n == 1;
}
void removeLinesWith(QString& t, const QString& placeholder) {
    const QRegularExpression line(QStringLiteral("[^\\r\\n]*") + QRegularExpression::escape(placeholder) +
                                  QStringLiteral("[^\\r\\n]*(\\r\\n|\\n|\\r)?"));
    t.remove(line);
}
}  // namespace

QString mailFooter() {
    return QStringLiteral("-INFO-%0D%0ADiese E-Mail wurde mit dem ") + productName() +
           QStringLiteral(" erstellt. Weitere Informationen erhalten Sie unter: ") + QString::fromLatin1(kProductPage);
}

MailProfile mailProfile(const Settings& s) {
    MailProfile p;
    p.member = s.StandardUser;
    p.holder = s.Kontoinhaber;
    p.kontonummer = s.Kontonummer;
    p.blz = s.BLZ;
    p.iban = s.IBAN;
    p.bic = s.BIC;
    p.bank = s.Bank;
    p.link1 = s.HTTPLink1;
    p.link2 = s.HTTPLink2;
    p.insuredShipping = s.VersicherterVersand;
    p.sender = s.Absender;
    p.copyToSender = s.Kopie == 1;
    p.footer = s.Fusszeile;
    p.spacesAsPercent20 = s.Prozent20 == 1;
    p.bodyInMailto = s.Nobody != 1;
    p.mahnTage = s.MahnTage;
    return p;
}

Result<MailInputs> mailInputsFor(const Store& store, const MailProfile& profile, const tAuktion& a, const tKunde& k,
                                 const QString& sPreis, const QString& sVersand, const QString& sGesamtbetrag,
                                 const QDate& bezahltAm, const QString& sMenge) {
    CALLSTACK();
    MailInputs in;
    in.store = store;
    in.profile = profile;
    in.sName = k.Name;
    in.sPreis = sPreis;
    in.sMenge = sMenge.isNull() ? a.Menge : sMenge;
    // Stored as the mail said it ("EUR 1,50"); the templates write the currency themselves.
    const qint64 insurance = centsOr0(a.Versandversicherung);
    in.sVersicherung = insurance > 0 ? centsText(insurance) : a.Versandversicherung;
    in.sVersand = sVersand;
    in.sEmail = k.Email;
    in.sArtikelnummer = a.AuktionsNr;
    in.sAuktionsID = a.AuktionsID;
    in.sBezeichnung = a.Titel;
    in.sGesamtbetrag = sGesamtbetrag;
    in.bLieferant = k.Lieferant;
    in.sAngebotsende = a.EndeDatum;
    // A payment not recorded yet is confirmed for the day the user picked, never as "00:00:00".
    in.sDatumBezahlt = isZeroDate(a.Datum[2])
                           ? (bezahltAm.isValid() ? dateToText(QDateTime(bezahltAm, QTime(0, 0))) : QString())
                           : dateToText(a.Datum[2]);
    in.sKundennr = k.KundenNr;
    in.sStatus = a.Status;
    if (!a.KundenNr.isEmpty()) {
        const Result<bool> grouped = checkgruppierteMails(store, k.KundenNr);
        if (!grouped.ok()) return grouped.error();
        in.bGruppiert = grouped.value();
    }
    if (!a.AuktionsID.isEmpty()) {
        const Result<Parcel> parcel = loadParcel(store, a.AuktionsID);
        if (!parcel.ok()) return parcel.error();
        in.sVersanddienst = parcel.value().Versanddienst;
        in.sSendungsnummer = parcel.value().Sendungsnummer;
        const Result<int> level = reminderLevel(store, a.AuktionsID);
        if (!level.ok()) return level.error();
        in.iMahnstufe = level.value();
        if (!k.Lieferant) {
            const Result<TradeAccount> account = loadAccount(store, a.AuktionsID);
            if (!account.ok()) return account.error();
            if (!account.value().Buchungen.isEmpty()) in.iOffen = account.value().Saldo;
        }
    }
    // The overdue list's rule, so that what it lists is offered a reminder.
    const std::optional<QDateTime> ende = tryCDate(a.EndeDatum);
    in.bUeberfaellig = !k.Lieferant && isZeroDate(a.Datum[2]) && isZeroDate(a.Datum[6]) && ende &&
                       *ende < now().addDays(-qMax(0, profile.mahnTage));
    return in;
}

MailComposer::MailComposer(MailInputs in) : in_(std::move(in)) {}

Status MailComposer::loadGroup() {
    CALLSTACK_MAIL();
    if (!in_.bGruppiert) return {};
    const Result<QList<GroupEntry>> group = funLoadAuktiongruppiert(in_.store, in_.sKundennr);
    group_ = group.valueOr({});
    fillArtikelgrouptext();
    fillDatumgrouptext();
    fillBetreffrouptext();
    if (!group.ok()) return group.error();
    return {};
}

void MailComposer::fillArtikelgrouptext() {
    CALLSTACK_MAIL();
    // The quantity on every line, as the single mail has it: "2 × Teller" is not one plate.
    artikel_.clear();
    for (const QVariantList& e : group_) {
        bool whole = false;
        const int menge = e.value(4).toString().trimmed().toInt(&whole);
        artikel_ += e.value(0).toString() + QStringLiteral(" - ") + QString::number(whole && menge > 0 ? menge : 1) +
                    QStringLiteral(" × ") + e.value(1).toString() + QStringLiteral(" vom ") + e.value(2).toString() +
                    QStringLiteral("\r\n");
    }
}

void MailComposer::fillDatumgrouptext() {
    CALLSTACK_MAIL();
    datum_.clear();
    for (const QVariantList& e : group_) {
        const QString d = e.value(2).toString() + QStringLiteral(", ");
        if (!datum_.contains(d)) datum_ += d;
    }
    if (!datum_.isEmpty()) datum_ = datum_.left(datum_.size() - 2) + QLatin1Char(' ');
}

void MailComposer::fillBetreffrouptext() {
    CALLSTACK_MAIL();
    // Each part summed over the group, and the total the list counts as unpaid: the
    // stored totals, so that the mail, the payment code and the list agree.
    nummern_.clear();
    qint64 items = 0, shipping = 0, insurance = 0, total = 0;
    for (const QVariantList& e : group_) {
        nummern_ += e.value(0).toString() + QStringLiteral(" - ");
        bool whole = false;
        const int menge = e.value(4).toString().trimmed().toInt(&whole);
        const qint64 part = centsOr0(e.value(3).toString()) * (whole && menge > 0 ? menge : 1);
        const qint64 ship = centsOr0(e.value(6).toString()), insure = centsOr0(e.value(7).toString());
        items += part;
        shipping += ship;
        insurance += insure;
        const std::optional<qint64> stored = parseCents(e.value(5).toString());
        total += stored ? *stored : part + ship + insure;
    }
    in_.sPreis = centsText(items);
    in_.sVersand = centsText(shipping);
    in_.sVersicherung = centsText(insurance);
    in_.sMenge = QStringLiteral("1");
    in_.sGesamtbetrag = centsText(total);
    if (nummern_.size() >= 3) nummern_.chop(3);
}

QString MailComposer::fillBody(QString t) const {
    CALLSTACK_MAIL();
    const auto r = [&t](const char* key, const QString& v) {
        t.replace(QString::fromLatin1(key), v, Qt::CaseSensitive);
    };
    for (auto it = in_.zusatz.cbegin(); it != in_.zusatz.cend(); ++it) t.replace(it.key(), it.value());
    r("[#ebaynameto#]", in_.sName);
    r("[#Kontonummer#]", in_.profile.kontonummer);
    r("[#Kontoinhaber#]", in_.profile.holder);
    r("[#BLZ#]", in_.profile.blz);
    r("[#IBAN#]", groupedIban(in_.profile.iban));
    r("[#BIC#]", compactIban(in_.profile.bic));
    r("[#Bank#]", in_.profile.bank);
    // A part that adds nothing has no line: a quantity of one, no insurance.
    if (single(in_.sMenge)) removeLinesWith(t, QStringLiteral("[#Menge#]"));
    if (nothing(in_.sVersicherung)) removeLinesWith(t, QStringLiteral("[#Versicherung#]"));
    r("[#Preis#]", in_.sPreis);
    r("[#Menge#]", in_.sMenge.trimmed());
    r("[#Versicherung#]", in_.sVersicherung.trimmed());
    r("[#Versand#]", in_.sVersand);
    r("[#Gesamtbetrag#]", in_.sGesamtbetrag);
    r("[#Offen#]", centsText(openCents()));
    // Templates written before the signature had its own placeholder sign with the member
    // name under the greeting; they follow the same rule as the others.
    static const QRegularExpression oldSignature(QStringLiteral(
        R"(((?:Gr(?:ü|ue)(?:ß|ss)(?:e|en)?|Gruß)[^\S\r\n]*,?[^\S\r\n]*(?:\r\n|\n|\r))\[#StandardUser#\])"));
    t.replace(oldSignature, QStringLiteral("\\1[#Signatur#]"));
    r("[#StandardUser#]", in_.profile.member);
    r("[#Angebotsende#]", in_.sAngebotsende);
    r("[#DatumBezahlt#]", in_.sDatumBezahlt);
    r("[#HTTPLINK1#]", in_.profile.link1);
    r("[#HTTPLINK2#]", in_.profile.link2);
    r("[#Verwendungszweck#]", paymentReference());
    if (!in_.bGruppiert) {
        r("[#Artikelnummer#]", in_.sArtikelnummer);
        r("[#Bezeichnung#]", in_.sBezeichnung);
    } else {
        r("[#Angebotsendegruppiert#]", datum_);
        r("[#ArtikelGroupText#]", artikel_);
    }
    // Without a recorded parcel its lines go: no "Sendungsnummer: " with nothing behind it.
    if (in_.sSendungsnummer.isEmpty()) {
        static const QRegularExpression parcelLine(
            QStringLiteral(R"([^\r\n]*\[#(SENDUNGSNUMMER|VERSANDDIENST|SENDUNGSLINK)#\][^\r\n]*(\r\n|\n|\r)?)"));
        t.remove(parcelLine);
    } else {
        const Parcel parcel{in_.sVersanddienst, in_.sSendungsnummer};
        const QString link = trackingLink(parcel);
        r("[#SENDUNGSNUMMER#]", in_.sSendungsnummer);
        r("[#VERSANDDIENST#]", in_.sVersanddienst.isEmpty() ? QStringLiteral("dem Paketdienst") : in_.sVersanddienst);
        r("[#SENDUNGSLINK#]", link.isEmpty() ? in_.sSendungsnummer : link);
    }
    const QString insured = in_.profile.insuredShipping;
    if (!insured.isEmpty() && insured != QStringLiteral("0.00")) {
        r("[#versicherterversand#]", insured);
    } else {
        const QString sentence = QStringLiteral(
            "Falls Sie einen versicherten Versand per Postpaket wünschen, so betragen die "
            "Versandkosten [#versicherterversand#] EUR.");
        // A paragraph of its own goes with the blank line after it: no gap of three lines.
        static const QRegularExpression paragraph(
            QStringLiteral(R"((?<=\r\n\r\n|\n\n)%1(\r\n\r\n|\n\n))").arg(QRegularExpression::escape(sentence)));
        t.remove(paragraph);
        t.remove(sentence);
    }
    r("[#Signatur#]", signature());
    return t;
}

QString MailComposer::signature() const {
    // The seller's name where the options have one, else the member name: one rule for every template.
    const QString holder = in_.profile.holder.trimmed();
    return holder.isEmpty() ? in_.profile.member : holder;
}

QString MailComposer::paymentReference() const {
    // What the payment code carries, so that text and code ask for the same.
    return in_.bGruppiert && !nummern_.isEmpty() ? nummern_ : in_.sArtikelnummer;
}

QString MailComposer::fillSubject(QString s) const {
    CALLSTACK_MAIL();
    s.replace(QStringLiteral("[#Artikelnummer#]"), in_.bGruppiert ? nummern_ : in_.sArtikelnummer);
    s.replace(QStringLiteral("[#Bezeichnung#]"), in_.sBezeichnung);
    s.replace(QStringLiteral("[#StandardUser#]"), in_.profile.member);
    for (auto it = in_.zusatz.cbegin(); it != in_.zusatz.cend(); ++it) s.replace(it.key(), it.value());
    return s;
}

int MailComposer::preselection(const QList<int>& levels) const {
    if (in_.bUeberfaellig) {
        int next = -1, last = -1;
        for (int i = 0; i < levels.size(); ++i) {
            if (levels[i] <= 0) continue;
            if (levels[i] > in_.iMahnstufe && (next < 0 || levels[i] < levels[next])) next = i;
            if (last < 0 || levels[i] > levels[last]) last = i;
        }
        if (next >= 0) return next;
        if (last >= 0) return last;
    }
    // The mail the trade's last step calls for, by the shipped catalogues' order: a sale paid
    // gets "Zahlung erhalten", shipped "Ware versendet", rated "Bewertung abgegeben"; a
    // purchase paid "Zahlung geleistet", then "Ware erhalten".
    const QString& s = in_.sStatus;
    const bool paid = s == QStringLiteral("Bezahlt");
    const bool shipped = s == QStringLiteral("Versendet");
    const bool later = s == QStringLiteral("Bewertet") || s == QStringLiteral("Bewertung erhalten") ||
                       s == QStringLiteral("Abgeschlossen");
    int i = 0;
    if (paid)
        i = 1;
    else if (shipped)
        i = 2;
    else if (later)
        i = in_.bLieferant ? 2 : 3;
    // A catalogue without that entry, or with a reminder there, offers the step before:
    // a paid or closed trade is never offered a reminder.
    i = qMin(i, int(levels.size()) - 1);
    while (i > 0 && levels[i] > 0) --i;
    return qMax(0, i);
}

QString MailComposer::shownBody(const QString& text) const {
    QString t = fillBody(text);
    if (!in_.profile.footer) return t;
    // The footer counts in either form, so a text that has it keeps one.
    QString footer = mailFooter();
    footer.replace(QStringLiteral("%0D%0A"), QStringLiteral("\r\n"));
    if (t.contains(mailFooter()) || t.contains(footer)) return t;
    if (!t.isEmpty() && !t.endsWith(QStringLiteral("\r\n"))) t += QStringLiteral("\r\n");
    return t + QStringLiteral("\r\n") + footer;
}

QString MailComposer::finalBody(const QString& edited) const {
    QString t = edited;
    t.replace(QStringLiteral("%0D%0A"), QStringLiteral("\r\n"));
    return t;
}

namespace {

// A mailto: field as UTF-8; line ends, tabs and what would end the field or the
// URL ("&", "#", "?", "%") as %XX, so the mail program gets the text whole.
QString mailtoField(const QString& text) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    for (const char ch : text.toUtf8()) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || ch == '%' || ch == '&' || ch == '#' || ch == '?' || ch == '+') {
            out += QLatin1Char('%');
            out += QLatin1Char(digits[c >> 4]);
            out += QLatin1Char(digits[c & 15]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return out;
}

}  // namespace

QString MailComposer::mailtoUrl(const QString& body, const QString& subject, const QString& cc,
                                const QString& bcc) const {
    const QString b = mailtoField(body);
    QString s = mailtoField(subject.trimmed());
    if (in_.profile.spacesAsPercent20) s.replace(QLatin1Char(' '), QStringLiteral("%20"));
    QString copies;
    if (!cc.trimmed().isEmpty()) copies = QStringLiteral("&cc= ") + cc.trimmed();
    if (!bcc.trimmed().isEmpty()) copies += QStringLiteral("&bcc= ") + bcc.trimmed();
    QString url = QStringLiteral("mailto:") + in_.sEmail.trimmed() + copies + QStringLiteral("?subject=") + s;
    if (in_.profile.bodyInMailto) url += QStringLiteral("&body=") + b;
    return url;
}

QString MailComposer::smtpMessage(const QString& subject, const QString& body) const {
    return QStringLiteral("subject: ") + subject + QStringLiteral("\r\n") + body + QStringLiteral("\r\n\r\n");
}

qint64 MailComposer::openCents() const {
    if (in_.iOffen) return qMax<qint64>(0, *in_.iOffen);
    return centsOr0(in_.sGesamtbetrag);
}

QString MailComposer::giroCodeMissing() const {
    if (in_.bLieferant) return QStringLiteral("Für einen Kauf gibt es keinen GiroCode: bezahlt wird an den Verkäufer.");
    if (!ibanValid(in_.profile.iban)) return QStringLiteral("Kein GiroCode: In den Optionen steht keine gültige IBAN.");
    if (in_.iOffen && *in_.iOffen <= 0)
        return QStringLiteral("Kein GiroCode: Es ist nichts mehr zu zahlen (%1).").arg(balanceText(*in_.iOffen));
    const std::optional<qint64> cents = parseCents(in_.sGesamtbetrag);
    if (!cents || *cents <= 0)
        return QStringLiteral(
                   "Kein GiroCode: Der Gesamtbetrag „%1“ ist kein Betrag zwischen 0,01 und 999.999.999,99 EUR.")
            .arg(in_.sGesamtbetrag.trimmed());
    if (giroCodePayload().isEmpty()) return QStringLiteral("Kein GiroCode: Der Name des Kontoinhabers fehlt.");
    return QString();
}

QByteArray MailComposer::giroCodePayload() const {
    if (in_.bLieferant) return {};
    const std::optional<qint64> total = parseCents(in_.sGesamtbetrag);
    const std::optional<qint64> cents = in_.iOffen ? in_.iOffen : total;
    if (!cents || *cents <= 0) return {};
    const QString holder = in_.profile.holder.trimmed().isEmpty() ? in_.profile.member : in_.profile.holder;
    return epcPayload({holder, in_.profile.iban, in_.profile.bic, *cents, paymentReference()});
}

QString MailComposer::invoiceNumber() const {
    if (in_.bGruppiert && !group_.isEmpty()) return group_.front().value(0).toString();
    return in_.sArtikelnummer;
}

QString MailComposer::invoiceSale() const { return in_.sAuktionsID.isEmpty() ? invoiceNumber() : in_.sAuktionsID; }

SmtpEnvelope MailComposer::smtpEnvelope(const QString& to) const {
    // A bare address gets the partner's name, as the salutation has it.
    QString recipient = to.trimmed();
    QString name = in_.sName;
    name.remove(QLatin1Char('<')).remove(QLatin1Char('>')).remove(QLatin1Char('"'));
    name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!recipient.contains(QLatin1Char('<')) && !name.trimmed().isEmpty())
        recipient = name.trimmed() + QStringLiteral(" <") + recipient + QLatin1Char('>');
    const MailProfile& p = in_.profile;
    return {p.member + QLatin1Char('<') + p.sender + QLatin1Char('>'), recipient,
            p.copyToSender ? p.sender : QString()};
}

Status MailComposer::sendSmtp(const QString& to, const QString& subject, const QString& body,
                              const QList<MailAttachment>& files) const {
    const SmtpEnvelope e = smtpEnvelope(to);
    return Send_SMTP(e.from, e.to, smtpMessage(subject, body), e.copy, true, false, files);
}

void cancelSending() { SMTP_1().cancel(); }

Status sendTestMail(const Settings& s, const QString& to) {
    CALLSTACK();
    if (s.Absender.trimmed().isEmpty() || to.trimmed().isEmpty())
        return Error::plain(QStringLiteral("Bitte tragen Sie zuerst die Absender-Emailadresse ein."));
    const QString msg = QStringLiteral("subject: Testmail von ") + productName() + QStringLiteral("\r\n") +
                        QStringLiteral(
                            "Guten Tag,\r\n\r\ndies ist eine Testmail. Wenn Sie sie lesen, stimmen die "
                            "SMTP-Einstellungen von ") +
                        productName() + QStringLiteral(".\r\n\r\nMit freundlichen Grüßen\r\n");
    return sendThrough(accountOf(s), s.Absender, to, msg, QString());
}

Status MailComposer::recordStatus(int position) const {
    CALLSTACK_MAIL();
    if (position < 1 || position > 7) return {};
    const QDateTime date(today(), QTime(0, 0));
    if (!in_.bGruppiert) return SaveStatusMail(in_.store, in_.sAuktionsID, date, position - 1);
    for (const QVariantList& e : group_) {
        const Status s = SaveStatusMail(in_.store, e.value(8).toString(), date, position - 1);
        if (!s.ok()) return s;
    }
    return {};
}

QStringList MailComposer::tradeIds() const {
    QStringList ids;
    if (!in_.bGruppiert)
        ids << in_.sAuktionsID;
    else
        for (const QVariantList& e : group_) ids << e.value(8).toString();
    ids.removeAll(QString());
    return ids;
}

Status MailComposer::recordReminder(int level) const {
    CALLSTACK_MAIL();
    if (level <= 0) return {};
    return gd::recordReminder(in_.store, tradeIds(), level, now());
}

}  // namespace gd
