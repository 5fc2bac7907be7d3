#pragma once

#include <string>
#include <variant>

namespace automation {

// A late-bound property value: the few kinds the animation members hand back and take
// (PropertyEffect From/To, animation point values).
using Variant = std::variant<std::monostate, bool, int, double, std::string>;

} // namespace automation
