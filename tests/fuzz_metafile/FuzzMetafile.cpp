// Any bytes as an enhanced or old-style metafile: its size, the records our own reader walks (the
// bitmap-only form, mask-and-colour pairs, the EMF+ image), the SVG the converters make of it and a
// small rasterisation. Refusing with ImagingError is the expected answer; another exception, a
// crash or answers that disagree with each other are findings.

#include "FuzzSeedRunner.h"
#include "office/imaging/EmfMaskedBitmaps.h"
#include "office/imaging/EmfPlusImage.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/Metafile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <span>
#include <string>

namespace {

using namespace office::imaging;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

template <typename Step> void Try(Step&& step) {
    try {
        step();
    } catch (const ImagingError&) {
    }
}

bool SameSize(PixelSize a, PixelSize b) {
    return a.width == b.width && a.height == b.height;
}

void Exercise(std::span<const std::uint8_t> bytes) {
    const PictureKind kind = SniffKind(bytes);
    if (!IsMetafile(kind))
        return;
    std::optional<PixelSize> size;
    Try([&] {
        size = MetafileSize(bytes);
        Require(size->width > 0 && size->height > 0, "a metafile's size is positive");
    });
    if (kind == PictureKind::Emf) {
        Try([&] { (void)detail::EmfPlusImageBytes(bytes); });
        Try([&] {
            if (const auto merged = detail::WithMaskedBitmapsMerged(bytes)) {
                Require(SniffKind(*merged) == PictureKind::Emf, "merged bitmaps stay an EMF");
                Require(!size || SameSize(MetafileSize(*merged), *size), "merged bitmaps keep the size");
            }
        });
        Try([&] {
            if (const auto bitmap = detail::BitmapOnlyEmf(bytes)) {
                Require(size && SameSize({bitmap->width, bitmap->height}, *size),
                        "the bitmap of a bitmap-only EMF is the metafile's size");
                Require(bitmap->rgba.size() == std::size_t(bitmap->width) * bitmap->height * 4,
                        "a raster holds its pixels");
            }
        });
    }
    std::optional<std::string> svg;
    Try([&] { svg = detail::MetafileToSvg(bytes, kind); });
    Try([&] {
        const vips::VImage image = detail::RasteriseMetafile(bytes, kind, 24, 16);
        Require(image.width() == 24 && image.height() == 16 && image.bands() == 4,
                "the rasterised metafile has the asked size");
    });
    // Drawing it leaves the renderer's state behind (fonts, caches); converting it again must not
    // trip over that. (The SVG itself differs from one conversion to the next: clip paths get
    // random names.)
    if (svg)
        Require(detail::MetafileToSvg(bytes, kind).size() > 0, "a metafile converts again");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        Exercise(std::span<const std::uint8_t>(data, size));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unexpected exception: %s\n", e.what());
        std::abort();
    }
    return 0;
}
