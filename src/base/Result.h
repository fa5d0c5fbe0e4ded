#pragma once
// What a function below the forms gives back: its value, or an error with its
// run-time error number and the German sentence the user is shown. The forms and the
// command line decide how to show it; nothing below them talks to the user.

#include <QString>
#include <optional>
#include <utility>
#include <variant>

#include "base/RunError.h"

namespace gd {

struct Error {
    QString sentence;     // what failed, the German sentence the user reads; may be empty
    int number = 0;       // the run-time error number; 0 when there is none
    QString description;  // the cause

    // "3008: Die Datenbank …", the line under the sentence in every error message;
    // the bare description when there is no number.
    QString text() const {
        if (number == 0) return description;
        return QString::number(number) + QStringLiteral(": ") + description;
    }
    // The whole text of the message box: sentence, CR, text().
    QString message() const {
        const QString t = text();
        if (sentence.isEmpty()) return t;
        return t.isEmpty() ? sentence : sentence + QLatin1Char('\r') + t;
    }
    static Error from(const QString& sentence, const RunError& e) {
        return Error{sentence, e.number(), e.description()};
    }
    static Error plain(const QString& sentence) { return Error{sentence, 0, QString()}; }
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    const T& value() const& { return std::get<0>(v_); }
    T& value() & { return std::get<0>(v_); }
    // By value: a range-for over a temporary's value() must not dangle.
    T value() && { return std::get<0>(std::move(v_)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : e_(std::move(error)) {}
    bool ok() const { return !e_.has_value(); }
    const Error& error() const { return *e_; }

private:
    std::optional<Error> e_;
};

using Status = Result<void>;

}  // namespace gd
