#pragma once

// Picture codecs and rendering for the presentation engine: decode what decks hold, apply a
// picture's crop and flips, resample, and encode the paste formats. Built on libvips; metafiles are
// rasterised through librsvg (EMF via libemf2svg, WMF via libwmf).

#include "automation/Clipboard.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace office::imaging {

class ImagingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Straight (not premultiplied) 8-bit RGBA, row-major.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    bool HasTransparency() const;
};

// a:clrChange on a picture: every pixel of exactly one colour takes another colour at an opacity.
// Most often the same colour fully transparent ("set transparent colour"). Colours are 0xRRGGBB.
struct ColourChange {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint8_t alpha = 0;
};

// a:srcRect insets as fractions of the image size (srcRect value / 100000). Negative values pad.
struct CropRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};

enum class PictureKind { Jpeg, Png, Gif, Bmp, Tiff, WebP, Svg, Emf, Wmf, Unknown };

// By content type ("image/png") or by file extension ("png", ".png").
PictureKind KindOf(std::string_view contentTypeOrExtension);
// By the leading bytes; Unknown when no format matches.
PictureKind SniffKind(std::span<const std::uint8_t> bytes);
bool IsMetafile(PictureKind kind);

// Pixel size without decoding the whole picture. Throws ImagingError on absurd dimensions.
struct PixelSize {
    int width = 0;
    int height = 0;
};
PixelSize MeasurePicture(std::span<const std::uint8_t> bytes);

// Renders a picture as displayed: colour change applied to the source pixels, crop applied,
// resampled to exactly pixelWidth x pixelHeight with a high-quality kernel, then flipped. Throws
// ImagingError when it cannot be decoded.
Raster RenderPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, bool flipH, bool flipV,
                     int pixelWidth, int pixelHeight, const std::optional<ColourChange>& change = {});

// RenderPicture followed by EncodeJpeg with the picture's RgbProfileOf in one pass, without holding
// the whole raster.
std::vector<std::uint8_t> RenderPictureAsJpeg(std::span<const std::uint8_t> bytes, const CropRect& crop,
                                              bool flipH, bool flipV, int pixelWidth, int pixelHeight);

// A picture whose source shows up to this many times the wanted pixels per side keeps its own: so
// mild a reduction saves at most 40 % of the pixels and blurs every edge (text, lines, fine texture).
// On the corpus bench, 1.1 left photos shown from 1.3 times the wanted pixels with a worst 32-pixel
// tile of 0.84; kept whole they reach 0.96.
inline constexpr double kMildReduction = 1.3;

// A raster picture at its own size in which only what the crop shows is its own: the area the crop
// cuts away repeats the shown area's edge pixels, so it costs next to nothing to store. Shown with
// the same crop, it puts the source's pixels exactly where they were, on every renderer.
Raster RenderShownPixelsInPlace(std::span<const std::uint8_t> bytes, const CropRect& crop,
                                const std::optional<ColourChange>& change = {});

// The top-left corner, at most cornerWidth x cornerHeight, of what RenderPicture gives; an unflipped
// picture is decoded only as far down as the corner reaches.
Raster RenderPictureCorner(std::span<const std::uint8_t> bytes, const CropRect& crop, bool flipH, bool flipV,
                           int pixelWidth, int pixelHeight, int cornerWidth, int cornerHeight);

// The top-left corner of a raster, at most width x height.
Raster CornerOf(const Raster& raster, int width, int height);

// An unflipped picture decoded once at the size a place shows it, for both the corner a picture
// check draws and the JPEG a paste stores: the same pixels, and so the same bytes, as
// RenderPictureCorner and RenderPictureAsJpeg give, without decoding the stored picture twice. Holds
// the decoded pixels. Throws ImagingError when the picture cannot be decoded.
class ShownPicture {
public:
    ShownPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, int pixelWidth, int pixelHeight);
    ~ShownPicture();
    ShownPicture(const ShownPicture&) = delete;
    ShownPicture& operator=(const ShownPicture&) = delete;

    // RenderPictureCorner without a flip.
    Raster Corner(int cornerWidth, int cornerHeight) const;
    // RenderPictureAsJpeg without a vertical flip.
    std::vector<std::uint8_t> Jpeg(bool flipH) const;

