#pragma once
// "Hilfe": the help page in a window of the program, so help works on a
// machine without a web browser.

#include <QDialog>

class QTextBrowser;

namespace gd {

class frmHilfe final : public QDialog {
    Q_OBJECT
public:
    explicit frmHilfe(QWidget* parent = nullptr);
    // Shows the one help window (made on first use) and brings it to the front.
    static frmHilfe* showHelp(QWidget* parent);

private:
    QTextBrowser* txtHilfe = nullptr;
};

}  // namespace gd
