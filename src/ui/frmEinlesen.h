#pragma once
// "Auktionsemail einlesen": clipboard text in, checked fields, stored on accept.

#include <QDialog>

#include "domain/import/Parser.h"

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace gd {

class frmEinlesen final : public QDialog {
    Q_OBJECT
public:
    explicit frmEinlesen(QWidget* parent = nullptr);
    const ImportRecords& records() const { return r_; }

    void cmdEinlesen_Click();
    void cmdUebernehmen_Click();
    void cmdLoeschen_Click();
    void cmdAbbrechen_Click();

private:
    void Form_Load();
    QLineEdit* field(const char* name, QString tKunde::*contact);
    QLineEdit* field(const char* name, QString tAuktion::*auktion, bool tooltip);
    void showRecords();
    void setText(QLineEdit* e, const QString& t);

    ImportRecords r_;
    QGroupBox* fraEmailText = nullptr;
    QGroupBox* fraKunde = nullptr;
    QGroupBox* fraAuktion = nullptr;
    QPlainTextEdit* txtEmail = nullptr;
    QLineEdit *txtebayName = nullptr, *txtEmailAdresse = nullptr, *txtName = nullptr, *txtStrasse = nullptr,
              *txtOrt = nullptr, *txtLand = nullptr;
    QLineEdit *txtArtikelNr = nullptr, *txtTitel = nullptr, *txtPreis = nullptr, *txtMenge = nullptr,
              *txtBetrag = nullptr, *txtEndeDatum = nullptr, *txtMitteilung = nullptr, *txtHinweise = nullptr,
              *txtVersandinfos = nullptr, *txtBezahlung = nullptr;
    QPushButton *cmdEinlesen = nullptr, *cmdUebernehmen = nullptr, *cmdLoeschen = nullptr, *cmdAbbrechen = nullptr;
};

}  // namespace gd
