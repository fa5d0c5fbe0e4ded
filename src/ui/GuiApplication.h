#pragma once
// The application object: an exception that escapes a window event reaches
// OnError instead of ending the process.

#include <QApplication>
#include <QRect>

namespace gd {

class GuiApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
    // Qt's own texts in German: file dialogs, "Abbrechen", a text field's menu, "Strg+O".
    // From Debian's Qt translations; without them they stay English.
    void installGermanTexts();
};

// A window's outer rectangle moved and shrunk into the room a screen offers, its minimum size kept.
QRect fittedFrame(const QRect& frame, const QRect& room, const QSize& frameMargins, const QSize& minimum);
// The window brought onto its screen: as opened, or as restored from a larger screen.
void fitOnScreen(QWidget* window);
// Tab goes from field to field as the layouts place them, top to bottom, not in the order
// the fields were made; every form row's label names its field.
void tabInLayoutOrder(QWidget* window);

}  // namespace gd
