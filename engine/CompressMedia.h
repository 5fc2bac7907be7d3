#pragma once

// After the shape walk: every movie and sound stored in the presentation is re-encoded with the chosen
// profile and replaces its part when the new file is smaller. A backend that does not hold the package
// itself (automation::IEmbeddedMedia) is skipped.

#include "engine/EngineState.h"

#include <functional>
#include <string>
#include <vector>

namespace engine {

// Encodes inputPath (its extension names the part's format; video: reached as a movie) to a file named
// outputBase + "." + an extension the profile chooses; returns 0 and the written path on success, any
// other number on failure or stop.
using MediaEncoder = std::function<int(const std::string& inputPath, bool video,
                                       const std::string& outputBase, std::string& writtenPath)>;

struct MediaPartReport {
    std::string part;    // the part's name before
    std::string newPart; // after; empty when it stayed
    double bytesBefore = 0;
    double bytesAfter = 0; // the encoder's output; 0 when none was made
    std::string result;    // "compressed", "not-smaller", "failed", "stopped"
};

struct MediaPass {
    MediaEncoder encode;
    // When not empty, why no part can be encoded (logged once, if the deck has any media).
    std::string unavailable;
    // A new encoding replaces the part only when below this share of its size.
    double keepBelowShare = 1.0;
    std::vector<MediaPartReport> reports; // one per part, filled by the pass
};

// The log line of one part (TAB-indented when the part was replaced, like the walk's lines).
std::string MediaLogLine(const MediaPartReport& report, bool video);

// Runs the media step over the source presentation. Sets PresentationChanged when a part was replaced;
// stops before the next part once StopRequested is set. Temporary files are removed on every path.
void CompressEmbeddedMedia(EngineContext& ctx, MediaPass& pass);

} // namespace engine
