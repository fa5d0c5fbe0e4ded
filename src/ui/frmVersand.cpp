#include "ui/frmVersand.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "domain/settings/modGlobal.h"
#include "domain/shipping/Packaging.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmVersand::frmVersand(const Parcel& recorded, const QString& auktionsID, QWidget* parent)
    : QDialog(parent), auktionsID_(auktionsID) {
    setObjectName(QStringLiteral("frmVersand"));
    setWindowTitle(QStringLiteral("Versand erfassen"));
    auto* v = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Mit der Sendungsnummer kann der Käufer sein Paket verfolgen; die Vorlage "
                                           "„Ware versendet“ nennt sie ihm. Beides ist freiwillig."),
                            this);
    hint->setWordWrap(true);
    v->addWidget(hint);
    auto* form = new QFormLayout;
    cboVersanddienst = new QComboBox(this);
    cboVersanddienst->setObjectName(QStringLiteral("cboVersanddienst"));
    cboVersanddienst->setEditable(true);  // another carrier is typed in
    cboVersanddienst->addItems(carriers());
    cboVersanddienst->setCurrentText(recorded.Versanddienst.isEmpty() ? carriers().first() : recorded.Versanddienst);
    txtSendungsnummer = new QLineEdit(recorded.Sendungsnummer, this);
    txtSendungsnummer->setObjectName(QStringLiteral("txtSendungsnummer"));
    txtSendungsnummer->setMaxLength(64);
    form->addRow(QStringLiteral("&Versanddienst:"), cboVersanddienst);
    form->addRow(QStringLiteral("&Sendungsnummer:"), txtSendungsnummer);
    if (!auktionsID_.isEmpty()) {
        // For the packaging register: what the parcel went in, from the seller's list.
        cboVerpackung = new QComboBox(this);
        cboVerpackung->setObjectName(QStringLiteral("cboVerpackung"));
        cboVerpackung->addItem(QStringLiteral("(keine Angabe)"));
        for (const Packaging& p : packagingList(gSettings.Verpackungen))
            cboVerpackung->addItem(QStringLiteral("%1 (%2, %3 g)").arg(p.name, p.material).arg(p.gramm), p.name);
        const std::optional<Packaging> used = packagingOf(currentStore(), auktionsID_).valueOr(std::nullopt);
        if (used) {
            if (cboVerpackung->findData(used->name) < 0)
                cboVerpackung->addItem(QStringLiteral("%1 (%2, %3 g)").arg(used->name, used->material).arg(used->gramm),
                                       used->name);
            cboVerpackung->setCurrentIndex(cboVerpackung->findData(used->name));
        }
        form->addRow(QStringLiteral("Ver&packung:"), cboVerpackung);
    }
    v->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    auto* save = buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("cmdSpeichern"));
    save->setDefault(true);
    auto* skip = buttons->addButton(QStringLiteral("Ohne Sendungsnummer"), QDialogButtonBox::RejectRole);
    skip->setObjectName(QStringLiteral("cmdOhne"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        keepPackaging();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        keepPackaging();
        reject();
    });
    addHelp(this, QStringLiteral("versand"), buttons);
    v->addWidget(buttons);
    txtSendungsnummer->setFocus();
}

void frmVersand::keepPackaging() {
    if (!cboVerpackung) return;
    Packaging chosen;
    const QString name = cboVerpackung->currentData().toString();
    for (const Packaging& p : packagingList(gSettings.Verpackungen))
        if (p.name == name) chosen = p;
    // One no longer in the list stays as it was kept.
    if (!name.isEmpty() && chosen.name.isEmpty()) return;
    const Status kept = recordPackaging(currentStore(), auktionsID_, chosen);
    if (!kept.ok()) showError(kept.error());
}

Parcel frmVersand::parcel() const {
    return Parcel{cboVersanddienst->currentText().trimmed(), txtSendungsnummer->text().trimmed()};
}

}  // namespace gd
