#include "office/repack/PngRepack.h"

#include "office/imaging/PngMemoryIo.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <string_view>

namespace office::repack {

namespace {

constexpr std::size_t kMaxSampleBytes = std::size_t(1) << 28;
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct Chunk {
    std::string_view type;
    std::span<const std::uint8_t> whole; // length, type, data and CRC as stored
};

struct ChunkLayout {
    std::span<const std::uint8_t> ihdr; // 13 data bytes
    std::vector<Chunk> before;          // between IHDR and the first IDAT
    std::vector<Chunk> after;           // between the last IDAT and IEND
};

std::uint32_t ReadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void AppendBigEndian(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

bool Dropped(std::string_view type, const PngRepackOptions& options) {
    return type == "tEXt" || type == "zTXt" || type == "iTXt" || type == "tIME" ||
           (options.dropPhysicalSize && type == "pHYs");
}

// Splits the file into chunks; false for anything but a single still image with known critical chunks.
bool ReadLayout(std::span<const std::uint8_t> png, const PngRepackOptions& options, ChunkLayout& layout) {
    if (png.size() < 8 + 25 || std::memcmp(png.data(), kSignature, 8) != 0)
        return false;
    std::size_t pos = 8;
    bool sawData = false, sawEnd = false;
    while (!sawEnd) {
        if (png.size() - pos < 12)
            return false;
        const std::uint32_t length = ReadBigEndian(&png[pos]);
        if (length > png.size() - pos - 12)
            return false;
        Chunk chunk{std::string_view(reinterpret_cast<const char*>(&png[pos + 4]), 4),
                    png.subspan(pos, length + 12)};
        pos += length + 12;
        const std::string_view type = chunk.type;
        if (type == "IHDR") {
            if (!layout.ihdr.empty() || length != 13)
                return false;
            layout.ihdr = chunk.whole.subspan(8, 13);
        } else if (layout.ihdr.empty()) {
            return false;
        } else if (type == "IDAT") {
            if (sawData && !layout.after.empty())
                return false; // IDAT chunks must be consecutive
            sawData = true;
        } else if (type == "IEND") {
            sawEnd = true;
        } else if (type == "acTL" || type == "fcTL" || type == "fdAT") {
            return false; // animation: the frames would need their own care
        } else if (type == "PLTE" || !(type[0] & 0x20)) {
            if (type != "PLTE" || sawData)
                return false; // an unknown critical chunk
            layout.before.push_back(chunk);
        } else if (!Dropped(type, options)) {
            (sawData ? layout.after : layout.before).push_back(chunk);
        }
    }
    return sawData;
}

struct Image {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    std::size_t rowBytes = 0;
    Bytes samples; // height rows of rowBytes, unfiltered
};

// Decodes the samples exactly as stored (no transforms). Ancillary chunks are not interpreted: their
// bytes are copied verbatim, so libpng's opinions about them do not matter here.
bool Decode(std::span<const std::uint8_t> file, Image& image) {
    static constexpr png_byte kIgnored[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                           "sCAL\0sBIT\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
    int warnings = 0;
    office::imaging::pngmemory::Reader reader{file};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &warnings, office::imaging::pngmemory::Jump,
                               office::imaging::pngmemory::CountWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep>* rows = new std::vector<png_bytep>(); // no destructor may be skipped by longjmp
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        delete rows;
        return false;
    }
    png_set_read_fn(png, &reader, office::imaging::pngmemory::Read);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, int(sizeof kIgnored / 5));
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_chunk_malloc_max(png, 512u << 20);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    // A few bytes of file can declare gigapixels; such pictures are copied as they are.
    if (rowBytes == 0 || height == 0 || rowBytes > kMaxSampleBytes / height)
        png_error(png, "too large");
    image.samples.assign(rowBytes * height, 0);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = image.samples.data() + y * rowBytes;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    image.width = width;
    image.height = height;
    image.bitDepth = bitDepth;
    image.colorType = colorType;
    image.rowBytes = rowBytes;
    return warnings == 0;
}

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

std::uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

// Writes one row with the filter type into out (type byte first). Each filter has a loop of its own,
// the first pixel (no left neighbour) apart, so that the compiler vectorises all but Paeth: filtering
// was a fifth of the repack of a large picture.
void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp,
               std::uint8_t* out) {
    out[0] = std::uint8_t(type);
    std::uint8_t* dst = out + 1;
    const std::size_t lead = std::min(bpp, n);
    switch (type) {
    case 1:
        std::memcpy(dst, row, lead);
        for (std::size_t i = lead; i < n; ++i)
            dst[i] = std::uint8_t(row[i] - row[i - bpp]);
        return;
    case 2:
        if (!prior) {
            std::memcpy(dst, row, n);
            return;
        }
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = std::uint8_t(row[i] - prior[i]);
        return;
    case 3:
        if (!prior) {
            std::memcpy(dst, row, lead);
            for (std::size_t i = lead; i < n; ++i)
                dst[i] = std::uint8_t(row[i] - row[i - bpp] / 2);
            return;
        }
        for (std::size_t i = 0; i < lead; ++i)
            dst[i] = std::uint8_t(row[i] - prior[i] / 2);
        for (std::size_t i = lead; i < n; ++i)
            dst[i] = std::uint8_t(row[i] - (row[i - bpp] + prior[i]) / 2);
        return;
    case 4:
        if (!prior) { // Paeth of (a, 0, 0) is a
            std::memcpy(dst, row, lead);
            for (std::size_t i = lead; i < n; ++i)
                dst[i] = std::uint8_t(row[i] - row[i - bpp]);
            return;
        }
        for (std::size_t i = 0; i < lead; ++i) // Paeth of (0, b, 0) is b
            dst[i] = std::uint8_t(row[i] - prior[i]);
        for (std::size_t i = lead; i < n; ++i)
            dst[i] = std::uint8_t(row[i] - Paeth(row[i - bpp], prior[i], prior[i - bpp]));
        return;
    default:
        std::memcpy(dst, row, n);
        return;
    }
}

std::uint64_t SignedSum(const std::uint8_t* filtered, std::size_t n) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += filtered[i] < 128 ? filtered[i] : 256 - filtered[i];
    return sum;
}

