#include "ui/MailboxPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "base/AppPath.h"
#include "domain/settings/Providers.h"

namespace gd {

MailboxPage::MailboxPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FramePosteingang"));
    auto* f = new QFormLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("Gaveldesk liest die Benachrichtigungen der Plattform aus Ihrem Postfach und "
                                  "speichert die Verkäufe. Jede andere E-Mail bleibt unberührt."),
                   this);
    hint->setWordWrap(true);
    f->addRow(hint);
    const auto line = [this, f](const char* name, const char* caption) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        auto* l = new QLabel(QString::fromUtf8(caption), this);
        l->setBuddy(e);
        f->addRow(l, e);
        return e;
    };
    txtServer = line("txtPostServer", "Posteingangsserver (IMAP):");
    cboSicherheit = new QComboBox(this);
    cboSicherheit->setObjectName(QStringLiteral("cboPostSicherheit"));
    cboSicherheit->addItem(QStringLiteral("SSL/TLS (Port 993)"), QStringLiteral("SSL"));
    cboSicherheit->addItem(QStringLiteral("STARTTLS (Port 143)"), QStringLiteral("STARTTLS"));
    cboSicherheit->addItem(QStringLiteral("Keine Verschlüsselung (Port 143)"), QStringLiteral("Keine"));
    auto* lblSicherheit = new QLabel(QStringLiteral("Verbindungssicherheit:"), this);
    lblSicherheit->setBuddy(cboSicherheit);
    f->addRow(lblSicherheit, cboSicherheit);
    txtPort = line("txtPostPort", "Port:");
    // The choice sets the usual port; a port typed afterwards stays.
    connect(cboSicherheit, &QComboBox::activated, this,
            [this](int i) { txtPort->setText(i == 0 ? QStringLiteral("993") : QStringLiteral("143")); });
    lblAnbieter = new QLabel(this);
    lblAnbieter->setObjectName(QStringLiteral("lblPostAnbieter"));
    lblAnbieter->setWordWrap(true);
    f->addRow(lblAnbieter);
    txtBenutzer = line("txtPostBenutzer", "Benutzer:");
    txtBenutzer->setPlaceholderText(QStringLiteral("wie beim Emailversand"));
    txtKennwort = line("txtPostKennwort", "Kennwort:");
    txtKennwort->setEchoMode(QLineEdit::Password);
    txtKennwort->setPlaceholderText(QStringLiteral("wie beim Emailversand"));
    txtOrdner = line("txtPostOrdner", "Ordner, der gelesen wird:");
    txtAbsender = line("txtPostAbsender", "Absender der Benachrichtigungen:");
    txtAbsender->setToolTip(QStringLiteral("Adressen oder Domains, durch Komma getrennt; leer: die der Plattform."));
    optVerschieben = new QRadioButton(QStringLiteral("Nach dem Speichern verschieben in:"), this);
    optVerschieben->setObjectName(QStringLiteral("optPostVerschieben"));
    txtAblage = new QLineEdit(this);
    txtAblage->setObjectName(QStringLiteral("txtPostAblage"));
    optGelesen = new QRadioButton(QStringLiteral("Nach dem Speichern nur als gelesen markieren"), this);
    optGelesen->setObjectName(QStringLiteral("optPostGelesen"));
    auto* group = new QButtonGroup(this);
    group->addButton(optVerschieben);
    group->addButton(optGelesen);
    f->addRow(optVerschieben, txtAblage);
    f->addRow(optGelesen);
    connect(optVerschieben, &QRadioButton::toggled, txtAblage, &QLineEdit::setEnabled);
    checkAutomatisch = new QCheckBox(
        QStringLiteral("Sichere Benachrichtigungen ohne Rückfrage speichern (sonst zeigt der Einlese-Dialog jede)"),
        this);
    checkAutomatisch->setObjectName(QStringLiteral("checkPostAutomatisch"));
    f->addRow(checkAutomatisch);
    spinIntervall = new QSpinBox(this);
    spinIntervall->setObjectName(QStringLiteral("spinPostIntervall"));
    spinIntervall->setRange(0, 24 * 60);
    spinIntervall->setSuffix(QStringLiteral(" Minuten"));
    spinIntervall->setSpecialValueText(QStringLiteral("nur von Hand"));
    auto* lblIntervall = new QLabel(QStringLiteral("Abrufen, solange Gaveldesk offen ist, alle:"), this);
    lblIntervall->setBuddy(spinIntervall);
    f->addRow(lblIntervall, spinIntervall);
}

