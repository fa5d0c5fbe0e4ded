#pragma once
// The start picture shown while settings and rules load.

#include <QFrame>
#include <QWidget>

class QLabel;

namespace gd {

class frmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_KeyPress();
    void Frame1_Click();
    QFrame* Frame1 = nullptr;
    QLabel* lblProductName = nullptr;
};

// The start image of our own, drawn rather than shipped.
QPixmap splashImage(const QSize& size);

}  // namespace gd
