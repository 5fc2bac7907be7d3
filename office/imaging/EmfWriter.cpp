// An enhanced metafile holding one bitmap at its natural size (96 dpi). Opaque pictures use a
// 24-bit stretch record, which is smaller and understood everywhere; pictures with transparency use
// an alpha-blend record over a premultiplied 32-bit bitmap so that the alpha survives.

#include "office/imaging/EmfRecords.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <cmath>
#include <cstring>

namespace office::imaging {

namespace {

using namespace emf;

constexpr std::uint32_t kHalftone = 4;
constexpr double kDpi = 96.0;
constexpr std::int32_t kPelsPerMeter = 3780; // 96 dpi
// Reference device: a 1920x1080 screen at 96 dpi.
constexpr std::int32_t kDeviceWidthPx = 1920, kDeviceHeightPx = 1080;
constexpr std::int32_t kDeviceWidthMm = 508, kDeviceHeightMm = 286;

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

} // namespace

std::vector<std::uint8_t> WrapInEmf(const Raster& raster) {
    detail::CheckRaster(raster, "WrapInEmf");
    const bool alpha = raster.HasTransparency();
    const int bpp = alpha ? 32 : 24;
    const std::int32_t w = raster.width, h = raster.height;
    const std::uint32_t stride =
        static_cast<std::uint32_t>(((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4);
    const std::uint64_t bitsSize64 = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(h);
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
    out.Rect(0, 0, static_cast<std::int32_t>(std::lround(w * 2540.0 / kDpi)) - 1,
             static_cast<std::int32_t>(std::lround(h * 2540.0 / kDpi)) - 1);
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

    out.U32(kEmrSetStretchBltMode);
    out.U32(12);
    out.U32(kHalftone);

    if (alpha) {
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
        out.I32(w); // cxSrc
        out.I32(h); // cySrc
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
    BitmapInfoHeader(out, raster, bpp, bitsSize);
    Bits(out, raster, bpp);

    out.U32(kEmrEof);
    out.U32(20);
    out.U32(0);
    out.U32(16);
    out.U32(20);

    out.PatchU32(totalAt, static_cast<std::uint32_t>(out.bytes.size()));
    out.PatchU32(totalAt + 4, 4); // header, stretch mode, bitmap, end
    return out.bytes;
}

} // namespace office::imaging
