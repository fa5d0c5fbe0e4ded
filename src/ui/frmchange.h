#pragma once
// "Eigene Vorlagen erstellen": the raw template with its placeholders.

#include <QDialog>

class QComboBox;
class QPlainTextEdit;

namespace gd {

class frmMail;

class frmchange final : public QDialog {
    Q_OBJECT
public:
    explicit frmchange(frmMail* mail, QWidget* parent = nullptr);
    void OrvoButton1_Click();
    void cmdsave_Click();
    void cmdcancel_Click();
    bool savefile();

private:
    frmMail* mail_;
    QString file_;  // the template file edited: the mail form's, else the one saved under
    QPlainTextEdit* rtf1 = nullptr;
    QComboBox* Combo1 = nullptr;
};

}  // namespace gd
