#pragma once

// The command line of quarnel-cli: options that override the stored settings for one run (they
// are never saved) and the files to compress.

#include <optional>
#include <string>
#include <vector>

namespace settings {
struct Settings;
}

namespace cli {

struct CliOptions {
    std::optional<int> format;  // combFormat index
    std::optional<int> quality; // combRatio index
    std::optional<std::string> fileSize;
    std::optional<std::string> expectRate;
    std::optional<std::string> groupSize;
    std::optional<int> objects;
    std::optional<int> twice;
    std::optional<std::string> outputDir;
    std::optional<int> sizeInName;
    std::optional<int> subsetFonts;
    std::optional<int> removeUnusedLayouts;
    bool overwrite = false;
    bool keepDates = false;
    std::optional<std::string> reportPath;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

struct ParseResult {
    CliOptions options;
    std::string error; // empty when the command line is usable
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);
// Lays the options over the loaded settings.
void ApplyOptions(const CliOptions& options, settings::Settings& settings);
// The help text; every option shows the value that applies when it is not given (defaults).
std::string UsageText(const settings::Settings& defaults);

} // namespace cli
