#pragma once
// One mail server certificate the user trusts by its SHA-256, per server and port, kept in
// config.ini [Zertifikate]. A different certificate there later is refused, whoever issued it.

#include <QSslCertificate>
#include <QString>

#include "base/Result.h"

namespace gd {

// "AB:CD:…", the way certificate viewers show it; empty for a null certificate.
QString certificateFingerprint(const QSslCertificate& cert);
// The fingerprint trusted for this server and port; empty when none is.
QString trustedFingerprint(const QString& server, int port);
// Keeps the trust; an old fingerprint for that server and port is replaced.
Status trustFingerprint(const QString& server, int port, const QString& sha256);

}  // namespace gd
