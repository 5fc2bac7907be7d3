#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <memory>
#include <turbojpeg.h>

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

// The samples as the file stores them, four per pixel. libvips reads every CMYK JPEG as stored
// inverted (Adobe's convention), whether or not an Adobe marker says so, and so does LibreOffice;
// the copy, written with the marker, keeps the stored values and with them that reading.
std::vector<std::uint8_t> StoredSamples(const VImage& decoded) {
    return detail::PixelBytes((255 - decoded).cast(VIPS_FORMAT_UCHAR));
}

// RGB as LibreOffice draws stored CMYK samples: each ink (255 - sample) plus black taken from white,
// clipped at black.
std::vector<std::uint8_t> DrawnByFormula(std::span<const std::uint8_t> stored) {
    std::vector<std::uint8_t> rgb(stored.size() / 4 * 3);
    for (std::size_t i = 0, o = 0; i + 3 < stored.size(); i += 4, o += 3) {
        const int k = stored[i + 3];
        for (int c = 0; c < 3; ++c) {
            rgb[o + c] = static_cast<std::uint8_t>(std::max(0, stored[i + c] + k - 255));
        }
    }
    return rgb;
}

// TurboJPEG writes CMYK as YCCK with an Adobe marker: the three inks become luma and two chroma
// planes, which may be subsampled, and black is kept apart at full size. Each encoding has a
// handle of its own: a handle that wrote progressive scans writes a later baseline file corrupt.
std::vector<std::uint8_t> EncodeYcck(std::span<const std::uint8_t> stored, int width, int height,
                                     const detail::JpegSettings& s) {
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
    if (!handle) {
        throw ImagingError("TurboJPEG could not start");
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // Progressive scans always get optimised tables; baseline ones only the standard tables.
    if (tjCompress2(handle.get(), stored.data(), width, 0, height, TJPF_CMYK, &jpeg, &size,
                    s.subsampleChroma ? TJSAMP_420 : TJSAMP_444, s.quality,
                    s.progressive ? TJFLAG_PROGRESSIVE : 0) != 0) {
        tjFree(jpeg);
        throw ImagingError(std::string("CMYK JPEG encoding failed: ") + tjGetErrorStr2(handle.get()));
    }
    std::vector<std::uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    return out;
}

// The stored samples of an encoding, four per pixel.
std::vector<std::uint8_t> DecodeYcck(std::span<const std::uint8_t> jpeg, int width, int height) {
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(width) * height * 4);
    if (!handle || tjDecompress2(handle.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                 stored.data(), width, 0, height, TJPF_CMYK, 0) != 0) {
        throw ImagingError("CMYK JPEG decoding failed");
    }
    return stored;
}

// The copy is judged as office suites show it: its formula drawing against the source's, at the
// targets the RGB chooser applies. That chooser's setting for the same drawing is where the search
// starts (the black plane adds a loss of its own, so the quality may have to rise from there); the
// chroma subsampling is the chooser's. Trials are baseline: progressive scans code the same pixels.
std::vector<std::uint8_t> EncodeCmyk(const VImage& decoded, bool again) {
    const int width = decoded.width(), height = decoded.height();
    const std::vector<std::uint8_t> stored = StoredSamples(decoded);
    const std::vector<std::uint8_t> drawn = DrawnByFormula(stored);
    if (width < 8 || height < 8) {
        return EncodeYcck(stored, width, height, {detail::kJpegFlatMaxQuality, false, false});
    }
    const VImage rgb = VImage::new_from_memory(const_cast<std::uint8_t*>(drawn.data()), drawn.size(), width,
                                               height, 3, VIPS_FORMAT_UCHAR)
                           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    detail::JpegSettings settings = detail::ChooseAndEncodeJpeg(rgb, again).settings;
    settings.progressive = false;
    const detail::SimilarityReference reference(drawn, width, height, 3);
    const detail::JpegTarget target =
        again ? detail::JpegTarget{detail::kJpegAgainTargetLuma, detail::kJpegAgainTargetChroma,
                                   detail::kJpegAgainMaxQuality}
              : detail::JpegTargetFor(reference.SourceBusyShare());
    auto reaches = [&](int quality) {
        detail::JpegSettings trial = settings;
        trial.quality = quality;
        const auto jpeg = EncodeYcck(stored, width, height, trial);
        return detail::Reaches(reference.Compare(DrawnByFormula(DecodeYcck(jpeg, width, height))), target);
    };
    int quality = std::min(settings.quality, target.maxQuality);
    if (reaches(quality)) {
        while (quality - detail::kJpegQualityStep >= detail::kJpegMinQuality &&
               reaches(quality - detail::kJpegQualityStep)) {
            quality -= detail::kJpegQualityStep;
        }
    } else {
        do {
            quality = std::min(target.maxQuality, quality + detail::kJpegQualityStep);
        } while (quality < target.maxQuality && !reaches(quality));
    }
    settings.quality = quality;
    std::vector<std::uint8_t> baseline = EncodeYcck(stored, width, height, settings);
    settings.progressive = true;
    std::vector<std::uint8_t> scans = EncodeYcck(stored, width, height, settings);
    return scans.size() < baseline.size() ? scans : baseline;
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
