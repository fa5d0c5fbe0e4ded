#include "ui/frmDatenbank.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/AppPath.h"
#include "domain/db/DataSource.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

namespace {
QLineEdit* field(QWidget* parent, const char* name, const QString& text) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMinimumWidth(420);
    return e;
}
}  // namespace

frmDatenbank::frmDatenbank(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDatenbank"));
    setWindowTitle(QStringLiteral("Datenbank"));
    auto* form = new QFormLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("Für einen Platz eine Datei auf der eigenen Festplatte. Für mehrere Plätze ein "
                                  "PostgreSQL-Server: postgresql://benutzer@server/datenbank. Die Verbindung ist "
                                  "verschlüsselt, und der Name des Servers wird geprüft. Die Daten einer Datei "
                                  "bringt „gaveldesk --move-to ADRESSE“ auf den Server."),
                   this);
    hint->setWordWrap(true);
    form->addRow(hint);
    txtDatenbank = field(this, "txtDatenbank", gsDataSource);
    form->addRow(QStringLiteral("Datenbank:"), txtDatenbank);
    txtZertifikat = field(this, "txtZertifikat", gSettings.ServerZertifikat);
    txtZertifikat->setPlaceholderText(QStringLiteral("leer: die Zertifizierungsstellen des Systems"));
    form->addRow(QStringLiteral("Zertifikat der Zertifizierungsstelle:"), txtZertifikat);
    txtKennwort = field(this, "txtKennwort", QString());
    txtKennwort->setEchoMode(QLineEdit::Password);
    txtKennwort->setPlaceholderText(QStringLiteral("leer: das gespeicherte bleibt"));
    form->addRow(QStringLiteral("Kennwort des Servers:"), txtKennwort);
    auto* buttons = new QDialogButtonBox(this);
    cmdPruefen = buttons->addButton(QStringLiteral("Verbindung prüfen"), QDialogButtonBox::ActionRole);
    cmdPruefen->setObjectName(QStringLiteral("cmdPruefen"));
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdAbbrechen = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cmdAbbrechen->setObjectName(QStringLiteral("cmdAbbrechen"));
    addHelp(this, QStringLiteral("team"), buttons);
    form->addRow(buttons);
    connect(cmdPruefen, &QPushButton::clicked, this, &frmDatenbank::cmdPruefen_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmDatenbank::cmdOK_Click);
    connect(cmdAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
}

void frmDatenbank::cmdPruefen_Click() {
    const Status ok =
        checkDataSource({txtDatenbank->text().trimmed(), txtZertifikat->text().trimmed(), txtKennwort->text()});
    if (!ok.ok()) return showError(ok.error());
    platform().msgBox(QStringLiteral("Die Verbindung zur Datenbank gelingt."), Platform::Buttons::Ok,
                      Platform::Icon::Information, windowTitle());
}

void frmDatenbank::cmdOK_Click() {
    const DataSourceChoice c{txtDatenbank->text().trimmed(), txtZertifikat->text().trimmed(), txtKennwort->text()};
    // Saved only as it works: a start on a database that cannot be opened helps no one.
    if (const Status ok = checkDataSource(c); !ok.ok()) return showError(ok.error());
    if (const Status saved = saveDataSource(c, configIniPath()); !saved.ok()) return showError(saved.error());
    // The certificate counts at once, for the connections this seat opens from now on.
    Settings s = currentSettings();
    s.ServerZertifikat = c.caFile;
    setSettings(s);
    txtKennwort->clear();
    // The main window takes the new database when the options close.
    chosen_ = c.source;
    accept();
}

}  // namespace gd
