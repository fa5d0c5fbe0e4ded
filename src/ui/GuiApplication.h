#pragma once
// The application object: an exception that escapes a window event reaches
// OnError instead of ending the process.

#include <QApplication>

namespace gd {

class GuiApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace gd
