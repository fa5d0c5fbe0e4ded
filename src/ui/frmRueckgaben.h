#pragma once
// "Offene Rückgaben": every return not yet refunded with its deadline, the late ones marked; a
// row opens the return itself.
#include <QDialog>

#include "domain/books/Returns.h"

class QLabel;
class QTableWidget;

namespace gd {

class frmRueckgaben final : public QDialog {
    Q_OBJECT
public:
    explicit frmRueckgaben(QWidget* parent = nullptr);
    // A return was changed from here: the list and the pane read again.
    bool changed() const { return changed_; }

private:
    void fill();
    void openChosen();

    QList<OpenReturn> returns_;
    QTableWidget* grdRueckgaben = nullptr;
    QLabel* lblSumme = nullptr;
    bool changed_ = false;
};

}  // namespace gd
