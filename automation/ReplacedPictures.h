#pragma once

// An extra of our own presentation engine, beyond the office object model: an account of every
// picture a pass replaced, with a small before and after image of each, for the run's visual report.
// Recording costs a drawing and a comparison per replacement, so it is asked for. A presentation
// offering it also derives from IReplacedPictures; a backend without it is not asked.

#include "automation/DeckPictures.h"

#include <cstdint>
#include <string>
#include <vector>

namespace automation {

// An encoded image to show in a report ("image/jpeg" or "image/png").
struct ReportImage {
    std::vector<std::uint8_t> bytes;
    std::string mimeType;
    int width = 0;
    int height = 0;
};

enum class ReplacedBy {
    Walk,       // a picture shape the walk re-created
    Object,     // an embedded object the walk turned into a picture
    DeckPicture // a picture part the deck-wide pass re-created where it is stored
};

// One place that shows the picture; slide is 1-based for slides and notes pages, 0 elsewhere.
struct ReplacedPictureUse {
    DeckPicturePlace place = DeckPicturePlace::Slide;
    int slide = 0;
    bool operator==(const ReplacedPictureUse&) const = default;
};

struct ReplacedPicture {
    ReplacedBy by = ReplacedBy::Walk;
    std::vector<ReplacedPictureUse> uses;
    int widthBefore = 0; // pixels of the stored pictures
    int heightBefore = 0;
    int widthAfter = 0;
    int heightAfter = 0;
    std::string formatBefore; // "JPEG", "PNG", "GIF", "EMF", ...
    std::string formatAfter;
    double bytesBefore = 0; // of the stored pictures, as encoded (a package may store them deflated)
    double bytesAfter = 0;
    std::string partBefore; // the stored pictures' part names in the input and the output ("/ppt/media/...")
    std::string partAfter;
    // SSIM of the new picture against the old one as shown, over the busy windows of the luma plane
    // (the encoders' measure), taken at a bounded size; 1 for an identical look.
    double similarity = 1;
    bool compared = false; // false: a picture could not be drawn, and there are no images
    ReportImage before;    // both as shown, at most the report's width
    ReportImage after;
};

class IReplacedPictures {
public:
    virtual ~IReplacedPictures() = default;
    // Starts the account for this presentation; nothing is recorded before.
    virtual void RecordReplacedPictures(int thumbnailWidth) = 0;
    // The replacements that stand now: a paste that was taken away again, or whose source is still
    // there, is not among them.
    virtual std::vector<ReplacedPicture> ReplacedPictures() = 0;
};

} // namespace automation
