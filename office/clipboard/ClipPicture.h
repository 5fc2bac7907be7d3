#pragma once

// The picture form of a copy. A copy of a stored picture keeps only the stored bytes and how the
// slide shows them; pixels are made when a paste or the picture check asks, and only as many as it
// needs: a JPEG paste streams from the stored picture, the picture check decodes only the corner it
// reads.

#include "office/imaging/Imaging.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace office {

// A stored picture as a slide shows it.
struct PictureSource {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    imaging::CropRect crop;
    bool flipH = false;
    bool flipV = false;
    int pixelWidth = 0;
    int pixelHeight = 0;
};

// A crop that reaches past the picture's edge leaves part of the box empty. The rendering covers
// only the rest; a pasted picture keeps the empty margin as a negative crop of its own, so nothing
// is drawn there in any format (a JPEG has no transparent pixels to pad with).
class ClipPicture {
public:
    explicit ClipPicture(imaging::Raster raster);
    explicit ClipPicture(PictureSource source);

    // The whole box the picture is shown in, in pixels.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The crop a pasted rendering takes: zero, or negative insets for the empty margin.
    const imaging::CropRect& Padding() const { return padding_; }

    // Whether pixels can be had at all: a raster, or a source whose header reads.
    bool Readable() const;
    // The rendering of the covered part of the box, made on first use. Throws imaging::ImagingError.
    const imaging::Raster& Pixels() const;
    std::vector<std::uint8_t> Jpeg() const;
    std::vector<std::uint8_t> Png() const;
    std::vector<std::uint8_t> Gif() const;
    // The EMF that wraps the rendering.
    std::vector<std::uint8_t> WrappedInEmf() const;
    // What the picture shows of its whole box (margin included) in a white box of this size from
    // its top-left corner.
    automation::ColorBox BoxOnWhite(int boxWidth, int boxHeight) const;

private:
    std::optional<PictureSource> source_; // the covered part and its pixel size
    int width_ = 0;
    int height_ = 0;
    imaging::CropRect padding_;
    int offsetX_ = 0; // where the covered part starts in the box
    int offsetY_ = 0;
    mutable std::optional<imaging::Raster> pixels_;
    mutable std::optional<automation::ColorBox> box_; // the last box asked for
};

} // namespace office
