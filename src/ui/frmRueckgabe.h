#pragma once
// "Widerruf / Rückgabe…" of a sale: the buyer's notice recorded with its day and time, then its
// confirmation sent, the goods back, and the refund booked, each from here.
#include <QDialog>

#include "domain/books/Returns.h"
#include "domain/db/Records.h"

class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace gd {

class frmRueckgabe final : public QDialog {
    Q_OBJECT
public:
    frmRueckgabe(const tAuktion& a, const tKunde& k, QWidget* parent = nullptr);
    // Something was stored: the list and the pane read the trade again.
    bool changed() const { return changed_; }

private:
    void show();
    void record();
    void sendConfirmation();
    void markGoodsBack();
    void refund();

    tAuktion auktion_;
    tKunde kunde_;
    std::optional<OpenReturn> open_;
    bool changed_ = false;
    QStackedWidget* pages_ = nullptr;
    QComboBox* cboArt = nullptr;
    QDateTimeEdit* dtpEingang = nullptr;
    QLineEdit* txtGrund = nullptr;
    QLabel* lblStand = nullptr;
    QDateEdit* dtpWare = nullptr;
    QLineEdit* txtBetrag = nullptr;
};

}  // namespace gd
