#pragma once

// Turns one command template into a running encoder: output extension, same-name policy, output
// folder, placeholders.

#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>

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
// Every placeholder replaced, in a fixed order.
std::string FillPlaceholders(std::string commandTemplate, const PlaceholderValues& values);
// Local date in the short form and time in the long form of the system's locale.
std::string CurrentTimeStampText();
// Creates the folder and any missing folders above it; failures are left for the encoder to meet.
void CreateFolderTree(const std::string& folder, const platform::FileSystem& fs = platform::gFSO);

// 2 when the same-name step declined the output; otherwise RunEncoder's result. outputExtension is set
// only when the encoder was started or failed to start; chosenOutputBase (when given) then receives the
// output path without extension that was actually used.
int RunTranscodeCommand(TranscodeEnvironment& env, const std::string& commandTemplate,
                        const std::string& inputPath, std::string outputBase, std::string& outputExtension,
                        std::string* chosenOutputBase = nullptr);

} // namespace transcode
