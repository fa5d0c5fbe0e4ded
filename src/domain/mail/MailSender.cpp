#include "domain/mail/MailSender.h"

#include "base/Clock.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/modMail.h"

namespace gd {

Status SmtpMailSender::send(const MailComposer& composer, const OutgoingMail& mail) {
    return composer.sendSmtp(mail.to, mail.subject, mail.body, mail.files);
}

void SmtpMailSender::cancel() { cancelSending(); }

QString SmtpMailSender::note() const { return lastSendNote(); }

SentMail SmtpMailSender::sentMail() const {
    return SentMail{{}, QStringLiteral("SMTP"), {}, {}, lastSendMessageId(), {}, lastSendReply()};
}

MailProgramSender::MailProgramSender(std::function<bool(const QString&)> open,
                                     std::function<void(const QString&)> toClipboard)
    : open_(std::move(open)), toClipboard_(std::move(toClipboard)) {}

Status MailProgramSender::send(const MailComposer& composer, const OutgoingMail& mail) {
    if (!composer.inputs().profile.bodyInMailto) toClipboard_(mail.body);
    if (open_(composer.mailtoUrl(mail.body, mail.subject, mail.cc, mail.bcc))) return {};
    return Error::plain(
        QStringLiteral("Das E-Mail-Programm konnte nicht geöffnet werden. Bitte richten Sie ein "
                       "Standard-E-Mail-Programm ein oder versenden Sie direkt über SMTP "
                       "(Einstellungen, Emailversand)."));
}

SendOutcome sendAndRecord(MailSender& sender, const MailComposer& composer, const OutgoingMail& mail,
                          int statusPosition, int reminderLevel) {
    SendOutcome out;
    out.sent = sender.send(composer, mail);
    // A mail that did not go out records no milestone and no reminder.
    if (!out.sent.ok()) return out;
    // The milestone and the reminder first: they decide what the list asks next.
    if (reminderLevel > 0) {
        out.recorded = composer.recordReminder(reminderLevel);
        out.recordedAny = true;
        if (!out.recorded.ok()) return out;
    }
    if (statusPosition >= 1) {
        out.recorded = composer.recordStatus(statusPosition);
        out.recordedAny = true;
        if (!out.recorded.ok()) return out;
    }
    // Kept with the trade: what the seller told the buyer, and when.
    SentMail kept = sender.sentMail();
    kept.Zeit = now();
    kept.An = mail.to;
    kept.Betreff = mail.subject;
    kept.Text = mail.body;
    out.recorded = recordSentMail(composer.inputs().store, composer.tradeIds(), kept);
    out.recordedAny = true;
    return out;
}

}  // namespace gd
