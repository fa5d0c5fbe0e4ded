#pragma once
// A mail server's certificate that the system does not trust, trusted consciously: exactly
// that certificate (its SHA-256) for that server and port, kept in config.ini [Zertifikate].
// A different certificate there later is refused, whoever issued it.

#include <QDate>
#include <QSslCertificate>
#include <QString>
#include <optional>

#include "base/Result.h"

namespace gd {

struct ServerCertificate {
    QString server;
    int port = 0;
    QString sha256;  // "AB:CD:…", the way certificate viewers show it
    QString holder, issuer;
    QDate validFrom, validTo;
    QString trusted;  // the fingerprint trusted for this server and port before; empty when none
};

QString certificateFingerprint(const QSslCertificate& cert);
ServerCertificate describeCertificate(const QSslCertificate& cert, const QString& server, int port);

// The fingerprint trusted for this server and port; empty when none is.
QString trustedFingerprint(const QString& server, int port);
// Keeps the trust; the old fingerprint for that server and port, if any, is replaced.
Status trustCertificate(const ServerCertificate& cert);

// The certificate the last send through the program's SMTP client was refused for (unknown to
// the system, or not the one trusted); nullopt when the last send was not refused for it.
std::optional<ServerCertificate> lastRefusedCertificate();

}  // namespace gd
