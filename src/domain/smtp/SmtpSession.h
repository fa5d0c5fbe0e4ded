#pragma once
// The SMTP dialogue without a socket: replies in, bytes out. The driver in
// ctlSMTPRelay feeds it what the server sends and carries out its actions.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

// How the connection is protected.
enum class SmtpSecurity {
    StartTls,     // STARTTLS when the server offers it (port 587); a password only after it
    ImplicitTls,  // TLS from the first byte (port 465)
    None,         // no encryption (port 25)
};

// A file that goes with the mail (the payment code, an invoice).
struct MailAttachment {
    QString fileName;  // letters, digits, ".", "-", "_"; others become "_"
    QByteArray mimeType;
    QByteArray data;
};

// What the control is given to send (its properties).
struct SmtpMessage {
    QString MailSenderName;
    QString MailSenderEMail;
    QString MailSenderEMailCC;
    QString MailRecipientName;
    QString MailRecipientEMail;
    QString MailBody;  // a "subject:" line, then the text
    QString SMTPAuthUser;
    QString SMTPAuthPass;
    QString MessageId;                  // "<unique@domain>"; made when empty
    QList<MailAttachment> Attachments;  // a multipart/mixed mail when there are any
    QString SMTPAuthToken;              // an OAuth 2.0 access token: SASL XOAUTH2 with SMTPAuthUser
};

struct PreparedMessage {
    QString senderName;  // encoded and quoted
    QString recipientName;
    QString messageId;
    QString body;  // header lines, empty line, encoded body; or the body unchanged
};

// The encoding step before a session; refuses line breaks in names, addresses
// and the subject (they come from pasted emails: no header or command injection).
Result<PreparedMessage> PrepareMessage(const SmtpMessage& m);
// "<20261204084402.5f3a9c0e11b2d4e7@gavel.example>": the sender's domain after a unique part.
QString makeMessageId(const QString& senderAddress, const QDateTime& when);

// The text sent after DATA, dot-stuffed, ending with "." on a line of its own.
QByteArray dataText(const SmtpMessage& m, const PreparedMessage& p, const QDateTime& local, qint16 utcOffset);

// The initial response of SASL XOAUTH2, base64: "user=…^Aauth=Bearer …^A^A".
QByteArray xoauth2Response(const QString& user, const QString& accessToken);

class SmtpSession final {
public:
    enum State {
        Idle = 0,
        Connecting = 1,
        Helo = 2,
        AuthLogin = 3,
        AuthUser = 4,
        AuthPass = 5,
        MailFrom = 6,
        RcptTo = 7,
        Data = 8,
        Body = 9,
        Quit = 10,
        Finished = 11,
        StartTls = 12
    };

    struct Actions {
        QByteArray send;
        bool startTls = false;  // begin the TLS handshake now
        bool close = false;
    };

    // A server may not hold the client with endless replies.
    static constexpr qsizetype kMaxLine = 4096;
    static constexpr int kMaxReplyLines = 100;
    static constexpr int kMaxTrace = 200;

    SmtpSession(SmtpMessage message, bool testOnly, bool tlsActive, QDateTime local, qint16 utcOffset,
                SmtpSecurity security = SmtpSecurity::StartTls, bool allowPlainPassword = false);

    // False with the reason when the message cannot be sent at all.
    Status prepare();
    // The address this end of the connection has: the greeting names it as a literal, "[192.0.2.1]".
    void setLocalAddress(const QString& address) { localAddress_ = address; }
    Actions start();
    Actions received(const QByteArray& bytes);
    Actions tlsEstablished();
    void socketError(const QString& description);
    void socketClosed();
    void timedOut();
    // The whole send took longer than its limit.
    void tookTooLong(int seconds);

    State state() const { return state_; }
    bool success() const { return success_; }
    bool finished() const { return state_ == Finished; }
    bool authenticates() const;
    QString lastReply() const { return lastReply_; }
    QString failure() const { return failure_; }
    // The server's refusal of the copy to the sender; the mail itself went out.
    QString copyRefused() const { return copyRefused_; }
    // The server refused the sign-in (a token may have expired: a fresh one may do).
    bool signInRefused() const { return signInRefused_; }
    // The server's reply that refused the send, empty when it ended otherwise.
    QString refusedReply() const { return refusedReply_; }
    QString messageId() const { return m_.MessageId; }
    QStringList trace() const { return trace_; }
    // Complete replies read so far: a send makes progress only with them.
    int replies() const { return replies_; }

private:
    Actions onReply(int code, const QString& text);
    Actions afterEhlo(const QString& text);
    void finish(Actions& a, const QString& why);
    void fail(Actions& a, const QString& why);
    void note(const QString& entry);
    QByteArray line(const QString& command) const;
    QByteArray greeting(const char* verb) const;
    QByteArray recipient(int i) const;
    int recipients() const;

    SmtpMessage m_;
    PreparedMessage p_;
    bool testOnly_;
    bool tls_;
    QDateTime local_;
    QString localAddress_;
    bool pipelining_ = false;  // the server said it takes commands without waiting
    bool heloTried_ = false;   // EHLO was refused once
    bool signInRefused_ = false;
    QString copyRefused_;         // the server\'s reply to the copy address, when it refused it
    QString refusedReply_;        // the reply that ended the send
    int recipientsAnswered_ = 0;  // RCPT TO replies read
    qint16 utcOffset_;
    SmtpSecurity security_;
    bool allowPlainPassword_;
    State state_ = Idle;
    bool success_ = false;
    int replies_ = 0;
    QByteArray buffer_;
    QStringList replyLines_;
    QString lastReply_;
    QString failure_;
    QStringList trace_;
};

}  // namespace gd
