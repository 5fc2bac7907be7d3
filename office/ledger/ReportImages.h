#pragma once

// The before and after images of one replaced picture for the run's report: both drawn as the slide
// shows them, small, and compared with the encoders' own similarity measure at a bounded size.

#include "automation/ReplacedPictures.h"
#include "office/imaging/Imaging.h"

#include <cstdint>
#include <optional>
#include <span>

namespace office::ledger {

// A stored picture as a place shows it (crop and colour key; flips are the frame's, the same for both).
struct ShownPicture {
    ShownPicture() = default;
    ShownPicture(std::span<const std::uint8_t> b, const imaging::CropRect& c = {},
                 std::optional<imaging::ColourChange> key = {})
        : bytes(b), crop(c), colourKey(key) {}

    std::span<const std::uint8_t> bytes;
    imaging::CropRect crop;
    std::optional<imaging::ColourChange> colourKey;
    // Already drawn, to be cropped by drawnCrop and reduced instead of decoded.
    const imaging::Raster* drawn = nullptr;
    imaging::CropRect drawnCrop;
};

struct ImagePair {
    automation::ReportImage before;
    automation::ReportImage after;
    double similarity = 1;
};

// shownWidth x shownHeight: the pixels (96 dpi) the place shows the picture at; measureWidth x
// measureHeight: the pixels worth comparing (the new picture's own, or the shown size for a metafile).
// Throws imaging::ImagingError when either picture cannot be drawn.
ImagePair MakeImagePair(const ShownPicture& before, const ShownPicture& after, double shownWidth,
                        double shownHeight, int measureWidth, int measureHeight, int maxWidth);

// "JPEG", "PNG", ... as the report names the formats.
const char* FormatName(imaging::PictureKind kind);
// Pixel size of a raster picture, or a metafile's at 96 dpi; zeros when it cannot be read.
imaging::PixelSize PictureSize(std::span<const std::uint8_t> bytes);

} // namespace office::ledger
