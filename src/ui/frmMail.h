#pragma once
// "Mailvorlagen": one mail to the partner of the selected auction (or group).

#include <QDialog>
#include <functional>

#include "domain/mail/MailComposer.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

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

private:
    void Form_Load();
    bool makemail(const QString& body);

    MailComposer composer_;
    QComboBox* Combo1 = nullptr;
    QLineEdit *txtmail = nullptr, *txtCc = nullptr, *txtBcc = nullptr, *txtsubject = nullptr;
    QPlainTextEdit* rtf1 = nullptr;
    QComboBox* cmbStatus = nullptr;
    QPushButton *cmdload = nullptr, *cmdchange = nullptr, *cmdcancel = nullptr, *OrvoButton1 = nullptr;
};

}  // namespace gd
