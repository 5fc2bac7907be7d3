#include "office/imaging/BmpDecoder.h"
#include "office/imaging/ImageLimits.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/Metafile.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cmath>

namespace office::imaging {

namespace {

using vips::VImage;

std::uint32_t BigEndian32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
           b[at + 3];
}

VImage LoadBuffer(std::span<const std::uint8_t> bytes, vips::VOption* options) {
    // The loaders read the caller's bytes lazily; every caller turns the result into pixels before
    // the span goes away.
    // Sequential: every step after decoding reads top to bottom, and libvips then streams the
    // picture instead of decoding all of it before the first step runs.
    return VImage::new_from_buffer(
        bytes.data(), bytes.size(), "",
        options->set("fail_on", VIPS_FAIL_ON_TRUNCATED)->set("access", VIPS_ACCESS_SEQUENTIAL));
}

// Whether the JPEG's data runs on to its end-of-image marker after the first scan. The decoder
// reports a truncated file only as a warning, which reaches us or not depending on how far its
// threads had read when it came, so an incomplete file is refused here, before decoding.
bool JpegReachesItsEnd(std::span<const std::uint8_t> b) {
    std::size_t at = 2; // after SOI
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) {
            ++at; // stray bytes between segments: the decoder skips them too
            continue;
        }
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xDA) {
            break; // start of scan: entropy-coded data follows
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2; // markers without a length
            continue;
        }
        at += 2 + (static_cast<std::size_t>(b[at + 2]) << 8 | b[at + 3]);
    }
    // In scan data 0xFF is followed only by 0x00 or a restart marker, so FF D9 ends the image.
    for (std::size_t i = b.size(); i-- > at + 1;) {
        if (b[i - 1] == 0xFF && b[i] == 0xD9) {
            return true;
        }
    }
    return false;
}

// The largest JPEG shrink-on-load factor that still decodes at least twice the needed size. The
// decoder's scaled inverse DCT leaves blocky detail that a final reduction of less than two does not
// smooth: a 3072-pixel background shrunk by 2 on load, then to 1344, kept a worst 32-pixel tile of
// 0.82 on the corpus bench; decoded whole, 0.91.
int JpegShrinkFor(int width, int height, double neededWidth, double neededHeight) {
    for (int shrink : {8, 4, 2}) {
        if (width / shrink >= 2 * neededWidth && height / shrink >= 2 * neededHeight) {
            return shrink;
        }
    }
    return 1;
}

// Decodes the picture at no less than neededWidth x neededHeight for the whole (uncropped) image
// where the format allows a cheaper reduced decode; otherwise at its own size.
VImage Decode(std::span<const std::uint8_t> bytes, PictureKind kind, PixelSize natural, double neededWidth,
              double neededHeight) {
    switch (kind) {
    case PictureKind::Bmp:
        return detail::FromRaster(detail::DecodeBmp(bytes));
    case PictureKind::Emf:
    case PictureKind::Wmf: {
        const auto w = std::max<long long>(1, std::llround(std::ceil(neededWidth)));
        const auto h = std::max<long long>(1, std::llround(std::ceil(neededHeight)));
        detail::CheckDimensions(w, h);
        return detail::RasteriseMetafile(bytes, kind, static_cast<int>(w), static_cast<int>(h));
    }
    case PictureKind::Jpeg: {
        if (!JpegReachesItsEnd(bytes)) {
            throw ImagingError("the JPEG data ends before the picture does");
        }
        const int shrink = JpegShrinkFor(natural.width, natural.height, neededWidth, neededHeight);
        return LoadBuffer(bytes, VImage::option()->set("shrink", shrink));
    }
    case PictureKind::Svg: {
        const double scale = std::max(neededWidth / natural.width, neededHeight / natural.height);
        detail::CheckDimensions(std::llround(natural.width * scale), std::llround(natural.height * scale));
        return LoadBuffer(bytes, VImage::option()->set("scale", scale));
    }
    case PictureKind::Png:
    case PictureKind::Gif:
    case PictureKind::Tiff:
    case PictureKind::WebP:
        return LoadBuffer(bytes, VImage::option());
    case PictureKind::Unknown:
        break;
    }
    throw ImagingError("unknown picture format");
}

