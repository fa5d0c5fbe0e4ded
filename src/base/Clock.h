#pragma once
// Local date and time of the program; tests install a fixed clock.

#include <QDateTime>

namespace gd {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;  // local time
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
    QDateTime now() const override { return t_; }
    void set(const QDateTime& t) { t_ = t; }
    void advanceSecs(int s) { t_ = t_.addSecs(s); }

private:
    QDateTime t_;
};

QDateTime now();
QDate today();
QDateTime nowUtc();
void setClock(const Clock* c);  // nullptr: the computer's real clock

}  // namespace gd
