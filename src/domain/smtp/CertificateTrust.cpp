#include "domain/smtp/CertificateTrust.h"

#include <QCryptographicHash>

#include "base/AppPath.h"
#include "base/profile.h"
#include "domain/smtp/ctlSMTPRelay.h"
#include "domain/smtp/modMail.h"

namespace gd {
namespace {

const QString kSection = QStringLiteral("Zertifikate");

QString key(const QString& server, int port) {
    return server.trimmed().toLower() + QLatin1Char(':') + QString::number(port);
}

QString names(const QStringList& parts) {
    return parts.isEmpty() ? QStringLiteral("?") : parts.join(QStringLiteral(", "));
}

}  // namespace

QString certificateFingerprint(const QSslCertificate& cert) {
    if (cert.isNull()) return {};
    return QString::fromLatin1(cert.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

ServerCertificate describeCertificate(const QSslCertificate& cert, const QString& server, int port) {
    ServerCertificate c;
    c.server = server.trimmed();
    c.port = port;
    c.sha256 = certificateFingerprint(cert);
    c.holder = names(cert.subjectInfo(QSslCertificate::CommonName) + cert.subjectInfo(QSslCertificate::Organization));
    c.issuer = names(cert.issuerInfo(QSslCertificate::CommonName) + cert.issuerInfo(QSslCertificate::Organization));
    c.validFrom = cert.effectiveDate().toLocalTime().date();
    c.validTo = cert.expiryDate().toLocalTime().date();
    c.trusted = trustedFingerprint(server, port);
    return c;
}

QString trustedFingerprint(const QString& server, int port) {
    QString value;
    win::GetPrivateProfileString(kSection, key(server, port), QString(), value, 255, configIniPath());
    return value.trimmed().toUpper();
}

Status trustCertificate(const ServerCertificate& cert) {
    if (cert.sha256.isEmpty()) return Error::plain(QStringLiteral("Das Zertifikat ist leer."));
    return win::writeProfileStrings({{kSection, key(cert.server, cert.port), cert.sha256}}, configIniPath());
}

std::optional<ServerCertificate> lastRefusedCertificate() {
    const ctlSMTPRelay& c = SMTP_1();
    if (c.refusedCertificate().isNull()) return std::nullopt;
    return describeCertificate(c.refusedCertificate(), c.SMTPServer, c.SMTPPort);
}

}  // namespace gd
