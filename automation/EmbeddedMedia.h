#pragma once

// Movies and sound stored inside a presentation. Only a backend that holds the package itself offers
// this (the engine asks with dynamic_cast); with any other the media step is skipped.

#include <cstdint>
#include <string>
#include <vector>

namespace automation {

struct EmbeddedMediaPart {
    std::string partName;  // "/ppt/media/media1.mp4"
    std::string extension; // lower case, no dot
    std::uint64_t size = 0;
    bool video = false; // reached through a video relationship (else audio only)
};

class IEmbeddedMedia {
public:
    virtual ~IEmbeddedMedia() = default;
    // Parts used only as the movie or sound of media shapes; linked media and sounds that must stay
    // WAV (action, transition and legacy embedded sounds) are not listed.
    virtual std::vector<EmbeddedMediaPart> TranscodableMedia() = 0;
    virtual void ExportMedia(const std::string& partName, const std::string& path) = 0;
    // Puts the file's bytes in place of the part, under the file's extension; every relationship to the
    // part follows. Returns the part's new name.
    virtual std::string ReplaceMedia(const std::string& partName, const std::string& path) = 0;
};

} // namespace automation
