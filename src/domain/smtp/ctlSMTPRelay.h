#pragma once
// The SMTP client control: properties, one session per SendMail, waiting in a
// nested event loop so the windows stay responsive while a mail goes out.

#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include "domain/smtp/SmtpSession.h"

namespace gd {

class ctlSMTPRelay final : public QObject {
    Q_OBJECT
public:
    explicit ctlSMTPRelay(QObject* parent = nullptr) : QObject(parent) {}

    QString MailSenderName;
    QString MailSenderEMail;
    QString MailSenderEMailCC;
    QString MailRecipientName;
    QString MailRecipientEMail;
    QString MailSubject;  // stored only: the subject travels in MailBody
    QString MailBody;
    QList<MailAttachment> MailAttachments;
    QString SMTPServer;
    qint32 SMTPPort = 0;
    QString SMTPAuthUser;
    QString SMTPAuthPass;
    QString SMTPAuthToken;  // OAuth 2.0 access token; replaces the password
    SmtpSecurity SMTPSecurity = SmtpSecurity::StartTls;
    bool SMTPPlainPassword = false;  // the user allowed the password without TLS
    int SMTPTotalSecs = 120;         // the longest a whole send may take
    // SHA-256 of the one certificate the user trusts for this server and port; when set, only
    // that certificate is accepted, even one the system would trust.
    QString SMTPTrustedSha256;
    bool SMTPDebugmode = false;
    QString SMTPDebugOutput() const;

    // True when the mail (test-only: the recipients) was accepted.
    bool SendMail(bool testOnly);
    // Ends a running send at once (the user pressed "Abbrechen" or closed the form).
    void cancel();
    bool sending() const { return sending_; }

    // Why the last send failed, with the server's last reply when there was one.
    QString lastError() const { return lastError_; }
    // The last send failed at the sign-in.
    bool signInRefused() const { return signInRefused_; }
    QString lastReply() const { return lastReply_; }
    // Said after a send that went out: the copy to the sender was refused.
    QString lastNote() const { return lastNote_; }
    QString lastMessageId() const { return lastMessageId_; }
    // The server's certificate when the last send was refused for it; null otherwise.
    QSslCertificate refusedCertificate() const { return refused_; }

    // Seconds a reply may take before the session ends as failed; the clock
    // starts anew only with a whole reply, not with every byte.
    static void setReplyTimeoutSecs(int secs);
    // TLS from the first byte on this port (465); tests move it to their server's port.
    static void setImplicitTlsPort(quint16 port);
    // Tests only: trust this certificate in addition to the operating system's CAs.
    static void setExtraTrustedCertificate(const QSslCertificate& cert);

signals:
    void cancelRequested();

private:
    bool signInRefused_ = false;
    bool sending_ = false;
    QStringList debug_;
    QString lastError_;
    QString lastReply_;
    QString lastNote_;
    QString lastMessageId_;
    QSslCertificate refused_;
};

}  // namespace gd
