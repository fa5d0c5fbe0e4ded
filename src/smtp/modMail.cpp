#include "smtp/modMail.h"

#include "app/modGlobal.h"
#include "errors/CallStack.h"
#include "smtp/ctlSMTPRelay.h"

namespace gd {
namespace {
QString g_lastError;

QString stripQuotes(QString s, QChar q) {
    if (s.size() >= 2 && s.front() == q && s.back() == q) s = s.mid(1, s.size() - 2).trimmed();
    return s;
}
}  // namespace

bool splitAddress(const QString& text, QString& name, QString& address) {
    const qsizetype p = text.indexOf(QLatin1Char('<'));
    if (p < 0) {
        name.clear();
        address = text;
        return true;
    }
    const qsizetype q = text.indexOf(QLatin1Char('>'), p);
    if (q < 0) return false;
    name = stripQuotes(stripQuotes(text.left(p).trimmed(), QLatin1Char('"')), QLatin1Char('\''));
    address = text.mid(p + 1, q - p - 1);
    return true;
}

ctlSMTPRelay& SMTP_1() {
    static ctlSMTPRelay control;
    return control;
}

bool Send_SMTP(const QString& Sender, const QString& Recv, const QString& Msg, const QString& Kopie, bool debugmode,
               bool Testonly) {
    CALLSTACK();
    QString senderName, senderAddress, recvName, recvAddress;
    // An address with "<" and no ">" is refused before anything is sent.
    if (!splitAddress(Sender, senderName, senderAddress)) {
        g_lastError = QStringLiteral("Die Absenderadresse '%1' ist unvollständig (\">\" fehlt).").arg(Sender);
        return false;
    }
    if (!splitAddress(Recv, recvName, recvAddress)) {
        g_lastError = QStringLiteral("Die Empfängeradresse '%1' ist unvollständig (\">\" fehlt).").arg(Recv);
        return false;
    }
    ctlSMTPRelay& c = SMTP_1();
    // The debug trace is kept when the caller asks for it.
    c.SMTPDebugmode = debugmode;
    c.MailRecipientName = recvName;
    c.MailRecipientEMail = recvAddress;
    c.MailSenderName = senderName;
    c.MailSenderEMail = senderAddress;
    c.MailSenderEMailCC = Kopie;
    c.MailBody = Msg;
    c.SMTPPort = glSMTPPort;
    c.SMTPServer = gsSMTPServer;
    if (glAuth == 1) {
        c.SMTPAuthPass = gsKennwort;
        c.SMTPAuthUser = gsSMTPUser;
    } else {
        c.SMTPAuthPass.clear();
        c.SMTPAuthUser.clear();
    }
    const bool ok = c.SendMail(Testonly);
    g_lastError = ok ? QString() : c.lastError();
    return ok;
}

QString lastSmtpError() { return g_lastError; }

}  // namespace gd
