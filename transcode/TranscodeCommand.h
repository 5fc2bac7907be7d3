#pragma once

// Turns one command template into a running encoder: output extension, same-name policy, output
// folder, placeholders.

#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engine {
class Host;
}

namespace transcode {

// (output path without extension, extension) -> the path to use without extension, or "" to skip.
using ResolveMovieNameFn = std::function<std::string(std::string base, std::string ext)>;

// Pseudo-random numbers in [0, 1) from a fixed start: the sequence repeats from one program start to
// the next.
class RandomSequence {
public:
    double Next();

private:
    std::uint32_t state_ = 0x50000;
};

// What a template run needs from the program around it.
struct TranscodeEnvironment {
    engine::Host& host;
    bool& encoderStopRequested;
    RandomSequence& random;
    ResolveMovieNameFn resolveMovieName;
    std::string appPath; // the program's folder; empty: as the file-system object reports it
    const platform::FileSystem& fs = platform::gFSO;
};

struct PlaceholderValues {
    std::string appPath;
    std::string inputFile;
    std::string outputFile; // without extension
    std::string temporaryFile;
    std::string title = "none";
    std::string timeStamp;
    std::string randomNumber5;
};

// The text between the template's first "." and the closing double quote that ends it, trimmed;
// empty when there is no such quote or the text is longer than four characters.
std::string OutputExtensionOf(const std::string& commandTemplate);
// Every placeholder replaced in one pass from left to right: a value is never searched again, so a
// file name that happens to contain "<%Title%>" stays as it is.
std::string FillPlaceholders(const std::string& text, const PlaceholderValues& values);
// The template split into arguments first (blanks and TABs separate, double quotes group and are
// dropped), then every argument filled on its own: whatever a file name holds (quotes, blanks, "$()",
// ";", a leading "-"), it cannot add, remove or change an argument. A path that would start with "-"
// is passed as "./-..." so that the encoder never reads it as an option.
std::vector<std::string> FillArguments(const std::string& commandTemplate, const PlaceholderValues& values);
// The hidden name an encoder writes to before the output takes its real name: same folder, so the
// final rename is atomic, and the same extension after it, which decides the encoder's format. It is
// a staging name (platform/StagingFiles.h): one a killed run left goes with the next batch there.
std::string StagingBaseFor(const std::string& outputBase);
// Local date in the short form and time in the long form of the system's locale.
std::string CurrentTimeStampText();
// Creates the folder and any missing folders above it; failures are left for the encoder to meet.
void CreateFolderTree(const std::string& folder, const platform::FileSystem& fs = platform::gFSO);

// 2 when the same-name step declined the output; otherwise RunEncoder's result. outputExtension is set
// only when the encoder was started or failed to start; chosenOutputBase (when given) then receives the
// output path without extension that was actually used. The encoder writes under StagingBaseFor; its
// output takes the real name only on success, so a failed or stopped run leaves no partial file and
// an existing file the person agreed to overwrite survives a failure.
int RunTranscodeCommand(TranscodeEnvironment& env, const std::string& commandTemplate,
                        const std::string& inputPath, std::string outputBase, std::string& outputExtension,
                        std::string* chosenOutputBase = nullptr);

} // namespace transcode
