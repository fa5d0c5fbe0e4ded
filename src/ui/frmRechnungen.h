#pragma once
// "Rechnungen": the issued invoices with search; save one again as issued, its e-invoice, or
// cancel it with a cancellation invoice.
#include <QDialog>
#include <QList>

#include "domain/invoice/IssuedInvoices.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace gd {

class frmRechnungen final : public QDialog {
    Q_OBJECT
public:
    explicit frmRechnungen(QWidget* parent = nullptr);

private:
    void load();
    const IssuedInvoice* selected() const;
    void saveSelected();
    void saveXml();
    void cancelSelected();

    QLineEdit* txtSuche = nullptr;
    QTableWidget* grdRechnungen = nullptr;
    QPushButton *cmdSpeichern = nullptr, *cmdXml = nullptr, *cmdStornieren = nullptr;
    QList<IssuedInvoice> shown_;
};

}  // namespace gd
