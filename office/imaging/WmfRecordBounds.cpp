#include "office/imaging/WmfRecordBounds.h"

#include "office/imaging/EmfRecords.h"
#include "office/imaging/ImageLimits.h"

#include <cstdlib>
#include <optional>

namespace office::imaging::detail {

namespace {

using emf::ReadU16;
using emf::ReadU32;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableHeader = 22;
constexpr std::size_t kMaxRecordAt = 12; // in the header, in 16-bit words
constexpr std::size_t kRecordHeader = 6; // size in words, function
constexpr std::uint16_t kEof = 0x0000;

// Where a record's bitmap starts, where its colour usage is (none: RGB entries), and the size in
// words of its form without a bitmap (none: it always has one).
struct DibPlace {
    std::uint16_t function;
    std::size_t dibAt;
    std::optional<std::size_t> colourUsageAt;
    std::optional<std::uint32_t> wordsWithoutBitmap;
};
constexpr DibPlace kDibRecords[] = {
    {0x0940, 22, std::nullopt, 12}, // DIBBITBLT
    {0x0B41, 26, std::nullopt, 14}, // DIBSTRETCHBLT
    {0x0F43, 28, 10, std::nullopt}, // STRETCHDIB
    {0x0D33, 24, 6, std::nullopt},  // SETDIBTODEV
    {0x0142, 10, 8, std::nullopt},  // DIBCREATEPATTERNBRUSH
};
constexpr std::uint16_t kPatternBrushFunction = 0x0142;
constexpr std::uint16_t kBrushStylePattern = 3; // a bitmap of the older kind, not a DIB
constexpr std::uint16_t kPaletteIndices = 1;    // DIB_PAL_COLORS: 16-bit entries
constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3;

void CheckDib(std::span<const std::uint8_t> record, const DibPlace& place) {
    const std::size_t at = place.dibAt;
    const std::uint32_t headerSize = ReadU32(record, at);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitCount = 0, compression = kBiRgb, coloursUsed = 0;
    std::size_t entrySize = 4;
    if (headerSize == 12) { // BITMAPCOREHEADER
        width = ReadU16(record, at + 4);
        height = ReadU16(record, at + 6);
        bitCount = ReadU16(record, at + 10);
        entrySize = 3;
    } else if (headerSize >= 40) {
        width = static_cast<std::int32_t>(ReadU32(record, at + 4));
        height = std::abs(std::int64_t{static_cast<std::int32_t>(ReadU32(record, at + 8))});
        bitCount = ReadU16(record, at + 14);
        compression = ReadU32(record, at + 16);
        coloursUsed = ReadU32(record, at + 32);
    } else {
        throw ImagingError("metafile holds a bitmap with an unknown header");
    }
    if (place.colourUsageAt && ReadU16(record, *place.colourUsageAt) == kPaletteIndices) {
        entrySize = 2;
    }
    CheckDimensions(width, height);
    const std::uint64_t entries = coloursUsed != 0 ? coloursUsed : bitCount <= 8 ? 1u << bitCount : 0;
    if (bitCount <= 8 && entries > (1u << bitCount)) {
        throw ImagingError("metafile holds a bitmap with more colours than its pixels can name");
    }
    const std::uint64_t masks = headerSize == 40 && compression == kBiBitfields ? 12 : 0;
    const std::uint64_t pixelsAt = at + headerSize + masks + entries * entrySize;
    std::uint64_t end = pixelsAt;
    if (compression == kBiRgb || compression == kBiBitfields) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
        end += stride * static_cast<std::uint64_t>(height);
    }
    if (end > record.size()) {
        throw ImagingError("metafile holds a bitmap larger than its record");
    }
}

} // namespace

void CheckWmfRecordBounds(std::span<const std::uint8_t> wmf) {
    const std::size_t start = wmf.size() >= 4 && ReadU32(wmf, 0) == kPlaceableKey ? kPlaceableHeader : 0;
    if (2ull * ReadU32(wmf, start + kMaxRecordAt) > wmf.size() - start) {
        throw ImagingError("metafile declares a record larger than itself");
    }
    std::size_t at = start + 2ull * ReadU16(wmf, start + 2);
    while (at < wmf.size()) {
        const std::uint64_t size = 2ull * ReadU32(wmf, at);
        const std::uint16_t function = ReadU16(wmf, at + 4);
        if (function == kEof) {
            return; // the reader stops here
        }
        if (size < kRecordHeader || size > wmf.size() - at) {
            throw ImagingError("metafile has a record larger than the file");
        }
        const auto record = wmf.subspan(at, size);
        for (const DibPlace& place : kDibRecords) {
            if (place.function != function || size == 2ull * place.wordsWithoutBitmap.value_or(0) ||
                (function == kPatternBrushFunction && ReadU16(record, 6) == kBrushStylePattern)) {
                continue;
            }
            CheckDib(record, place);
        }
        at += size;
    }
}

} // namespace office::imaging::detail
