#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <unordered_set>

namespace office::imaging {

namespace {

using vips::VImage;

std::vector<std::uint8_t> TakeBuffer(void* data, std::size_t size) {
    std::vector<std::uint8_t> out(static_cast<const std::uint8_t*>(data),
                                  static_cast<const std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

// Number of distinct RGBA colours, counting only up to limit + 1.
std::size_t CountColours(const Raster& raster, std::size_t limit) {
    std::unordered_set<std::uint32_t> seen;
    seen.reserve(limit * 2);
    for (std::size_t i = 0; i < raster.rgba.size(); i += 4) {
        const std::uint8_t* p = &raster.rgba[i];
        // Every fully transparent pixel is the same colour to a viewer.
        const std::uint32_t key = p[3] == 0 ? 0u
                                            : (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                               std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        if (seen.insert(key).second && seen.size() > limit) {
            break;
        }
    }
    return seen.size();
}

bool SamePixels(const Raster& a, const Raster& b) {
    if (a.width != b.width || a.height != b.height || a.rgba.size() != b.rgba.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.rgba.size(); i += 4) {
        if (a.rgba[i + 3] != b.rgba[i + 3]) {
            return false;
        }
        if (a.rgba[i + 3] != 0 && !std::equal(&a.rgba[i], &a.rgba[i + 3], &b.rgba[i])) {
            return false;
        }
    }
    return true;
}

vips::VOption* PngOptions() {
    return VImage::option()
        ->set("compression", detail::kPngCompression)
        ->set("filter",
              detail::kPngAdaptiveFilter ? VIPS_FOREIGN_PNG_FILTER_ALL : VIPS_FOREIGN_PNG_FILTER_NONE)
        ->set("strip", true);
}

int PaletteBitDepth(std::size_t colours) {
    return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

} // namespace

namespace detail {

std::vector<std::uint8_t> EncodeJpegImage(VImage image) {
    // A copy to JPEG has no alpha: what was transparent turns black.
    if (image.bands() == 4) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{0, 0, 0}))
                    .cast(VIPS_FORMAT_UCHAR);
    }
    image = image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(".jpg", &data, &size,
                          VImage::option()
                              ->set("Q", kJpegQuality)
                              ->set("optimize_coding", kJpegOptimizeCoding)
                              ->set("subsample_mode", kJpegSubsampleChroma ? VIPS_FOREIGN_SUBSAMPLE_ON
                                                                           : VIPS_FOREIGN_SUBSAMPLE_OFF)
                              ->set("strip", true));
    return TakeBuffer(data, size);
}

} // namespace detail

std::vector<std::uint8_t> EncodeJpeg(const Raster& raster) {
    detail::EnsureVips();
    try {
        const VImage image = detail::ViewOfRaster(raster); // encoded before returning
        return detail::EncodeJpegImage(
            raster.HasTransparency() ? image : image.extract_band(0, VImage::option()->set("n", 3)));
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("JPEG encoding failed: ") + e.what());
    }
}

std::vector<std::uint8_t> EncodePng(const Raster& raster) {
    detail::EnsureVips();
    try {
        const VImage image = detail::ViewOfRaster(raster); // encoded before returning
        const bool transparent = raster.HasTransparency();
        void* data = nullptr;
        std::size_t size = 0;
        const std::size_t colours = CountColours(raster, 256);
        if (colours <= 256) {
            // A palette is the smallest lossless form, provided the quantiser keeps every colour;
            // it is checked by decoding, and the direct form is used when it did not.
            image.write_to_buffer(".png", &data, &size,
                                  PngOptions()
                                      ->set("palette", true)
                                      ->set("Q", 100)
                                      ->set("dither", 0.0)
                                      ->set("bitdepth", PaletteBitDepth(colours)));
            std::vector<std::uint8_t> palette = TakeBuffer(data, size);
            const VImage back = VImage::new_from_buffer(palette.data(), palette.size(), "");
            if (SamePixels(detail::ToRaster(detail::ToSrgbAlpha(back)), raster)) {
                return palette;
            }
        }
        const VImage direct = transparent ? image : image.extract_band(0, VImage::option()->set("n", 3));
        direct.write_to_buffer(".png", &data, &size, PngOptions());
        return TakeBuffer(data, size);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("PNG encoding failed: ") + e.what());
    }
}

std::vector<std::uint8_t> EncodeGif(const Raster& raster) {
    detail::EnsureVips();
    try {
        VImage image = detail::ViewOfRaster(raster); // encoded before returning
        if (!raster.HasTransparency()) {
            image = image.extract_band(0, VImage::option()->set("n", 3));
        }
        // Few colours: keep them exactly; many: dither the reduction to 256.
        const bool fewColours = CountColours(raster, 256) <= 256;
        void* data = nullptr;
        std::size_t size = 0;
        image.write_to_buffer(".gif", &data, &size,
                              VImage::option()->set("dither", fewColours ? 0.0 : 1.0)->set("strip", true));
        return TakeBuffer(data, size);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("GIF encoding failed: ") + e.what());
    }
}

} // namespace office::imaging
