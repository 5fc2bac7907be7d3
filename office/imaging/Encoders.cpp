#include "office/imaging/CanonicalPalette.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/Similarity.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cmath>
#include <optional>
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
              detail::kPngAdaptiveFilter ? VIPS_FOREIGN_PNG_FILTER_ALL : VIPS_FOREIGN_PNG_FILTER_NONE);
}

// The image to save, carrying the profile (and nothing else) when there is one. The profile must
// outlive the image.
VImage WithProfile(VImage image, std::span<const std::uint8_t> iccProfile) {
    if (!iccProfile.empty()) {
        image = image.copy();
        image.set("icc-profile-data", nullptr, const_cast<std::uint8_t*>(iccProfile.data()),
                  iccProfile.size());
    }
    return image;
}

std::vector<std::uint8_t> SavePng(const VImage& image, std::span<const std::uint8_t> iccProfile,
                                  vips::VOption* options) {
    void* data = nullptr;
    std::size_t size = 0;
    WithProfile(image, iccProfile)
        .write_to_buffer(".png", &data, &size, options->set("strip", iccProfile.empty()));
    return TakeBuffer(data, size);
}

// A palette from the quantiser, in an order that depends on the pixels alone.
std::vector<std::uint8_t> SavePalettePng(const VImage& image, std::span<const std::uint8_t> iccProfile,
                                         vips::VOption* options) {
    std::vector<std::uint8_t> png = SavePng(image, iccProfile, options);
    if (auto canonical = WithCanonicalPalette(png, detail::kPngAdaptiveFilter))
        return std::move(*canonical);
    return png;
}

// The pixels of an encoded picture as RGB or RGBA, like the source they are compared with.
std::vector<std::uint8_t> DecodedBands(const std::vector<std::uint8_t>& encoded, int bands) {
    const VImage back = detail::ToSrgbAlpha(VImage::new_from_buffer(encoded.data(), encoded.size(), ""));
    return detail::PixelBytes(bands == 4 ? back : back.extract_band(0, VImage::option()->set("n", 3)));
}

std::vector<std::uint8_t> Rgb(const Raster& raster) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(raster.rgba.size() / 4 * 3);
    for (std::size_t i = 0; i < raster.rgba.size(); i += 4) {
        rgb.insert(rgb.end(), &raster.rgba[i], &raster.rgba[i + 3]);
    }
    return rgb;
}

int PaletteBitDepth(std::size_t colours) {
    return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

// The raster with colour rounded to multiples of step and alpha to multiples of half of it (values
// within half a step of 255 become 255, so opaque and clear stay exact), and clear pixels without
// colour: row filters then leave far fewer distinct differences for deflate. Alpha is held finer
// because its error shows against every backdrop.
Raster Posterised(const Raster& raster, int step) {
    auto rounder = [](int q) {
        return [q](int v) { return static_cast<std::uint8_t>(v >= 255 - q / 2 ? 255 : (v + q / 2) / q * q); };
    };
    const auto colour = rounder(step), alpha = rounder(std::max(1, step / 2));
    Raster out = raster;
    for (std::size_t i = 0; i < out.rgba.size(); i += 4) {
        std::uint8_t* p = &out.rgba[i];
        p[3] = alpha(p[3]);
        for (int c = 0; c < 3; ++c) {
            p[c] = p[3] == 0 ? 0 : colour(p[c]);
        }
    }
    return out;
}

// What the posterisation is judged on: the whole picture, or for a large one a mosaic of tiles
// spread over it (posterising treats each pixel alone, so a tile comes out as it does in place).
struct RgbaSample {
    Raster mosaic;
    int tile = 0; // 0: the whole picture
};

RgbaSample SampleOf(const Raster& raster) {
    const int w = raster.width, h = raster.height, t = detail::kPngShownSampleTile;
    const double wanted = detail::kPngShownSampleMegapixels * 1e6;
    if (double(w) * h <= 1.5 * wanted || w < 2 * t || h < 2 * t) {
        return {raster, 0};
    }
    const double tiles = wanted / (double(t) * t);
    const int nx = std::clamp(static_cast<int>(std::lround(std::sqrt(tiles * w / h))), 1, w / t);
    const int ny = std::clamp(static_cast<int>(std::ceil(tiles / nx)), 1, h / t);
    RgbaSample s;
    s.tile = t;
    s.mosaic.width = nx * t;
    s.mosaic.height = ny * t;
    s.mosaic.rgba.resize(static_cast<std::size_t>(s.mosaic.width) * s.mosaic.height * 4);
    for (int ty = 0; ty < ny; ++ty) {
        const int y0 = static_cast<int>((ty + 0.5) * (h - t) / ny);
        for (int tx = 0; tx < nx; ++tx) {
            const int x0 = static_cast<int>((tx + 0.5) * (w - t) / nx);
            for (int row = 0; row < t; ++row) {
                const std::size_t from = (static_cast<std::size_t>(y0 + row) * w + x0) * 4;
                const std::size_t to =
                    ((static_cast<std::size_t>(ty) * t + row) * s.mosaic.width + tx * t) * 4;
                std::copy_n(&raster.rgba[from], static_cast<std::size_t>(t) * 4, &s.mosaic.rgba[to]);
            }
        }
    }
    return s;
}

// Many colours with alpha (a photograph cut out or faded): lossless PNG of the picture posterised
// at the coarsest step that keeps its look as shown, when that is smaller than `lossless` bytes.
std::optional<std::vector<std::uint8_t>> PosterisedPng(const Raster& raster,
                                                       std::span<const std::uint8_t> iccProfile,
                                                       double opacity, std::size_t lossless) {
    const RgbaSample sample = SampleOf(raster);
    const Raster& judged = sample.mosaic;
    const detail::ShownReference reference(judged.rgba, judged.width, judged.height, opacity, sample.tile);
    auto keeps = [&](int step) {
        const detail::Similarity s = reference.Compare(Posterised(judged, step).rgba);
        return s.luma >= detail::kPngPaletteTargetLuma && s.chroma >= detail::kPngPaletteTargetChroma;
    };
    // Judged on the pixels themselves, in a binary search over the steps (finer ones keep more):
    // only the chosen step is encoded.
    const std::span<const int> steps = detail::kPngPosteriseSteps;
    std::size_t lo = 0, hi = steps.size(); // the first step that keeps the look lies in [lo, hi]
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (keeps(steps[mid])) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (hi == steps.size()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> png =
        SavePng(detail::ViewOfRaster(Posterised(raster, steps[hi])), iccProfile, PngOptions());
    if (png.size() >= lossless) {
        return std::nullopt;
    }
    return png;
}

} // namespace

namespace detail {

std::vector<std::uint8_t> EncodeJpegImage(VImage image, std::span<const std::uint8_t> iccProfile,
                                          bool again) {
    // A copy to JPEG has no alpha: what was transparent turns black.
    if (image.bands() == 4) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{0, 0, 0}))
                    .cast(VIPS_FORMAT_UCHAR);
    }
    // Held once in memory: the quality search reads samples of it before the final encoding.
    const VImage rgb =
        image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory();
    std::vector<std::uint8_t> jpeg = ChooseAndEncodeJpeg(rgb, again).jpeg;
    InsertIccProfile(jpeg, iccProfile);
    return jpeg;
}

} // namespace detail

