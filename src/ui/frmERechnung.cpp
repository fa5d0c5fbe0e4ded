#include "ui/frmERechnung.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmERechnung::frmERechnung(const QString& purchase, QWidget* parent) : QDialog(parent), purchase_(purchase) {
    setObjectName(QStringLiteral("frmERechnung"));
    setWindowTitle(QStringLiteral("E-Rechnung ansehen"));
    lblDatei = new QLabel(this);
    lblDatei->setObjectName(QStringLiteral("lblDatei"));
    lblDatei->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtRechnung = new QPlainTextEdit(this);
    txtRechnung->setObjectName(QStringLiteral("txtRechnung"));
    txtRechnung->setReadOnly(true);
    txtRechnung->setAccessibleName(QStringLiteral("Rechnung"));
    cmdAblegen = new QPushButton(purchase_.isEmpty() ? QStringLiteral("Bei einem Kauf ablegen")
                                                     : QStringLiteral("Beim Kauf %1 ablegen").arg(purchase_),
                                 this);
    cmdAblegen->setObjectName(QStringLiteral("cmdAblegen"));
    cmdAblegen->setEnabled(!purchase_.isEmpty());
    cmdAblegen->setToolTip(purchase_.isEmpty()
                               ? QStringLiteral("Wählen Sie in der Liste den Kauf, zu dem die Rechnung gehört, und "
                                                "öffnen Sie sie dann erneut.")
                               : QStringLiteral("Die Datei unverändert mit ihrer Prüfsumme (SHA-256) beim Kauf "
                                                "speichern."));
    cmdSchliessen = new QPushButton(QStringLiteral("Schließen"), this);
    cmdSchliessen->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(cmdAblegen, &QPushButton::clicked, this, &frmERechnung::keep);
    connect(cmdSchliessen, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAblegen);
    buttons->addStretch();
    buttons->addWidget(cmdSchliessen);
    addHelp(this, QStringLiteral("erechnung"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblDatei);
    v->addWidget(txtRechnung, 1);
    v->addLayout(buttons);
    resize(640, 620);
}

bool frmERechnung::load(const QString& file) {
    CALLSTACK_MODULE("frmERechnung");
    const Result<EInvoiceFile> read = readEInvoiceFile(file);
    if (!read.ok()) {
        showError(read.error());
        return false;
    }
    file_ = file;
    read_ = read.value();
    lblDatei->setText(QStringLiteral("Datei: %1 (%2)")
                          .arg(QDir::toNativeSeparators(file),
                               read.value().pdf ? QStringLiteral("PDF mit eingebetteter E-Rechnung")
                                                : QStringLiteral("XML-Rechnung, ") + read.value().invoice.syntax));
    txtRechnung->setPlainText(readableText(read.value().invoice));
    return true;
}

void frmERechnung::keep() {
    CALLSTACK_MODULE("frmERechnung");
    const Result<KeptInvoice> kept =
        keepReceivedInvoice(currentStore(), purchase_, file_, read_.bytes, read_.invoice, now());
    if (!kept.ok()) {
        showError(kept.error());
        return;
    }
    cmdAblegen->setEnabled(false);
    cmdAblegen->setText(QStringLiteral("Beim Kauf %1 abgelegt").arg(purchase_));
    platform().msgBox(QStringLiteral("Die Rechnung %1 ist beim Kauf %2 abgelegt, unverändert, mit der Prüfsumme "
                                     "SHA-256 %3.")
                          .arg(kept.value().Nummer, purchase_, kept.value().Sha256),
                      Platform::Buttons::Ok, Platform::Icon::Information, QString());
}

}  // namespace gd
