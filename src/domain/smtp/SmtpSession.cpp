#include "domain/smtp/SmtpSession.h"

#include "base/Product.h"
#include "base/codepage.h"
#include "domain/smtp/SmtpEncoding.h"

namespace gd {
namespace {

bool quotedBy(const QString& s, QChar q) { return s.size() >= 2 && s.front() == q && s.back() == q; }

QString quoteEncoded(const QString& encoded) {
    if (!encoded.isEmpty() && !encoded.startsWith(QStringLiteral("=?ISO")) && !encoded.startsWith(QStringLiteral("=?windows")))
        return QLatin1Char('"') + encoded + QLatin1Char('"');
    return encoded;
}

bool hasLineBreak(const QString& s) { return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')); }

}  // namespace

PreparedMessage PrepareMessage(const SmtpMessage& m, QString* error) {
    PreparedMessage p;
    for (const QString* f : {&m.MailSenderName, &m.MailSenderEMail, &m.MailSenderEMailCC, &m.MailRecipientName,
                             &m.MailRecipientEMail, &m.SMTPAuthUser, &m.SMTPAuthPass})
        if (hasLineBreak(*f)) {
            if (error) *error = QStringLiteral("Ein Name oder eine Adresse enthält einen Zeilenumbruch.");
            return p;
        }
    QString sender = m.MailSenderName;
    if (quotedBy(sender, QLatin1Char('"'))) sender = sender.mid(1, sender.size() - 2);
    if (quotedBy(sender, QLatin1Char('\''))) sender = sender.mid(1, sender.size() - 2);
    p.senderName = quoteEncoded(EncodeHeader_qp(sender));
    QString recipient = m.MailRecipientName;
    if (quotedBy(recipient, QLatin1Char('"'))) recipient = recipient.mid(1, recipient.size() - 2);
    p.recipientName = quoteEncoded(EncodeHeader_qp(recipient));

    const qsizetype at = m.MailBody.indexOf(QStringLiteral("subject:"), 0, Qt::CaseInsensitive);
    if (at < 0) {
        p.body = m.MailBody;
        return p;
    }
    const qsizetype eol = m.MailBody.indexOf(QStringLiteral("\r\n"), at + 8);
    const QString subject = eol < 0 ? m.MailBody.mid(at + 8) : m.MailBody.mid(at + 8, eol - at - 8);
    const QString body = eol < 0 ? QString() : m.MailBody.mid(eol + 2);
    if (hasLineBreak(subject)) {
        if (error) *error = QStringLiteral("Der Betreff enthält einen Zeilenumbruch.");
        return p;
    }
    QString charset;
    const QString encoded = wrapQuotedPrintable(EncodeBody_qp(body, charset));
    p.body = QStringLiteral("X-Mailer: ") + productName() + QStringLiteral("\r\n") + QStringLiteral("Subject: ") +
             EncodeHeader_qp(subject) + QStringLiteral("\r\nMime-Version: 1.0\r\n") +
             QStringLiteral("Content-Type: text/plain; charset=\"") + charset + QStringLiteral("\"\r\n") +
             QStringLiteral("Content-Transfer-Encoding: quoted-printable\r\n\r\n") + encoded;
    if (error) error->clear();
    return p;
}

QByteArray dataText(const SmtpMessage& m, const PreparedMessage& p, const QDateTime& local, qint16 utcOffset) {
    QString text = mailDateLine(local, utcOffset) + QStringLiteral("\r\n") + QStringLiteral("FROM: ") + p.senderName +
                   QLatin1Char('<') + m.MailSenderEMail + QStringLiteral(">\r\n") + QStringLiteral("TO: ") +
                   p.recipientName + QLatin1Char('<') + m.MailRecipientEMail + QStringLiteral(">\r\n") + p.body;
    // Every line ends in CR LF on the wire; a line that starts with "." gets a second
    // one, or the server would take it for the end of the mail.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QByteArray out;
    out.reserve(text.size() + 64);
    for (const QString& l : text.split(QLatin1Char('\n'))) {
        if (l.startsWith(QLatin1Char('.'))) out += '.';
        out += win::toAnsi(l) + "\r\n";
    }
    out += ".\r\n";
    return out;
}

SmtpSession::SmtpSession(SmtpMessage message, bool testOnly, bool tlsActive, QDateTime local, qint16 utcOffset)
    : m_(std::move(message)), testOnly_(testOnly), tls_(tlsActive), local_(std::move(local)), utcOffset_(utcOffset) {}

bool SmtpSession::authenticates() const {
    return !m_.SMTPAuthUser.trimmed().isEmpty() && !m_.SMTPAuthPass.trimmed().isEmpty();
}

bool SmtpSession::prepare(QString* error) {
    QString why;
    p_ = PrepareMessage(m_, &why);
    if (why.isEmpty()) {
        for (const QString* a : {&m_.MailSenderEMail, &m_.MailRecipientEMail, &m_.MailSenderEMailCC})
            if (a->contains(QLatin1Char('<')) || a->contains(QLatin1Char('>')))
                why = QStringLiteral("Die Adresse '%1' ist ungültig.").arg(*a);
    }
    if (!why.isEmpty()) {
        failure_ = why;
        state_ = Finished;
        if (error) *error = why;
        return false;
    }
    return true;
}

SmtpSession::Actions SmtpSession::start() {
    trace_ << QStringLiteral("Start");
    state_ = Connecting;
    success_ = false;
    return {};
}

QByteArray SmtpSession::line(const QString& command) const { return win::toAnsi(command) + "\r\n"; }

void SmtpSession::finish(Actions& a, const QString& why) {
    a.close = true;
    state_ = Finished;
    if (!success_ && failure_.isEmpty()) failure_ = why;
}

SmtpSession::Actions SmtpSession::received(const QByteArray& bytes) {
    Actions all;
    if (finished()) return all;
    buffer_ += bytes;
    trace_ << QString::fromLatin1(bytes);
    // Whole lines only, however the network split them; "250-" lines continue a reply.
    qsizetype eol;
    while (!finished() && (eol = buffer_.indexOf('\n')) >= 0) {
        QByteArray l = buffer_.left(eol);
        buffer_.remove(0, eol + 1);
        if (l.endsWith('\r')) l.chop(1);
        const QString text = QString::fromLatin1(l);
        replyLines_ << text;
        if (text.size() > 3 && text[3] == QLatin1Char('-')) continue;
        bool ok = false;
        const int code = text.left(3).toInt(&ok);
        lastReply_ = replyLines_.join(QLatin1Char('\n'));
        const QString whole = lastReply_;
        replyLines_.clear();
        Actions a = onReply(ok ? code : 0, whole);
        all.send += a.send;
        all.startTls = all.startTls || a.startTls;
        all.close = all.close || a.close;
        if (a.startTls) break;  // what follows must be read through TLS
    }
    return all;
}

SmtpSession::Actions SmtpSession::onReply(int code, const QString& text) {
    Actions a;
    const bool auth = authenticates();
    if (code == 220 && state_ == StartTls) {
        a.startTls = true;
        trace_ << QStringLiteral("STARTTLS");
        return a;
    }
    if (code == 220) {
        if (auth) {
            a.send = line(QStringLiteral("EHLO ") + AddressLocalPart(m_.SMTPAuthUser));
            trace_ << QStringLiteral("Ehlo");
        } else {
            a.send = line(QStringLiteral("HELO ") + AddressLocalPart(m_.MailSenderEMail));
            trace_ << QStringLiteral("Helo");
        }
        state_ = Helo;
        return a;
    }
    if (code >= 400) {
        trace_ << QStringLiteral("CLOSE1");
        finish(a, QStringLiteral("Der Server hat abgelehnt: ") + text);
        return a;
    }
    switch (code) {
        case 250:
            if (state_ == Helo) {
                const bool offersTls = text.contains(QStringLiteral("STARTTLS"), Qt::CaseInsensitive);
                if (auth && !tls_ && offersTls) {
                    a.send = line(QStringLiteral("STARTTLS"));
                    state_ = StartTls;
                } else if (auth) {
                    a.send = line(QStringLiteral("AUTH LOGIN"));
                    trace_ << QStringLiteral("AUTH LOGIN");
                    state_ = AuthLogin;
                } else {
                    a.send = line(QStringLiteral("MAIL FROM: <") + m_.MailSenderEMail + QLatin1Char('>'));
                    trace_ << QStringLiteral("MailFrom Auth");
                    state_ = MailFrom;
                }
                return a;
            }
            if (state_ == MailFrom) {
                a.send = line(QStringLiteral("RCPT TO: <") + m_.MailRecipientEMail + QLatin1Char('>'));
                if (!m_.MailSenderEMailCC.isEmpty())
                    a.send += line(QStringLiteral("RCPT TO: <") + m_.MailSenderEMailCC + QLatin1Char('>'));
                trace_ << QStringLiteral("RCPT TO");
                state_ = RcptTo;
                return a;
            }
            if (state_ == Body) {
                a.send = line(QStringLiteral("QUIT"));
                trace_ << QStringLiteral("QUIT");
                success_ = true;
                state_ = Quit;
                finish(a, QString());
                return a;
            }
            [[fallthrough]];
        case 251:
            if (state_ == RcptTo) {
                state_ = Data;
                if (testOnly_) {
                    a.send = line(QStringLiteral("QUIT"));
                    success_ = true;
                    finish(a, QString());
                } else {
                    a.send = line(QStringLiteral("DATA"));
                    trace_ << (code == 250 ? QStringLiteral("DATA1") : QStringLiteral("DATA2"));
                }
            }
            return a;  // in another state: ignored
        case 334:
            if (state_ == AuthLogin) {
                a.send = line(Base64Encode(m_.SMTPAuthUser, 0));
                trace_ << QStringLiteral("AUTH USER");
                state_ = AuthUser;
            } else if (state_ == AuthUser) {
                a.send = line(Base64Encode(m_.SMTPAuthPass, 0));
                trace_ << QStringLiteral("AUTH PASS");
                state_ = AuthPass;
            }
            return a;
        case 235:
            if (state_ == AuthPass) {
                a.send = line(QStringLiteral("MAIL FROM: <") + m_.MailSenderEMail + QLatin1Char('>'));
                trace_ << QStringLiteral("Mailfrom");
                state_ = MailFrom;
            }
            return a;
        case 354:
            if (state_ == Data) {
                a.send = dataText(m_, p_, local_, utcOffset_);
                trace_ << QStringLiteral("SEND BODY");
                state_ = Body;
            }
            return a;
        default:
            trace_ << QStringLiteral("CLOSE2");
            finish(a, QStringLiteral("Unerwartete Antwort des Servers: ") + text);
            return a;
    }
}

SmtpSession::Actions SmtpSession::tlsEstablished() {
    tls_ = true;
    Actions a;
    if (state_ != StartTls) return a;
    // A new greeting is not sent after STARTTLS: the client starts again with EHLO.
    a.send = line(QStringLiteral("EHLO ") + AddressLocalPart(m_.SMTPAuthUser));
    trace_ << QStringLiteral("Ehlo");
    state_ = Helo;
    return a;
}

void SmtpSession::socketError(const QString& description) {
    if (finished()) return;
    trace_ << QStringLiteral("ERROR ") + description;
    success_ = false;
    failure_ = description;
    state_ = Finished;
}

void SmtpSession::socketClosed() {
    if (finished()) return;
    if (!success_ && failure_.isEmpty()) failure_ = QStringLiteral("Der Server hat die Verbindung beendet.");
    state_ = Finished;
}

void SmtpSession::timedOut() {
    if (finished()) return;
    success_ = false;
    failure_ = QStringLiteral("Der Server antwortet nicht (Zeitüberschreitung).");
    state_ = Finished;
}

}  // namespace gd
