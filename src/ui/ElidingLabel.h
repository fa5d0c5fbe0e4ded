#pragma once
// A one-line label that may be narrower than its text: it then ends in "…", and the
// tool tip keeps the whole text. For the status line, where several share little room.

#include <QLabel>

namespace gd {

class ElidingLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace gd