void MailboxPage::load(const Settings& s) {
    txtServer->setText(s.PostServer);
    const int security = std::max(
        0, cboSicherheit->findData(s.PostSicherheit.trimmed().toUpper() == u"STARTTLS" ? QStringLiteral("STARTTLS")
                                   : s.PostSicherheit.trimmed().compare(u"Keine", Qt::CaseInsensitive) == 0
                                       ? QStringLiteral("Keine")
                                       : QStringLiteral("SSL")));
    cboSicherheit->setCurrentIndex(security);
    txtPort->setText(QString::number(s.PostPort));
    txtBenutzer->setText(s.PostBenutzer);
    txtKennwort->setText(s.PostKennwort);
    txtOrdner->setText(s.PostOrdner.trimmed().isEmpty() ? QStringLiteral("INBOX") : s.PostOrdner);
    txtAbsender->setText(s.PostAbsender);
    const bool move = !s.PostAblage.trimmed().isEmpty();
    optVerschieben->setChecked(move);
    optGelesen->setChecked(!move);
    txtAblage->setText(move ? s.PostAblage : QStringLiteral("Gaveldesk/Eingelesen"));
    txtAblage->setEnabled(move);
    checkAutomatisch->setChecked(s.PostAutomatisch);
    spinIntervall->setValue(s.PostIntervall);
}

Status MailboxPage::store(Settings& s) const {
    bool number = false;
    const int port = txtPort->text().trimmed().toInt(&number);
    if (!number || port < 1 || port > 65535)
        return Error::plain(QStringLiteral("Der Port des Posteingangs \u201E%1\u201C ist keine Zahl von 1 bis 65535.")
                                .arg(txtPort->text().trimmed()));
    if (optVerschieben->isChecked() && txtAblage->text().trimmed().isEmpty())
        return Error::plain(
            QStringLiteral("Bitte nennen Sie den Ordner, in den eingelesene E-Mails verschoben werden, "
                           "oder wählen Sie \u201Enur als gelesen markieren\u201C."));
    s.PostServer = txtServer->text().trimmed();
    s.PostPort = port;
    s.PostSicherheit = cboSicherheit->currentData().toString();
    s.PostBenutzer = txtBenutzer->text().trimmed();
    s.PostKennwort = txtKennwort->text();
    s.PostOrdner = txtOrdner->text().trimmed();
    s.PostAbsender = txtAbsender->text().trimmed();
    s.PostAblage = optVerschieben->isChecked() ? txtAblage->text().trimmed() : QString();
    s.PostAutomatisch = checkAutomatisch->isChecked();
    s.PostIntervall = spinIntervall->value();
    return {};
}

void MailboxPage::offerPreset(const QString& address) {
    const std::optional<ProviderPreset> p =
        presetForAddress(readProviderPresets(AppPath() + QStringLiteral("/bin/anbieter.ini")), address);
    if (!p || p->imapServer.isEmpty()) return;
    lblAnbieter->setText(
        QStringLiteral("Voreinstellung für %1: %2, Port %3.").arg(p->name, p->imapServer).arg(p->imapPort));
    if (!txtServer->text().trimmed().isEmpty()) return;
    txtServer->setText(p->imapServer);
    txtPort->setText(QString::number(p->imapPort));
    cboSicherheit->setCurrentIndex(p->imapSecurity.compare(u"STARTTLS", Qt::CaseInsensitive) == 0 ? 1 : 0);
}

}  // namespace gd
