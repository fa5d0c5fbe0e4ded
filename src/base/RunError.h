#pragma once
// A run-time error: a number and a German description, as error messages show them.
// Thrown by conversions that "fail to the caller"; the caller's handler shows it.

#include <QString>
#include <stdexcept>

namespace gd {

class RunError : public std::runtime_error {
public:
    RunError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int number() const { return number_; }
    const QString& description() const { return description_; }
    // "13: Typen unverträglich", the tail of every error message box.
    QString text() const { return QString::number(number_) + QStringLiteral(": ") + description_; }

private:
    int number_;
    QString description_;
};

namespace errors {
inline RunError typeMismatch() { return RunError(13, QStringLiteral("Typen unverträglich")); }
inline RunError overflow() { return RunError(6, QStringLiteral("Überlauf")); }
}  // namespace errors

}  // namespace gd
