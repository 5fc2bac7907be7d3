// An enhanced metafile holding one bitmap at its natural size (96 dpi). Opaque pictures use a
// 24-bit stretch record, which is smaller and understood everywhere. Pictures with transparency are
// a dual metafile: EMF+ records draw a PNG, and an alpha-blend record over a premultiplied 32-bit
// bitmap draws the same for players without EMF+. The PNG is what keeps half-transparent pixels
// right: LibreOffice reads the alpha-blend bitmap as straight alpha, which darkens soft edges.

#include "office/imaging/EmfRecords.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace office::imaging {

namespace {

using namespace emf;

constexpr std::uint32_t kHalftone = 4;

constexpr std::uint32_t kEmfPlusVersion = 0xDBC01002;
constexpr std::uint16_t kPlusDualFlag = 0x0001;
constexpr std::uint8_t kImageId = 0, kAttributesId = 1;
constexpr std::uint32_t kUnitPixel = 2, kWrapTileFlipXY = 3;
// Object data per record when an object spans several, as GDI+ splits large images.
constexpr std::size_t kObjectChunk = 0x8000 - 4;
// Players without EMF+ get the picture at half size per side when it is larger than this: they
// are rare, and a full-size second copy would double what the picture costs.
constexpr std::int64_t kFullFallbackPixels = 256 * 256;
constexpr double kDpi = 96.0;
constexpr std::int32_t kPelsPerMeter = 3780; // 96 dpi
// Reference device: a 1920x1440 screen at exactly 96 dpi both ways. Players map pixels through its
// size in millimetres; a 1080-pixel screen rounded to 286 mm is 95.9 dpi high, which stretched
// pictures by about a pixel in a thousand.
constexpr std::int32_t kDeviceWidthPx = 1920, kDeviceHeightPx = 1440;
constexpr std::int32_t kDeviceWidthMm = 508, kDeviceHeightMm = 381;

class Writer {
public:
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void U16(std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void F32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
        I32(l);
        I32(t);
        I32(r);
        I32(b);
    }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    std::vector<std::uint8_t> bytes;
};

void BitmapInfoHeader(Writer& w, const Raster& r, int bpp, std::uint32_t imageSize) {
    w.U32(40);
    w.I32(r.width);
    w.I32(r.height); // bottom-up rows
    w.U16(1);
    w.U16(static_cast<std::uint16_t>(bpp));
    w.U32(0); // BI_RGB
    w.U32(imageSize);
    w.I32(kPelsPerMeter);
    w.I32(kPelsPerMeter);
    w.U32(0);
    w.U32(0);
}

void Bits(Writer& w, const Raster& r, int bpp) {
    const std::size_t stride = ((static_cast<std::size_t>(r.width) * bpp + 31) / 32) * 4;
    const std::size_t start = w.bytes.size();
    w.bytes.resize(start + stride * static_cast<std::size_t>(r.height), 0); // padding stays zero
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* src = &r.rgba[static_cast<std::size_t>(y) * r.width * 4];
        std::uint8_t* dst = w.bytes.data() + start + static_cast<std::size_t>(r.height - 1 - y) * stride;
        if (bpp == 24) {
            for (int x = 0; x < r.width; ++x, src += 4, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        } else {
            // Premultiplied, as the alpha-blend record expects.
            for (int x = 0; x < r.width; ++x, src += 4, dst += 4) {
                const unsigned a = src[3];
                dst[0] = static_cast<std::uint8_t>((src[2] * a + 127) / 255);
                dst[1] = static_cast<std::uint8_t>((src[1] * a + 127) / 255);
                dst[2] = static_cast<std::uint8_t>((src[0] * a + 127) / 255);
                dst[3] = static_cast<std::uint8_t>(a);
            }
        }
    }
}

Raster HalfSize(const Raster& raster) {
    detail::EnsureVips();
    const int width = std::max(1, (raster.width + 1) / 2), height = std::max(1, (raster.height + 1) / 2);
    vips::VImage reduced = detail::ViewOfRaster(raster).premultiply().resize(
        static_cast<double>(width) / raster.width,
        vips::VImage::option()->set("vscale", static_cast<double>(height) / raster.height));
    // Rounding inside the resize may miss the wanted size by a pixel.
    reduced = reduced.embed(0, 0, width, height, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return detail::ToRaster(reduced.unpremultiply().cast(VIPS_FORMAT_UCHAR));
}

// One EMR_COMMENT carrying one EMF+ record; the record's size counts its 12-byte header.
void PlusRecord(Writer& w, std::uint16_t type, std::uint16_t flags, std::span<const std::uint8_t> data,
                std::uint32_t& records) {
    const auto padded = static_cast<std::uint32_t>((data.size() + 3) / 4 * 4);
    w.U32(kEmrComment);
    w.U32(12 + 4 + 12 + padded);
    w.U32(4 + 12 + padded);
    w.U32(kEmfPlusSignature);
    w.U16(type);
    w.U16(flags);
    w.U32(12 + padded);
    w.U32(padded);
    w.bytes.insert(w.bytes.end(), data.begin(), data.end());
    w.bytes.resize(w.bytes.size() + (padded - data.size()), 0);
    ++records;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint32_t> words) {
    Writer w;
    for (std::uint32_t v : words) {
        w.U32(v);
    }
    return w.bytes;
}

// The EMF+ half of a dual metafile: the PNG as an image object (continued over several records
// when large), drawn over the whole picture with edge pixels mirrored rather than faded.
void PlusDrawing(Writer& out, const Raster& raster, std::uint32_t& records) {
    Writer image;
    image.U32(kEmfPlusVersion);
    image.U32(kPlusImageBitmap);
    image.I32(raster.width);
    image.I32(raster.height);
    image.I32(0); // stride and pixel format do not apply to a compressed bitmap
    image.U32(0);
    image.U32(kPlusBitmapCompressed);
    const std::vector<std::uint8_t> png = EncodePng(raster);
    image.bytes.insert(image.bytes.end(), png.begin(), png.end());
    image.bytes.resize((image.bytes.size() + 3) / 4 * 4, 0);

    const std::uint16_t imageFlags = (kPlusObjectImage << kPlusObjectTypeShift) | kImageId;
    const std::span<const std::uint8_t> all(image.bytes);
    if (all.size() <= kObjectChunk) {
        PlusRecord(out, kPlusObject, imageFlags, all, records);
    } else {
        // A continued record leads its data with the whole object's size.
        for (std::size_t at = 0; at < all.size(); at += kObjectChunk) {
            const auto chunk = all.subspan(at, std::min(kObjectChunk, all.size() - at));
            const bool last = at + chunk.size() == all.size();
            Writer piece;
            piece.U32(static_cast<std::uint32_t>(all.size()));
            piece.bytes.insert(piece.bytes.end(), chunk.begin(), chunk.end());
            PlusRecord(out, kPlusObject, last ? imageFlags : imageFlags | kPlusContinued, piece.bytes,
                       records);
        }
    }
    PlusRecord(out, kPlusObject, (kPlusObjectImageAttributes << kPlusObjectTypeShift) | kAttributesId,
               Bytes({kEmfPlusVersion, 0, kWrapTileFlipXY, 0, 0, 0}), records);
    Writer transform;
    transform.F32(1.0f);
    PlusRecord(out, kPlusSetPageTransform, kUnitPixel, transform.bytes, records);
    Writer draw;
    draw.U32(kAttributesId);
    draw.U32(kUnitPixel);
    for (float v : {0.0f, 0.0f, static_cast<float>(raster.width), static_cast<float>(raster.height)}) {
        draw.F32(v); // source rectangle
    }
    for (float v : {0.0f, 0.0f, static_cast<float>(raster.width), static_cast<float>(raster.height)}) {
        draw.F32(v); // destination rectangle
    }
    PlusRecord(out, kPlusDrawImage, kImageId, draw.bytes, records);
}

} // namespace

std::vector<std::uint8_t> WrapInEmf(const Raster& raster) {
    detail::CheckRaster(raster, "WrapInEmf");
    const bool alpha = raster.HasTransparency();
    const int bpp = alpha ? 32 : 24;
    const std::int32_t w = raster.width, h = raster.height;
    const Raster reduced = alpha && std::int64_t{w} * h > kFullFallbackPixels ? HalfSize(raster) : Raster{};
    const Raster& bitmap = reduced.width > 0 ? reduced : raster; // what the GDI record draws
    const std::uint32_t stride =
        static_cast<std::uint32_t>(((static_cast<std::size_t>(bitmap.width) * bpp + 31) / 32) * 4);
    const std::uint64_t bitsSize64 =
        static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(bitmap.height);
    if (bitsSize64 > 0x7FFFFFF0u) {
        throw ImagingError("picture too large for a metafile");
    }
    const auto bitsSize = static_cast<std::uint32_t>(bitsSize64);

    Writer out;
    out.bytes.reserve(256 + bitsSize);
    // Header (108-byte form); sizes and counts are patched at the end.
    out.U32(kEmrHeader);
    out.U32(108);
    out.Rect(0, 0, w - 1, h - 1);
    // The frame spans the whole picture. Written one hundredth of a millimetre short (as an
    // inclusive edge would be), LibreOffice drops the picture's first row and column and draws the
    // rest a fraction of a pixel apart from a PNG of the same pixels.
    out.Rect(0, 0, static_cast<std::int32_t>(std::lround(w * 2540.0 / kDpi)),
             static_cast<std::int32_t>(std::lround(h * 2540.0 / kDpi)));
    out.U32(0x464D4520); // " EMF"
    out.U32(0x00010000);
    const std::size_t totalAt = out.bytes.size();
    out.U32(0); // nBytes
    out.U32(0); // nRecords
    out.U16(1);
    out.U16(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.I32(kDeviceWidthPx);
    out.I32(kDeviceHeightPx);
    out.I32(kDeviceWidthMm);
    out.I32(kDeviceHeightMm);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.I32(kDeviceWidthMm * 1000);
    out.I32(kDeviceHeightMm * 1000);
    std::uint32_t records = 1;
    if (alpha) {
        PlusRecord(out, kPlusHeader, kPlusDualFlag, Bytes({kEmfPlusVersion, 1 /* video display */, 96, 96}),
                   records);
    }

    out.U32(kEmrSetStretchBltMode);
    out.U32(12);
    out.U32(kHalftone);
    ++records;

    if (alpha) {
        PlusDrawing(out, raster, records);
        constexpr std::uint32_t fixed = 108;
        out.U32(kEmrAlphaBlend);
        out.U32(fixed + 40 + bitsSize);
        out.Rect(0, 0, w - 1, h - 1);
        out.I32(0);          // xDest
        out.I32(0);          // yDest
        out.I32(w);          // cxDest
        out.I32(h);          // cyDest
        out.U32(0x01FF0000); // AC_SRC_OVER, flags 0, constant alpha 255, AC_SRC_ALPHA
        out.I32(0);          // xSrc
        out.I32(0);          // ySrc
        for (float v : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) {
            out.F32(v); // identity source transform
        }
        out.U32(0); // BkColorSrc
        out.U32(0); // DIB_RGB_COLORS
        out.U32(fixed);
        out.U32(40);
        out.U32(fixed + 40);
        out.U32(bitsSize);
        out.I32(bitmap.width);  // cxSrc
        out.I32(bitmap.height); // cySrc
    } else {
        constexpr std::uint32_t fixed = 80;
        out.U32(kEmrStretchDibits);
        out.U32(fixed + 40 + bitsSize);
        out.Rect(0, 0, w - 1, h - 1);
        out.I32(0);
        out.I32(0);
        out.I32(0);
        out.I32(0);
        out.I32(w);
        out.I32(h);
        out.U32(fixed);
        out.U32(40);
        out.U32(fixed + 40);
        out.U32(bitsSize);
        out.U32(0);
        out.U32(kSrcCopy);
        out.I32(w);
        out.I32(h);
    }
    BitmapInfoHeader(out, bitmap, bpp, bitsSize);
    Bits(out, bitmap, bpp);
    ++records;
    if (alpha) {
        PlusRecord(out, kPlusEndOfFile, 0, {}, records);
    }

    out.U32(kEmrEof);
    out.U32(20);
    out.U32(0);
    out.U32(16);
    out.U32(20);

    out.PatchU32(totalAt, static_cast<std::uint32_t>(out.bytes.size()));
    out.PatchU32(totalAt + 4, records + 1);
    return out.bytes;
}

} // namespace office::imaging
