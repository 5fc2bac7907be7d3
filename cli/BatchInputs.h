#pragma once

// The decks a command line names: files, folders walked with --recursive, the --files-from list,
// narrowed to one --shard and, with --skip-existing, to decks whose output is not there yet.

#include "cli/CliOptions.h"

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace settings {
struct Settings;
}

namespace cli {

struct BatchInputs {
    std::vector<std::string> entries;   // to compress, absolute, in order
    std::vector<std::string> existing;  // left out by --skip-existing
    std::optional<std::string> problem; // the list could not be read
    bool narrowed = false;              // a shard or --skip-existing left entries out
};

// The output path a deck would get when no file of that name is in the way.
std::string ExpectedOutputPath(const settings::Settings& config, const std::string& input);

BatchInputs CollectInputs(const CliOptions& options, const settings::Settings& config, std::istream& in);

} // namespace cli
