#pragma once
// "Jahresübersicht" and "Export für Steuerberater (DATEV)…": the year in figures per platform
// and month (saved as CSV or PDF), and the advisor's booking file of a period; and the note
// in the status bar when a limit of law comes near.

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace gd {

class frmJahr : public QDialog {
    Q_OBJECT
public:
    explicit frmJahr(QWidget* parent = nullptr);

private:
    void load();
    void saveCsv();
    void savePdf();
    void saveAs(const char* kind,
                const std::function<QByteArray(const QList<QStringList>&, const QString&, int)>& make);

    QSpinBox* spnJahr = nullptr;
    QTableWidget* grdJahr = nullptr;
    QLabel* lblGrenzen = nullptr;
    QPushButton *cmdCsv = nullptr, *cmdPdf = nullptr, *cmdSchliessen = nullptr;
};

class frmDatev : public QDialog {
    Q_OBJECT
public:
    explicit frmDatev(QWidget* parent = nullptr);

private:
    void exportFile();

    QDateEdit *dtpVon = nullptr, *dtpBis = nullptr;
    QLineEdit *txtBerater = nullptr, *txtMandant = nullptr, *txtWJBeginn = nullptr;
    QComboBox* cboKontenrahmen = nullptr;
    QCheckBox *chkFestschreibung = nullptr, *chkZahlungen = nullptr;
    QTableWidget* grdKonten = nullptr;
    QPushButton *cmdExportieren = nullptr, *cmdSchliessen = nullptr;
};

// The most pressing limit note of the running year, or an empty text; `clear` when crossed,
// `brief` what the status bar has room for.
QString limitNote(bool* clear, QString* brief);

}  // namespace gd
