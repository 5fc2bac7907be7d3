#pragma once

// The size goal options: --target-size SIZE, --no-target-size and --target-allow LIST. They shape
// the compression, so unlike the batch options they are forwarded to worker processes.

#include "cli/CliOptions.h"

#include <functional>
#include <optional>
#include <string>

namespace cli {

bool IsSizeGoalOption(const std::string& name);
// Reads the option into `options`; `value` takes the option's value (inline or the next argument).
// Returns the message for a bad or missing value.
std::optional<std::string> ParseSizeGoalOption(const std::string& name,
                                               const std::optional<std::string>& inlineValue,
                                               const std::function<std::optional<std::string>()>& value,
                                               CliOptions& options);
// "objects,media,fonts,layouts" or any non-empty subset, in any order and case.
std::optional<TargetAllowance> ParseTargetAllowance(const std::string& list);

} // namespace cli
