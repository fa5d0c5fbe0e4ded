#pragma once
// "Datenbank-Kennwort ändern": a password of the user's for the database file, or
// back to the program's own.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace gd {

class frmKennwort final : public QDialog {
    Q_OBJECT
public:
    explicit frmKennwort(QWidget* parent = nullptr);

private:
    void cmdOK_Click();
    void offerToRemoveOlderBackups();

    QLineEdit *txtNeu = nullptr, *txtWiederholung = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;
};

// Asks for the database's own password at start: true once it opens the file, false
// after three wrong tries or when the user stops (nothing in the file is changed).
bool askDatabasePassphrase(const QString& path);

}  // namespace gd
