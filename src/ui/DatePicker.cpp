#include "ui/DatePicker.h"

#include <QWheelEvent>

namespace gd {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    setCalendarPopup(true);
    setSpecialValueText(QStringLiteral(" "));  // the minimum date reads as no date
    setFocusPolicy(Qt::StrongFocus);           // a wheel does not give it the focus
}

void DatePicker::clearDate() { setDate(minimumDate()); }

void DatePicker::wheelEvent(QWheelEvent* e) {
    // Scrolling over it must not move a stored date: without the focus the wheel belongs to the pane.
    if (!hasFocus()) {
        e->ignore();
        return;
    }
    QDateEdit::wheelEvent(e);
}

}  // namespace gd
