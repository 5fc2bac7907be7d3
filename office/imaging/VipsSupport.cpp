#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace office::imaging::detail {

void EnsureVips() {
    static std::once_flag once;
    std::call_once(once, [] {
        // libvips looks for its loadable modules under VIPSHOME. Ours decode only what SniffKind
        // recognises, which the built-in loaders cover; the modules (ImageMagick, PDF, HEIF...) would
        // only widen what untrusted deck bytes reach, and loading them costs every run 15 ms.
        // /dev/null/lib cannot exist, so no module is found there.
        g_setenv("VIPSHOME", "/dev/null", TRUE);
        if (VIPS_INIT("quarnel") != 0) {
            throw ImagingError("libvips could not start");
        }
        // A libvips built with such loaders inside it (as the Windows one is, with HEIF) keeps them
        // out of reach the same way: only the loaders of the kinds SniffKind recognises may run.
        vips_operation_block_set("VipsForeignLoad", TRUE);
        for (const char* used : {"VipsForeignLoadJpeg", "VipsForeignLoadPng", "VipsForeignLoadNsgif",
                                 "VipsForeignLoadTiff", "VipsForeignLoadWebp", "VipsForeignLoadSvg"}) {
            vips_operation_block_set(used, FALSE);
        }
        vips_cache_set_max(16);
        vips_cache_set_max_mem(64 * 1024 * 1024);
        vips_cache_set_max_files(8);
    });
}

vips::VImage ToSrgb(vips::VImage image) {
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR ||
        image.bands() < 3) {
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    }
    if (image.format() != VIPS_FORMAT_UCHAR) {
        image = image.cast(VIPS_FORMAT_UCHAR);
    }
    if (image.bands() < 3) {
        // Still one or two bands after conversion: spread the grey over three bands.
        vips::VImage grey = image.extract_band(0);
        image = image.bands() == 2 ? grey.bandjoin({grey, grey, image.extract_band(1)})
                                   : grey.bandjoin({grey, grey});
    } else if (image.bands() > 4) {
        image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    }
    return image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

vips::VImage ToSrgbAlpha(vips::VImage image) {
    image = ToSrgb(image);
    return image.bands() == 3 ? image.bandjoin_const({255}) : image;
}

std::vector<std::uint8_t> PixelBytes(const vips::VImage& image) {
    std::size_t size = 0;
    void* mem = image.write_to_memory(&size);
    if (mem == nullptr)
        throw ImagingError("pixels could not be computed");
    std::vector<std::uint8_t> out(static_cast<const std::uint8_t*>(mem),
                                  static_cast<const std::uint8_t*>(mem) + size);
    g_free(mem);
    return out;
}

Raster ToRaster(const vips::VImage& rgba) {
    Raster out;
    out.width = rgba.width();
    out.height = rgba.height();
    std::size_t size = 0;
    void* mem = rgba.write_to_memory(&size);
    const std::size_t expected = static_cast<std::size_t>(out.width) * out.height * 4;
    if (mem == nullptr || size != expected) {
        g_free(mem);
        throw ImagingError("unexpected pixel layout after decoding");
    }
    out.rgba.resize(size);
    std::memcpy(out.rgba.data(), mem, size);
    g_free(mem);
    return out;
}

void CheckRaster(const Raster& raster, const char* what) {
    if (raster.width <= 0 || raster.height <= 0 ||
        raster.rgba.size() != static_cast<std::size_t>(raster.width) * raster.height * 4) {
        throw ImagingError(std::string(what) +
                           ": the raster is empty or its pixel buffer has the wrong size");
    }
}

vips::VImage FromRaster(const Raster& raster) {
    CheckRaster(raster, "raster");
    // A copy: the image is often used after the raster it came from is gone.
    VipsImage* image = vips_image_new_from_memory_copy(raster.rgba.data(), raster.rgba.size(), raster.width,
                                                       raster.height, 4, VIPS_FORMAT_UCHAR);
    if (image == nullptr) {
        throw ImagingError("out of memory for the picture");
    }
    return vips::VImage(image).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

vips::VImage ViewOfRaster(const Raster& raster) {
    CheckRaster(raster, "raster");
    return vips::VImage::new_from_memory(const_cast<std::uint8_t*>(raster.rgba.data()), raster.rgba.size(),
                                         raster.width, raster.height, 4, VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void FlipRaster(Raster& raster, bool horizontal, bool vertical) {
    const std::size_t stride = static_cast<std::size_t>(raster.width) * 4;
    if (horizontal) {
        for (int y = 0; y < raster.height; ++y) {
            std::uint8_t* row = raster.rgba.data() + y * stride;
            for (int left = 0, right = raster.width - 1; left < right; ++left, --right) {
                std::swap_ranges(row + left * 4, row + left * 4 + 4, row + right * 4);
            }
        }
    }
    if (vertical) {
        for (int top = 0, bottom = raster.height - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(raster.rgba.begin() + static_cast<std::ptrdiff_t>(top * stride),
                             raster.rgba.begin() + static_cast<std::ptrdiff_t>((top + 1) * stride),
                             raster.rgba.begin() + static_cast<std::ptrdiff_t>(bottom * stride));
        }
    }
}

} // namespace office::imaging::detail
