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
    // A line under the picture for what takes long (the database being brought up to date).
    void showMessage(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_KeyPress();
    void Frame1_Click();
    QFrame* Frame1 = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblMessage = nullptr;
};

// The start image of our own, drawn rather than shipped.
QPixmap splashImage(const QSize& size);

}  // namespace gd
