#include "office/package/EmbeddedPackage.h"

#include "office/package/PackageXml.h"
#include "office/package/PartNameKeys.h"
#include "office/package/PartPacking.h"
#include "office/package/ZipWriter.h"
#include "office/repack/Deflate.h"
#include "office/repack/JpegRepack.h"
#include "office/repack/PngRepack.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace office::package::detail {

namespace {

constexpr std::size_t kMaxEntries = 20000;
constexpr std::uint64_t kMaxInflated = 512ull << 20;
constexpr std::uint64_t kRatioFloor = 64ull << 20;
constexpr std::uint64_t kMaxRatio = 200;
// A workbook in a document in a presentation in the deck is as deep as real files go.
constexpr int kMaxDepth = 3;

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
// Flags that change nothing once the entry is written anew: deflate speed hints and UTF-8 names.
// Encryption, data descriptors, patches and the rest make the archive one to leave alone.
constexpr std::uint16_t kHarmlessFlags = 0x0002 | 0x0004 | 0x0800;
constexpr std::uint16_t kUtf8Flag = 0x0800;

struct RawEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compSize = 0;
    std::uint32_t size = 0;
    std::size_t dataOffset = 0;
};

struct Reader {
    std::span<const std::uint8_t> data;
    bool Has(std::size_t at, std::size_t n) const { return at <= data.size() && n <= data.size() - at; }
    std::uint16_t U16(std::size_t at) const { return std::uint16_t(data[at] | data[at + 1] << 8); }
    std::uint32_t U32(std::size_t at) const {
        return std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16;
    }
};

// Time stamps, owner ids and the padding office applications leave in local headers to grow a part
// in place (0xA220) only; a Zip64, encryption or unknown field ends the attempt.
bool HarmlessExtra(const Reader& r, std::size_t at, std::size_t length) {
    const std::size_t end = at + length;
    while (at < end) {
        if (end - at < 4)
            return false;
        const std::uint16_t id = r.U16(at);
        const std::size_t size = r.U16(at + 2);
        if (end - at - 4 < size)
            return false;
        if (id != 0x5455 && id != 0x7875 && id != 0x000A && id != 0xA220)
            return false;
        at += 4 + size;
    }
    return true;
}

// The entries of an archive laid out the plain way: local records that tile the file from offset 0
// up to the central directory (in any order), each agreeing with its central record, the directory
// right before an end record without comment.
std::optional<std::vector<RawEntry>> ReadDirectory(std::span<const std::uint8_t> zip) {
    const Reader r{zip};
    if (zip.size() < 22)
        return std::nullopt;
    const std::size_t end = zip.size() - 22;
    if (r.U32(end) != kEndSignature || r.U16(end + 20) != 0 || r.U16(end + 4) != 0 || r.U16(end + 6) != 0)
        return std::nullopt;
    const std::size_t count = r.U16(end + 10);
    const std::size_t directorySize = r.U32(end + 12), directoryOffset = r.U32(end + 16);
    if (count == 0 || count > kMaxEntries || r.U16(end + 8) != count || directoryOffset > end ||
        end - directoryOffset != directorySize)
        return std::nullopt;

    std::vector<RawEntry> entries;
    std::set<std::string> keys;
    std::size_t pos = directoryOffset;
    std::vector<std::pair<std::size_t, std::size_t>> spans; // local record start, data end
    std::uint64_t inflated = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!r.Has(pos, 46) || pos + 46 > end || r.U32(pos) != kCentralSignature)
            return std::nullopt;
        const std::uint16_t needed = r.U16(pos + 6), flags = r.U16(pos + 8), method = r.U16(pos + 10);
        const std::size_t nameLength = r.U16(pos + 28), extraLength = r.U16(pos + 30);
        if (needed > 20 || (flags & ~kHarmlessFlags) || (method != 0 && method != 8) ||
            r.U16(pos + 32) != 0 || r.U16(pos + 34) != 0 || pos + 46 + nameLength + extraLength > end ||
            !HarmlessExtra(r, pos + 46 + nameLength, extraLength))
            return std::nullopt;
        RawEntry entry;
        entry.method = method;
        entry.crc = r.U32(pos + 16);
        entry.compSize = r.U32(pos + 20);
        entry.size = r.U32(pos + 24);
        entry.name.assign(reinterpret_cast<const char*>(zip.data() + pos + 46), nameLength);
        const std::size_t local = r.U32(pos + 42);
        pos += 46 + nameLength + extraLength;
        if (method == 0 && entry.compSize != entry.size)
            return std::nullopt;

        // Names that would read differently once written with the UTF-8 flag, or would not be parts.
        bool ascii = true, control = false;
        for (unsigned char c : entry.name) {
            ascii = ascii && c < 0x80;
            control = control || c < 0x20;
        }
        if (entry.name.empty() || control || (!ascii && !(flags & kUtf8Flag)) || entry.name.front() == '/' ||
            entry.name.find('\\') != std::string::npos || (entry.name.back() == '/' && entry.size != 0) ||
            !keys.insert(AsciiLower(entry.name)).second)
            return std::nullopt;

        if (!r.Has(local, 30) || r.U32(local) != kLocalSignature || r.U16(local + 4) > 20 ||
            r.U16(local + 6) != flags || r.U16(local + 8) != method || r.U32(local + 14) != entry.crc ||
            r.U32(local + 18) != entry.compSize || r.U32(local + 22) != entry.size ||
            r.U16(local + 26) != nameLength)
            return std::nullopt;
        const std::size_t localExtra = r.U16(local + 28);
        if (!r.Has(local + 30, nameLength + localExtra) ||
            std::memcmp(zip.data() + local + 30, entry.name.data(), nameLength) != 0 ||
            !HarmlessExtra(r, local + 30 + nameLength, localExtra))
            return std::nullopt;
        entry.dataOffset = local + 30 + nameLength + localExtra;
        if (entry.dataOffset > directoryOffset || directoryOffset - entry.dataOffset < entry.compSize)
            return std::nullopt;
        spans.emplace_back(local, entry.dataOffset + entry.compSize);
        inflated += entry.size;
        entries.push_back(std::move(entry));
    }
    std::sort(spans.begin(), spans.end());
    std::size_t covered = 0;
    for (const auto& [start, stop] : spans) {
        if (start != covered)
            return std::nullopt; // a gap, an overlap or bytes before the first record
        covered = stop;
    }
    if (pos != end || covered != directoryOffset || inflated > kMaxInflated ||
        (inflated > kRatioFloor && inflated / zip.size() > kMaxRatio))
        return std::nullopt;
    if (!keys.count("[content_types].xml") || !keys.count("_rels/.rels"))
        return std::nullopt;
    return entries;
}

