#include "office/imaging/Imaging.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/VipsSupport.h"

namespace office::imaging {

namespace {

using vips::VImage;

bool IsCmykJpeg(std::span<const std::uint8_t> bytes) {
    if (SniffKind(bytes) != PictureKind::Jpeg) {
        return false;
    }
    detail::EnsureVips();
    try {
        const VImage header = VImage::new_from_buffer(bytes.data(), bytes.size(), "");
        return header.interpretation() == VIPS_INTERPRETATION_CMYK && header.bands() == 4;
    } catch (const vips::VError&) {
        return false;
    }
}

// Chooses the setting on an sRGB rendition (the similarity targets are defined on sRGB) and encodes
// the CMYK pixels with it; the encoder writes them inverted with an Adobe marker, as Photoshop does
// and as every reader expects. CMYK is never subsampled.
std::vector<std::uint8_t> EncodeCmyk(const VImage& cmyk, bool again) {
    const VImage held = cmyk.copy_memory();
    detail::JpegSettings settings =
        detail::ChooseAndEncodeJpeg(detail::ToSrgb(held).copy_memory(), again).settings;
    settings.subsampleChroma = false;
    return detail::EncodeJpegWith(held, settings);
}

} // namespace

std::optional<std::vector<std::uint8_t>> CmykJpegCopy(std::span<const std::uint8_t> bytes,
                                                      const CropRect& crop, bool flipH, bool flipV,
                                                      int pixelWidth, int pixelHeight, bool again) {
    if (!IsCmykJpeg(bytes)) {
        return std::nullopt;
    }
    VImage image = detail::DisplayedPicture(bytes, crop, pixelWidth, pixelHeight, true);
    if (image.interpretation() != VIPS_INTERPRETATION_CMYK) {
        return std::nullopt;
    }
    try {
        // In memory before flipping: a vertical flip reads the picture from the bottom up.
        image = image.copy_memory();
        if (flipH) {
            image = image.flip(VIPS_DIRECTION_HORIZONTAL);
        }
        if (flipV) {
            image = image.flip(VIPS_DIRECTION_VERTICAL);
        }
        return EncodeCmyk(image, again);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("JPEG encoding failed: ") + e.what());
    }
}

std::optional<std::vector<std::uint8_t>> CmykJpegShownInPlace(std::span<const std::uint8_t> bytes,
                                                              const CropRect& crop) {
    if (!IsCmykJpeg(bytes)) {
        return std::nullopt;
    }
    const VImage image = detail::ShownPixelsInPlace(bytes, crop, true);
    try {
        return EncodeCmyk(image, true);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("JPEG encoding failed: ") + e.what());
    }
}

} // namespace office::imaging
