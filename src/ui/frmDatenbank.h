#pragma once
// Options, "Datenbank…": the file of one seat or the PostgreSQL server of a team, its CA
// certificate and the server password (into the keyring); checked before it is saved.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace gd {

class frmDatenbank final : public QDialog {
    Q_OBJECT
public:
    explicit frmDatenbank(QWidget* parent = nullptr);
    void cmdPruefen_Click();
    void cmdOK_Click();
    // The data source saved by OK; empty when none was.
    QString chosen() const { return chosen_; }

private:
    QString chosen_;
    QLineEdit *txtDatenbank = nullptr, *txtZertifikat = nullptr, *txtKennwort = nullptr;
    QPushButton *cmdPruefen = nullptr, *cmdOK = nullptr, *cmdAbbrechen = nullptr;
};

}  // namespace gd
