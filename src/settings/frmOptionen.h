#pragma once
// "Einstellungen": bank data, links and how mails are sent.

#include <QDialog>
#include <array>

#include "settings/Optionen.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace gd {

class frmOptionen final : public QDialog {
    Q_OBJECT
public:
    explicit frmOptionen(QWidget* parent = nullptr);

    void OrvoButton1_Click();
    void OrvoButton2_Click();
    void Option1_Click();
    void Check2_Click();
    void cmdOK_Click();
    void cmdcancel_Click();
    void cmdTestmail_Click();

    OptionValues values() const;

private:
    void Form_Load();
    QLineEdit* txt(int i) const { return txtDaten[std::size_t(i)]; }

    std::array<QLineEdit*, 12> txtDaten{};
    std::array<QLabel*, 12> lbldaten{};
    QStackedWidget* pages = nullptr;
    QWidget *Frame1 = nullptr, *Frame2 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr, *checkpro20 = nullptr, *checknobody = nullptr;
    QPushButton *OrvoButton1 = nullptr, *OrvoButton2 = nullptr, *cmdOK = nullptr, *cmdCancel = nullptr,
                *cmdTestmail = nullptr;
};

}  // namespace gd
