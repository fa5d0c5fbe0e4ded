#pragma once
// Sending a mail directly: sender and recipient split into name and address,
// the SMTP account applied, one session run.

#include <QString>
#include <optional>

#include "base/Result.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/SmtpSession.h"

namespace gd {

class ctlSMTPRelay;

// "Name <adresse>" or a bare address. None when "<" has no ">" after it.
struct MailAddress {
    QString name, address;
};
std::optional<MailAddress> splitAddress(const QString& text);

// The server and login a send uses.
struct SmtpAccount {
    // How the account signs in: a token is OAuth 2.0 with the provider's sign-in.
    enum class Method { None, Password, Token };
    QString server;
    qint32 port = 25;
    Method method = Method::None;
    QString user;
    QString password;
    QString provider;  // with Token: "Microsoft", "Google"
    SmtpSecurity security = SmtpSecurity::StartTls;
    bool plainPassword = false;
    int totalSecs = 120;
};
SmtpAccount accountOf(const Settings& s);
// "STARTTLS", "SSL/TLS" or "Keine" (connectionSecurity).
SmtpSecurity securityOf(const QString& name);

// The control of the mail form; created on first use.
ctlSMTPRelay& SMTP_1();

// One mail through the configured account (the settings globals). The error
// says why it failed, with the server's last reply.
Status Send_SMTP(const QString& Sender, const QString& Recv, const QString& Msg, const QString& Kopie,
                 bool debugmode = false, bool Testonly = false, const QList<MailAttachment>& attachments = {});
// What the last send that went out left to say (a refused copy); empty when nothing.
QString lastSendNote();
// The Message-ID and the server's last reply of the last SMTP send.
QString lastSendMessageId();
QString lastSendReply();
Status sendThrough(const SmtpAccount& account, const QString& Sender, const QString& Recv, const QString& Msg,
                   const QString& Kopie, bool debugmode = false, bool Testonly = false,
                   const QList<MailAttachment>& attachments = {});

}  // namespace gd
