#include "office/ledger/ReportImages.h"

#include "office/imaging/Similarity.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace office::ledger {

namespace {

// Comparing more pixels than this changes the ranking of a report little and costs a run a lot.
constexpr double kMeasurePixels = 100'000;
// A tall picture is held to this height in the report.
constexpr double kMaxHeightPerWidth = 1.25;

struct Size {
    int width = 1;
    int height = 1;
};

Size Scaled(double width, double height, double scale) {
    return {std::max(1, static_cast<int>(std::lround(width * scale))),
            std::max(1, static_cast<int>(std::lround(height * scale)))};
}

automation::ReportImage Encode(const imaging::Raster& raster) {
    vips::VImage image = imaging::detail::ViewOfRaster(raster);
    void* buffer = nullptr;
    std::size_t length = 0;
    automation::ReportImage out;
    if (raster.HasTransparency()) {
        image.write_to_buffer(".png", &buffer, &length,
                              vips::VImage::option()->set("palette", true)->set("Q", 90)->set("effort", 3));
        out.mimeType = "image/png";
    } else {
        image.flatten()
            .cast(VIPS_FORMAT_UCHAR)
            .write_to_buffer(
                ".jpg", &buffer, &length,
                vips::VImage::option()->set("Q", 80)->set("optimize_coding", true)->set("strip", true));
        out.mimeType = "image/jpeg";
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    out.bytes.assign(bytes, bytes + length);
    g_free(buffer);
    out.width = raster.width;
    out.height = raster.height;
    return out;
}

// The thumbnail from the compared drawing rather than from the picture again: one decode, not two.
imaging::Raster Reduced(const imaging::Raster& raster, Size size) {
    if (raster.width == size.width && raster.height == size.height)
        return raster;
    vips::VImage image = imaging::detail::ViewOfRaster(raster).premultiply().resize(
        double(size.width) / raster.width,
        vips::VImage::option()->set("vscale", double(size.height) / raster.height));
    return imaging::detail::ToRaster(image.unpremultiply().cast(VIPS_FORMAT_UCHAR));
}

imaging::Raster Draw(const ShownPicture& picture, Size size) {
    return imaging::RenderPicture(picture.bytes, picture.crop, false, false, size.width, size.height,
                                  picture.colourKey);
}

} // namespace

ImagePair MakeImagePair(const ShownPicture& before, const ShownPicture& after, double shownWidth,
                        double shownHeight, int measureWidth, int measureHeight, int maxWidth) {
    imaging::detail::EnsureVips();
    shownWidth = std::max(1.0, shownWidth);
    shownHeight = std::max(1.0, shownHeight);
    const double thumbScale =
        std::min({1.0, maxWidth / shownWidth, maxWidth * kMaxHeightPerWidth / shownHeight});
    const Size thumb = Scaled(shownWidth, shownHeight, thumbScale);

    // Compared in the shown box's proportions, at the new picture's pixels or fewer, but never below
    // the thumbnail, which is made from the same drawing.
    const double pixels = std::max(1, measureWidth) * static_cast<double>(std::max(1, measureHeight));
    const double measureScale =
        std::max(thumbScale, std::sqrt(std::min(pixels, kMeasurePixels) / (shownWidth * shownHeight)));
    const Size measured = Scaled(shownWidth, shownHeight, measureScale);

    ImagePair pair;
    const imaging::Raster old = Draw(before, measured);
    const imaging::Raster now = Draw(after, measured);
    pair.similarity =
        imaging::detail::MeasureSimilarity(old.rgba, now.rgba, measured.width, measured.height, 4).luma;
    pair.before = Encode(Reduced(old, thumb));
    pair.after = Encode(Reduced(now, thumb));
    return pair;
}

const char* FormatName(imaging::PictureKind kind) {
    switch (kind) {
    case imaging::PictureKind::Jpeg:
        return "JPEG";
    case imaging::PictureKind::Png:
        return "PNG";
    case imaging::PictureKind::Gif:
        return "GIF";
    case imaging::PictureKind::Bmp:
        return "BMP";
    case imaging::PictureKind::Tiff:
        return "TIFF";
    case imaging::PictureKind::WebP:
        return "WebP";
    case imaging::PictureKind::Svg:
        return "SVG";
    case imaging::PictureKind::Emf:
        return "EMF";
    case imaging::PictureKind::Wmf:
        return "WMF";
    default:
        return "?";
    }
}

imaging::PixelSize PictureSize(std::span<const std::uint8_t> bytes) {
    try {
        const auto kind = imaging::SniffKind(bytes);
        return imaging::IsMetafile(kind) ? imaging::MetafileSize(bytes) : imaging::MeasurePicture(bytes);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace office::ledger
