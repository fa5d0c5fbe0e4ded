#pragma once
// "ACHTUNG ! Ein Fehler ist aufgetreten ...": the error, the trace, the protocol
// and how the program goes on.

#include <QDialog>
#include <array>
#include <functional>

#include "base/ErrorProtocol.h"

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

    // Installs the dialog as the program's OnError. The dialog is a window of
    // its own: it does not die with whatever window was active at the first error.
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

// The dialog the program shows; without one (headless) the procedure is left.
using ErrorDialog = std::function<Continue(const ErrorInfo&)>;
void setErrorDialog(ErrorDialog dialog);
Continue OnError(const QString& module, const QString& procedure, int number, const QString& description);

// "&Speichern": asks before it replaces an existing file, reports where it
// wrote. False when the user declined or the file could not be written (then it says so).
bool saveErrorProtocol(const ErrorInfo& e);
// "&EMail": the hint, the protocol on the clipboard, then the mail program.
void mailErrorProtocol(const ErrorInfo& e);

}  // namespace gd
