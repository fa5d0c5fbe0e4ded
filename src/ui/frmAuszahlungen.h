#pragma once
// "Auszahlungen…": the platforms' payouts with their sales, fees and the day they reached the
// bank, and a payout report read in; "Dateiformat prüfen…": which profile reads a file and what
// each of its columns becomes.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace gd {

class frmAuszahlungen : public QDialog {
    Q_OBJECT
public:
    explicit frmAuszahlungen(QWidget* parent = nullptr);

private:
    void load();
    void readReport();

    QTableWidget* grdAuszahlungen = nullptr;
    QPlainTextEdit* txtHinweise = nullptr;  // what the last report left: unknown sales, lines not read
    QPushButton *cmdEinlesen = nullptr, *cmdSchliessen = nullptr;
};

class frmDateiformat : public QDialog {
    Q_OBJECT
public:
    explicit frmDateiformat(QWidget* parent = nullptr);
    bool load(const QString& file);

private:
    QLabel* lblProfil = nullptr;
    QTableWidget* grdSpalten = nullptr;
    QTableWidget* grdZeilen = nullptr;
};

}  // namespace gd