std::optional<Bytes> Inflated(std::span<const std::uint8_t> zip, const RawEntry& entry) {
    auto stored = zip.subspan(entry.dataOffset, entry.compSize);
    std::optional<Bytes> bytes = entry.method == 0 ? std::optional<Bytes>(Bytes(stored.begin(), stored.end()))
                                                   : repack::InflateRaw(stored, entry.size);
    if (!bytes || repack::Crc32(*bytes) != entry.crc)
        return std::nullopt;
    return bytes;
}

bool IsZip(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

std::optional<Bytes> Repack(std::span<const std::uint8_t> zip, int depth);

// One entry in its smallest form: a picture re-encoded, a nested package repacked, the rest deflated
// at the strongest level; the stored form stays when nothing beats it.
ZipEntry PackEntry(std::span<const std::uint8_t> zip, const RawEntry& raw, Bytes content,
                   const std::string& type, bool reencode, int depth) {
    auto input = std::make_shared<const Bytes>(std::move(content));
    std::shared_ptr<const PackedPart> packed;
    if (reencode && type == "image/jpeg")
        packed = PackReencoded(repack::RepackJpeg(*input), input);
    else if (reencode && type == "image/png")
        packed = PackReencoded(repack::RepackPng(*input), input);
    else if (reencode && depth + 1 < kMaxDepth && IsZip(*input))
        packed = PackReencoded(Repack(*input, depth + 1), input);
    else if (IsAlreadyCompressed("/" + raw.name))
        packed = StoreOrDeflateMedia(input);
    else
        packed = DeflateOrStore(input);

    ZipEntry out;
    out.name = raw.name;
    if (packed->data->size() < raw.compSize) {
        out.method = packed->method;
        out.crc = packed->crc;
        out.size = packed->size;
        out.data = packed->data;
    } else {
        auto stored = zip.subspan(raw.dataOffset, raw.compSize);
        out.method = raw.method;
        out.crc = raw.crc;
        out.size = raw.size;
        out.data = std::make_shared<const Bytes>(stored.begin(), stored.end());
    }
    return out;
}

std::optional<Bytes> Repack(std::span<const std::uint8_t> zip, int depth) {
    const auto entries = ReadDirectory(zip);
    if (!entries)
        return std::nullopt;
    const RawEntry* typesEntry = nullptr;
    bool signedPackage = false;
    for (const auto& entry : *entries) {
        const std::string key = AsciiLower(entry.name);
        if (key == "[content_types].xml")
            typesEntry = &entry;
        // Signatures cover the parts' bytes: a signed package keeps them and is only re-zipped.
        signedPackage = signedPackage || key.starts_with("_xmlsignatures/");
    }
    auto typesXml = Inflated(zip, *typesEntry);
    if (!typesXml)
        return std::nullopt;
    ContentTypeMap types;
    try {
        types = ContentTypeMap::Parse(*typesXml, "embedded package");
    } catch (...) {
        return std::nullopt;
    }

    std::vector<ZipEntry> out;
    out.reserve(entries->size());
    for (const auto& entry : *entries) {
        auto content = Inflated(zip, entry);
        if (!content)
            return std::nullopt;
        ZipEntry packed =
            PackEntry(zip, entry, std::move(*content), types.Lookup("/" + entry.name), !signedPackage, depth);
        if (&entry == typesEntry)
            out.insert(out.begin(), std::move(packed)); // [Content_Types].xml first, as office writers do
        else
            out.push_back(std::move(packed));
    }
    if (!FitsClassicZip(out))
        return std::nullopt;
    Bytes archive;
    archive.reserve(zip.size());
    WriteZip(out, [&](const std::uint8_t* data, std::size_t size) {
        archive.insert(archive.end(), data, data + size);
    });
    if (archive.size() >= zip.size())
        return std::nullopt;
    return archive;
}

} // namespace

std::optional<Bytes> RepackEmbeddedPackage(std::span<const std::uint8_t> zip) {
    if (!IsZip(zip))
        return std::nullopt;
    return Repack(zip, 0);
}

} // namespace office::package::detail
