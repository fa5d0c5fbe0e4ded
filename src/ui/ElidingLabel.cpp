#include "ui/ElidingLabel.h"

#include <QPainter>
#include <QStyle>

namespace gd {

QSize ElidingLabel::minimumSizeHint() const {
    const QSize full = QLabel::minimumSizeHint();
    return {std::min(full.width(), fontMetrics().horizontalAdvance(QStringLiteral("Mmmm…"))), full.height()};
}

void ElidingLabel::paintEvent(QPaintEvent* e) {
    const QRect room = contentsRect();
    if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter p(this);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&p, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

}  // namespace gd
