#include "ui/AddressPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Clock.h"
#include "domain/books/YearFigures.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/LoadSave.h"
#include "ui/Platform.h"

namespace gd {

bool completeAddressFor(QWidget* parent, const QString& auktionsNr) {
    const Result<std::optional<IssuedInvoice>> issued = invoiceOfSale(currentStore(), auktionsNr);
    if (issued.ok() && issued.value()) return true;
    const Result<Invoice> inv = invoiceFor(currentStore(), invoiceProfile(currentSettings()), auktionsNr, today());
    if (!inv.ok()) {
        showError(inv.error());
        return false;
    }
    if (inv.value().AnschriftFehlt.isEmpty()) return true;
    const Result<std::optional<tKunde>> found = funLoadKunde(currentStore(), inv.value().Mitgliedsname);
    if (!found.ok() || !found.value()) {
        showError(found.ok() ? Error::plain(missingAddressText(inv.value())) : found.error());
        return false;
    }
    tKunde k = *found.value();

    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("frmAnschrift"));
    dlg.setWindowTitle(QStringLiteral("Anschrift für die Rechnung"));
    auto* why = new QLabel(QStringLiteral("Eine Rechnung über 250 € muss die vollständige Anschrift des Käufers "
                                          "nennen (§ 33 UStDV). Bitte ergänzen Sie sie für %1; sie wird beim "
                                          "Käufer gespeichert.")
                               .arg(inv.value().Mitgliedsname),
                           &dlg);
    why->setWordWrap(true);
    const auto edit = [&](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, &dlg);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    QLineEdit* name = edit("txtName", k.Name);
    QLineEdit* street = edit("txtStrasse", k.Strasse);
    QLineEdit* town = edit("txtOrt", k.Ort);
    QLineEdit* country = edit("txtLand", k.Land);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), name);
    form->addRow(QStringLiteral("Straße:"), street);
    form->addRow(QStringLiteral("PLZ und Ort:"), town);
    form->addRow(QStringLiteral("Land:"), country);
    auto* buttons = new QDialogButtonBox(&dlg);
    QPushButton* take = buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    take->setObjectName(QStringLiteral("cmdUebernehmen"));
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cmdAbbrechen"));
    const auto complete = [=] {
        take->setEnabled(!name->text().trimmed().isEmpty() && !street->text().trimmed().isEmpty() &&
                         !town->text().trimmed().isEmpty());
    };
    for (QLineEdit* e : {name, street, town}) QObject::connect(e, &QLineEdit::textChanged, &dlg, complete);
    complete();
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* v = new QVBoxLayout(&dlg);
    v->addWidget(why);
    v->addLayout(form);
    v->addWidget(buttons);
    dlg.resize(460, dlg.sizeHint().height());
    if (dlg.exec() != QDialog::Accepted) return false;

    k.Name = name->text().trimmed();
    k.Strasse = street->text().trimmed();
    k.Ort = town->text().trimmed();
    k.Land = country->text().trimmed();
    const Result<QString> saved = funSaveLieferantupdate(currentStore(), k, auktionsNr);
    if (!saved.ok()) {
        showError(saved.error());
        return false;
    }
    return true;
}

bool taxModeReadyFor(QWidget* parent, const QString& auktionsNr) {
    Q_UNUSED(parent);
    if (!gSettings.Kleinunternehmer) return true;
    const qint64 limit = smallBusinessLimits(gSettings.GrenzeKleinunternehmer).thisYear;
    const Result<bool> beyond = beyondSmallBusinessLimit(currentStore(), auktionsNr, limit);
    if (!beyond.ok()) {
        showError(beyond.error());
        return false;
    }
    if (!beyond.value()) return true;
    const QString question = smallBusinessEndsText(limit).section(QStringLiteral(" Stellen Sie"), 0, 0) +
                             QStringLiteral(
                                 "\n\nJetzt auf Regelbesteuerung mit 19 % umstellen und die Rechnung mit "
                                 "Umsatzsteuer ausstellen?");
    if (platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Question, QString()) !=
        Platform::Answer::Yes)
        return false;
    Settings s = gSettings;
    s.Kleinunternehmer = false;
    if (s.Steuerart != QStringLiteral("19") && s.Steuerart != QStringLiteral("7")) s.Steuerart = QStringLiteral("19");
    const Status saved = saveOptions(s);
    if (!saved.ok()) {
        showError(saved.error());
        return false;
    }
    setSettings(s);
    return true;
}

}  // namespace gd
