#include "office/clipboard/ClipPicture.h"

namespace office {

namespace {

// A paste carries the stored picture's colour profile, as long as its pixels are still in it.
std::vector<std::uint8_t> ProfileOf(const std::optional<PictureSource>& source) {
    return source ? imaging::RgbProfileOf(*source->bytes) : std::vector<std::uint8_t>{};
}

} // namespace

ClipPicture::ClipPicture(imaging::Raster raster)
    : width_(raster.width), height_(raster.height), pixels_(std::move(raster)) {}

ClipPicture::ClipPicture(PictureSource source) : width_(source.pixelWidth), height_(source.pixelHeight) {
    if (!source.bytes)
        source.bytes = std::make_shared<const std::vector<std::uint8_t>>();
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
        pixels_ = imaging::RenderPicture(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth, s.pixelHeight);
    }
    return *pixels_;
}

std::vector<std::uint8_t> ClipPicture::Jpeg() const {
    if (pixels_)
        return imaging::EncodeJpeg(*pixels_, ProfileOf(source_));
    const PictureSource& s = *source_;
    return imaging::RenderPictureAsJpeg(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth, s.pixelHeight);
}

std::vector<std::uint8_t> ClipPicture::Png() const {
    return imaging::EncodePng(Pixels(), ProfileOf(source_));
}

std::vector<std::uint8_t> ClipPicture::Gif() const {
    return imaging::EncodeGif(Pixels());
}

std::vector<std::uint8_t> ClipPicture::WrappedInEmf() const {
    return imaging::WrapInEmf(Pixels());
}

automation::ColorBox ClipPicture::BoxOnWhite(int boxWidth, int boxHeight) const {
    if (box_ && box_->width == boxWidth && box_->height == boxHeight)
        return *box_;
    // The wrapping EMF declares the rendering's own size, so it draws the pixels one to one.
    if (pixels_) {
        box_ = imaging::BoxOnWhite(*pixels_, boxWidth, boxHeight);
    } else {
        const PictureSource& s = *source_;
        box_ =
            imaging::BoxOnWhite(imaging::RenderPictureCorner(*s.bytes, s.crop, s.flipH, s.flipV, s.pixelWidth,
                                                             s.pixelHeight, boxWidth, boxHeight),
                                boxWidth, boxHeight);
    }
    return *box_;
}

} // namespace office