// strategy 0-4: that filter on every row; 5: per row, the filter with the smallest sum of magnitudes.
// out is reused from one strategy to the next: a fresh buffer of tens of megabytes costs its page faults.
void Filter(const Image& image, int strategy, Bytes& out) {
    const std::size_t n = image.rowBytes;
    const std::size_t bpp =
        std::max<std::size_t>(1, std::size_t(Channels(image.colorType) * image.bitDepth) / 8);
    out.resize((n + 1) * image.height);
    Bytes trial(n + 1);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.samples.data() + y * n;
        const std::uint8_t* prior = y ? row - n : nullptr;
        std::uint8_t* dst = out.data() + y * (n + 1);
        if (strategy < 5) {
            FilterRow(strategy, row, prior, n, bpp, dst);
            continue;
        }
        std::uint64_t best = UINT64_MAX;
        for (int type = 0; type < 5; ++type) {
            FilterRow(type, row, prior, n, bpp, trial.data());
            const std::uint64_t sum = SignedSum(trial.data() + 1, n);
            if (sum < best) {
                best = sum;
                std::memcpy(dst, trial.data(), n + 1);
            }
        }
    }
}

void AppendChunk(Bytes& out, const char* type, std::span<const std::uint8_t> data) {
    AppendBigEndian(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    AppendBigEndian(out, Crc32(std::span(out).subspan(start)));
}

Bytes Assemble(const ChunkLayout& layout, std::span<const std::uint8_t> idat) {
    Bytes out(kSignature, kSignature + 8);
    std::array<std::uint8_t, 13> ihdr;
    std::copy(layout.ihdr.begin(), layout.ihdr.end(), ihdr.begin());
    ihdr[12] = 0; // not interlaced
    AppendChunk(out, "IHDR", ihdr);
    for (const auto& chunk : layout.before)
        out.insert(out.end(), chunk.whole.begin(), chunk.whole.end());
    constexpr std::size_t kMaxIdat = 1u << 30;
    for (std::size_t pos = 0; pos < idat.size(); pos += kMaxIdat)
        AppendChunk(out, "IDAT", idat.subspan(pos, std::min(kMaxIdat, idat.size() - pos)));
    for (const auto& chunk : layout.after)
        out.insert(out.end(), chunk.whole.begin(), chunk.whole.end());
    AppendChunk(out, "IEND", {});
    return out;
}

Bytes BestIdat(const Image& image) {
    // The fastest deflate ranks the filter strategies; only the winner gets the strong one, and large
    // images a lighter level: near-optimal parsing costs seconds on megabytes of flat colour.
    constexpr int kRankLevel = 1;
    constexpr std::size_t kRankAllLimit = 32u << 20;
    constexpr std::size_t kStrongestLimit = 128u << 10;
    constexpr std::size_t kStrongLimit = 32u << 20;
    const std::size_t rawSize = (image.rowBytes + 1) * image.height;
    const bool lowDepth = image.colorType == PNG_COLOR_TYPE_PALETTE || image.bitDepth < 8;
    Bytes bestFiltered, filtered;
    std::size_t bestRank = SIZE_MAX;
    for (int strategy : {5, 0, 1, 2, 4}) {
        if (strategy != 5 && (rawSize > kRankAllLimit || (lowDepth && strategy != 0)))
            continue;
        Filter(image, strategy, filtered);
        if (rawSize > kRankAllLimit) {
            bestFiltered.swap(filtered);
            break;
        }
        const std::size_t rank = DeflateZlib(filtered, kRankLevel).size();
        if (rank < bestRank) {
            bestRank = rank;
            bestFiltered.swap(filtered);
        }
    }
    // Small pictures take 11: over the corpus 12 saved 3.5 KB of 28.8 MB for 4 % of all the processor time.
    return DeflateZlib(bestFiltered, rawSize <= kStrongestLimit ? 11 : rawSize <= kStrongLimit ? 10 : 9);
}

bool DecodesTo(std::span<const std::uint8_t> file, const Image& image) {
    Image check;
    return Decode(file, check) && check.width == image.width && check.height == image.height &&
           check.bitDepth == image.bitDepth && check.colorType == image.colorType &&
           check.samples == image.samples;
}

// An 8-bit RGBA image with at most 256 distinct colours as a palette image: every pixel keeps its
// exact colour and alpha (PLTE + tRNS), so decoders show the same picture in a fraction of the bytes.
// Chunks whose layout depends on the colour type (bKGD, sBIT) go; the rest apply to palettes alike.
struct PaletteForm {
    Image image;
    ChunkLayout layout;
    Bytes plte, trns;
};

// The image's distinct RGBA values in ascending order, or any 257 of them once there are more: a
// photo stops after a few rows instead of sorting all its pixels.
std::vector<std::uint32_t> DistinctColours(const Bytes& rgba) {
    constexpr std::size_t kSlots = 1024; // open addressing, at most a quarter full
    std::array<std::uint32_t, kSlots> slots;
    std::array<bool, kSlots> used{};
    std::vector<std::uint32_t> colours;
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        const std::uint32_t c = ReadBigEndian(&rgba[i]);
        if (i && c == last)
            continue;
        last = c;
        std::size_t at = (c * 2654435761u) >> 22;
        while (used[at] && slots[at] != c)
            at = (at + 1) % kSlots;
        if (used[at])
            continue;
        used[at] = true;
        slots[at] = c;
        colours.push_back(c);
        if (colours.size() > 256)
            return colours;
    }
    std::sort(colours.begin(), colours.end());
    return colours;
}