// The visible part of a decoded picture in its pixel coordinates: edges at exact (fractional)
// positions, so that a crop never moves the picture by the rounding of its edges.
struct SourceWindow {
    double x0, y0, x1, y1;
};

SourceWindow WindowOf(const VImage& image, const CropRect& crop) {
    const double w = image.width(), h = image.height();
    return {crop.left * w, crop.top * h, w - crop.right * w, h - crop.bottom * h};
}

// Negative insets reach past the picture's edge: that margin is transparent. Pads the image with
// whole transparent pixels as far as the window reaches and moves the window along.
VImage PadForWindow(VImage image, SourceWindow& window) {
    const auto padLeft = static_cast<long long>(std::ceil(std::max(0.0, -window.x0)));
    const auto padTop = static_cast<long long>(std::ceil(std::max(0.0, -window.y0)));
    const auto padRight = static_cast<long long>(std::ceil(std::max(0.0, window.x1 - image.width())));
    const auto padBottom = static_cast<long long>(std::ceil(std::max(0.0, window.y1 - image.height())));
    if (padLeft + padTop + padRight + padBottom == 0) {
        return image;
    }
    image = detail::ToSrgbAlpha(image);
    const long long paddedW = image.width() + padLeft + padRight,
                    paddedH = image.height() + padTop + padBottom;
    detail::CheckDimensions(paddedW, paddedH);
    window.x0 += static_cast<double>(padLeft);
    window.x1 += static_cast<double>(padLeft);
    window.y0 += static_cast<double>(padTop);
    window.y1 += static_cast<double>(padTop);
    return image.embed(static_cast<int>(padLeft), static_cast<int>(padTop), static_cast<int>(paddedW),
                       static_cast<int>(paddedH),
                       VImage::option()
                           ->set("extend", VIPS_EXTEND_BACKGROUND)
                           ->set("background", std::vector<double>{0, 0, 0, 0}));
}

