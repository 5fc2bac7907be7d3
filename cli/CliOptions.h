#pragma once

// The command line of quarnel-cli: options that override the stored settings for one run (they
// are never saved) and the files to compress.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace settings {
struct Settings;
}

namespace cli {

// The savings a size goal may add when the pictures alone do not reach it (--target-allow).
struct TargetAllowance {
    int objects = 0;
    int media = 0;
    int fonts = 0;
    int layouts = 0;
};

struct CliOptions {
    std::optional<int> format;  // combFormat index
    std::optional<int> quality; // combRatio index
    std::optional<std::string> fileSize;
    std::optional<std::string> expectRate;
    std::optional<std::string> groupSize;
    std::optional<int> objects;
    std::optional<int> twice;
    std::optional<int> deckPictures; // 0 with --slides-only
    std::optional<std::string> outputDir;
    std::optional<int> sizeInName;
    std::optional<int> subsetFonts;
    std::optional<int> removeUnusedLayouts;
    std::optional<int> targetSizeOn;            // 1 with --target-size, 0 with --no-target-size
    std::optional<std::string> targetSize;      // as given, e.g. "9.5MB"
    std::optional<TargetAllowance> targetAllow; // exactly these, the others off
    bool overwrite = false;
    bool keepDates = false;
    std::optional<std::string> reportPath;
    std::optional<std::string> htmlReportPath; // the visual report of the run
    // A worker of a parallel batch writes its deck's replaced pictures here for the visual report.
    std::optional<std::string> pictureRecordsPath;
    std::optional<std::string> movieProfile; // a profile name or position of Transcoding.ini
    std::optional<int> media;                // re-encode the movies and sound inside presentations
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
    // Large batches: how many decks at once, where the list comes from, which part of it to run.
    std::optional<int> jobs;
    // Threads per deck that encode pictures ahead of the walk; the output is the same for any number.
    std::optional<int> threads;
    bool recursive = false;
    std::optional<std::string> filesFrom; // "-" is standard input
    bool nulSeparated = false;
    bool skipExisting = false;
    std::optional<std::pair<int, int>> shard; // K of N, 1-based
    bool deckChild = false;                   // run by a parallel batch: no status lines
    // The options that shape the compression, as given, so that a worker process runs the same.
    std::vector<std::string> forwarded;
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
