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
    // With the sale's AuktionsID the packaging is asked too, and kept whichever button is pressed.
    frmVersand(const Parcel& recorded, const QString& auktionsID = QString(), QWidget* parent = nullptr);
    // What the user entered; meaningful after "Speichern".
    Parcel parcel() const;

private:
    QComboBox* cboVersanddienst;
    QLineEdit* txtSendungsnummer;
    QComboBox* cboVerpackung = nullptr;
    QString auktionsID_;
    void keepPackaging();
};

}  // namespace gd
