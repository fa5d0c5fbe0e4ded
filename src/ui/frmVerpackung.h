#pragma once
// "Verpackungsmengen…": the packaging of a year's parcels per material in kilograms, as the
// packaging register asks for it, shown and saved as CSV.
#include <QDialog>

#include "domain/shipping/Packaging.h"

class QLabel;
class QSpinBox;
class QTableWidget;

namespace gd {

class frmVerpackung final : public QDialog {
    Q_OBJECT
public:
    explicit frmVerpackung(QWidget* parent = nullptr);

private:
    void fill();
    void save();

    QList<MaterialYear> figures_;
    QSpinBox* spnJahr = nullptr;
    QTableWidget* grdMengen = nullptr;
    QLabel* lblSumme = nullptr;
};

}  // namespace gd
