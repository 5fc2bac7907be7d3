#pragma once

// The picture form of a copy. A copy of a stored picture keeps only the stored bytes and how the
// slide shows them; pixels are made when a paste or the picture check asks, and only as many as it
// needs. The check draws the whole picture, so a JPEG paste and the check share one decoding of the
// stored picture (a large one streams into its JPEG, and the check decodes only the corner it reads).

#include "office/imaging/Imaging.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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
    // The picture's colour key, drawn into every encoding as the source's renderers draw it: the
    // paste carries no key of its own, so a JPEG's noise cannot break it.
    std::optional<imaging::ColourChange> colourChange;
    // How opaque the shape draws the picture (alphaModFix), which a paste keeps: a lossy PNG is
    // judged as shown at it.
    double opacity = 1;
    // Pixels (96 dpi) of the size the paste will finally be shown at, when the copy was enlarged
    // for more pixels; 0 when it is shown as copied.
    int shownWidth = 0;
    int shownHeight = 0;
    // Where the copy was made (slide part and shape id); no input to any encoding.
    std::string origin;
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
    // The crop a box-sized rendering (Pixels()) takes: zero, or negative insets for the empty margin.
    const imaging::CropRect& Padding() const { return padding_; }
    // The crop the encodings below (the wrapped EMF too) take: Padding(), or for the source's own
    // pixels the source's crop.
    const imaging::CropRect& PasteCrop() const;

    // The stored picture this copy was made from, as given; null for a raster copy.
    const PictureSource* Source() const { return given_ ? &*given_ : nullptr; }

    // Whether pixels can be had at all: a raster, or a source whose header reads.
    bool Readable() const;
    // The rendering of the covered part of the box, made on first use. Throws imaging::ImagingError.
    const imaging::Raster& Pixels() const;
    // The encodings a paste stores. Where the box has more pixels than the source shows (or barely
    // fewer), these are the source's own pixels on its own grid, cropped as the source was
    // (imaging::RenderShownPixelsInPlace): resampling would blur them and enlarging would cost bytes,
    // and every renderer then scales them exactly as it scaled the source. Otherwise the box-sized
    // rendering.
    std::vector<std::uint8_t> Jpeg() const;
    std::vector<std::uint8_t> Png() const;
    std::vector<std::uint8_t> Gif() const;
    // The EMF that wraps what the encodings above hold.
    std::vector<std::uint8_t> WrappedInEmf() const;
    // What the picture shows of its whole box (margin included) in a white box of this size from
    // its top-left corner.
    automation::ColorBox BoxOnWhite(int boxWidth, int boxHeight) const;

private:
    // Whether the encodings are the source's own pixels (see Jpeg()).
    bool OwnPixels() const;
    const imaging::Raster& PastePixels() const;
    // A small graphic with hard edges copied enlarged by less than twice its shown size: the
    // rendering at twice that size, which a renderer's whole-ratio reduction keeps sharp, when its
    // PNG costs only a little more than the one at the copied size. Null otherwise.
    const imaging::Raster* SharpPixels() const;

    std::optional<PictureSource> given_;
    std::optional<PictureSource> source_; // the covered part and its pixel size
    int width_ = 0;
    int height_ = 0;
    imaging::CropRect padding_;
    int offsetX_ = 0; // where the covered part starts in the box
    int offsetY_ = 0;
    mutable std::optional<imaging::Raster> pixels_;
    mutable std::optional<automation::ColorBox> box_; // the last box asked for
    mutable std::optional<bool> ownPixels_;
    mutable std::optional<imaging::Raster> shownPixels_;
    mutable std::optional<std::optional<imaging::Raster>> sharpPixels_;
    // The unflipped source decoded at the box's size, shared by the JPEG and the picture check.
    const imaging::ShownPicture& Shown() const;
    mutable std::shared_ptr<const imaging::ShownPicture> shown_;
};

} // namespace office
