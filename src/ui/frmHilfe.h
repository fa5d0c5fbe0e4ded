#pragma once
// "Hilfe": the help page in a window of the program, so help works on a
// machine without a web browser.

#include <QDialog>

class QBoxLayout;
class QDialogButtonBox;
class QPushButton;
class QTextBrowser;

namespace gd {

class frmHilfe final : public QDialog {
    Q_OBJECT
public:
    explicit frmHilfe(QWidget* parent = nullptr);
    // Shows the one help window (made on first use) at a section's anchor, or at the
    // top, and brings it to the front. Over a modal dialog it becomes that dialog's
    // window, since a modal dialog takes the input of every other.
    static frmHilfe* showHelp(QWidget* parent, const QString& section = {});
    // The anchor shown, "" for the top.
    QString section() const;

private:
    void showSection(const QString& section);
    QTextBrowser* txtHilfe = nullptr;
};

// F1 and a "Hilfe" button in the dialog's button row (first, where desktops put it),
// both opening the help at the dialog's section.
QPushButton* addHelp(QWidget* dialog, const QString& section, QBoxLayout* buttonRow);
QPushButton* addHelp(QWidget* dialog, const QString& section, QDialogButtonBox* buttons);

}  // namespace gd
