#pragma once
// The ways a mail leaves the program: the own SMTP client, the desktop's mail
// program, and in tests a fake. The form picks none of them itself and records
// nothing: sendAndRecord sends, and only a mail that went out records its
// milestone or reminder.

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "base/Result.h"
#include "domain/mail/MailComposer.h"
#include "domain/trade/SentMails.h"

namespace gd {

// What the form hands over: the edited fields, the body with CR LF.
struct OutgoingMail {
    QString to, cc, bcc, subject, body;
    QList<MailAttachment> files;
};

class MailSender {
public:
    virtual ~MailSender() = default;
    // Fails when the mail did not go out, with the reason.
    virtual Status send(const MailComposer& composer, const OutgoingMail& mail) = 0;
    // Ends a send under way (from the form's "Abbrechen"); that send then fails.
    virtual void cancel() {}
    // The mail program takes no attachment; the SMTP client does.
    virtual bool takesAttachments() const = 0;
    // The send waits for a server: the form shows that it is going out.
    virtual bool waits() const = 0;
    // What a send that went out leaves to say (a refused copy); empty when nothing.
    virtual QString note() const { return {}; }
    // How the last mail went, to be kept with the trade: route, Message-ID, the server's reply.
    virtual SentMail sentMail() const { return SentMail{{}, QStringLiteral("E-Mail-Programm"), {}, {}, {}, {}, {}}; }
};

// Through the account of the settings.
class SmtpMailSender final : public MailSender {
public:
    Status send(const MailComposer& composer, const OutgoingMail& mail) override;
    void cancel() override;
    bool takesAttachments() const override { return true; }
    bool waits() const override { return true; }
    QString note() const override;
    SentMail sentMail() const override;
};

// A mailto: address handed to the desktop; the body on the clipboard when the
// settings leave it out of the address.
class MailProgramSender final : public MailSender {
public:
    MailProgramSender(std::function<bool(const QString& url)> open,
                      std::function<void(const QString& text)> toClipboard);
    Status send(const MailComposer& composer, const OutgoingMail& mail) override;
    bool takesAttachments() const override { return false; }
    bool waits() const override { return false; }

private:
    std::function<bool(const QString&)> open_;
    std::function<void(const QString&)> toClipboard_;
};

struct SendOutcome {
    Status sent;
    Status recorded;  // the milestone, reminder and the mail itself, when it went out
    bool recordedAny = false;
};
// Sends, then records the milestone (position in the form's status list, 0: none)
// and the reminder (level, 0: none) for the auction or its group, only when the
// mail went out.
SendOutcome sendAndRecord(MailSender& sender, const MailComposer& composer, const OutgoingMail& mail,
                          int statusPosition, int reminderLevel);

}  // namespace gd
