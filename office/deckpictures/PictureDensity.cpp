#include "office/deckpictures/PictureDensity.h"

#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

namespace office::deckpictures {

namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr std::size_t kPngSignature = 8;

std::uint32_t Big32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
void PutBig32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// Offset of the JFIF APP0 segment's payload ("JFIF\0"), or 0.
std::size_t JfifPayload(const std::vector<std::uint8_t>& b) {
    if (b.size() < 20 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF || b[3] != 0xE0)
        return 0;
    return std::memcmp(&b[6], "JFIF\0", 5) == 0 ? 6 : 0;
}

struct Chunk {
    std::size_t offset; // of the length field
    std::uint32_t length;
    std::string type;
};

std::vector<Chunk> PngChunks(const std::vector<std::uint8_t>& b) {
    std::vector<Chunk> chunks;
    std::size_t at = kPngSignature;
    while (at + 12 <= b.size()) {
        const std::uint32_t length = Big32(&b[at]);
        if (length > b.size() - at - 12)
            return {};
        chunks.push_back({at, length, std::string(reinterpret_cast<const char*>(&b[at + 4]), 4)});
        at += 12 + length;
    }
    return chunks;
}

} // namespace

std::optional<Density> ReadDensity(const std::vector<std::uint8_t>& bytes, imaging::PictureKind kind) {
    if (kind == imaging::PictureKind::Jpeg) {
        const std::size_t p = JfifPayload(bytes);
        if (!p)
            return std::nullopt;
        const int units = bytes[p + 7];
        const double x = bytes[p + 8] << 8 | bytes[p + 9];
        const double y = bytes[p + 10] << 8 | bytes[p + 11];
        if (units == 0 || x == 0 || y == 0)
            return std::nullopt;
        const double toMetre = units == 1 ? 1 / kMetresPerInch : 100;
        return Density{x * toMetre, y * toMetre};
    }
    if (kind == imaging::PictureKind::Png) {
        for (const Chunk& c : PngChunks(bytes)) {
            if (c.type == "pHYs" && c.length == 9 && bytes[c.offset + 16] == 1)
                return Density{double(Big32(&bytes[c.offset + 8])), double(Big32(&bytes[c.offset + 12]))};
        }
    }
    return std::nullopt;
}

bool WriteDensity(std::vector<std::uint8_t>& bytes, imaging::PictureKind kind,
                  const std::optional<Density>& density) {
    if (kind == imaging::PictureKind::Jpeg) {
        std::size_t p = JfifPayload(bytes);
        if (!p) {
            if (!density)
                return bytes.size() > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
            if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
                return false;
            // A JFIF segment right after the start of image: version 1.1, density filled in below.
            static const std::uint8_t kApp0[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0,
                                                 1,    1,    0, 0,  1,   0,   1,   0,   0};
            bytes.insert(bytes.begin() + 2, std::begin(kApp0), std::end(kApp0));
            p = JfifPayload(bytes);
        }
        int units = 0, x = 1, y = 1;
        if (density) {
            // Whole dots per inch when the density is one, else dots per centimetre.
            const double dpiX = density->xPerMetre * kMetresPerInch,
                         dpiY = density->yPerMetre * kMetresPerInch;
            const bool inches =
                std::abs(dpiX - std::round(dpiX)) < 0.01 && std::abs(dpiY - std::round(dpiY)) < 0.01;
            units = inches ? 1 : 2;
            x = static_cast<int>(std::lround(inches ? dpiX : density->xPerMetre / 100));
            y = static_cast<int>(std::lround(inches ? dpiY : density->yPerMetre / 100));
            if (x < 1 || y < 1 || x > 65535 || y > 65535)
                return false;
        }
        bytes[p + 7] = std::uint8_t(units);
        bytes[p + 8] = std::uint8_t(x >> 8);
        bytes[p + 9] = std::uint8_t(x);
        bytes[p + 10] = std::uint8_t(y >> 8);
        bytes[p + 11] = std::uint8_t(y);
        return true;
    }
    if (kind == imaging::PictureKind::Png) {
        const auto chunks = PngChunks(bytes);
        if (chunks.empty() || chunks.front().type != "IHDR")
            return false;
        std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + kPngSignature);
        for (const Chunk& c : chunks) {
            if (c.type == "pHYs")
                continue;
            out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(c.offset + 12 + c.length));
            if (c.type == "IHDR" && density) {
                std::uint8_t chunk[21] = {0, 0, 0, 9, 'p', 'H', 'Y', 's'};
                PutBig32(&chunk[8], static_cast<std::uint32_t>(std::lround(density->xPerMetre)));
                PutBig32(&chunk[12], static_cast<std::uint32_t>(std::lround(density->yPerMetre)));
                chunk[16] = 1;
                PutBig32(&chunk[17], Crc32(&chunk[4], 13));
                out.insert(out.end(), chunk, chunk + 21);
            }
        }
        bytes = std::move(out);
        return true;
    }
    return false;
}

} // namespace office::deckpictures
