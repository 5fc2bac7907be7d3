#include "office/ledger/ReportImages.h"

#include "office/imaging/Similarity.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

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

bool CropStaysInside(const imaging::CropRect& crop) {
    return crop.left >= 0 && crop.top >= 0 && crop.right >= 0 && crop.bottom >= 0 &&
           crop.left + crop.right < 1 && crop.top + crop.bottom < 1;
}

// The part of an image a crop keeps, reduced to size (a plain linear kernel unless told); nothing when the
// crop, in whole pixels, reaches past the edge. Only an image with alpha is reduced premultiplied (in
// floats); the others stay in bytes.
std::optional<imaging::Raster> CutAndReduced(vips::VImage image, const imaging::CropRect& crop, Size size,
                                             VipsKernel kernel = VIPS_KERNEL_LINEAR) {
    const int left = static_cast<int>(std::lround(crop.left * image.width()));
    const int top = static_cast<int>(std::lround(crop.top * image.height()));
    const int width =
        std::max(1, static_cast<int>(std::lround((1 - crop.left - crop.right) * image.width())));
    const int height =
        std::max(1, static_cast<int>(std::lround((1 - crop.top - crop.bottom) * image.height())));
    if (left + width > image.width() || top + height > image.height())
        return std::nullopt;
    if (left != 0 || top != 0 || width != image.width() || height != image.height())
        image = image.extract_area(left, top, width, height);
    if (width != size.width || height != size.height) {
        const auto resized = [&](const vips::VImage& in) {
            return in.resize(
                double(size.width) / width,
                vips::VImage::option()->set("vscale", double(size.height) / height)->set("kernel", kernel));
        };
        image = image.has_alpha() ? resized(image.premultiply()).unpremultiply() : resized(image);
    }
    image = image.cast(VIPS_FORMAT_UCHAR);
    return imaging::detail::ToRaster(image.has_alpha() ? image : image.bandjoin_const({255}));
}

// The thumbnail from the compared drawing rather than from the picture again: one decode, not two.
imaging::Raster Reduced(const imaging::Raster& raster, Size size) {
    if (raster.width == size.width && raster.height == size.height)
        return raster;
    return *CutAndReduced(imaging::detail::ViewOfRaster(raster), {}, size, VIPS_KERNEL_LANCZOS3);
}

// A report's drawing of a stored JPEG, PNG or GIF: decoded as small as it may be (JPEG shrink on
// load), cropped and reduced. The engine's own drawing is exact at any size and several times dearer
// on a large picture; at a report's size the two look alike. Nothing when the picture needs that
// drawing (another format, a colour key, a crop past the edge).
std::optional<imaging::Raster> DrawCheaply(const ShownPicture& picture, Size size) {
    const imaging::PictureKind kind = imaging::SniffKind(picture.bytes);
    const imaging::CropRect& crop = picture.crop;
    if ((kind != imaging::PictureKind::Jpeg && kind != imaging::PictureKind::Png &&
         kind != imaging::PictureKind::Gif) ||
        picture.colourKey || !CropStaysInside(crop))
        return std::nullopt;
    const imaging::PixelSize natural = imaging::MeasurePicture(picture.bytes);
    const double shownW = natural.width * (1 - crop.left - crop.right);
    const double shownH = natural.height * (1 - crop.top - crop.bottom);
    int shrink = 1;
    if (kind == imaging::PictureKind::Jpeg)
        for (int s : {8, 4, 2})
            if (shownW / s >= size.width && shownH / s >= size.height) {
                shrink = s;
                break;
            }
    auto options = vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL);
    if (shrink > 1)
        options->set("shrink", shrink);
    return CutAndReduced(imaging::detail::ToSrgb(vips::VImage::new_from_buffer(
                             picture.bytes.data(), picture.bytes.size(), "", options)),
                         crop, size);
}

imaging::Raster Draw(const ShownPicture& picture, Size size) {
    // A drawing made already (a deck-wide picture's, for its new form) is cut and reduced.
    if (picture.drawn && CropStaysInside(picture.drawnCrop))
        if (auto redrawn =
                CutAndReduced(imaging::detail::ViewOfRaster(*picture.drawn), picture.drawnCrop, size))
            return std::move(*redrawn);
    try {
        if (auto cheap = DrawCheaply(picture, size))
            return std::move(*cheap);
    } catch (const vips::VError&) {
        // The engine's drawing says what is wrong, or draws it after all.
    }
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
