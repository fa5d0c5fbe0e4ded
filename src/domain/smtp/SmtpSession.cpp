#include "domain/smtp/SmtpSession.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include "base/Product.h"
#include "base/codepage.h"
#include "domain/smtp/SmtpEncoding.h"

namespace gd {
namespace {

bool quotedBy(const QString& s, QChar q) { return s.size() >= 2 && s.front() == q && s.back() == q; }

// A display name: encoded words stand as they are, plain text between quotes.
QString quoteEncoded(const QString& encoded) {
    if (encoded.isEmpty() || encoded.startsWith(QStringLiteral("=?"))) return encoded;
    QString q = encoded;
    q.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool hasLineBreak(const QString& s) { return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')); }

bool isAscii(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() >= 0x80) return false;
    return true;
}

// What a login sends: Windows-1252 where it holds the text, else UTF-8.
QByteArray credential(const QString& s) { return win::representable(s) ? win::toAnsi(s) : s.toUtf8(); }

// The words after the code of a multi-line reply, one entry a line.
QStringList replyWords(const QString& reply) {
    QStringList out;
    for (const QString& l : reply.split(QLatin1Char('\n'))) out << l.mid(4).trimmed();
    return out;
}

// The boundary cannot occur in the parts: they are quoted-printable and base64, which never hold "=_".
QString multipartMixed(const QString& textPart, const QList<MailAttachment>& files) {
    const QString boundary = QStringLiteral("=_gd_") + QString::number(QRandomGenerator::global()->generate64(), 16);
    QString out = QStringLiteral("Content-Type: multipart/mixed; boundary=\"") + boundary +
                  QStringLiteral("\"\r\n\r\nThis is a multi-part message in MIME format.\r\n--") + boundary +
                  QStringLiteral("\r\n") + textPart;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    for (const MailAttachment& f : files) {
        QString name = f.fileName;
        name.replace(unsafe, QStringLiteral("_"));
        if (name.isEmpty()) name = QStringLiteral("Anhang");
        const QByteArray b64 = f.data.toBase64();
        QString lines;
        lines.reserve(b64.size() + b64.size() / 38 + 4);
        for (qsizetype i = 0; i < b64.size(); i += 76)
            lines += QString::fromLatin1(b64.mid(i, 76)) + QStringLiteral("\r\n");
        out += QStringLiteral("\r\n--") + boundary + QStringLiteral("\r\nContent-Type: ") +
               QString::fromLatin1(f.mimeType.isEmpty() ? QByteArray("application/octet-stream") : f.mimeType) +
               QStringLiteral("; name=\"") + name + QStringLiteral("\"\r\nContent-Transfer-Encoding: base64\r\n") +
               QStringLiteral("Content-Disposition: attachment; filename=\"") + name + QStringLiteral("\"\r\n\r\n") +
               lines;
    }
    return out + QStringLiteral("--") + boundary + QStringLiteral("--\r\n");
}

}  // namespace

QString makeMessageId(const QString& senderAddress, const QDateTime& when) {
    QString domain = senderAddress.mid(senderAddress.lastIndexOf(QLatin1Char('@')) + 1).trimmed();
    static const QRegularExpression bad(QStringLiteral("[^A-Za-z0-9.-]"));
    if (!senderAddress.contains(QLatin1Char('@')) || domain.isEmpty() || domain.contains(bad))
        domain = QStringLiteral("gaveldesk.invalid");
    const quint64 unique = QRandomGenerator::global()->generate64();
    return QLatin1Char('<') + when.toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('.') +
           QString::number(unique, 16) + QLatin1Char('@') + domain + QLatin1Char('>');
}

Result<PreparedMessage> PrepareMessage(const SmtpMessage& m) {
    PreparedMessage p;
    for (const QString* f : {&m.MailSenderName, &m.MailSenderEMail, &m.MailSenderEMailCC, &m.MailRecipientName,
                             &m.MailRecipientEMail, &m.SMTPAuthUser, &m.SMTPAuthPass, &m.MessageId, &m.SMTPAuthToken})
        if (hasLineBreak(*f)) {
            return Error::plain(QStringLiteral("Ein Name oder eine Adresse enthält einen Zeilenumbruch."));
        }
    QString sender = m.MailSenderName;
    if (quotedBy(sender, QLatin1Char('"'))) sender = sender.mid(1, sender.size() - 2);
    if (quotedBy(sender, QLatin1Char('\''))) sender = sender.mid(1, sender.size() - 2);
    p.senderName = quoteEncoded(EncodeHeader_qp(sender, 78 - 6));  // after "FROM: "
    QString recipient = m.MailRecipientName;
    if (quotedBy(recipient, QLatin1Char('"'))) recipient = recipient.mid(1, recipient.size() - 2);
    p.recipientName = quoteEncoded(EncodeHeader_qp(recipient, 78 - 4));  // after "TO: "
    p.messageId = m.MessageId;

    const qsizetype at = m.MailBody.indexOf(QStringLiteral("subject:"), 0, Qt::CaseInsensitive);
    if (at < 0) {
        p.body = m.MailBody;
        return p;
    }
    const qsizetype eol = m.MailBody.indexOf(QStringLiteral("\r\n"), at + 8);
    // The blank after "subject:" separates; it is no part of the subject.
    const QString subject = (eol < 0 ? m.MailBody.mid(at + 8) : m.MailBody.mid(at + 8, eol - at - 8)).trimmed();
    const QString body = eol < 0 ? QString() : m.MailBody.mid(eol + 2);
    if (hasLineBreak(subject)) {
        return Error::plain(QStringLiteral("Der Betreff enthält einen Zeilenumbruch."));
    }
    const QpEncoded<QByteArray> qp = quotedPrintableBody(body);
    const QString encoded = QString::fromLatin1(qp.body);
    const QString textPart = QStringLiteral("Content-Type: text/plain; charset=\"") + qp.charset +
                             QStringLiteral("\"\r\n") +
                             QStringLiteral("Content-Transfer-Encoding: quoted-printable\r\n\r\n") + encoded;
    p.body =
        QStringLiteral("X-Mailer: ") + productName() + QStringLiteral("\r\n") +
        (p.messageId.isEmpty() ? QString() : QStringLiteral("Message-ID: ") + p.messageId + QStringLiteral("\r\n")) +
        foldHeader(QStringLiteral("Subject: ") + EncodeHeader_qp(subject, 78 - 9)) +
        QStringLiteral("\r\nMime-Version: 1.0\r\n") +
        (m.Attachments.isEmpty() ? textPart : multipartMixed(textPart, m.Attachments));
    return p;
}

QByteArray dataText(const SmtpMessage& m, const PreparedMessage& p, const QDateTime& local, qint16 utcOffset) {
    const QByteArray text = win::toAnsi(
        mailDateLine(local, utcOffset) + QStringLiteral("\r\n") +
        foldHeader(QStringLiteral("FROM: ") + p.senderName + QLatin1Char('<') + m.MailSenderEMail + QLatin1Char('>')) +
        QStringLiteral("\r\n") +
        foldHeader(QStringLiteral("TO: ") + p.recipientName + QLatin1Char('<') + m.MailRecipientEMail +
                   QLatin1Char('>')) +
        QStringLiteral("\r\n") + p.body);
    // Every line ends in CR LF on the wire; a line that starts with "." gets a second
    // one, or the server would take it for the end of the mail.
    // At most twice as long: a CR alone becomes CR LF, a "." at a line start two.
    QByteArray out(text.size() * 2 + 8, Qt::Uninitialized);
    char* o = out.data();
    bool lineStart = true;
    const qsizetype n = text.size();
    const char* in = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = in[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && in[i + 1] == '\n') ++i;
            *o++ = '\r';
            *o++ = '\n';
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.') *o++ = '.';
        *o++ = c;
        lineStart = false;
    }
    out.truncate(o - out.constData());
    if (!out.endsWith("\r\n")) out += "\r\n";  // the end mark brings its own line end otherwise
    out += ".\r\n";
    return out;
}

SmtpSession::SmtpSession(SmtpMessage message, bool testOnly, bool tlsActive, QDateTime local, qint16 utcOffset,
                         SmtpSecurity security, bool allowPlainPassword)
    : m_(std::move(message)),
      testOnly_(testOnly),
      tls_(tlsActive),
      local_(std::move(local)),
      utcOffset_(utcOffset),
      security_(security),
      allowPlainPassword_(allowPlainPassword) {}

bool SmtpSession::authenticates() const {
    return !m_.SMTPAuthUser.trimmed().isEmpty() &&
           (!m_.SMTPAuthPass.trimmed().isEmpty() || !m_.SMTPAuthToken.isEmpty());
}

QByteArray xoauth2Response(const QString& user, const QString& accessToken) {
    const QByteArray plain = "user=" + user.trimmed().toUtf8() +
                             "\x01"
                             "auth=Bearer " +
                             accessToken.toUtf8() + "\x01\x01";
    return plain.toBase64();
}

Status SmtpSession::prepare() {
    if (m_.MessageId.isEmpty()) m_.MessageId = makeMessageId(m_.MailSenderEMail, local_);
    QString why;
    const Result<PreparedMessage> prepared = PrepareMessage(m_);
    if (prepared.ok())
        p_ = prepared.value();
    else
        why = prepared.error().sentence;
    if (why.isEmpty()) {
        // Addresses come from pasted emails: nothing that could end the command or hide a second one.
        for (const QString* a : {&m_.MailSenderEMail, &m_.MailRecipientEMail, &m_.MailSenderEMailCC})
            if (a->contains(QLatin1Char('<')) || a->contains(QLatin1Char('>')) || !isAscii(*a))
                why = QStringLiteral("Die Adresse '%1' ist ungültig.").arg(*a);
    }
    if (!why.isEmpty()) {
        failure_ = why;
        state_ = Finished;
        return Error::plain(why);
    }
    return {};
}

SmtpSession::Actions SmtpSession::start() {
    note(QStringLiteral("Start"));
    state_ = Connecting;
    success_ = false;
    return {};
}

QByteArray SmtpSession::line(const QString& command) const { return win::toAnsi(command) + "\r\n"; }

// RFC 5321 asks for a full host name or an address literal; a desktop has no name the world
// knows, so its address: "[192.0.2.1]", "[IPv6:2001:db8::1]".
QByteArray SmtpSession::greeting(const char* verb) const {
    QString literal = localAddress_.isEmpty() ? QStringLiteral("127.0.0.1") : localAddress_;
    if (literal.startsWith(QStringLiteral("::ffff:")) && literal.count(QLatin1Char('.')) == 3) literal = literal.mid(7);
    literal = literal.contains(QLatin1Char(':')) ? QStringLiteral("[IPv6:%1]").arg(literal)
                                                 : QStringLiteral("[%1]").arg(literal);
    return line(QString::fromLatin1(verb) + QLatin1Char(' ') + literal);
}

int SmtpSession::recipients() const { return m_.MailSenderEMailCC.isEmpty() ? 1 : 2; }

QByteArray SmtpSession::recipient(int i) const {
    return line(QStringLiteral("RCPT TO: <") + (i == 0 ? m_.MailRecipientEMail : m_.MailSenderEMailCC) +
                QLatin1Char('>'));
}

void SmtpSession::note(const QString& entry) {
    trace_ << (entry.size() > 1000 ? entry.left(1000) + QStringLiteral(" …") : entry);
    if (trace_.size() > kMaxTrace) trace_.removeFirst();
}

void SmtpSession::finish(Actions& a, const QString& why) {
    a.close = true;
    state_ = Finished;
    if (!success_ && failure_.isEmpty()) failure_ = why;
}

void SmtpSession::fail(Actions& a, const QString& why) {
    a.send += line(QStringLiteral("QUIT"));
    finish(a, why);
}

SmtpSession::Actions SmtpSession::received(const QByteArray& bytes) {
    Actions all;
    if (finished()) return all;
    buffer_ += bytes;
    note(QString::fromLatin1(bytes));
    // Whole lines only, however the network split them; "250-" lines continue a reply.
    qsizetype eol;
    while (!finished() && (eol = buffer_.indexOf('\n')) >= 0) {
        if (eol > kMaxLine) break;
        QByteArray l = buffer_.left(eol);
        buffer_.remove(0, eol + 1);
        if (l.endsWith('\r')) l.chop(1);
        const QString text = QString::fromLatin1(l);
        replyLines_ << text;
        if (replyLines_.size() > kMaxReplyLines) {
            fail(all, QStringLiteral("Die Antwort des Servers hat mehr als %1 Zeilen.").arg(kMaxReplyLines));
            return all;
        }
        if (text.size() > 3 && text[3] == QLatin1Char('-')) continue;
        bool ok = false;
        const int code = text.left(3).toInt(&ok);
        lastReply_ = replyLines_.join(QLatin1Char('\n'));
        const QString whole = lastReply_;
        replyLines_.clear();
        ++replies_;
        Actions a = onReply(ok ? code : 0, whole);
        all.send += a.send;
        all.startTls = all.startTls || a.startTls;
        all.close = all.close || a.close;
        if (a.startTls) {
            // What came with the go-ahead came in clear: a man in the middle may have
            // added it. The session starts afresh after the handshake.
            buffer_.clear();
            replyLines_.clear();
            return all;
        }
    }
    if (!finished() && (buffer_.size() > kMaxLine || buffer_.indexOf('\n') > kMaxLine)) {
        buffer_.clear();
        fail(all, QStringLiteral("Der Server sendet eine Antwortzeile von mehr als 4 KB."));
    }
    return all;
}

SmtpSession::Actions SmtpSession::afterEhlo(const QString& text) {
    Actions a;
    const bool auth = authenticates();
    const QStringList caps = replyWords(text);
    bool offersTls = false;
    pipelining_ = false;  // what was said before TLS counts no more
    QStringList mechanisms;
    for (const QString& c : caps) {
        const QStringList w = c.split(QRegularExpression(QStringLiteral("[ =]")), Qt::SkipEmptyParts);
        if (w.isEmpty()) continue;
        if (w.first().compare(QStringLiteral("STARTTLS"), Qt::CaseInsensitive) == 0) offersTls = true;
        if (w.first().compare(QStringLiteral("PIPELINING"), Qt::CaseInsensitive) == 0) pipelining_ = true;
        if (w.first().compare(QStringLiteral("AUTH"), Qt::CaseInsensitive) == 0)
            for (const QString& mech : w.mid(1)) mechanisms << mech.toUpper();
    }
    if (!tls_ && security_ == SmtpSecurity::StartTls && offersTls) {
        a.send = line(QStringLiteral("STARTTLS"));
        note(QStringLiteral("STARTTLS"));
        state_ = StartTls;
        return a;
    }
    if (!auth) {
        // Chosen, but not offered (or struck from the reply on the way): the buyer's address and the
        // bank data would cross the network in clear. Never decided by the server.
        if (!tls_ && security_ == SmtpSecurity::StartTls) {
            fail(a, QStringLiteral("Der Server bietet keine Verschlüsselung (STARTTLS) an; die E-Mail wird nicht "
                                   "unverschlüsselt gesendet. Wählen Sie in den Einstellungen (Emailversand) "
                                   "\u201ESSL/TLS\u201C, oder \u201EKeine Verschlüsselung\u201C, wenn der Server keine "
                                   "kennt."));
            return a;
        }
        a.send = line(QStringLiteral("MAIL FROM: <") + m_.MailSenderEMail + QLatin1Char('>'));
        note(QStringLiteral("MailFrom Auth"));
        state_ = MailFrom;
        return a;
    }
    // A token is a password for an hour: over TLS only, whatever the user allowed.
    if (!m_.SMTPAuthToken.isEmpty()) {
        if (!tls_) {
            fail(a, QStringLiteral("Der Server bietet keine verschlüsselte Verbindung an; die Anmeldung wird nicht "
                                   "unverschlüsselt gesendet."));
        } else if (!mechanisms.contains(QStringLiteral("XOAUTH2"))) {
            fail(a, QStringLiteral("Der Server bietet keine Anmeldung mit Token (XOAUTH2) an. Prüfen Sie Server und "
                                   "Port in den Einstellungen (Emailversand)."));
        } else {
            a.send = "AUTH XOAUTH2 " + xoauth2Response(m_.SMTPAuthUser, m_.SMTPAuthToken) + "\r\n";
            note(QStringLiteral("AUTH XOAUTH2"));
            state_ = AuthPass;
        }
        return a;
    }
    // The password goes over TLS only, unless the user allowed otherwise.
    if (!tls_ && !allowPlainPassword_) {
        // The user's own choice is said as such: the server may well offer encryption.
        fail(a, (security_ == SmtpSecurity::None
                     ? QStringLiteral("Mit \u201EKeine Verschlüsselung\u201C ginge das Kennwort unverschlüsselt "
                                      "über das Netz; es wird so nicht gesendet. ")
                     : QStringLiteral("Der Server bietet keine verschlüsselte Verbindung an; das Kennwort wird "
                                      "nicht unverschlüsselt gesendet. ")) +
                    QStringLiteral("Wählen Sie in den Einstellungen (Emailversand) \u201ESTARTTLS\u201C oder "
                                   "\u201ESSL/TLS\u201C oder \u201EKennwort auch unverschlüsselt senden "
                                   "(unsicher)\u201C."));
        return a;
    }
    if (mechanisms.isEmpty() || mechanisms.contains(QStringLiteral("LOGIN"))) {
        a.send = line(QStringLiteral("AUTH LOGIN"));
        note(QStringLiteral("AUTH LOGIN"));
        state_ = AuthLogin;
    } else if (mechanisms.contains(QStringLiteral("PLAIN"))) {
        const QByteArray plain =
            QByteArray(1, '\0') + credential(m_.SMTPAuthUser) + QByteArray(1, '\0') + credential(m_.SMTPAuthPass);
        a.send = "AUTH PLAIN " + plain.toBase64() + "\r\n";
        note(QStringLiteral("AUTH PLAIN"));
        state_ = AuthPass;
    } else {
        fail(a, QStringLiteral("Der Server bietet kein bekanntes Anmeldeverfahren an (LOGIN oder PLAIN)."));
    }
    return a;
}

SmtpSession::Actions SmtpSession::onReply(int code, const QString& text) {
    Actions a;
    if (code == 220 && state_ == StartTls) {
        a.startTls = true;
        return a;
    }
    if (code == 220) {
        // EHLO always (the capabilities decide how to go on); HELO only for a server that refuses it.
        a.send = greeting("EHLO");
        note(QStringLiteral("Ehlo"));
        state_ = Helo;
        return a;
    }
    if (code >= 500 && state_ == Helo && !heloTried_ && !tls_) {
        heloTried_ = true;
        a.send = greeting("HELO");
        note(QStringLiteral("Helo"));
        return a;
    }
    // The copy to the sender refused: said afterwards, the mail goes to the buyer all the same.
    if (code >= 400 && state_ == RcptTo && recipientsAnswered_ == 1) {
        copyRefused_ = text;
        note(QStringLiteral("RCPT Kopie abgelehnt"));
        return onReply(250, text);
    }
    if (code >= 400) {
        signInRefused_ = state_ == AuthLogin || state_ == AuthUser || state_ == AuthPass;
        note(QStringLiteral("CLOSE1"));
        refusedReply_ = text;
        finish(a, QStringLiteral("Der Server hat abgelehnt: ") + text);
        return a;
    }
    switch (code) {
        case 250:
            if (state_ == Helo) return afterEhlo(text);
            if (state_ == MailFrom) {
                // Both at once only where the server said it takes that; else each waits for its reply.
                a.send = recipient(0);
                if (pipelining_ && recipients() > 1) a.send += recipient(1);
                note(QStringLiteral("RCPT TO"));
                recipientsAnswered_ = 0;
                state_ = RcptTo;
                return a;
            }
            if (state_ == Body) {
                a.send = line(QStringLiteral("QUIT"));
                note(QStringLiteral("QUIT"));
                success_ = true;
                state_ = Quit;
                finish(a, QString());
                return a;
            }
            [[fallthrough]];
        case 251:
            if (state_ == RcptTo && ++recipientsAnswered_ < recipients()) {
                if (!pipelining_) a.send = recipient(recipientsAnswered_);
                return a;
            }
            if (state_ == RcptTo) {
                state_ = Data;
                if (testOnly_) {
                    a.send = line(QStringLiteral("QUIT"));
                    success_ = true;
                    finish(a, QString());
                } else {
                    a.send = line(QStringLiteral("DATA"));
                    note(code == 250 ? QStringLiteral("DATA1") : QStringLiteral("DATA2"));
                }
            }
            return a;  // in another state: ignored
        case 334:
            if (state_ == AuthLogin) {
                a.send = credential(m_.SMTPAuthUser).toBase64() + "\r\n";
                note(QStringLiteral("AUTH USER"));
                state_ = AuthUser;
            } else if (state_ == AuthUser) {
                a.send = credential(m_.SMTPAuthPass).toBase64() + "\r\n";
                note(QStringLiteral("AUTH PASS"));
                state_ = AuthPass;
            } else if (state_ == AuthPass && !m_.SMTPAuthToken.isEmpty()) {
                // XOAUTH2's refusal comes as a challenge with the reason; an empty answer ends it.
                a.send = "\r\n";
                note(QStringLiteral("AUTH XOAUTH2 abgelehnt"));
            }
            return a;
        case 235:
            if (state_ == AuthPass) {
                a.send = line(QStringLiteral("MAIL FROM: <") + m_.MailSenderEMail + QLatin1Char('>'));
                note(QStringLiteral("Mailfrom"));
                state_ = MailFrom;
            }
            return a;
        case 354:
            if (state_ == Data) {
                a.send = dataText(m_, p_, local_, utcOffset_);
                note(QStringLiteral("SEND BODY"));
                state_ = Body;
            }
            return a;
        default:
            note(QStringLiteral("CLOSE2"));
            finish(a, QStringLiteral("Unerwartete Antwort des Servers: ") + text);
            return a;
    }
}

SmtpSession::Actions SmtpSession::tlsEstablished() {
    tls_ = true;
    Actions a;
    if (state_ != StartTls) return a;
    // A new greeting is not sent after STARTTLS: the client starts again with EHLO.
    a.send = greeting("EHLO");
    note(QStringLiteral("Ehlo"));
    state_ = Helo;
    return a;
}

void SmtpSession::socketError(const QString& description) {
    if (finished()) return;
    note(QStringLiteral("ERROR ") + description);
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

void SmtpSession::tookTooLong(int seconds) {
    if (finished()) return;
    success_ = false;
    failure_ = QStringLiteral("Der Versand hat länger als %1 Sekunden gedauert und wurde abgebrochen.").arg(seconds);
    state_ = Finished;
}

}  // namespace gd
