#include "office/clipboard/ClipPicture.h"

#include "office/imaging/SharpCopy.h"

#include <algorithm>
#include <cmath>

namespace office {

namespace {

// A paste carries the stored picture's colour profile, as long as its pixels are still in it.
std::vector<std::uint8_t> ProfileOf(const std::optional<PictureSource>& source) {
    return source ? imaging::RgbProfileOf(*source->bytes) : std::vector<std::uint8_t>{};
}

// Whether a box-sized rendering of the source is small enough to hold decoded while a paste and its
// check both draw it: up to what the check draws at most, 3000 pixels a side. Larger ones stream.
bool HeldWhole(const PictureSource& s) {
    constexpr double kHeldPixels = 3000.0 * 3000.0;
    return double(s.pixelWidth) * s.pixelHeight <= kHeldPixels;
}

} // namespace

ClipPicture::ClipPicture(imaging::Raster raster)
    : width_(raster.width), height_(raster.height), pixels_(std::move(raster)) {}

namespace {

// One axis of a crop: near and far insets as fractions of the picture, negative where they pad.
struct AxisCover {
    double nearPad = 0, farPad = 0; // shares of the box left empty
    double covered = 1;             // share of the box the picture covers
};

AxisCover CoverOf(double nearInset, double farInset) {
    AxisCover axis;
    const double visible = 1.0 - nearInset - farInset;
    if (!(visible > 0) || !std::isfinite(visible))
        return axis; // nothing visible: the rendering says so when asked
    axis.nearPad = std::max(0.0, -nearInset) / visible;
    axis.farPad = std::max(0.0, -farInset) / visible;
    axis.covered = 1.0 - axis.nearPad - axis.farPad;
    return axis;
}

} // namespace

ClipPicture::ClipPicture(PictureSource source) : width_(source.pixelWidth), height_(source.pixelHeight) {
    if (!source.bytes)
        source.bytes = std::make_shared<const std::vector<std::uint8_t>>();
    given_ = source;
    imaging::CropRect& crop = source.crop;
    AxisCover h = CoverOf(crop.left, crop.right), v = CoverOf(crop.top, crop.bottom);
    if (source.flipH)
        std::swap(h.nearPad, h.farPad);
    if (source.flipV)
        std::swap(v.nearPad, v.farPad);
    if (h.covered < 1 || v.covered < 1) {
        padding_ = {-h.nearPad / h.covered, -v.nearPad / v.covered, -h.farPad / h.covered,
                    -v.farPad / v.covered};
        crop = {std::max(0.0, crop.left), std::max(0.0, crop.top), std::max(0.0, crop.right),
                std::max(0.0, crop.bottom)};
        offsetX_ = static_cast<int>(std::lround(h.nearPad * width_));
        offsetY_ = static_cast<int>(std::lround(v.nearPad * height_));
        source.pixelWidth = std::max(1, static_cast<int>(std::lround(h.covered * width_)));
        source.pixelHeight = std::max(1, static_cast<int>(std::lround(v.covered * height_)));
    }
    source_ = std::move(source);
}

bool ClipPicture::Readable() const {
    if (pixels_)
        return true;
    try {
        (void)imaging::MeasurePicture(*source_->bytes);
        return true;
    } catch (const imaging::ImagingError&) {
        return false;
    }
}

const imaging::Raster& ClipPicture::Pixels() const {
    if (!pixels_) {
        const PictureSource& s = *source_;
        pixels_ = imaging::RenderPicture(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth, s.pixelHeight,
                                         s.colourChange);
    }
    return *pixels_;
}

bool ClipPicture::OwnPixels() const {
    if (ownPixels_)
        return *ownPixels_;
    ownPixels_ = false;
    // Only a plain stored raster: a margin, a flip or a vector source keeps the box-sized rendering.
    if (!source_ || !padding_.IsEmpty() || source_->flipH || source_->flipV)
        return false;
    const PictureSource& s = *source_;
    const imaging::PictureKind kind = imaging::SniffKind(*s.bytes);
    if (kind == imaging::PictureKind::Unknown || kind == imaging::PictureKind::Svg ||
        imaging::IsMetafile(kind))
        return false;
    imaging::PixelSize natural;
    try {
        natural = imaging::MeasurePicture(*s.bytes);
    } catch (const imaging::ImagingError&) {
        return false;
    }
    const double shownW = natural.width * (1 - s.crop.left - s.crop.right);
    const double shownH = natural.height * (1 - s.crop.top - s.crop.bottom);
    ownPixels_ = shownW > 0 && shownH > 0 && shownW <= imaging::kMildReduction * s.pixelWidth &&
                 shownH <= imaging::kMildReduction * s.pixelHeight;
    return *ownPixels_;
}

const imaging::Raster& ClipPicture::PastePixels() const {
    if (const imaging::Raster* sharp = SharpPixels())
        return *sharp;
    if (!OwnPixels())
        return Pixels();
    if (!shownPixels_)
        shownPixels_ =
            imaging::RenderShownPixelsInPlace(*source_->bytes, source_->crop, source_->colourChange);
    return *shownPixels_;
}

const imaging::CropRect& ClipPicture::PasteCrop() const {
    return OwnPixels() ? source_->crop : padding_;
}

const imaging::Raster* ClipPicture::SharpPixels() const {
    if (sharpPixels_)
        return *sharpPixels_ ? &**sharpPixels_ : nullptr;
    sharpPixels_.emplace();
    if (!source_ || source_->shownWidth <= 0 || source_->shownHeight <= 0 || OwnPixels())
        return nullptr;
    const PictureSource& s = *source_;
    // The shown box relates to the copied one as the part the picture covers of each.
    const double shownW = s.pixelWidth * double(s.shownWidth) / width_;
    const double shownH = s.pixelHeight * double(s.shownHeight) / height_;
    double sourceW = 0, sourceH = 0;
    const imaging::PictureKind kind = imaging::SniffKind(*s.bytes);
    if (kind != imaging::PictureKind::Svg && !imaging::IsMetafile(kind)) {
        const imaging::PixelSize natural = imaging::MeasurePicture(*s.bytes);
        sourceW = natural.width * (1 - s.crop.left - s.crop.right);
        sourceH = natural.height * (1 - s.crop.top - s.crop.bottom);
    }
    const auto size = imaging::SharpSize({s.pixelWidth, s.pixelHeight}, shownW, shownH, sourceW, sourceH);
    if (!size || !imaging::HasHardEdges(Pixels()))
        return nullptr;
    imaging::Raster sharp =
        imaging::RenderPicture(*s.bytes, s.crop, s.flipH, s.flipV, size->width, size->height, s.colourChange);
    if (!imaging::SharpIsCheap(Pixels(), sharp, s.bytes->size()))
        return nullptr;
    sharpPixels_->emplace(std::move(sharp));
    return &**sharpPixels_;
}

std::vector<std::uint8_t> ClipPicture::Jpeg() const {
    if (const imaging::Raster* sharp = SharpPixels())
        return imaging::EncodeJpeg(*sharp, ProfileOf(source_));
    const bool keyed = source_ && source_->colourChange;
    if (source_ && !keyed) {
        const PictureSource& s = *source_;
        auto cmyk = OwnPixels() ? imaging::CmykJpegShownInPlace(*s.bytes, s.crop)
                                : imaging::CmykJpegCopy(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth,
                                                        s.pixelHeight);
        if (cmyk)
            return std::move(*cmyk);
    }
    if (OwnPixels())
        return imaging::EncodeJpeg(PastePixels(), ProfileOf(source_),
                                   imaging::SniffKind(*source_->bytes) == imaging::PictureKind::Jpeg);
    if (pixels_ || keyed)
        return imaging::EncodeJpeg(Pixels(), ProfileOf(source_));
    const PictureSource& s = *source_;
    if (!s.flipV && (shown_ || HeldWhole(s)))
        return Shown().Jpeg(s.flipH);
    return imaging::RenderPictureAsJpeg(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth, s.pixelHeight);
}

std::vector<std::uint8_t> ClipPicture::Png() const {
    return imaging::EncodePng(PastePixels(), ProfileOf(source_), false, source_ ? source_->opacity : 1.0);
}

std::vector<std::uint8_t> ClipPicture::Gif() const {
    return imaging::EncodeGif(PastePixels());
}

std::vector<std::uint8_t> ClipPicture::WrappedInEmf() const {
    return imaging::WrapInEmf(PastePixels());
}

automation::ColorBox ClipPicture::BoxOnWhite(int boxWidth, int boxHeight) const {
    if (box_ && box_->width == boxWidth && box_->height == boxHeight)
        return *box_;
    if (offsetX_ != 0 || offsetY_ != 0) {
        // The empty margin shows white; the covered part is drawn where it sits in the box.
        automation::ColorBox covered = imaging::BoxOnWhite(Pixels(), std::max(1, boxWidth - offsetX_),
                                                           std::max(1, boxHeight - offsetY_));
        automation::ColorBox box;
        box.width = boxWidth;
        box.height = boxHeight;
        box.colors.assign(static_cast<std::size_t>(boxWidth) * boxHeight, 0x00FFFFFFu);
        for (int y = offsetY_; y < boxHeight; ++y)
            for (int x = offsetX_; x < boxWidth; ++x)
                box.colors[static_cast<std::size_t>(y) * boxWidth + x] =
                    covered.At(x - offsetX_, y - offsetY_);
        box_ = std::move(box);
    } else if (pixels_ || source_->colourChange) {
        box_ = imaging::BoxOnWhite(Pixels(), boxWidth, boxHeight);
    } else if (const PictureSource& s = *source_;
               !s.flipH && !s.flipV &&
               (shown_ || (boxWidth >= s.pixelWidth && boxHeight >= s.pixelHeight && HeldWhole(s)))) {
        box_ = imaging::BoxOnWhite(Shown().Corner(boxWidth, boxHeight), boxWidth, boxHeight);
    } else {
        box_ =
            imaging::BoxOnWhite(imaging::RenderPictureCorner(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth,
                                                             s.pixelHeight, boxWidth, boxHeight),
                                boxWidth, boxHeight);
    }
    return *box_;
}

const imaging::ShownPicture& ClipPicture::Shown() const {
    if (!shown_) {
        const PictureSource& s = *source_;
        shown_ = std::make_shared<const imaging::ShownPicture>(*s.bytes, s.crop, s.pixelWidth, s.pixelHeight);
    }
    return *shown_;
}

} // namespace office
