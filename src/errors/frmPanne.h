#pragma once
// "ACHTUNG ! Ein Fehler ist aufgetreten ...": the error, the trace, the protocol
// and how the program goes on.

#include <QDialog>
#include <array>

#include "errors/ErrorProtocol.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace gd {

class frmPanne final : public QDialog {
    Q_OBJECT
public:
    explicit frmPanne(QWidget* parent = nullptr);
    Continue showError(const ErrorInfo& e);  // modal
    void cmdProtocol_Click(int Index);
    void cmdContinue_Click(int Index);

    // Installs the dialog as the program's OnError.
    static void install();

private:
    ErrorInfo error_;
    Continue choice_ = Continue::LeaveProcedure;
    std::array<QLabel*, 4> lblError{};
    QLabel* lblProgInfo = nullptr;
    QLabel* lblComment = nullptr;
    QListWidget* lstCallStack = nullptr;
    std::array<QPushButton*, 4> cmdProtocol{};
    std::array<QPushButton*, 4> cmdContinue{};
};

}  // namespace gd
