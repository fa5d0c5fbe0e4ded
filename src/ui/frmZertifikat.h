#pragma once
// A mail server's certificate the system does not trust, shown so the seller can judge it:
// holder, issuer, validity and the SHA-256 fingerprint, with "Diesem Zertifikat vertrauen".

#include <QDialog>

#include "domain/mail/ServerCertificate.h"

namespace gd {

class frmZertifikat : public QDialog {
    Q_OBJECT
public:
    frmZertifikat(const ServerCertificate& cert, QWidget* parent = nullptr);
};

// After a send refused for the server's certificate: asks, and keeps the trust when the user
// gives it. True when the certificate is trusted now (a new send may go through).
bool offerCertificateTrust(QWidget* parent);

}  // namespace gd
