#include "domain/smtp/modMail.h"

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "domain/smtp/OAuth.h"
#include "domain/smtp/PinnedCertificate.h"
#include "domain/smtp/ctlSMTPRelay.h"

namespace gd {
namespace {

QString stripQuotes(QString s, QChar q) {
    if (s.size() >= 2 && s.front() == q && s.back() == q) s = s.mid(1, s.size() - 2).trimmed();
    return s;
}

SmtpAccount accountFromGlobals() { return accountOf(currentSettings()); }

}  // namespace

std::optional<MailAddress> splitAddress(const QString& text) {
    const qsizetype p = text.indexOf(QLatin1Char('<'));
    if (p < 0) return MailAddress{QString(), text};
    const qsizetype q = text.indexOf(QLatin1Char('>'), p);
    if (q < 0) return std::nullopt;
    return MailAddress{stripQuotes(stripQuotes(text.left(p).trimmed(), QLatin1Char('"')), QLatin1Char('\'')),
                       text.mid(p + 1, q - p - 1)};
}

SmtpAccount accountOf(const Settings& s) {
    SmtpAccount a;
    a.server = s.SMTPServer;
    a.port = s.SMTPPort;
    a.method = s.Auth != 1                              ? SmtpAccount::Method::None
               : s.Anmeldeverfahren.trimmed().isEmpty() ? SmtpAccount::Method::Password
                                                        : SmtpAccount::Method::Token;
    a.provider = s.Anmeldeverfahren.trimmed();
    a.user = s.Konto;
    a.password = s.Kennwort;
    a.security = securityOf(connectionSecurity(s));
    a.plainPassword = s.KennwortUnverschluesselt;
    a.totalSecs = s.SMTPZeitlimit > 0 ? s.SMTPZeitlimit : 120;
    return a;
}

SmtpSecurity securityOf(const QString& name) {
    if (name == QStringLiteral("STARTTLS")) return SmtpSecurity::StartTls;
    if (name == QStringLiteral("SSL/TLS")) return SmtpSecurity::ImplicitTls;
    return SmtpSecurity::None;
}

ctlSMTPRelay& SMTP_1() {
    static ctlSMTPRelay control;
    return control;
}

Status Send_SMTP(const QString& Sender, const QString& Recv, const QString& Msg, const QString& Kopie, bool debugmode,
                 bool Testonly, const QList<MailAttachment>& attachments) {
    CALLSTACK();
    return sendThrough(accountFromGlobals(), Sender, Recv, Msg, Kopie, debugmode, Testonly, attachments);
}

QString lastSendNote() { return SMTP_1().lastNote(); }
QString lastSendMessageId() { return SMTP_1().lastMessageId(); }
QString lastSendReply() { return SMTP_1().lastReply(); }

Status sendThrough(const SmtpAccount& account, const QString& Sender, const QString& Recv, const QString& Msg,
                   const QString& Kopie, bool debugmode, bool Testonly, const QList<MailAttachment>& attachments) {
    // An address with "<" and no ">" is refused before anything is sent.
    const std::optional<MailAddress> from = splitAddress(Sender), to = splitAddress(Recv);
    if (!from)
        return Error::plain(QStringLiteral("Die Absenderadresse '%1' ist unvollständig (\">\" fehlt).").arg(Sender));
    if (!to)
        return Error::plain(QStringLiteral("Die Empfängeradresse '%1' ist unvollständig (\">\" fehlt).").arg(Recv));
    ctlSMTPRelay& c = SMTP_1();
    // The debug trace is kept when the caller asks for it.
    c.SMTPDebugmode = debugmode;
    c.MailRecipientName = to->name;
    c.MailRecipientEMail = to->address;
    c.MailSenderName = from->name;
    c.MailSenderEMail = from->address;
    c.MailSenderEMailCC = Kopie;
    c.MailBody = Msg;
    c.MailAttachments = attachments;
    c.SMTPPort = account.port;
    c.SMTPServer = account.server;
    const bool password = account.method == SmtpAccount::Method::Password;
    const bool token = account.method == SmtpAccount::Method::Token;
    c.SMTPAuthPass = password ? account.password : QString();
    c.SMTPAuthUser = password || token ? account.user : QString();
    c.SMTPAuthToken.clear();
    c.SMTPSecurity = account.security;
    c.SMTPPlainPassword = account.plainPassword;
    c.SMTPTotalSecs = account.totalSecs;
    c.SMTPTrustedSha256 = trustedFingerprint(account.server, account.port);
    if (!token) return c.SendMail(Testonly) ? Status{} : Status(Error::plain(c.lastError()));
    const std::optional<OAuthProvider> provider = oauthProvider(account.provider, configIniPath());
    if (!provider) return Error::plain(missingClientId(account.provider));
    // The kept token first; refused (expired early, or revoked), a new one once more.
    for (const bool renew : {false, true}) {
        const Result<QString> access = accessToken(*provider, account.user, renew);
        if (!access.ok()) return access.error();
        c.SMTPAuthToken = access.value();
        const bool sent = c.SendMail(Testonly);
        c.SMTPAuthToken.clear();
        if (sent) return {};
        if (!c.signInRefused()) break;
    }
    return Error::plain(c.lastError());
}

}  // namespace gd