// sRGB with alpha, where every pixel of exactly the change's colour takes its colour and opacity.
VImage WithColourChange(VImage image, const ColourChange& change) {
    image = detail::ToSrgbAlpha(image);
    auto rgbOf = [](std::uint32_t c) {
        return std::vector<double>{double(c >> 16 & 0xFF), double(c >> 8 & 0xFF), double(c & 0xFF)};
    };
    const VImage colour = image.extract_band(0, VImage::option()->set("n", 3));
    const VImage alpha = image.extract_band(3);
    const VImage hit = (colour == rgbOf(change.from)).bandbool(VIPS_OPERATION_BOOLEAN_AND);
    return hit.ifthenelse(rgbOf(change.to), colour)
        .bandjoin(hit.ifthenelse(alpha * (change.alpha / 255.0), alpha))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// The decoded picture in the colours its rendering works in: the colour change applied (sRGB with
// alpha), else CMYK kept when asked for, else sRGB.
VImage InWorkingColours(VImage image, bool keepCmyk, const std::optional<ColourChange>& change) {
    if (change) {
        return WithColourChange(image, *change);
    }
    if (keepCmyk && image.interpretation() == VIPS_INTERPRETATION_CMYK) {
        return image;
    }
    return detail::ToSrgb(image);
}

// Snaps an edge that lies within rounding noise of a whole pixel onto it.
double Snapped(double v) {
    const double r = std::round(v);
    return std::abs(v - r) < 1e-6 ? r : v;
}

// Resamples the window of the image to exactly width x height. Reductions go through the resizer's
// adaptive kernel, which keeps pixel centres in place; what remains (an enlargement, and the
// fraction of a pixel by which the window starts inside its first whole pixel) is one affine step
// with centres aligned. A window on whole pixels that only shrinks needs no affine step at all.
VImage ResampleWindow(VImage image, SourceWindow window, int width, int height) {
    window = {Snapped(window.x0), Snapped(window.y0), Snapped(window.x1), Snapped(window.y1)};
    const int ix0 = static_cast<int>(std::clamp(std::floor(window.x0), 0.0, image.width() - 1.0));
    const int iy0 = static_cast<int>(std::clamp(std::floor(window.y0), 0.0, image.height() - 1.0));
    const int ix1 = static_cast<int>(std::clamp(std::ceil(window.x1), ix0 + 1.0, 1.0 * image.width()));
    const int iy1 = static_cast<int>(std::clamp(std::ceil(window.y1), iy0 + 1.0, 1.0 * image.height()));
    if (ix0 != 0 || iy0 != 0 || ix1 != image.width() || iy1 != image.height()) {
        image = image.extract_area(ix0, iy0, ix1 - ix0, iy1 - iy0);
    }
    const double fx = window.x0 - ix0, fy = window.y0 - iy0;
    const double hscale = width / (window.x1 - window.x0);
    const double vscale = height / (window.y1 - window.y0);
    const bool alpha = image.bands() == 4 && image.interpretation() != VIPS_INTERPRETATION_CMYK;
    // Resample premultiplied so that transparent pixels do not bleed their colour into the edges.
    VImage work = alpha ? image.premultiply() : image;
    if (hscale < 1 || vscale < 1) {
        work = work.resize(
            std::min(hscale, 1.0),
            VImage::option()->set("vscale", std::min(vscale, 1.0))->set("kernel", VIPS_KERNEL_LANCZOS3));
    }
    // Per axis, what the affine step still has to do, in the units of the image it works on.
    const double rx = hscale < 1 ? 1.0 : hscale, ry = vscale < 1 ? 1.0 : vscale;
    const double offX = hscale < 1 ? fx * hscale : fx, offY = vscale < 1 ? fy * vscale : fy;
    if (rx == 1.0 && ry == 1.0 && offX == 0.0 && offY == 0.0) {
        if (work.width() != width || work.height() != height) {
            // Rounding inside the resampler may leave a pixel too many or too few.
            work = work.gravity(VIPS_COMPASS_DIRECTION_NORTH_WEST, width, height,
                                VImage::option()->set("extend", VIPS_EXTEND_COPY));
        }
    } else {
        // Output centre X + 0.5 maps to input centre (X + 0.5) / r + off, i.e. X = r * x + (r - 1) / 2 - r *
        // off.
        work =
            work.affine({rx, 0, 0, ry}, VImage::option()
                                            ->set("interpolate", vips::VInterpolate::new_from_name("bicubic"))
                                            ->set("oarea", std::vector<int>{0, 0, width, height})
                                            ->set("odx", (rx - 1) / 2 - rx * offX)
                                            ->set("ody", (ry - 1) / 2 - ry * offY)
                                            ->set("extend", VIPS_EXTEND_COPY)
                                            ->set("premultiplied", true));
    }
    if (alpha) {
        work = work.unpremultiply();
    }
    return work.cast(VIPS_FORMAT_UCHAR);
}

} // namespace

PixelSize MeasurePicture(std::span<const std::uint8_t> bytes) {
    const PictureKind kind = SniffKind(bytes);
    switch (kind) {
    case PictureKind::Unknown:
        throw ImagingError("unknown picture format");
    case PictureKind::Bmp:
        return detail::MeasureBmp(bytes);
    case PictureKind::Emf:
    case PictureKind::Wmf:
        return MetafileSize(bytes);
    case PictureKind::Png:
        // Checked here, before any library allocates for it.
        if (bytes.size() < 24) {
            throw ImagingError("PNG header is truncated");
        }
        detail::CheckDimensions(BigEndian32(bytes, 16), BigEndian32(bytes, 20));
        break;
    case PictureKind::Gif:
        if (bytes.size() < 10) {
            throw ImagingError("GIF header is truncated");
        }
        detail::CheckDimensions(bytes[6] | bytes[7] << 8, bytes[8] | bytes[9] << 8);
        break;
    default:
        break;
    }
    detail::EnsureVips();
    try {
        const VImage header = LoadBuffer(bytes, VImage::option());
        detail::CheckDimensions(header.width(), header.height());
        return {header.width(), header.height()};
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture header cannot be read: ") + e.what());
    }
}

