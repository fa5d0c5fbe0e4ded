#pragma once
// The date picker of the pane: it changes only when the user means it (a
// wheel turned over it while it has no focus scrolls the pane instead) and can
// show no date at all.

#include <QDateEdit>

namespace gd {

class DatePicker final : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
    // Shows nothing, for a pane that shows no auction.
    void clearDate();
    bool isBlank() const { return date() == minimumDate(); }

protected:
    void wheelEvent(QWheelEvent* e) override;
};

}  // namespace gd
