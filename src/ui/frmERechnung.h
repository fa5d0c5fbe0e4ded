#pragma once
// "E-Rechnung ansehen…": an e-invoice someone sent the seller (XML, or a PDF with the XML
// inside) as readable German text, kept with the purchase it belongs to when wanted.

#include <QDialog>
#include <QString>

#include "domain/invoice/ReceivedInvoices.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace gd {

class frmERechnung : public QDialog {
    Q_OBJECT
public:
    // `purchase`: the item number of the purchase selected in the list; empty when none is.
    explicit frmERechnung(const QString& purchase, QWidget* parent = nullptr);
    // Reads the file and shows it; false (the reason shown) when it holds no e-invoice.
    bool load(const QString& file);

private:
    void keep();

    QString purchase_, file_;
    EInvoiceFile read_;  // the file as loaded: kept as it is, its invoice read once
    QLabel* lblDatei = nullptr;
    QPlainTextEdit* txtRechnung = nullptr;
    QPushButton *cmdAblegen = nullptr, *cmdSchliessen = nullptr;
};

}  // namespace gd
