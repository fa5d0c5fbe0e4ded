#pragma once
// The main window. Until the auction list lands it shows the loaded settings.

#include <QMainWindow>

namespace gd {

class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

private:
    void Form_Load();
};

}  // namespace gd
