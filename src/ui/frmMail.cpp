#include "ui/frmMail.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/books/Returns.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/mail/ServerCertificate.h"
#include "domain/mail/modVorlagen.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/AddressPrompt.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"
#include "ui/frmZertifikat.h"
#include "ui/frmchange.h"

namespace gd {

namespace {

// A sale with an open return: the confirmation's placeholders, whichever way the form was opened.
MailInputs withReturn(MailInputs in) {
    if (in.bLieferant || in.sArtikelnummer.isEmpty()) return in;
    const Result<std::optional<OpenReturn>> open = openReturnOf(in.store, in.sArtikelnummer);
    if (!open.ok() || !open.value()) return in;
    if (const Result<QHash<QString, QString>> fill = returnPlaceholders(in.store, *open.value()); fill.ok())
        in.zusatz.insert(fill.value());
    return in;
}

}  // namespace

frmMail::frmMail(const MailInputs& inputs, QWidget* parent) : QDialog(parent), composer_(withReturn(inputs)) {
    setObjectName(QStringLiteral("frmMail"));
    setWindowTitle(QStringLiteral("Mailvorlagen"));
    setModal(true);
    const auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    Combo1 = named(new QComboBox(this), "Combo1");
    txtmail = named(new QLineEdit(this), "txtmail");
    txtCc = named(new QLineEdit(this), "txtCc");
    txtBcc = named(new QLineEdit(this), "txtBcc");
    txtsubject = named(new QLineEdit(this), "txtsubject");
    rtf1 = named(new QPlainTextEdit(this), "rtf1");
    rtf1->setAccessibleName(QStringLiteral("Text der E-Mail"));
    cmbStatus = named(new QComboBox(this), "cmbStatus");
    cmbStatus->setAccessibleName(QStringLiteral("Automatisch den Status setzen"));
    cmbStatus->addItems({QStringLiteral("nicht setzen"), QStringLiteral("Geantwortet"), QStringLiteral("Bestätigt"),
                         QStringLiteral("Bezahlt"), QStringLiteral("Versendet"), QStringLiteral("Bewertet"),
                         QStringLiteral("Bewertung erhalten"), QStringLiteral("Abgeschlossen")});
    cmbStatus->setCurrentIndex(-1);
    cmbStatus->setPlaceholderText(QStringLiteral("nicht setzen"));
    cmdload = named(new QPushButton(QStringLiteral("Vorlage laden"), this), "cmdload");
    cmdchange = named(new QPushButton(QStringLiteral("Vorlage bearbeiten"), this), "cmdchange");
    cmdcancel = named(new QPushButton(QStringLiteral("Schließen"), this), "cmdcancel");
    OrvoButton1 = named(new QPushButton(this), "OrvoButton1");
    cmdStop = named(new QPushButton(QStringLiteral("Abbrechen"), this), "cmdStop");
    lblSenden = named(new QLabel(QStringLiteral("Die E-Mail wird gesendet \u2026"), this), "lblSenden");
    for (QPushButton* b : {cmdload, cmdchange, cmdcancel, OrvoButton1, cmdStop}) b->setAutoDefault(false);
    chkGiroCode = named(new QCheckBox(QStringLiteral("GiroCode anhängen"), this), "chkGiroCode");
    chkGiroCode->setToolTip(
        QStringLiteral("Ein QR-Code mit Empfänger, IBAN, Betrag und Artikelnummer: die Banking-App "
                       "des Käufers füllt damit die Überweisung aus."));
    chkRechnung = named(new QCheckBox(QStringLiteral("Rechnung als PDF anhängen"), this), "chkRechnung");
    lblGiroCode = named(new QLabel(this), "lblGiroCode");
    lblGiroCode->setFixedSize(132, 132);
    lblGiroCode->setScaledContents(true);
    lblAnhaenge = named(new QLabel(QStringLiteral("Anhänge gehen nur beim Versand über SMTP (Einstellungen, "
                                                  "Emailversand); das Mailprogramm kann keine übernehmen."),
                                   this),
                        "lblAnhaenge");
    lblAnhaenge->setWordWrap(true);
    lblKeinGiroCode = named(new QLabel(this), "lblKeinGiroCode");
    lblKeinGiroCode->setWordWrap(true);
    lblKeinGiroCode->setMaximumWidth(220);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Bitte wählen Sie die Vorlage aus!"), Combo1);
    form->addRow(QStringLiteral("An:"), txtmail);
    form->addRow(QStringLiteral("Kopie (Cc):"), txtCc);
    form->addRow(QStringLiteral("Kopie (Bcc):"), txtBcc);
    form->addRow(QStringLiteral("Betrefftext:"), txtsubject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Automatisch den Status setzen:"), this));
    buttons->addWidget(cmbStatus);
    buttons->addStretch();
    // The progress takes the place of the buttons it stands for: the row, and so the form,
    // keeps its width through a send.
    actions_ = new QStackedWidget(this);
    for (const auto& page : {QList<QWidget*>{cmdload, cmdchange, OrvoButton1}, QList<QWidget*>{lblSenden, cmdStop}}) {
        auto* w = new QWidget(actions_);
        auto* row = new QHBoxLayout(w);
        row->setContentsMargins(0, 0, 0, 0);
        row->addStretch();
        for (QWidget* c : page) row->addWidget(c);
        actions_->addWidget(w);
    }
    buttons->addWidget(actions_);
    buttons->addWidget(cmdcancel);
    addHelp(this, QStringLiteral("mails"), buttons);
    auto* files = new QVBoxLayout;
    files->addWidget(chkGiroCode);
    files->addWidget(lblGiroCode);
    files->addWidget(lblKeinGiroCode);
    files->addWidget(chkRechnung);
    files->addWidget(lblAnhaenge);
    files->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(rtf1, 1);
    middle->addLayout(files);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(middle, 1);
    v->addLayout(buttons);
    resize(820, 620);

    connect(Combo1, &QComboBox::activated, this, &frmMail::Combo1_Click);
    connect(chkGiroCode, &QCheckBox::toggled, lblGiroCode, &QLabel::setVisible);
    connect(cmdload, &QPushButton::clicked, this, &frmMail::cmdload_Click);
    connect(cmdchange, &QPushButton::clicked, this, &frmMail::cmdchange_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &frmMail::cmdcancel_Click);
    connect(OrvoButton1, &QPushButton::clicked, this, &frmMail::OrvoButton1_Click);
    connect(cmdStop, &QPushButton::clicked, this, [this] {
        stopped_ = true;
        if (sender_) sender_->cancel();
    });
    Form_Load();
}

void frmMail::Form_Load() {
    CALLSTACK();
    const MailInputs& in = composer_.inputs();
    const Status group = composer_.loadGroup();
    if (!group.ok()) showError(group.error());
    // A purchase is paid by us: nothing to attach. The mail program takes no attachment.
    giroPayload_ = composer_.giroCodePayload();
    const bool sale = !in.bLieferant, smtp = !gSettings.Standardversandmail;
    lblGiroCode->setPixmap(QPixmap::fromImage(qrImage(giroPayload_, 4)));
    chkGiroCode->setVisible(sale);
    chkRechnung->setVisible(sale);
    lblAnhaenge->setVisible(sale && !smtp);
    chkGiroCode->setEnabled(smtp && !giroPayload_.isEmpty());
    chkRechnung->setEnabled(smtp);
    // Said where it is seen, not in a tooltip: the seller wonders why the box is grey.
    lblKeinGiroCode->setText(composer_.giroCodeMissing());
    lblKeinGiroCode->setVisible(sale && giroPayload_.isEmpty());
    lblGiroCode->setVisible(false);
    Combo1->addItems(templateNames(in.bLieferant, in.bGruppiert));
    reminderLevels_ = templateReminderLevels(in.bLieferant, in.bGruppiert);
    const int pre = composer_.preselection(reminderLevels_);
    if (Combo1->count() > 0) {
        Combo1->setCurrentIndex(pre);
        Combo1_Click(pre);
    }
    txtmail->setText(in.sEmail);
    const bool program = gSettings.Standardversandmail;
    txtCc->setEnabled(program);
    txtBcc->setEnabled(program);
    OrvoButton1->setText(program ? QStringLiteral("An Mailprogramm übergeben") : QStringLiteral("Mail versenden"));
}

void frmMail::chooseTemplate(const QString& name, const QString& subject, const QString& body) {
    const int index = Combo1->findText(name, Qt::MatchFixedString);
    if (index >= 0) {
        Combo1->setCurrentIndex(index);
        return Combo1_Click(index);
    }
    reminderLevel_ = 0;
    rtf1->setPlainText(composer_.shownBody(body));
    txtsubject->setText(composer_.fillSubject(subject));
}

void frmMail::Combo1_Click(int index) {
    CALLSTACK();
    const MailInputs& in = composer_.inputs();
    // A missing file changes nothing: the editor keeps the file it had.
    if (const QString file = gd::templateFile(QString::number(index), in.bLieferant, in.bGruppiert); !file.isEmpty())
        templateFile_ = file;
    const QString body = Read_Protokoll_Version(QString::number(index), in.bLieferant, in.bGruppiert);
    reminderLevel_ = reminderLevels_.value(index);
    // A text that gives the bank account asks for payment: its code goes with it.
    if (chkGiroCode->isEnabled())
        chkGiroCode->setChecked(body.contains(QStringLiteral("[#IBAN#]")) ||
                                body.contains(QStringLiteral("[#Kontonummer#]")));
    rtf1->setPlainText(composer_.shownBody(body));
    txtsubject->setText(composer_.fillSubject(templateSubject(in.bLieferant, in.bGruppiert, index)));
}

void frmMail::reloadVorlage() {
    CALLSTACK();
    rtf1->setPlainText(composer_.shownBody(readRTF(templateFile_)));
    txtsubject->setText(composer_.fillSubject(QStringLiteral("ebay Auktion - [#Artikelnummer#]: [#Bezeichnung#]")));
}

void frmMail::cmdload_Click() {
    CALLSTACK();
    const QString file = platform().openFileName(QStringLiteral("Vorlage laden"), AppPath() + QStringLiteral("/bin"),
                                                 QStringLiteral("Vorlagen (*.datV)"));
    if (file.isEmpty()) return;
    templateFile_ = file;
    reminderLevel_ = 0;
    reloadVorlage();
}

void frmMail::cmdchange_Click() {
    CALLSTACK();
    frmchange editor(this, this);
    editor.exec();
}

void frmMail::cmdcancel_Click() {
    CALLSTACK();
    reject();
}

std::function<std::unique_ptr<MailSender>()> frmMail::senderFactory = &frmMail::senderOfSettings;

std::unique_ptr<MailSender> frmMail::senderOfSettings() {
    if (!gSettings.Standardversandmail) return std::make_unique<SmtpMailSender>();
    return std::make_unique<MailProgramSender>(
        [](const QString& url) { return platform().shellExecute(QStringLiteral("Open"), url); },
        [](const QString& text) {
            platform().clipboardClear();
            platform().clipboardSetText(text);
        });
}

// Sends and records, showing only progress and the result.
bool frmMail::makemail(MailSender& sender, const OutgoingMail& mail) {
    CALLSTACK();
    OrvoButton1->setEnabled(false);
    // A send that waits for a server says so and can be stopped; the windows stay responsive.
    sending_ = true;
    sender_ = &sender;
    stopped_ = false;
    actions_->setCurrentIndex(sender.waits() ? 1 : 0);
    const SendOutcome outcome = sendAndRecord(sender, composer_, mail, cmbStatus->currentIndex(), reminderLevel_);
    sending_ = false;
    sender_ = nullptr;
    actions_->setCurrentIndex(0);
    OrvoButton1->setEnabled(true);
    if (outcome.recordedAny && onStatusRecorded) onStatusRecorded();
    if (closeAfterSend_) {  // the form was closed during the send: nothing more to say
        QDialog::reject();
        return false;
    }
    if (stopped_) {
        platform().msgBox(QStringLiteral("Der Versand wurde abgebrochen; die E-Mail wurde nicht versendet."),
                          Platform::Buttons::Ok, Platform::Icon::Information, QString());
        return false;
    }
    if (!outcome.sent.ok()) {
        if (sender.waits() && lastRefusedCertificate()) {
            if (offerCertificateTrust(this))
                platform().msgBox(QStringLiteral("Diesem Zertifikat wird nun vertraut. Bitte senden Sie die E-Mail "
                                                 "noch einmal."),
                                  Platform::Buttons::Ok, Platform::Icon::Information, QString());
            return false;
        }
        if (sender.waits())
            platform().msgBox(QStringLiteral("Email konnte nicht versendet werden, Verbindungsfehler") +
                                  QLatin1Char('\r') + outcome.sent.error().message(),
                              Platform::Buttons::Ok, Platform::Icon::Critical, QString());
        else
            platform().msgBox(outcome.sent.error().message(), Platform::Buttons::Ok, Platform::Icon::Exclamation,
                              QString());
        return false;
    }
    if (onSent) onSent();
    if (sender.waits()) {
        const QString note = sender.note();
        platform().msgBox(QStringLiteral("Email wurde erfolgreich versendet") +
                              (note.isEmpty() ? QString() : QLatin1Char('\r') + note),
                          Platform::Buttons::Ok,
                          note.isEmpty() ? Platform::Icon::Information : Platform::Icon::Exclamation, QString());
    }
    if (!outcome.recorded.ok()) showError(outcome.recorded.error());
    return true;
}

bool frmMail::attachments(QList<MailAttachment>& files) {
    if (chkGiroCode->isVisibleTo(this) && chkGiroCode->isEnabled() && chkGiroCode->isChecked()) {
        const QByteArray png = qrPng(giroPayload_, 6);
        if (!png.isEmpty()) files << MailAttachment{QStringLiteral("GiroCode.png"), "image/png", png};
    }
    if (chkRechnung->isVisibleTo(this) && chkRechnung->isEnabled() && chkRechnung->isChecked()) {
        // The issued invoice, the same bytes as every time it is shown; issued now if there is none.
        // To a platform's alias too it is this PDF (with the e-invoice inside), never a bare XML:
        // the platform forwards only PDF and pictures.
        const QString sale = composer_.invoiceSale();
        if (!completeAddressFor(this, sale) || !taxModeReadyFor(this, sale)) return false;
        const Result<IssuedInvoice> inv = issueInvoice(currentStore(), invoiceProfile(currentSettings()), sale,
                                                       gSettings.Nummernkreis, now(), invoicePdf);
        if (!inv.ok()) {
            showError(inv.error());
            return false;
        }
        if (!inv.value().Hinweis.isEmpty())
            platform().msgBox(inv.value().Hinweis, Platform::Buttons::Ok, Platform::Icon::Exclamation);
        files << MailAttachment{QStringLiteral("Rechnung-%1.pdf").arg(inv.value().Nummer), "application/pdf",
                                inv.value().Pdf};
    }
    return true;
}

void frmMail::reject() {
    if (sending_) {
        closeAfterSend_ = true;
        if (sender_) sender_->cancel();
        return;
    }
    QDialog::reject();
}

void frmMail::OrvoButton1_Click() {
    CALLSTACK();
    const std::unique_ptr<MailSender> sender = senderFactory();
    OutgoingMail mail{txtmail->text(),
                      txtCc->text(),
                      txtBcc->text(),
                      txtsubject->text(),
                      composer_.finalBody(rtf1->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))),
                      {}};
    if (sender->takesAttachments() && !attachments(mail.files)) return;
    makemail(*sender, mail);
}

}  // namespace gd
