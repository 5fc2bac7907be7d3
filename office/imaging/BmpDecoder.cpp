#include "office/imaging/BmpDecoder.h"

#include "office/imaging/ImageLimits.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <vector>

namespace office::imaging::detail {

namespace {

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 4 > b.size()) {
        throw ImagingError("bitmap is truncated");
    }
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 2 > b.size()) {
        throw ImagingError("bitmap is truncated");
    }
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

struct DibHeader {
    std::int64_t width = 0;
    std::int64_t height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t headerSize = 0;
    std::array<std::uint32_t, 4> masks{}; // r, g, b, a
    bool hasAlphaMask = false;
};

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

DibHeader ReadDibHeader(std::span<const std::uint8_t> b, std::size_t at) {
    DibHeader h;
    h.headerSize = U32(b, at);
    if (h.headerSize == 12) { // OS/2 core header
        h.width = U16(b, at + 4);
        h.height = U16(b, at + 6);
        h.bitCount = U16(b, at + 10);
    } else if (h.headerSize >= 40 && h.headerSize <= 124) {
        h.width = static_cast<std::int32_t>(U32(b, at + 4));
        const auto height = static_cast<std::int32_t>(U32(b, at + 8));
        h.topDown = height < 0;
        h.height = std::llabs(static_cast<long long>(height));
        h.bitCount = U16(b, at + 14);
        h.compression = U32(b, at + 16);
        h.colorsUsed = U32(b, at + 32);
        if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
            // Masks follow a 40-byte header, or sit inside the V2+ headers at the same place.
            for (int i = 0; i < 3; ++i) {
                h.masks[i] = U32(b, at + 40 + 4 * i);
            }
            if (h.headerSize >= 56 || h.compression == kBiAlphaBitfields) {
                h.masks[3] = U32(b, at + 52);
                h.hasAlphaMask = h.masks[3] != 0;
            }
        }
    } else {
        throw ImagingError("unsupported bitmap header");
    }
    CheckDimensions(h.width, h.height);
    return h;
}

std::uint8_t MaskedChannel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const std::uint64_t max = mask >> shift;
    const std::uint64_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(255, (value * 255 + max / 2) / max));
}

} // namespace

Raster DecodeDib(std::span<const std::uint8_t> b, std::size_t infoOffset, std::size_t bitsOffset,
                 bool premultipliedAlpha) {
    DibHeader h = ReadDibHeader(b, infoOffset);
    const int bpp = h.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        throw ImagingError("unsupported bitmap depth " + std::to_string(bpp));
    }
    const bool masked = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (!(h.compression == kBiRgb || (masked && (bpp == 16 || bpp == 32)))) {
        throw ImagingError("compressed bitmaps are not supported");
    }
    if (!masked && bpp == 16) {
        h.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (!masked && bpp == 32) {
        h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    }

    std::vector<std::array<std::uint8_t, 3>> palette; // r, g, b
    if (bpp <= 8) {
        const std::size_t entrySize = h.headerSize == 12 ? 3 : 4;
        std::size_t count = h.colorsUsed != 0 ? h.colorsUsed : (std::size_t{1} << bpp);
        count = std::min<std::size_t>(count, std::size_t{1} << bpp);
        std::size_t at = infoOffset + h.headerSize;
        if (h.headerSize == 40 && masked) {
            at += 12;
        }
        if (at + count * entrySize > b.size()) {
            throw ImagingError("bitmap palette is truncated");
        }
        for (std::size_t i = 0; i < count; ++i, at += entrySize) {
            palette.push_back({b[at + 2], b[at + 1], b[at]});
        }
    }

    const std::size_t width = static_cast<std::size_t>(h.width);
    const std::size_t height = static_cast<std::size_t>(h.height);
    const std::size_t stride = ((width * bpp + 31) / 32) * 4;
    if (bitsOffset > b.size() || (b.size() - bitsOffset) / stride < height) {
        throw ImagingError("bitmap pixel data is truncated");
    }

    Raster out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.rgba.resize(width * height * 4);
    bool anyAlpha = false;
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t srcRow = h.topDown ? row : height - 1 - row;
        const std::uint8_t* src = b.data() + bitsOffset + srcRow * stride;
        std::uint8_t* dst = out.rgba.data() + row * width * 4;
        for (std::size_t x = 0; x < width; ++x, dst += 4) {
            if (bpp <= 8) {
                const std::size_t bitPos = x * bpp;
                const unsigned shift = 8 - bpp - (bitPos % 8);
                const unsigned index = (src[bitPos / 8] >> shift) & ((1u << bpp) - 1);
                const auto& c =
                    index < palette.size() ? palette[index] : std::array<std::uint8_t, 3>{0, 0, 0};
                dst[0] = c[0];
                dst[1] = c[1];
                dst[2] = c[2];
                dst[3] = 255;
            } else if (bpp == 24) {
                dst[0] = src[x * 3 + 2];
                dst[1] = src[x * 3 + 1];
                dst[2] = src[x * 3];
                dst[3] = 255;
            } else {
                const std::uint32_t px =
                    bpp == 16 ? std::uint32_t(src[x * 2] | src[x * 2 + 1] << 8)
                              : std::uint32_t(src[x * 4]) | std::uint32_t(src[x * 4 + 1]) << 8 |
                                    std::uint32_t(src[x * 4 + 2]) << 16 | std::uint32_t(src[x * 4 + 3]) << 24;
                dst[0] = MaskedChannel(px, h.masks[0]);
                dst[1] = MaskedChannel(px, h.masks[1]);
                dst[2] = MaskedChannel(px, h.masks[2]);
                dst[3] = h.masks[3] != 0 ? MaskedChannel(px, h.masks[3]) : 255;
                anyAlpha = anyAlpha || dst[3] != 0;
            }
        }
    }
    const bool alphaMeaningful = h.masks[3] != 0 && (bpp == 16 || bpp == 32);
    if (alphaMeaningful && !anyAlpha) {
        // A plain 32-bit bitmap leaves the fourth byte zero: that means opaque, not invisible.
        for (std::size_t i = 3; i < out.rgba.size(); i += 4) {
            out.rgba[i] = 255;
        }
    } else if (alphaMeaningful && premultipliedAlpha) {
        for (std::size_t i = 0; i < out.rgba.size(); i += 4) {
            const unsigned a = out.rgba[i + 3];
            for (int c = 0; c < 3; ++c) {
                out.rgba[i + c] =
                    a == 0 ? 0
                           : static_cast<std::uint8_t>(std::min(255u, (out.rgba[i + c] * 255u + a / 2) / a));
            }
        }
    }
    return out;
}

PixelSize MeasureBmp(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') {
        throw ImagingError("not a bitmap file");
    }
    const DibHeader h = ReadDibHeader(bytes, 14);
    return {static_cast<int>(h.width), static_cast<int>(h.height)};
}

Raster DecodeBmp(std::span<const std::uint8_t> bytes) {
    MeasureBmp(bytes);
    return DecodeDib(bytes, 14, U32(bytes, 10), false);
}

} // namespace office::imaging::detail