namespace detail {

VImage DisplayedPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, int pixelWidth,
                        int pixelHeight, bool keepCmyk, const std::optional<ColourChange>& change) {
    CheckDimensions(pixelWidth, pixelHeight);
    const PictureKind kind = SniffKind(bytes);
    const PixelSize natural = MeasurePicture(bytes);
    const double visibleW = 1.0 - crop.left - crop.right, visibleH = 1.0 - crop.top - crop.bottom;
    if (!(visibleW > 0 && visibleH > 0) || !std::isfinite(visibleW) || !std::isfinite(visibleH)) {
        throw ImagingError("the crop leaves nothing visible");
    }
    EnsureVips();
    try {
        // A colour is matched on the stored pixels, so the decoder must not blend them first.
        VImage image = change ? Decode(bytes, kind, natural, natural.width, natural.height)
                              : Decode(bytes, kind, natural, pixelWidth / visibleW, pixelHeight / visibleH);
        CheckDimensions(image.width(), image.height());
        image = InWorkingColours(image, keepCmyk, change);
        SourceWindow window = WindowOf(image, crop);
        if (!(window.x1 - window.x0 >= 1e-9 && window.y1 - window.y0 >= 1e-9)) {
            throw ImagingError("the crop leaves nothing visible");
        }
        image = PadForWindow(image, window);
        return ResampleWindow(image, window, pixelWidth, pixelHeight);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

} // namespace detail

Raster RenderPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, bool flipH, bool flipV,
                     int pixelWidth, int pixelHeight, const std::optional<ColourChange>& change) {
    const VImage image = detail::DisplayedPicture(bytes, crop, pixelWidth, pixelHeight, false, change);
    try {
        // Flipped once in memory: a vertical flip would otherwise need the whole picture at random.
        Raster raster = detail::ToRaster(detail::ToSrgbAlpha(image));
        detail::FlipRaster(raster, flipH, flipV);
        return raster;
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

namespace detail {

VImage ShownPixelsInPlace(std::span<const std::uint8_t> bytes, const CropRect& crop, bool keepCmyk,
                          const std::optional<ColourChange>& change) {
    const PictureKind kind = SniffKind(bytes);
    if (kind == PictureKind::Unknown || kind == PictureKind::Svg || IsMetafile(kind)) {
        throw ImagingError("only a raster picture has pixels of its own");
    }
    const PixelSize natural = MeasurePicture(bytes);
    EnsureVips();
    try {
        VImage image = Decode(bytes, kind, natural, natural.width, natural.height);
        image = InWorkingColours(image, keepCmyk, change);
        const double w = image.width(), h = image.height();
        // Whole pixels: a pixel the crop cuts through is shown in part, so it is kept.
        constexpr double slack = 0.01;
        const int x0 = static_cast<int>(std::clamp(std::floor(crop.left * w + slack), 0.0, w - 1));
        const int y0 = static_cast<int>(std::clamp(std::floor(crop.top * h + slack), 0.0, h - 1));
        const int x1 = static_cast<int>(std::clamp(std::ceil(w - crop.right * w - slack), x0 + 1.0, w));
        const int y1 = static_cast<int>(std::clamp(std::ceil(h - crop.bottom * h - slack), y0 + 1.0, h));
        VImage shown = image.extract_area(x0, y0, x1 - x0, y1 - y0);
        if (shown.width() != image.width() || shown.height() != image.height()) {
            shown = shown.embed(x0, y0, image.width(), image.height(),
                                VImage::option()->set("extend", VIPS_EXTEND_COPY));
        }
        return shown;
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

} // namespace detail

Raster RenderShownPixelsInPlace(std::span<const std::uint8_t> bytes, const CropRect& crop,
                                const std::optional<ColourChange>& change) {
    const VImage shown = detail::ShownPixelsInPlace(bytes, crop, false, change);
    try {
        return detail::ToRaster(detail::ToSrgbAlpha(shown));
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

std::vector<std::uint8_t> RenderPictureAsJpeg(std::span<const std::uint8_t> bytes, const CropRect& crop,
                                              bool flipH, bool flipV, int pixelWidth, int pixelHeight) {
    const std::vector<std::uint8_t> profile = RgbProfileOf(bytes);
    if (flipV) {
        return EncodeJpeg(RenderPicture(bytes, crop, flipH, flipV, pixelWidth, pixelHeight), profile);
    }
    VImage image = detail::DisplayedPicture(bytes, crop, pixelWidth, pixelHeight);
    try {
        if (flipH) {
            image = image.flip(VIPS_DIRECTION_HORIZONTAL);
        }
        return detail::EncodeJpegImage(image, profile);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

Raster RenderPictureCorner(std::span<const std::uint8_t> bytes, const CropRect& crop, bool flipH, bool flipV,
                           int pixelWidth, int pixelHeight, int cornerWidth, int cornerHeight) {
    detail::CheckDimensions(cornerWidth, cornerHeight);
    const int w = std::min(cornerWidth, pixelWidth), h = std::min(cornerHeight, pixelHeight);
    if (flipH || flipV) {
        // The corner of a mirrored picture comes from the far side of the source.
        return CornerOf(RenderPicture(bytes, crop, flipH, flipV, pixelWidth, pixelHeight), w, h);
    }
    const VImage image = detail::DisplayedPicture(bytes, crop, pixelWidth, pixelHeight);
    try {
        // Read in sequence, only the rows above the corner's bottom are decoded.
        return detail::ToRaster(detail::ToSrgbAlpha(image.extract_area(0, 0, w, h)));
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

struct ShownPicture::Held {
    VImage image; // in memory
    std::vector<std::uint8_t> profile;
    int pixelWidth = 0, pixelHeight = 0;
};

ShownPicture::ShownPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, int pixelWidth,
                           int pixelHeight)
    : held_(std::make_unique<Held>()) {
    held_->profile = RgbProfileOf(bytes);
    const VImage shown = detail::DisplayedPicture(bytes, crop, pixelWidth, pixelHeight);
    try {
        held_->image = shown.copy_memory();
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
    held_->pixelWidth = pixelWidth;
    held_->pixelHeight = pixelHeight;
}

ShownPicture::~ShownPicture() = default;

Raster ShownPicture::Corner(int cornerWidth, int cornerHeight) const {
    detail::CheckDimensions(cornerWidth, cornerHeight);
    const int w = std::min(cornerWidth, held_->pixelWidth), h = std::min(cornerHeight, held_->pixelHeight);
    try {
        return detail::ToRaster(detail::ToSrgbAlpha(held_->image.extract_area(0, 0, w, h)));
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

std::vector<std::uint8_t> ShownPicture::Jpeg(bool flipH) const {
    try {
        return detail::EncodeJpegImage(flipH ? held_->image.flip(VIPS_DIRECTION_HORIZONTAL) : held_->image,
                                       held_->profile);
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("picture cannot be decoded: ") + e.what());
    }
}

Raster CornerOf(const Raster& raster, int width, int height) {
    detail::CheckRaster(raster, "raster");
    Raster out;
    out.width = std::min(width, raster.width);
    out.height = std::min(height, raster.height);
    const std::size_t row = static_cast<std::size_t>(out.width) * 4;
    out.rgba.resize(row * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        const auto from =
            raster.rgba.begin() + static_cast<std::ptrdiff_t>(y * static_cast<std::size_t>(raster.width) * 4);
        std::copy(from, from + static_cast<std::ptrdiff_t>(row),
                  out.rgba.begin() + static_cast<std::ptrdiff_t>(y * row));
    }
    return out;
}

} // namespace office::imaging
