#pragma once
// The payment code a buyer's banking app reads by camera: a SEPA credit transfer
// in the "BCD" format, version 002, as a QR code.

#include <QByteArray>
#include <QString>

namespace gd {

struct Transfer {
    QString name;  // the payee, at most 70 characters
    QString iban;
    QString bic;        // may be empty: version 002 needs none within the EEA
    qint64 cents = 0;   // 0: the payer types the amount
    QString reference;  // at most 140 characters
};

// The payload, UTF-8, lines joined by LF; empty when the transfer cannot be coded
// (no valid IBAN, no name, an amount beyond 999,999,999.99).
QByteArray epcPayload(const Transfer& t);
// The QR code's modules, level M: `width` rows of `width` bytes, 1 for dark. Empty when it fails.
struct QrMatrix {
    int width = 0;
    QByteArray dark;
    bool isNull() const { return width <= 0; }
    bool at(int x, int y) const { return dark[y * width + x] != 0; }
};
QrMatrix qrMatrix(const QByteArray& data);

}  // namespace gd
