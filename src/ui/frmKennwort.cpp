#include "ui/frmKennwort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/db/Backup.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmKennwort::frmKennwort(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmKennwort"));
    setWindowTitle(QStringLiteral("Datenbank-Kennwort ändern"));
    setModal(true);
    auto* hint = new QLabel(
        QStringLiteral("Mit einem eigenen Kennwort bleiben die Daten Ihrer Kunden geschützt, auch wenn der Rechner "
                       "verloren geht. Gaveldesk fragt dann bei jedem Start danach. Ohne das Kennwort lässt sich die "
                       "Datenbank nicht mehr öffnen, auch keine Datensicherung, die danach entsteht: bitte gut "
                       "aufbewahren.\nLeer lassen: wieder das Kennwort des Programms."),
        this);
    hint->setWordWrap(true);
    txtNeu = new QLineEdit(this);
    txtNeu->setObjectName(QStringLiteral("txtNeu"));
    txtNeu->setEchoMode(QLineEdit::Password);
    txtWiederholung = new QLineEdit(this);
    txtWiederholung->setObjectName(QStringLiteral("txtWiederholung"));
    txtWiederholung->setEchoMode(QLineEdit::Password);
    cmdOK = new QPushButton(QStringLiteral("Ändern"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmKennwort::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Neues Kennwort:"), txtNeu);
    form->addRow(QStringLiteral("Wiederholen:"), txtWiederholung);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    addHelp(this, QStringLiteral("kennwort"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(hint);
    v->addLayout(form);
    v->addLayout(buttons);
    resize(520, 240);
}

void frmKennwort::cmdOK_Click() {
    CALLSTACK();
    if (txtNeu->text() != txtWiederholung->text()) {
        platform().msgBox(QStringLiteral("Die beiden Kennwörter stimmen nicht überein."), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, QString());
        return;
    }
    platform().setBusyCursor(true);
    const Status changed = changeDatabasePassphrase(gsDataSource, txtNeu->text());
    platform().setBusyCursor(false);
    if (!changed.ok()) {
        showError(changed.error());
        return;
    }
    const bool own = hasOwnPassphrase();
    // The file is re-keyed either way; without the mark the next start would not ask.
    if (!rememberPassphraseKind(configIniPath()))
        platform().msgBox(QStringLiteral("Das Kennwort ist geändert, aber die Einstellungsdatei '%1' ließ sich nicht "
                                         "schreiben: Gaveldesk wird beim nächsten Start nicht danach fragen.")
                              .arg(QDir::toNativeSeparators(configIniPath())),
                          Platform::Buttons::Ok, Platform::Icon::Critical, QString());
    else
        platform().msgBox(own ? QStringLiteral("Die Datenbank hat jetzt Ihr eigenes Kennwort.")
                              : QStringLiteral("Die Datenbank hat wieder das Kennwort des Programms."),
                          Platform::Buttons::Ok, Platform::Icon::Information, QString());
    offerToRemoveOlderBackups();
    accept();
}

void frmKennwort::offerToRemoveOlderBackups() {
    // Backups keep the key they were made under: a new one is made under the new key at once (the
    // user is never left with backups only the old password opens), then the older ones may go.
    platform().setBusyCursor(true);
    const QString fresh = backupFolder() + QStringLiteral("/gaveldesk-") + today().toString(Qt::ISODate) +
                          QString::fromLatin1(kBackupSuffix);
    const Status s = writeBackup(gsDataSource, AppPath() + QStringLiteral("/bin"), fresh);  // replaces today's whole
    platform().setBusyCursor(false);
    if (!s.ok()) {
        showError(s.error());
        return;
    }
    QStringList older;
    for (const QString& f : backupsIn(backupFolder()))
        if (QFileInfo(f) != QFileInfo(fresh)) older << f;
    const QString made = QStringLiteral("Eine neue Datensicherung mit dem neuen Kennwort liegt in '%1'.")
                             .arg(QDir::toNativeSeparators(fresh));
    if (older.isEmpty()) {
        platform().msgBox(made, Platform::Buttons::Ok, Platform::Icon::Information, QString());
        return;
    }
    const QString folder = QDir::toNativeSeparators(backupFolder());
    const QString question =
        older.size() == 1 ? QStringLiteral(
                                "Im Ordner '%1' liegt 1 ältere Datensicherung; sie bleibt mit dem bisherigen Kennwort "
                                "lesbar. Soll sie gelöscht werden?")
                                .arg(folder)
                          : QStringLiteral(
                                "Im Ordner '%1' liegen %2 ältere Datensicherungen; sie bleiben mit dem bisherigen "
                                "Kennwort lesbar. Sollen sie gelöscht werden?")
                                .arg(folder)
                                .arg(older.size());
    if (platform().msgBox(made + QLatin1Char('\r') + question, Platform::Buttons::YesNo, Platform::Icon::Question,
                          QString()) != Platform::Answer::Yes)
        return;
    for (const QString& f : older) QFile::remove(f);
}

bool askDatabasePassphrase(const QString& path) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QInputDialog ask;
        ask.setWindowTitle(QStringLiteral("Datenbank öffnen"));
        ask.setLabelText(attempt == 1 ? QStringLiteral("Kennwort der Datenbank:")
                                      : QStringLiteral("Das Kennwort ist falsch. Kennwort der Datenbank (Versuch %1 "
                                                       "von 3):")
                                            .arg(attempt));
        ask.setTextEchoMode(QLineEdit::Password);
        // Wide enough for its title, to which the desktop adds the program's name (the dialog's
        // own layout sets its size from its fields).
        if (auto* field = ask.findChild<QLineEdit*>())
            field->setMinimumWidth(ask.fontMetrics().horizontalAdvance(ask.windowTitle() + QStringLiteral(" – ") +
                                                                       QGuiApplication::applicationDisplayName()) +
                                   120);
        if (ask.exec() != QDialog::Accepted) return false;
        setDatabasePassphrase(ask.textValue());
        if (opensWithCurrentPassphrase(path)) return true;
    }
    platform().msgBox(QStringLiteral("Das Kennwort wurde dreimal falsch eingegeben. Gaveldesk wird beendet; an der "
                                     "Datenbank wurde nichts geändert."),
                      Platform::Buttons::Ok, Platform::Icon::Critical, QString());
    return false;
}

}  // namespace gd
