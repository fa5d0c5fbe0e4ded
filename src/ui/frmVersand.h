#pragma once
// Asked when "Versendet" is ticked: with which carrier, under which tracking
// number the goods went. Both may stay empty.

#include <QDialog>

#include "domain/trade/Parcel.h"

class QComboBox;
class QLineEdit;

namespace gd {

class frmVersand final : public QDialog {
    Q_OBJECT
public:
    frmVersand(const Parcel& recorded, QWidget* parent = nullptr);
    // What the user entered; meaningful after "Speichern".
    Parcel parcel() const;

private:
    QComboBox* cboVersanddienst;
    QLineEdit* txtSendungsnummer;
};

}  // namespace gd
