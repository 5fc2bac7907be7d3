#include "office/imaging/EmfMaskedBitmaps.h"

#include "office/imaging/BmpDecoder.h"
#include "office/imaging/EmfRecords.h"
#include "office/imaging/Imaging.h"

namespace office::imaging::detail {

namespace {

using namespace emf;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A bitmap drawn by one record: where, with which raster operation, and its pixels.
struct Drawn {
    std::int32_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t rop = 0;
    Raster pixels;
};

// The bitmap of a bit-block or stretch record that draws one whole bitmap unscaled; nothing else.
std::optional<Drawn> DrawnBitmap(std::span<const std::uint8_t> record, std::uint32_t type) {
    Drawn d;
    std::size_t offBmi = 0, cbBmi = 0, offBits = 0;
    std::int32_t xSrc = 0, ySrc = 0, cxSrc = 0, cySrc = 0;
    d.x = static_cast<std::int32_t>(ReadU32(record, 24));
    d.y = static_cast<std::int32_t>(ReadU32(record, 28));
    if (type == kEmrStretchDibits) {
        xSrc = static_cast<std::int32_t>(ReadU32(record, 32));
        ySrc = static_cast<std::int32_t>(ReadU32(record, 36));
        cxSrc = static_cast<std::int32_t>(ReadU32(record, 40));
        cySrc = static_cast<std::int32_t>(ReadU32(record, 44));
        offBmi = ReadU32(record, 48);
        cbBmi = ReadU32(record, 52);
        offBits = ReadU32(record, 56);
        d.rop = ReadU32(record, 68);
        d.cx = static_cast<std::int32_t>(ReadU32(record, 72));
        d.cy = static_cast<std::int32_t>(ReadU32(record, 76));
    } else {
        d.cx = static_cast<std::int32_t>(ReadU32(record, 32));
        d.cy = static_cast<std::int32_t>(ReadU32(record, 36));
        d.rop = ReadU32(record, 40);
        xSrc = static_cast<std::int32_t>(ReadU32(record, 44));
        ySrc = static_cast<std::int32_t>(ReadU32(record, 48));
        offBmi = ReadU32(record, 84);
        cbBmi = ReadU32(record, 88);
        offBits = ReadU32(record, 92);
        cxSrc = d.cx;
        cySrc = d.cy;
        if (type == kEmrStretchBlt) {
            cxSrc = static_cast<std::int32_t>(ReadU32(record, 100));
            cySrc = static_cast<std::int32_t>(ReadU32(record, 104));
        }
    }
    if (cbBmi == 0 || xSrc != 0 || ySrc != 0 || cxSrc != d.cx || cySrc != d.cy)
        return std::nullopt;
    const Raster whole = DecodeDib(record, offBmi, offBits, false);
    if (d.cx <= 0 || d.cy <= 0 || whole.width < d.cx || whole.height < d.cy)
        return std::nullopt;
    // The part drawn: the top-left cx x cy of the bitmap (a mask may carry spare rows).
    d.pixels.width = d.cx;
    d.pixels.height = d.cy;
    for (int y = 0; y < d.cy; ++y) {
        const auto row = whole.rgba.begin() + static_cast<std::ptrdiff_t>(y) * whole.width * 4;
        d.pixels.rgba.insert(d.pixels.rgba.end(), row, row + static_cast<std::ptrdiff_t>(d.cx) * 4);
    }
    return d;
}

// One 32-bit bitmap record drawing the merged pixels where the pair drew.
std::vector<std::uint8_t> MergedRecord(std::span<const std::uint8_t> colourRecord, const Drawn& mask,
                                       const Drawn& colour) {
    const std::uint32_t w = static_cast<std::uint32_t>(colour.cx), h = static_cast<std::uint32_t>(colour.cy);
    const std::uint32_t bits = w * h * 4;
    std::vector<std::uint8_t> out;
    Put32(out, kEmrStretchDibits);
    Put32(out, 80 + 40 + bits);
    out.insert(out.end(), colourRecord.begin() + 8, colourRecord.begin() + 24); // bounds
    for (std::uint32_t v : {static_cast<std::uint32_t>(colour.x), static_cast<std::uint32_t>(colour.y), 0u,
                            0u, w, h, 80u, 40u, 120u, bits, 0u, kSrcCopy, w, h})
        Put32(out, v);
    for (std::uint32_t v : {40u, w, h}) // bottom-up rows
        Put32(out, v);
    out.push_back(1);
    out.push_back(0);
    out.push_back(32);
    out.push_back(0);
    for (std::uint32_t v : {0u, bits, 3780u, 3780u, 0u, 0u})
        Put32(out, v);
    for (std::uint32_t row = h; row-- > 0;) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint8_t* c = &colour.pixels.rgba[(row * w + x) * 4];
            const std::uint8_t* m = &mask.pixels.rgba[(row * w + x) * 4];
            // Where the mask keeps the page and the colours are black, the page shows through.
            const bool keepsPage = m[0] > 127 && m[1] > 127 && m[2] > 127;
            const bool black = c[0] == 0 && c[1] == 0 && c[2] == 0;
            out.push_back(c[2]);
            out.push_back(c[1]);
            out.push_back(c[0]);
            out.push_back(keepsPage && black ? 0 : 255);
        }
    }
    return out;
}

} // namespace

std::optional<std::vector<std::uint8_t>> WithMaskedBitmapsMerged(std::span<const std::uint8_t> emf) {
    try {
        std::vector<std::uint8_t> out;
        std::optional<Drawn> mask;
        std::size_t maskAt = 0; // where the pending mask record was copied to in out
        bool merged = false;
        std::uint32_t records = 0;
        std::size_t at = 0;
        while (at + 8 <= emf.size()) {
            const std::uint32_t type = ReadU32(emf, at), size = ReadU32(emf, at + 4);
            if (size < 8 || size % 4 != 0 || size > emf.size() - at)
                return std::nullopt;
            const auto record = emf.subspan(at, size);
            at += size;
            ++records;
            const bool bitmap = type == kEmrBitBlt || type == kEmrStretchBlt || type == kEmrStretchDibits;
            std::optional<Drawn> drawn = bitmap ? DrawnBitmap(record, type) : std::nullopt;
            if (drawn && mask && (drawn->rop == kSrcInvert || drawn->rop == kSrcPaint) &&
                drawn->x == mask->x && drawn->y == mask->y && drawn->cx == mask->cx &&
                drawn->cy == mask->cy) {
                out.resize(maskAt); // the mask goes; the merged bitmap draws instead of both
                --records;
                auto merge = MergedRecord(record, *mask, *drawn);
                out.insert(out.end(), merge.begin(), merge.end());
                mask.reset();
                merged = true;
                continue;
            }
            if (bitmap) {
                mask.reset();
                if (drawn && drawn->rop == kSrcAnd) {
                    mask = std::move(drawn);
                    maskAt = out.size();
                }
            }
            out.insert(out.end(), record.begin(), record.end());
        }
        if (!merged || out.size() < 108 || ReadU32(out, 0) != kEmrHeader)
            return std::nullopt;
        const auto total = static_cast<std::uint32_t>(out.size());
        for (int i = 0; i < 4; ++i) {
            out[48 + i] = static_cast<std::uint8_t>(total >> (8 * i));
            out[52 + i] = static_cast<std::uint8_t>(records >> (8 * i));
        }
        return out;
    } catch (const ImagingError&) {
        return std::nullopt;
    }
}

} // namespace office::imaging::detail
