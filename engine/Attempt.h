#pragma once

// The engine's three ways of meeting a failing automation call, written once:
//  - skip it and go on:            Attempt([&] { step(); });
//  - end a routine at its first:   Attempt([&] { step1(); step2(); ... });
//  - abandon the shape in hand:    let the error propagate to the replacement cycle, which catches
//                                  it and puts the slide back (see ReplacementCycle.cpp).
// Any std::exception counts: the backend reports failed members with automation::AutomationError,
// but a failing allocation or file query must not end the run either.

#include "automation/AutomationError.h"

#include <exception>
#include <optional>
#include <utility>

namespace engine {

// Runs f; false when it threw.
template <class F> bool Attempt(F&& f) noexcept {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Runs f and hands back its value, or nothing when it threw.
template <class F> auto AttemptValue(F&& f) noexcept -> std::optional<decltype(std::forward<F>(f)())> {
    try {
        return std::forward<F>(f)();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Hands p back, or reports a member that gave nothing as a failed one (never dereference null).
template <class P> P Need(P p, const char* member) {
    if (!p)
        throw automation::AutomationError(member, "returned nothing");
    return p;
}

} // namespace engine
