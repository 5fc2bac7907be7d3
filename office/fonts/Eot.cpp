#include "office/fonts/Eot.h"

#include <cstring>
#include <hb-ot.h>
#include <hb.h>
#include <memory>
#include <span>

// libeot's headers are plain C without linkage guards.
extern "C" {
#include <libeot/libeot.h>
}

namespace office::fonts {
namespace {

constexpr std::uint32_t kFlagSubset = 0x1;
constexpr std::uint32_t kFlagCompressed = 0x4;
constexpr std::uint32_t kFlagXor = 0x10000000;
constexpr std::uint16_t kMagic = 0x504C;
constexpr std::size_t kFixedHeaderSize = 82; // through Padding1

std::uint32_t ReadLE32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint16_t ReadLE16(const Bytes& b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}
void PutLE32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}
void PutLE16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void AppendLE16(Bytes& b, std::uint16_t v) {
    b.resize(b.size() + 2);
    PutLE16(b, b.size() - 2, v);
}
std::uint32_t ReadBE32(std::span<const std::uint8_t> b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}
std::uint16_t ReadBE16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t((b[at] << 8) | b[at + 1]);
}

// The bytes of one sfnt table; empty when absent or out of bounds.
std::span<const std::uint8_t> SfntTable(const Bytes& sfnt, const char tag[4]) {
    if (sfnt.size() < 12)
        return {};
    const std::uint16_t count = ReadBE16(sfnt, 4);
    for (std::size_t i = 0; i < count && 12 + 16 * (i + 1) <= sfnt.size(); ++i) {
        const std::size_t rec = 12 + 16 * i;
        if (std::memcmp(&sfnt[rec], tag, 4) != 0)
            continue;
        const std::uint32_t offset = ReadBE32(sfnt, rec + 8);
        const std::uint32_t length = ReadBE32(sfnt, rec + 12);
        if (std::uint64_t(offset) + length > sfnt.size())
            return {};
        return std::span<const std::uint8_t>(sfnt).subspan(offset, length);
    }
    return {};
}

