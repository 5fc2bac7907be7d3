#pragma once

// The options for large batches (--jobs, --recursive, --files-from, --skip-existing, --shard and
// the worker's --deck-child). They choose which decks run and how many at once; they never change
// how a deck is compressed, so a worker process is not given them.

#include "cli/CliOptions.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace cli {

bool IsBatchScaleOption(const std::string& name);
// Reads the option into `options`; `value` takes the option's value (inline or the next argument).
// Returns the message for a bad or missing value.
std::optional<std::string> ParseBatchScaleOption(const std::string& name,
                                                 const std::optional<std::string>& inlineValue,
                                                 const std::function<std::optional<std::string>()>& value,
                                                 CliOptions& options);
// "K/N" with 1 <= K <= N.
std::optional<std::pair<int, int>> ParseShard(const std::string& text);

} // namespace cli
