#pragma once
// A mail server's certificate that the system does not trust, as the seller sees it before
// trusting exactly that one for that server and port.

#include <QDate>
#include <QString>
#include <optional>

#include "base/Result.h"

namespace gd {

struct ServerCertificate {
    QString server;
    int port = 0;
    QString sha256;  // "AB:CD:…"
    QString holder, issuer;
    QDate validFrom, validTo;
    QString trusted;  // the fingerprint trusted for this server and port before; empty when none
};

// The certificate the last send through the program's SMTP client was refused for (unknown to
// the system, or not the one trusted); nullopt when the last send was not refused for it.
std::optional<ServerCertificate> lastRefusedCertificate();
// From now on this certificate, and only it, is accepted for its server and port.
Status trustCertificate(const ServerCertificate& cert);

}  // namespace gd
