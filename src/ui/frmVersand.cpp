#include "ui/frmVersand.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/frmHilfe.h"

namespace gd {

frmVersand::frmVersand(const Parcel& recorded, QWidget* parent) : QDialog(parent) {
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
    v->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    auto* save = buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("cmdSpeichern"));
    save->setDefault(true);
    auto* skip = buttons->addButton(QStringLiteral("Ohne Sendungsnummer"), QDialogButtonBox::RejectRole);
    skip->setObjectName(QStringLiteral("cmdOhne"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addHelp(this, QStringLiteral("versand"), buttons);
    v->addWidget(buttons);
    txtSendungsnummer->setFocus();
}

Parcel frmVersand::parcel() const {
    return Parcel{cboVersanddienst->currentText().trimmed(), txtSendungsnummer->text().trimmed()};
}

}  // namespace gd
