#pragma once
// "Mailvorlagen": one mail to the partner of the selected auction (or group).

#include <QDialog>
#include <functional>

#include "domain/mail/MailComposer.h"
#include "domain/mail/MailSender.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace gd {

class frmMail final : public QDialog {
    Q_OBJECT
public:
    frmMail(const MailInputs& inputs, QWidget* parent = nullptr);

    void Combo1_Click(int index);
    void cmdload_Click();
    void cmdchange_Click();
    void cmdcancel_Click();
    void OrvoButton1_Click();
    void reloadVorlage();

    // Called after a milestone was recorded, so the list can reload.
    std::function<void()> onStatusRecorded;
    // Called when the mail went out.
    std::function<void()> onSent;
    // The catalogue's template of that name; where the catalogue has none (one kept from before
    // it was shipped), the given text.
    void chooseTemplate(const QString& name, const QString& subject, const QString& body);

    // Closing while a mail goes out ends the send first.
    void reject() override;

    // The sender the settings choose: the mail program or the own SMTP client. Tests
    // put a fake in its place.
    static std::function<std::unique_ptr<MailSender>()> senderFactory;
    static std::unique_ptr<MailSender> senderOfSettings();

    // The template file last read or chosen: what the editor opens and saves.
    const QString& templateFile() const { return templateFile_; }
    void useTemplateFile(const QString& file) { templateFile_ = file; }

private:
    void Form_Load();
    bool makemail(MailSender& sender, const OutgoingMail& mail);

    MailComposer composer_;
    QString templateFile_;
    QComboBox* Combo1 = nullptr;
    QLineEdit *txtmail = nullptr, *txtCc = nullptr, *txtBcc = nullptr, *txtsubject = nullptr;
    QPlainTextEdit* rtf1 = nullptr;
    QComboBox* cmbStatus = nullptr;
    QPushButton *cmdload = nullptr, *cmdchange = nullptr, *cmdcancel = nullptr, *OrvoButton1 = nullptr;
    QLabel* lblSenden = nullptr;         // "Die E-Mail wird gesendet …" while it goes out
    QPushButton* cmdStop = nullptr;      // "Abbrechen" of a running send
    QStackedWidget* actions_ = nullptr;  // the send's buttons, or its progress
    bool sending_ = false;
    MailSender* sender_ = nullptr;  // the one sending now
    bool stopped_ = false;          // the user ended the send
    bool closeAfterSend_ = false;
    // What goes with the mail over SMTP: the payment code (shown) and the invoice.
    QCheckBox *chkGiroCode = nullptr, *chkRechnung = nullptr;
    QLabel* lblGiroCode = nullptr;
    QLabel* lblAnhaenge = nullptr;      // why nothing can be attached through the mail program
    QLabel* lblKeinGiroCode = nullptr;  // why no payment code can be made for this mail
    QByteArray giroPayload_;
    bool attachments(QList<MailAttachment>& files);
    QList<int> reminderLevels_;  // per template entry
    int reminderLevel_ = 0;      // of the text shown; a loaded file is none
};

}  // namespace gd
