#include "domain/smtp/PinnedCertificate.h"

#include <QCryptographicHash>

#include "base/AppPath.h"
#include "base/profile.h"

namespace gd {
namespace {

const QString kSection = QStringLiteral("Zertifikate");

QString key(const QString& server, int port) {
    return server.trimmed().toLower() + QLatin1Char(':') + QString::number(port);
}

}  // namespace

QString certificateFingerprint(const QSslCertificate& cert) {
    if (cert.isNull()) return {};
    return QString::fromLatin1(cert.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString trustedFingerprint(const QString& server, int port) {
    QString value;
    win::GetPrivateProfileString(kSection, key(server, port), QString(), value, 255, configIniPath());
    return value.trimmed().toUpper();
}

Status trustFingerprint(const QString& server, int port, const QString& sha256) {
    if (sha256.isEmpty()) return Error::plain(QStringLiteral("Das Zertifikat ist leer."));
    return win::writeProfileStrings({{kSection, key(server, port), sha256}}, configIniPath());
}

}  // namespace gd