std::optional<PaletteForm> AsPalette(const Image& image, const ChunkLayout& layout) {
    if (image.colorType != PNG_COLOR_TYPE_RGB_ALPHA || image.bitDepth != 8)
        return std::nullopt;
    std::vector<std::uint32_t> colours = DistinctColours(image.samples); // RGBA, by value
    if (colours.size() > 256)
        return std::nullopt;
    // Translucent ones first, so that tRNS stays short.
    std::stable_sort(colours.begin(), colours.end(), [](std::uint32_t a, std::uint32_t b) {
        return (a & 0xFF) != 0xFF && (b & 0xFF) == 0xFF;
    });
    PaletteForm form;
    std::size_t translucent = 0;
    for (std::uint32_t c : colours) {
        form.plte.insert(form.plte.end(),
                         {std::uint8_t(c >> 24), std::uint8_t(c >> 16), std::uint8_t(c >> 8)});
        if ((c & 0xFF) != 0xFF) {
            form.trns.push_back(std::uint8_t(c));
            ++translucent;
        }
    }
    // An opaque picture stored with an alpha channel keeps one: an opaque tRNS entry. Some renderers
    // draw pictures with alpha another way (LibreOffice exports them with a soft mask), and the
    // repack must not change how the deck looks anywhere.
    if (form.trns.empty())
        form.trns.push_back(0xFF);
    form.image.width = image.width;
    form.image.height = image.height;
    form.image.bitDepth = 8;
    form.image.colorType = PNG_COLOR_TYPE_PALETTE;
    form.image.rowBytes = image.width;
    form.image.samples.resize(std::size_t(image.width) * image.height);
    std::uint32_t last = 0;
    std::uint8_t lastIndex = 0;
    for (std::size_t i = 0; i < form.image.samples.size(); ++i) {
        const std::uint32_t c = ReadBigEndian(&image.samples[i * 4]);
        if (i == 0 || c != last) {
            const bool clear = (c & 0xFF) != 0xFF;
            auto begin = colours.begin() + (clear ? 0 : long(translucent));
            auto end = clear ? colours.begin() + long(translucent) : colours.end();
            lastIndex = std::uint8_t(std::lower_bound(begin, end, c) - colours.begin());
            last = c;
        }
        form.image.samples[i] = lastIndex;
    }
    form.layout.ihdr = layout.ihdr;
    for (const auto* list : {&layout.before, &layout.after})
        for (const auto& chunk : *list)
            if (chunk.type != "bKGD" && chunk.type != "sBIT")
                (list == &layout.before ? form.layout.before : form.layout.after).push_back(chunk);
    return form;
}

