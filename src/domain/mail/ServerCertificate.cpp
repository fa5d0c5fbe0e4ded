#include "domain/mail/ServerCertificate.h"

#include <QSslCertificate>

#include "domain/smtp/PinnedCertificate.h"
#include "domain/smtp/ctlSMTPRelay.h"
#include "domain/smtp/modMail.h"

namespace gd {
namespace {

QString names(const QStringList& parts) {
    return parts.isEmpty() ? QStringLiteral("?") : parts.join(QStringLiteral(", "));
}

}  // namespace

std::optional<ServerCertificate> lastRefusedCertificate() {
    const ctlSMTPRelay& c = SMTP_1();
    const QSslCertificate cert = c.refusedCertificate();
    if (cert.isNull()) return std::nullopt;
    ServerCertificate s;
    s.server = c.SMTPServer.trimmed();
    s.port = c.SMTPPort;
    s.sha256 = certificateFingerprint(cert);
    s.holder = names(cert.subjectInfo(QSslCertificate::CommonName) + cert.subjectInfo(QSslCertificate::Organization));
    s.issuer = names(cert.issuerInfo(QSslCertificate::CommonName) + cert.issuerInfo(QSslCertificate::Organization));
    s.validFrom = cert.effectiveDate().toLocalTime().date();
    s.validTo = cert.expiryDate().toLocalTime().date();
    s.trusted = trustedFingerprint(s.server, s.port);
    return s;
}

Status trustCertificate(const ServerCertificate& cert) { return trustFingerprint(cert.server, cert.port, cert.sha256); }

}  // namespace gd
