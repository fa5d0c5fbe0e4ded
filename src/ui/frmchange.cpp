#include "ui/frmchange.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "domain/mail/modVorlagen.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"
#include "ui/frmMail.h"

namespace gd {

frmchange::frmchange(frmMail* mail, QWidget* parent)
    : QDialog(parent), mail_(mail), file_(mail ? mail->templateFile() : QString()) {
    setObjectName(QStringLiteral("frmchange"));
    setWindowTitle(QStringLiteral("Eigene Vorlagen erstellen"));
    setModal(true);
    auto* label = new QLabel(QStringLiteral("Bitte achten Sie auf die Platzhalter, die folgendermaßen gekennzeichnet "
                                            "sind: [#ebaynameto#]. Diese Platzhalter dürfen nicht verändert werden."),
                             this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    rtf1 = new QPlainTextEdit(this);
    rtf1->setObjectName(QStringLiteral("rtf1"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("[#ebaynameto#]"),
                      QStringLiteral("[#Kontonummer#]"),
                      QStringLiteral("[#Kontoinhaber#]"),
                      QStringLiteral("[#BLZ#]"),
                      QStringLiteral("[#IBAN#]"),
                      QStringLiteral("[#BIC#]"),
                      QStringLiteral("[#Bank#]"),
                      QStringLiteral("[#Preis#]"),
                      QStringLiteral("[#Menge#]"),
                      QStringLiteral("[#Versand#]"),
                      QStringLiteral("[#Versicherung#]"),
                      QStringLiteral("[#Gesamtbetrag#]"),
                      QStringLiteral("[#Offen#]"),
                      QStringLiteral("[#StandardUser#]"),
                      QStringLiteral("[#Signatur#]"),
                      QStringLiteral("[#Angebotsende#]"),
                      QStringLiteral("[#DatumBezahlt#]"),
                      QStringLiteral("[#Angebotsendegruppiert#]"),
                      QStringLiteral("[#ArtikelGroupText#]"),
                      QStringLiteral("[#Artikelnummer#]"),
                      QStringLiteral("[#Bezeichnung#]"),
                      QStringLiteral("[#HTTPLINK1#]"),
                      QStringLiteral("[#HTTPLINK2#]")});
    Combo1->setCurrentIndex(0);
    auto* insert = new QPushButton(QStringLiteral("Platzhalter einfügen"), this);
    insert->setObjectName(QStringLiteral("OrvoButton1"));
    auto* save = new QPushButton(QStringLiteral("Speichern unter..."), this);
    save->setObjectName(QStringLiteral("cmdsave"));
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("cmdcancel"));
    for (QPushButton* b : {insert, save, cancel}) b->setAutoDefault(false);
    connect(insert, &QPushButton::clicked, this, &frmchange::OrvoButton1_Click);
    connect(save, &QPushButton::clicked, this, &frmchange::cmdsave_Click);
    connect(cancel, &QPushButton::clicked, this, &frmchange::cmdcancel_Click);
    auto* row = new QHBoxLayout;
    row->addWidget(Combo1);
    row->addWidget(insert);
    row->addStretch();
    row->addWidget(save);
    row->addWidget(cancel);
    addHelp(this, QStringLiteral("vorlagen"), row);
    auto* v = new QVBoxLayout(this);
    v->addWidget(label);
    v->addWidget(rtf1, 1);
    v->addLayout(row);
    resize(760, 560);
    CALLSTACK_MODULE("frmchange");
    if (parent) setWindowIcon(parent->window()->windowIcon());
    rtf1->setPlainText(readRTF(file_));
}

void frmchange::OrvoButton1_Click() {
    CALLSTACK();
    rtf1->insertPlainText(Combo1->currentText());
}

bool frmchange::savefile() {
    CALLSTACK();
    if (QFileInfo::exists(file_) &&
        platform().msgBox(QStringLiteral("Die Datei exisitiert schon, soll die Datei überschrieben werden?"),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString(),
                          Platform::Answer::No) != Platform::Answer::Yes)
        return false;
    const Status written = WriteRTF(file_, rtf1->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    if (!written.ok()) showError(written.error());
    return written.ok();
}

void frmchange::cmdsave_Click() {
    CALLSTACK();
    const bool own = QFileInfo(file_).suffix() == QStringLiteral("datV");
    const QString name = platform().saveFileName(QStringLiteral("Speichern unter..."),
                                                 file_.isEmpty() ? AppPath() + QStringLiteral("/bin") : file_,
                                                 own ? QStringLiteral("Vorlagen (*.datV);;Standardvorlagen (*.dat)")
                                                     : QStringLiteral("Standardvorlagen (*.dat);;Vorlagen (*.datV)"));
    if (name.isEmpty()) return;  // cancelled: the editor stays open
    // The chosen name's own extension tells the type; without one, the preselected type.
    const QString suffix = QFileInfo(name).suffix();
    const bool type2 = suffix == QStringLiteral("datV") || (suffix != QStringLiteral("dat") && own);
    file_ = type2 ? (suffix == QStringLiteral("datV") ? name : setExtension(name, QStringLiteral(".datV")))
                  : setExtension(name, QStringLiteral(".dat"));
    if (mail_) mail_->useTemplateFile(file_);
    const bool written = savefile();
    if (!written && !QFileInfo::exists(file_)) return;  // not written: nothing typed is lost
    if (mail_) mail_->reloadVorlage();
    accept();
}

void frmchange::cmdcancel_Click() {
    CALLSTACK();
    reject();
}

}  // namespace gd