std::optional<Bytes> EncodePalette(const Image& image, const ChunkLayout& layout) {
    auto form = AsPalette(image, layout);
    if (!form)
        return std::nullopt;
    std::array<std::uint8_t, 13> ihdr;
    std::copy(layout.ihdr.begin(), layout.ihdr.end(), ihdr.begin());
    ihdr[8] = 8;
    ihdr[9] = PNG_COLOR_TYPE_PALETTE;
    form->layout.ihdr = ihdr;
    const Bytes plte = MakePngChunk("PLTE", form->plte);
    const Bytes trns = form->trns.empty() ? Bytes() : MakePngChunk("tRNS", form->trns);
    form->layout.before.push_back({"PLTE", plte}); // after gAMA, cHRM, iCCP, sRGB, as PNG requires
    if (!trns.empty())
        form->layout.before.push_back({"tRNS", trns});
    Bytes out = Assemble(form->layout, BestIdat(form->image));
    // Back through the decoder and the palette: every pixel must come out as it was.
    Image check;
    if (!Decode(out, check) || check.colorType != PNG_COLOR_TYPE_PALETTE ||
        check.samples != form->image.samples)
        return std::nullopt;
    for (std::size_t i = 0; i < check.samples.size(); ++i) {
        const std::size_t index = check.samples[i];
        const std::uint8_t alpha = index < form->trns.size() ? form->trns[index] : 255;
        const std::uint8_t* want = &image.samples[i * 4];
        if (form->plte[index * 3] != want[0] || form->plte[index * 3 + 1] != want[1] ||
            form->plte[index * 3 + 2] != want[2] || alpha != want[3])
            return std::nullopt;
    }
    return out;
}

} // namespace

std::uint64_t PngSampleBytes(std::span<const std::uint8_t> png) {
    if (png.size() < 33 || !std::equal(kSignature, kSignature + 8, png.begin()) ||
        !std::equal(png.begin() + 12, png.begin() + 16, "IHDR"))
        return 0;
    const std::uint64_t width = ReadBigEndian(&png[16]), height = ReadBigEndian(&png[20]);
    const int bitDepth = png[24], colorType = png[25];
    return (width * Channels(colorType) * bitDepth + 7) / 8 * height;
}

std::optional<Bytes> RepackPng(std::span<const std::uint8_t> png, const PngRepackOptions& options) {
    ChunkLayout layout;
    Image image;
    if (!ReadLayout(png, options, layout) || !Decode(png, image))
        return std::nullopt;
    std::optional<Bytes> best = EncodePalette(image, layout);
    Bytes out = Assemble(layout, BestIdat(image));
    if ((!best || out.size() < best->size()) && DecodesTo(out, image))
        best = std::move(out);
    if (!best || best->size() >= png.size())
        return std::nullopt;
    return best;
}

Bytes MakePngChunk(const char* type, std::span<const std::uint8_t> data) {
    Bytes out;
    AppendChunk(out, type, data);
    return out;
}

std::optional<Bytes> EncodePng(const PngSamples& samples, const std::vector<Bytes>& chunks,
                               const PngRepackOptions& options) {
    Image image;
    image.width = samples.width;
    image.height = samples.height;
    image.bitDepth = samples.bitDepth;
    image.colorType = samples.colorType;
    const std::uint64_t bits = std::uint64_t(samples.width) * Channels(samples.colorType) * samples.bitDepth;
    image.rowBytes = std::size_t((bits + 7) / 8);
    if (samples.width == 0 || samples.height == 0 || samples.rows.size() != image.rowBytes * samples.height)
        return std::nullopt;
    image.samples = samples.rows;
    std::array<std::uint8_t, 13> ihdr{};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = std::uint8_t(samples.width >> (24 - 8 * i));
        ihdr[4 + i] = std::uint8_t(samples.height >> (24 - 8 * i));
    }
    ihdr[8] = std::uint8_t(samples.bitDepth);
    ihdr[9] = std::uint8_t(samples.colorType);
    ChunkLayout layout;
    layout.ihdr = ihdr;
    for (const auto& chunk : chunks) {
        if (chunk.size() < 12)
            return std::nullopt;
        const std::string_view type(reinterpret_cast<const char*>(&chunk[4]), 4);
        if (options.dropPhysicalSize && type == "pHYs")
            continue;
        layout.before.push_back({type, chunk});
    }
    Bytes out = Assemble(layout, BestIdat(image));
    if (!DecodesTo(out, image))
        return std::nullopt;
    return out;
}

} // namespace office::repack