std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, std::span<const std::uint8_t> iccProfile,
                                     bool again) {
    detail::EnsureVips();
    try {
        const VImage image = detail::ViewOfRaster(raster); // encoded before returning
        return detail::EncodeJpegImage(
            raster.HasTransparency() ? image : image.extract_band(0, VImage::option()->set("n", 3)),
            iccProfile, again);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("JPEG encoding failed: ") + e.what());
    }
}

std::vector<std::uint8_t> EncodePng(const Raster& raster, std::span<const std::uint8_t> iccProfile,
                                    bool exactColours, std::optional<double> shownOpacity) {
    detail::EnsureVips();
    try {
        const VImage image = detail::ViewOfRaster(raster); // encoded before returning
        const bool transparent = raster.HasTransparency();
        const std::size_t colours = CountColours(raster, detail::kPngPaletteMaxColours);
        if (colours <= 256) {
            // A palette is the smallest lossless form, provided the quantiser keeps every colour;
            // it is checked by decoding, and the direct form is used when it did not.
            std::vector<std::uint8_t> palette =
                SavePalettePng(image, iccProfile,
                               PngOptions()
                                   ->set("palette", true)
                                   ->set("Q", 100)
                                   ->set("dither", 0.0)
                                   ->set("bitdepth", PaletteBitDepth(colours)));
            const VImage back = VImage::new_from_buffer(palette.data(), palette.size(), "");
            if (SamePixels(detail::ToRaster(detail::ToSrgbAlpha(back)), raster)) {
                return palette;
            }
        }
        const VImage direct = transparent ? image : image.extract_band(0, VImage::option()->set("n", 3));
        std::vector<std::uint8_t> lossless = SavePng(direct, iccProfile, PngOptions());
        if (exactColours || colours <= 256) {
            return lossless;
        }
        if (colours <= static_cast<std::size_t>(detail::kPngPaletteMaxColours)) {
            // Anti-aliased drawings and screenshots: 256 well-chosen colours often look the same.
            std::vector<std::uint8_t> palette = SavePalettePng(
                direct, iccProfile,
                PngOptions()->set("palette", true)->set("Q", 100)->set("dither", 0.0)->set("effort", 10));
            if (palette.size() < lossless.size()) {
                const int bands = transparent ? 4 : 3;
                const std::vector<std::uint8_t> source = transparent ? raster.rgba : Rgb(raster);
                const detail::Similarity s = detail::MeasureSimilarity(source, DecodedBands(palette, bands),
                                                                       raster.width, raster.height, bands);
                if (s.luma >= detail::kPngPaletteTargetLuma && s.chroma >= detail::kPngPaletteTargetChroma &&
                    s.alpha >= detail::kPngPaletteTargetAlpha) {
                    return palette;
                }
            }
        }
        if (transparent && shownOpacity) {
            if (auto shown = PosterisedPng(raster, iccProfile, *shownOpacity, lossless.size())) {
                return std::move(*shown);
            }
        }
        return lossless;
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
                              VImage::option()
                                  ->set("dither", fewColours ? 0.0 : 1.0)
                                  ->set("effort", detail::kGifEffort)
                                  ->set("strip", true));
        return TakeBuffer(data, size);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("GIF encoding failed: ") + e.what());
    }
}

} // namespace office::imaging
