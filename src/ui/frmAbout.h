#pragma once
// "Info": product, version, maker and links.

#include <QDialog>

namespace gd {

class frmAbout final : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void cmdInfo_Click();
};

}  // namespace gd