std::string Utf16LeToUtf8(const Bytes& b, std::size_t at, std::size_t byteCount) {
    std::string out;
    for (std::size_t i = 0; i + 1 < byteCount; i += 2) {
        char32_t c = ReadLE16(b, at + i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < byteCount) {
            const char32_t low = ReadLE16(b, at + i + 2);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (c == 0)
            break;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Family and style names from the header's first two name records.
void ReadNames(const Bytes& header, EotFont& font) {
    std::size_t at = kFixedHeaderSize;
    if (at + 2 > header.size())
        return;
    const std::uint16_t familySize = ReadLE16(header, at);
    if (at + 2 + familySize > header.size())
        return;
    font.familyName = Utf16LeToUtf8(header, at + 2, familySize);
    at += 2 + familySize + 2; // Padding2
    if (at + 2 > header.size())
        return;
    const std::uint16_t styleSize = ReadLE16(header, at);
    if (at + 2 + styleSize > header.size())
        return;
    font.styleName = Utf16LeToUtf8(header, at + 2, styleSize);
}

// The fields the header mirrors from OS/2 and head, refreshed from a (subset) sfnt.
void CopyFontFields(const Bytes& sfnt, Bytes& header) {
    const auto os2 = SfntTable(sfnt, "OS/2");
    if (os2.size() >= 62) {
        for (int i = 0; i < 4; ++i)
            PutLE32(header, 36 + 4 * i, ReadBE32(os2, 42 + 4 * i));
    }
    if (os2.size() >= 86 && ReadBE16(os2, 0) >= 1) {
        for (int i = 0; i < 2; ++i)
            PutLE32(header, 52 + 4 * i, ReadBE32(os2, 78 + 4 * i));
    }
    const auto head = SfntTable(sfnt, "head");
    if (head.size() >= 12)
        PutLE32(header, 60, ReadBE32(head, 8));
}

void AppendName(Bytes& out, hb_face_t* face, hb_ot_name_id_t id) {
    unsigned length = hb_ot_name_get_utf16(face, id, HB_LANGUAGE_INVALID, nullptr, nullptr);
    std::vector<std::uint16_t> units(length + 1);
    unsigned size = length + 1;
    hb_ot_name_get_utf16(face, id, HB_LANGUAGE_INVALID, &size, units.data());
    units.resize(size);
    AppendLE16(out, std::uint16_t(units.size() * 2));
    for (std::uint16_t u : units)
        AppendLE16(out, u);
}

} // namespace

bool SubsettingAllowed(std::uint16_t fsType) {
    return (fsType & 0x000F) != 0x0002 && (fsType & 0x0100) == 0 && (fsType & 0x0200) == 0;
}

std::optional<EotFont> ReadEot(const Bytes& eot) {
    if (eot.size() < kFixedHeaderSize + 2 || ReadLE16(eot, 34) != kMagic)
        return std::nullopt;
    EOTMetadata metadata{};
    std::uint8_t* decoded = nullptr;
    unsigned decodedSize = 0;
    const EOTError error =
        EOT2ttf_buffer(eot.data(), unsigned(eot.size()), &metadata, &decoded, &decodedSize);
    std::unique_ptr<const std::uint8_t, void (*)(const std::uint8_t*)> guard(decoded, EOTfreeBuffer);
    if (error != EOT_SUCCESS || decoded == nullptr) {
        EOTfreeMetadata(&metadata);
        return std::nullopt;
    }
    const unsigned dataOffset = metadata.fontDataOffset;
    const std::uint32_t dataSize = metadata.fontDataSize;
    EOTfreeMetadata(&metadata);
    // The rewrite keeps everything before FontData, so FontData must be the container's tail.
    if (dataOffset < kFixedHeaderSize || std::uint64_t(dataOffset) + dataSize != eot.size())
        return std::nullopt;

    EotFont font;
    font.header.assign(eot.begin(), eot.begin() + dataOffset);
    font.sfnt.assign(decoded, decoded + decodedSize);
    font.flags = ReadLE32(eot, 12);
    font.fsType = ReadLE16(eot, 32);
    ReadNames(font.header, font);
    return font;
}

Bytes WriteEot(const EotFont& original, const Bytes& sfnt) {
    Bytes out = original.header;
    PutLE32(out, 0, std::uint32_t(out.size() + sfnt.size()));
    PutLE32(out, 4, std::uint32_t(sfnt.size()));
    PutLE32(out, 12, (original.flags & ~(kFlagCompressed | kFlagXor)) | kFlagSubset);
    CopyFontFields(sfnt, out);
    out.insert(out.end(), sfnt.begin(), sfnt.end());
    return out;
}

Bytes BuildEot(const Bytes& sfnt) {
    Bytes out(kFixedHeaderSize, 0);
    PutLE32(out, 8, 0x00020001);
    PutLE16(out, 34, kMagic);
    const auto os2 = SfntTable(sfnt, "OS/2");
    if (os2.size() >= 64) {
        std::memcpy(&out[16], &os2[32], 10);
        out[26] = 1; // DEFAULT_CHARSET
        out[27] = (ReadBE16(os2, 62) & 0x1) ? 1 : 0;
        PutLE32(out, 28, ReadBE16(os2, 4));
        PutLE16(out, 32, ReadBE16(os2, 8));
    }
    CopyFontFields(sfnt, out);

    hb_blob_t* blob = hb_blob_create(reinterpret_cast<const char*>(sfnt.data()), unsigned(sfnt.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    AppendName(out, face, HB_OT_NAME_ID_FONT_FAMILY);
    AppendLE16(out, 0);
    AppendName(out, face, HB_OT_NAME_ID_FONT_SUBFAMILY);
    AppendLE16(out, 0);
    AppendName(out, face, HB_OT_NAME_ID_VERSION_STRING);
    AppendLE16(out, 0);
    AppendName(out, face, HB_OT_NAME_ID_FULL_NAME);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
    AppendLE16(out, 0); // Padding5
    AppendLE16(out, 0); // RootStringSize

    EotFont shell;
    shell.header = std::move(out);
    shell.flags = 0;
    Bytes eot = WriteEot(shell, sfnt);
    PutLE32(eot, 12, 0); // a whole font, not a subset
    return eot;
}

} // namespace office::fonts
