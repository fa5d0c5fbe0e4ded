#pragma once
// "Versandetiketten…": the sales paid and not yet sent as DHL's upload file, each row with what
// the file will say of its address; the seller ticks the parcels and picks the product.
#include <QDialog>

#include "domain/shipping/DhlImport.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace gd {

class frmEtiketten final : public QDialog {
    Q_OBJECT
public:
    explicit frmEtiketten(QWidget* parent = nullptr);

private:
    void fill();
    void write();
    PostalAddress sender(QString* why) const;

    QList<ReadyParcel> ready_;
    QTableWidget* grdSendungen = nullptr;
    QComboBox* cboProdukt = nullptr;
    QLabel* lblSumme = nullptr;
};

}  // namespace gd
