#pragma once

// The account of a presentation's replaced pictures. A paste as a picture is noted with the picture
// it was copied from; it counts once it stands for its source: the paste is still there and the
// source shape is gone. Pastes are settled one cycle later, so only a replacement that stood gets
// its images drawn, and the source bytes of at most a cycle's pastes are held meanwhile. The images
// are drawn on a thread of their own while the pass goes on, a few pictures at most at a time.

#include "automation/ReplacedPictures.h"
#include "office/imaging/Imaging.h"
#include "office/ledger/ReportImages.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace office::ledger {

// A shape by its slide part and id.
struct ShapeKey {
    std::string slidePart;
    std::uint32_t id = 0;
    bool operator==(const ShapeKey&) const = default;
};

struct PasteNote {
    ShapeKey source; // the shape the clipboard's picture was copied from
    ShapeKey pasted;
    bool object = false;    // the source is an embedded object showing its preview
    std::string sourcePart; // the picture parts, as far as known
    std::string pastedPart;
    std::shared_ptr<const std::vector<std::uint8_t>> sourceBytes;
    imaging::CropRect sourceCrop;
    std::optional<imaging::ColourChange> sourceKey;
    std::vector<std::uint8_t> pastedBytes;
    imaging::CropRect pastedCrop;
    double shownWidth = 0; // pixels at 96 dpi the replacement is shown at
    double shownHeight = 0;
};

// A deck-wide replacement: already standing when noted.
struct PartNote {
    std::string partBefore;
    std::string partAfter;
    std::vector<automation::ReplacedPictureUse> uses;
    ShownPicture before;
    ShownPicture after;
    // The old picture as the pass drew it for the new one, when it did: drawn again, with the new
    // picture's crop, in place of decoding the old one a second time.
    std::optional<imaging::Raster> beforeDrawn;
    double shownWidth = 0;
    double shownHeight = 0;
};

class ReplacementLedger {
public:
    using ShapeExists = std::function<bool(const ShapeKey&)>;
    using SlideNumber = std::function<int(const std::string& slidePart)>;
    using PartExists = std::function<bool(const std::string& part)>;

    explicit ReplacementLedger(int thumbnailWidth) : thumbnailWidth_(thumbnailWidth) {}
    ~ReplacementLedger();
    ReplacementLedger(const ReplacementLedger&) = delete;
    ReplacementLedger& operator=(const ReplacementLedger&) = delete;

    // Before a paste: decides the earlier ones whose cycle is over.
    void Settle(const ShapeExists& exists);
    void NotePaste(PasteNote note);
    void NotePart(const PartNote& note);

    std::vector<automation::ReplacedPicture>
    Standing(const ShapeExists& exists, const SlideNumber& slideNumber, const PartExists& partExists);

private:
    struct Made {
        ShapeKey pasted;
        std::shared_ptr<automation::ReplacedPicture> picture; // its images come from a drawing task
    };
    struct Part {
        std::string name;
        std::shared_ptr<automation::ReplacedPicture> picture;
    };
    void Draw(PasteNote note);
    // Runs the drawing after waiting for the oldest ones beyond the few allowed at once.
    void Launch(std::function<void()> drawing);
    void WaitForDrawings();

    int thumbnailWidth_;
    std::deque<std::future<void>> drawings_;
    std::vector<PasteNote> pending_;
    std::vector<Made> made_;
    std::vector<Part> parts_;
};

} // namespace office::ledger
