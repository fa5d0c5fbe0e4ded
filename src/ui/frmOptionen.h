#pragma once
// "Einstellungen": bank data, links and how mails are sent.

#include <QDialog>
#include <array>

#include "base/Result.h"
#include "domain/settings/modGlobal.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace gd {

class MailboxPage;

class frmOptionen final : public QDialog {
    Q_OBJECT
public:
    explicit frmOptionen(QWidget* parent = nullptr);
    // The database chosen and saved under "Datenbank…" while the options were open; empty if none.
    QString chosenDataSource() const { return chosenDataSource_; }

    void OrvoButton1_Click();
    void OrvoButton2_Click();
    void Option1_Click();
    void Check2_Click();
    void cmdOK_Click();
    void cmdcancel_Click();
    void cmdTestmail_Click();
    // A known provider's server, port, security and sign-in for the sender address typed.
    void applyPreset();
    // "Anmelden…": the provider's sign-in page in the browser.
    void cmdAnmelden_Click();

    // What the controls hold, as the settings they stand for; a refusal when
    // a value cannot be saved (the port).
    Result<Settings> values() const;
    // Opens on the member name, for the first start.
    void focusMemberName();

private:
    QString chosenDataSource_;
    void Form_Load();
    // After a new member name: offers to take along the rows of the old one.
    void offerToMoveTrades(const QString& oldName, const QString& newName);
    Settings loaded_;  // what the dialog started from: keys it does not show stay as they are
    QLineEdit* txt(int i) const { return txtDaten[std::size_t(i)]; }

    std::array<QLineEdit*, 12> txtDaten{};
    std::array<QLabel*, 12> lbldaten{};
    QLabel* lblAnbieter = nullptr;      // the preset in use and what the provider asks
    QComboBox* cboAnmeldung = nullptr;  // password, or a provider's token sign-in
    QPushButton* cmdAnmelden = nullptr;
    QLabel* lblAnmeldung = nullptr;  // signed in or not, or why this build cannot
    QString tokenProvider() const;   // "" for the password
    void showSignIn();
    QString presetApplied_;
    QString presetServer_;  // the preset's server: named with a test mail only while it is the one used
    QStackedWidget* pages = nullptr;
    QWidget *Frame1 = nullptr, *Frame2 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr;
    QLineEdit *txtIBAN = nullptr, *txtBIC = nullptr, *txtAnschrift = nullptr;
    QLineEdit *txtSteuernummer = nullptr, *txtUstId = nullptr, *txtNummernkreis = nullptr;
    QCheckBox* checkERechnung = nullptr;  // the e-invoice in every invoice's PDF
    QComboBox* cboSteuerart = nullptr;    // without § 19: none, standard 19 % or 7 %, margin scheme
    QCheckBox* checkKleinunternehmer = nullptr;
    QCheckBox* checkSicherung = nullptr;
    QLineEdit* txtMahnTage = nullptr;  // days until a sale is overdue
    QCheckBox *Check1 = nullptr, *Check2 = nullptr, *checkpro20 = nullptr, *checknobody = nullptr,
              *checkFusszeile = nullptr, *checkUnverschluesselt = nullptr;
    QGroupBox* grpSicherheit = nullptr;
    std::array<QRadioButton*, 3> optSicherheit{};  // STARTTLS, SSL/TLS, none
    QLineEdit* txtUsername = nullptr;
    QPushButton *OrvoButton1 = nullptr, *OrvoButton2 = nullptr, *cmdOK = nullptr, *cmdCancel = nullptr,
                *cmdTestmail = nullptr, *cmdPosteingang = nullptr;
    MailboxPage* mailbox = nullptr;
    void showPage(QWidget* page);
};

}  // namespace gd
