#include "ui/frmZertifikat.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmZertifikat::frmZertifikat(const ServerCertificate& cert, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmZertifikat"));
    setWindowTitle(QStringLiteral("Zertifikat des Mailservers"));
    const bool changed = !cert.trusted.isEmpty();
    auto* head = new QLabel(this);
    head->setObjectName(QStringLiteral("lblWarnung"));
    head->setWordWrap(true);
    head->setText(
        changed ? QStringLiteral("<b>Achtung: Das Zertifikat des Servers %1 (Port %2) hat sich geändert.</b> Die "
                                 "E-Mail wurde nicht gesendet. Vertraut haben Sie bisher dem Zertifikat mit dem "
                                 "Fingerabdruck<br><tt>%3</tt>.<br>Ein anderes Zertifikat kann ein Angriff sein. "
                                 "Vertrauen Sie dem neuen nur, wenn Sie es auf Ihrem Server selbst erneuert haben.")
                      .arg(cert.server.toHtmlEscaped())
                      .arg(cert.port)
                      .arg(cert.trusted)
                : QStringLiteral("Der Server %1 (Port %2) zeigt ein Zertifikat, dem dieser Rechner nicht vertraut; "
                                 "die E-Mail wurde nicht gesendet.")
                      .arg(cert.server.toHtmlEscaped())
                      .arg(cert.port));
    auto* details = new QLabel(this);
    details->setObjectName(QStringLiteral("lblZertifikat"));
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details->setWordWrap(true);
    details->setText(QStringLiteral("Inhaber: %1<br>Aussteller: %2<br>Gültig vom %3 bis %4<br>Fingerabdruck "
                                    "(SHA-256):<br><tt>%5</tt>")
                         .arg(cert.holder.toHtmlEscaped(), cert.issuer.toHtmlEscaped(),
                              cert.validFrom.toString(QStringLiteral("dd.MM.yyyy")),
                              cert.validTo.toString(QStringLiteral("dd.MM.yyyy")), cert.sha256));
    auto* advice = new QLabel(this);
    advice->setWordWrap(true);
    advice->setText(QStringLiteral(
        "Vertrauen Sie ihm nur, wenn es Ihr eigener Server ist (etwa ein Mailserver zu Hause) und Sie den "
        "Fingerabdruck mit dem verglichen haben, den der Server selbst anzeigt. Der Server eines Anbieters (GMX, "
        "WEB.DE, T-Online, Gmail, Outlook …) braucht das nie: Dort ist ein unbekanntes Zertifikat ein Grund, nicht zu "
        "senden. Vertraut wird genau dieses Zertifikat für diesen Server und Port, kein anderes."));
    auto* buttons = new QDialogButtonBox(this);
    auto* trust = buttons->addButton(QStringLiteral("Diesem Zertifikat vertrauen"), QDialogButtonBox::AcceptRole);
    trust->setObjectName(QStringLiteral("cmdVertrauen"));
    auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdAbbrechen"));
    cancel->setDefault(true);
    cancel->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addHelp(this, QStringLiteral("zertifikate"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(head);
    v->addWidget(details);
    v->addWidget(advice);
    v->addWidget(buttons);
    setMinimumWidth(560);
}

bool offerCertificateTrust(QWidget* parent) {
    const std::optional<ServerCertificate> cert = lastRefusedCertificate();
    if (!cert) return false;
    frmZertifikat dlg(*cert, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    const Status kept = trustCertificate(*cert);
    if (!kept.ok()) {
        showError(kept.error());
        return false;
    }
    return true;
}

}  // namespace gd
