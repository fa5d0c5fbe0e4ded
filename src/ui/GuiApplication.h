#pragma once
// The application object: an exception that escapes a window event reaches
// OnError instead of ending the process.

#include <QApplication>

namespace gd {

class GuiApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
    // Qt's own texts in German: file dialogs, "Abbrechen", a text field's menu, "Strg+O".
    // From Debian's Qt translations; without them they stay English.
    void installGermanTexts();
};

}  // namespace gd
