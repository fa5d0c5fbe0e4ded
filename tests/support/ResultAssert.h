#pragma once

#include <optional>
// Checking what the program's functions give back: a failure prints the
// message the user would have seen.

#include <gtest/gtest.h>

#include "base/Result.h"

namespace gd::test {

template <class R>
::testing::AssertionResult ok(const R& r) {
    if (r.ok()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << r.error().message().toStdString();
}

// A load that found its row (and did not fail).
inline ::testing::AssertionResult found(const Result<bool>& r) {
    if (!r.ok()) return ::testing::AssertionFailure() << r.error().message().toStdString();
    if (!r.value()) return ::testing::AssertionFailure() << "not found";
    return ::testing::AssertionSuccess();
}

// A load's row put into `row`, read as found or missing.
template <class T>
Result<bool> into(T& row, const Result<std::optional<T>>& r) {
    if (!r.ok()) return r.error();
    if (r.value()) row = *r.value();
    return r.value().has_value();
}

// A load that worked and found nothing.
inline ::testing::AssertionResult missing(const Result<bool>& r) {
    if (!r.ok()) return ::testing::AssertionFailure() << r.error().message().toStdString();
    if (r.value()) return ::testing::AssertionFailure() << "found";
    return ::testing::AssertionSuccess();
}

// The whole text of the message box a failure shows; empty when it worked.
template <class R>
QString failure(const R& r) {
    return r.ok() ? QString() : r.error().message();
}

}  // namespace gd::test