private:
    struct Held;
    std::unique_ptr<Held> held_;
};

// A CMYK JPEG reaches the screen through each renderer's own conversion: office suites apply a plain
// formula and ignore its profile, colour-managed viewers apply the profile, and on dark inks the two
// differ widely. Its copy therefore stays CMYK, so that every renderer shows it as it shows the
// source. The profile is not carried: a print profile runs to half a megabyte, often more than the
// picture, and the viewers that would read it assume a standard press profile in its place.
// The copy is YCCK, its colour planes subsampled where an RGB photo's would be, at the lowest quality
// (searched from the RGB photo's setting) whose drawing by the plain formula, as LibreOffice draws
// CMYK, reaches the JPEG targets against the source's.
// Nothing when the picture is no CMYK JPEG, or when the crop reaches past its edge (that margin
// needs alpha).
std::optional<std::vector<std::uint8_t>> CmykJpegCopy(std::span<const std::uint8_t> bytes,
                                                      const CropRect& crop, bool flipH, bool flipV,
                                                      int pixelWidth, int pixelHeight, bool again = false);
// The same on the picture's own grid, laid out as RenderShownPixelsInPlace.
std::optional<std::vector<std::uint8_t>> CmykJpegShownInPlace(std::span<const std::uint8_t> bytes,
                                                              const CropRect& crop);

// The picture's embedded ICC profile when it describes RGB pixels, as its renderings keep them;
// empty when there is none, when the rendering converted the pixels (CMYK, grey), or when it is an
// sRGB profile, which is what untagged pixels mean anyway.
std::vector<std::uint8_t> RgbProfileOf(std::span<const std::uint8_t> bytes);

// Paste encodings, each carrying the ICC profile when one is given. JPEG flattens transparent
// pixels onto black and takes, per picture, the lowest quality that keeps the look
// (EncoderSettings.h); PNG is a palette where that keeps the look, otherwise lossless (of the
// picture posterised, where that keeps its look as shown), alpha kept either way; GIF has at most
// 256 colours with one transparent index.
// `again`: the raster is a JPEG's own pixels on their own grid, held to near-transparent targets.
// `exactColours`: every colour stays exactly as it is (a colour key in the markup must still match).
// `shownOpacity`: the opacity the place draws the picture at (alphaModFix). Only given one is a
// transparent picture that no palette keeps posterised, judged as shown there.
std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, std::span<const std::uint8_t> iccProfile = {},
                                     bool again = false);
std::vector<std::uint8_t> EncodePng(const Raster& raster, std::span<const std::uint8_t> iccProfile = {},
                                    bool exactColours = false, std::optional<double> shownOpacity = {});
std::vector<std::uint8_t> EncodeGif(const Raster& raster);
// An EMF holding the bitmap (32-bit, alpha kept).
std::vector<std::uint8_t> WrapInEmf(const Raster& raster);

// The metafile drawn from the top-left at its own size (96 dpi) into a white box of the given
// pixel size, clipped to it, as colour numbers.
automation::ColorBox RenderMetafileToBox(std::span<const std::uint8_t> metafile, int boxWidth, int boxHeight);

// A raster drawn from the top-left onto a white box of the given size, clipped to it, as colour
// numbers (0 black, 16777215 white).
automation::ColorBox BoxOnWhite(const Raster& drawn, int boxWidth, int boxHeight);

// The size a metafile declares, in pixels at 96 dpi.
PixelSize MetafileSize(std::span<const std::uint8_t> metafile);

} // namespace office::imaging
