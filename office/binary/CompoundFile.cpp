#include "office/binary/CompoundFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace office::binary {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderFieldsSize = 512;
constexpr std::size_t kHeaderFatLocations = 109;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
// Sector numbers above this one are markers (end of chain, free, FAT or DIFAT sector).
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kMaxNameBytes = 64;
constexpr unsigned kMiniSectorShift = 6;
constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
constexpr std::uint64_t kMiniStreamCutoff = 4096;

enum EntryType : std::uint8_t { kStorage = 1, kStream = 2, kRoot = 5 };

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t U64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(U32(p)) | static_cast<std::uint64_t>(U32(p + 4)) << 32;
}

// Simple uppercase mapping restricted to what can equal an ASCII letter: the ASCII letters
// themselves, dotless i and long s; every other code unit's uppercase lies outside ASCII.
char16_t UpperTowardAscii(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - (u'a' - u'A'));
    if (c == 0x0131)
        return u'I';
    if (c == 0x017F)
        return u'S';
    return c;
}

} // namespace

bool CompoundNameEquals(std::u16string_view name, std::string_view ascii) {
    if (name.size() != ascii.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto a = static_cast<unsigned char>(ascii[i]);
        if (a >= 0x80 || UpperTowardAscii(name[i]) != UpperTowardAscii(static_cast<char16_t>(a)))
            return false;
    }
    return true;
}

std::optional<CompoundFile> CompoundFile::Open(ByteSource& source) {
    CompoundFile file(source);
    if (!file.ReadHeader() || !file.ReadDirectory())
        return std::nullopt;
    return file;
}

bool CompoundFile::ReadHeader() {
    std::array<std::uint8_t, kHeaderFieldsSize> header{};
    if (!source_->ReadAt(0, header) || !std::equal(kSignature.begin(), kSignature.end(), header.begin()))
        return false;
    const std::uint16_t major = U16(&header[26]);
    const std::uint16_t byteOrder = U16(&header[28]);
    const std::uint16_t sectorShift = U16(&header[30]);
    const std::uint16_t miniSectorShift = U16(&header[32]);
    const std::uint32_t miniStreamCutoff = U32(&header[56]);
    if (byteOrder != 0xFFFE || miniSectorShift != kMiniSectorShift || miniStreamCutoff != kMiniStreamCutoff)
        return false;
    if (!(major == 3 && sectorShift == 9) && !(major == 4 && sectorShift == 12))
        return false;
    version3_ = major == 3;
    sectorShift_ = sectorShift;
    sectorSize_ = 1u << sectorShift;
    // The header takes the place of one sector (padded to a whole one in version 4).
    const std::uint64_t size = source_->Size();
    sectorCount_ = size <= sectorSize_ ? 0 : (size - sectorSize_ + sectorSize_ - 1) >> sectorShift_;
    sectorCount_ = std::min<std::uint64_t>(sectorCount_, std::uint64_t{kMaxRegularSector} + 1);
    firstDirectorySector_ = U32(&header[48]);
    firstMiniFatSector_ = U32(&header[60]);
    return ReadFatLocations(header.data());
}

// The FAT's sectors: the first 109 listed in the header, the rest in the DIFAT sectors, each of
// which ends with the number of the next.
bool CompoundFile::ReadFatLocations(const std::uint8_t* header) {
    const std::uint32_t fatSectorCount = U32(header + 44);
    // Every FAT sector is a whole sector of the file, which bounds the list; one cut short is a
    // truncated file even where no chain passes through its missing part.
    if (fatSectorCount > sectorCount_)
        return false;
    fatSectors_.reserve(fatSectorCount);
    const std::size_t inHeader = std::min<std::size_t>(fatSectorCount, kHeaderFatLocations);
    for (std::size_t i = 0; i < inHeader; ++i) {
        const std::uint32_t sector = U32(header + 76 + 4 * i);
        if (!WholeSector(sector))
            return false;
        fatSectors_.push_back(sector);
    }
    std::uint32_t difatSector = U32(header + 68);
    std::vector<std::uint8_t> difat(sectorSize_);
    const std::size_t perDifatSector = sectorSize_ / 4 - 1;
    // Each DIFAT sector adds perDifatSector locations, so this ends after as many sectors as the
    // FAT needs, whatever their numbers say.
    while (fatSectors_.size() < fatSectorCount) {
        if (!ReadSector(difatSector, 0, difat))
            return false;
        for (std::size_t i = 0; i < perDifatSector && fatSectors_.size() < fatSectorCount; ++i) {
            const std::uint32_t sector = U32(&difat[4 * i]);
            if (!WholeSector(sector))
                return false;
            fatSectors_.push_back(sector);
        }
        difatSector = U32(&difat[4 * perDifatSector]);
    }
    return true;
}

bool CompoundFile::WholeSector(std::uint32_t sector) const {
    return ValidSector(sector) && (std::uint64_t{sector} + 2) << sectorShift_ <= source_->Size();
}

bool CompoundFile::ReadSector(std::uint32_t sector, std::uint32_t offset, std::span<std::uint8_t> out) {
    if (!ValidSector(sector) || offset > sectorSize_ || out.size() > sectorSize_ - offset)
        return false;
    return source_->ReadAt(((std::uint64_t{sector} + 1) << sectorShift_) + offset, out);
}

std::optional<std::uint32_t> CompoundFile::NextInFat(std::uint32_t sector) {
    const std::size_t perSector = sectorSize_ / 4;
    const std::size_t index = sector / perSector;
    if (index >= fatSectors_.size())
        return std::nullopt;
    if (cachedFatIndex_ != index) {
        cachedFatIndex_ = static_cast<std::size_t>(-1);
        cachedFat_.resize(sectorSize_);
        if (!ReadSector(fatSectors_[index], 0, cachedFat_))
            return std::nullopt;
        cachedFatIndex_ = index;
    }
    return U32(&cachedFat_[4 * (sector % perSector)]);
}

// A whole chain, which must end with the end-of-chain mark: a sector out of the file, a free
// sector or one met twice (a loop) makes it unreadable. Its length is bounded by the file.
std::optional<std::vector<std::uint32_t>> CompoundFile::Chain(std::uint32_t start) {
    std::vector<std::uint32_t> chain;
    std::vector<bool> seen(static_cast<std::size_t>(sectorCount_));
    for (std::uint32_t sector = start; sector != kEndOfChain;) {
        if (!ValidSector(sector) || seen[sector])
            return std::nullopt;
        seen[sector] = true;
        chain.push_back(sector);
        const std::optional<std::uint32_t> next = NextInFat(sector);
        if (!next)
            return std::nullopt;
        sector = *next;
    }
    return chain;
}

bool CompoundFile::ReadDirectory() {
    std::optional<std::vector<std::uint32_t>> sectors = Chain(firstDirectorySector_);
    if (!sectors || sectors->empty())
        return false;
    directorySectors_ = std::move(*sectors);
    entryCount_ = directorySectors_.size() * (sectorSize_ / kEntrySize);
    const std::optional<RawEntry> root = ReadEntry(0);
    if (!root || root->type != kRoot)
        return false;
    miniStream_ = root->entry;
    // The mini stream lies in the file's sectors.
    if (miniStream_.size > sectorCount_ * sectorSize_)
        return false;
    return ReadRootEntries(root->child);
}

std::optional<CompoundFile::RawEntry> CompoundFile::ReadEntry(std::uint64_t id) {
    if (id >= entryCount_)
        return std::nullopt;
    const std::size_t perSector = sectorSize_ / kEntrySize;
    std::array<std::uint8_t, kEntrySize> bytes{};
    if (!ReadSector(directorySectors_[id / perSector],
                    static_cast<std::uint32_t>(id % perSector * kEntrySize), bytes))
        return std::nullopt;
    const std::uint16_t nameBytes = U16(&bytes[64]);
    if (nameBytes > kMaxNameBytes || nameBytes % 2 != 0)
        return std::nullopt;
    RawEntry raw;
    for (std::size_t i = 0; i < nameBytes / 2u; ++i)
        raw.entry.name.push_back(static_cast<char16_t>(U16(&bytes[2 * i])));
    // The length counts the terminating null.
    while (!raw.entry.name.empty() && raw.entry.name.back() == 0)
        raw.entry.name.pop_back();
    raw.type = bytes[66];
    raw.left = U32(&bytes[68]);
    raw.right = U32(&bytes[72]);
    raw.child = U32(&bytes[76]);
    raw.entry.isStream = raw.type == kStream;
    raw.entry.startSector = U32(&bytes[116]);
    // Old writers of version 3 files left the high half of the size uninitialised; it is zero there.
    raw.entry.size = version3_ ? U32(&bytes[120]) : U64(&bytes[120]);
    return raw;
}

// A storage's entries form a tree through their left and right siblings, reached from the
// storage's child. It is walked with a stack of its own, and an entry met twice is a damaged tree.
bool CompoundFile::ReadRootEntries(std::uint32_t firstChild) {
    std::vector<bool> seen(static_cast<std::size_t>(entryCount_));
    seen[0] = true; // the root itself
    std::vector<std::uint32_t> pending;
    if (firstChild != kNoStream)
        pending.push_back(firstChild);
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id >= entryCount_ || seen[id])
            return false;
        seen[id] = true;
        const std::optional<RawEntry> raw = ReadEntry(id);
        if (!raw || (raw->type != kStorage && raw->type != kStream))
            return false;
        rootEntries_.push_back(raw->entry);
        for (const std::uint32_t sibling : {raw->left, raw->right})
            if (sibling != kNoStream)
                pending.push_back(sibling);
    }
    return true;
}

const CompoundEntry* CompoundFile::FindRootStream(std::string_view asciiName) const {
    for (const CompoundEntry& entry : rootEntries_)
        if (entry.isStream && CompoundNameEquals(entry.name, asciiName))
            return &entry;
    return nullptr;
}

std::optional<std::vector<std::uint8_t>> CompoundFile::ReadStream(const CompoundEntry& stream,
                                                                  std::size_t maxBytes) {
    if (!stream.isStream)
        return std::nullopt;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(stream.size, maxBytes));
    return stream.size < kMiniStreamCutoff ? ReadMiniStream(stream, length)
                                           : ReadRegularStream(stream, length);
}

std::optional<std::vector<std::uint8_t>> CompoundFile::ReadRegularStream(const CompoundEntry& stream,
                                                                         std::size_t length) {
    if (stream.size > sectorCount_ * sectorSize_)
        return std::nullopt;
    std::vector<std::uint8_t> out(length);
    std::vector<bool> seen(static_cast<std::size_t>(sectorCount_));
    std::uint32_t sector = stream.startSector;
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min<std::size_t>(sectorSize_, length - done);
        if (!ValidSector(sector) || seen[sector] || !ReadSector(sector, 0, std::span(out).subspan(done, n)))
            return std::nullopt;
        seen[sector] = true;
        done += n;
        if (done < length) {
            const std::optional<std::uint32_t> next = NextInFat(sector);
            if (!next)
                return std::nullopt;
            sector = *next;
        }
    }
    return out;
}

// The mini stream's own sectors, and the mini FAT that chains its 64-byte sectors.
bool CompoundFile::LoadMiniStream() {
    if (miniLoaded_)
        return miniUsable_;
    miniLoaded_ = true;
    std::optional<std::vector<std::uint32_t>> sectors = Chain(miniStream_.startSector);
    std::optional<std::vector<std::uint32_t>> fat = Chain(firstMiniFatSector_);
    if (!sectors || !fat || sectors->size() * std::uint64_t{sectorSize_} < miniStream_.size)
        return false;
    miniStreamSectors_ = std::move(*sectors);
    miniFatSectors_ = std::move(*fat);
    miniUsable_ = true;
    return true;
}

std::optional<std::uint32_t> CompoundFile::NextInMiniFat(std::uint32_t miniSector) {
    const std::size_t perSector = sectorSize_ / 4;
    const std::size_t index = miniSector / perSector;
    if (index >= miniFatSectors_.size())
        return std::nullopt;
    std::array<std::uint8_t, 4> next{};
    if (!ReadSector(miniFatSectors_[index], static_cast<std::uint32_t>(4 * (miniSector % perSector)), next))
        return std::nullopt;
    return U32(next.data());
}

std::optional<std::vector<std::uint8_t>> CompoundFile::ReadMiniStream(const CompoundEntry& stream,
                                                                      std::size_t length) {
    if (length == 0)
        return std::vector<std::uint8_t>{};
    if (stream.size > miniStream_.size || !LoadMiniStream())
        return std::nullopt;
    std::vector<std::uint8_t> out(length);
    // Mini sectors lie inside the mini stream, which the file's size bounds.
    std::vector<bool> seen(static_cast<std::size_t>(miniStream_.size / kMiniSectorSize + 1));
    std::uint32_t miniSector = stream.startSector;
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min<std::size_t>(kMiniSectorSize, length - done);
        const std::uint64_t position = std::uint64_t{miniSector} << kMiniSectorShift;
        if (miniSector > kMaxRegularSector || position + n > miniStream_.size || seen[miniSector])
            return std::nullopt;
        seen[miniSector] = true;
        const std::uint64_t index = position >> sectorShift_;
        // A mini sector never straddles two sectors: 64 divides the sector size.
        if (index >= miniStreamSectors_.size() ||
            !ReadSector(miniStreamSectors_[index], static_cast<std::uint32_t>(position & (sectorSize_ - 1)),
                        std::span(out).subspan(done, n)))
            return std::nullopt;
        done += n;
        if (done < length) {
            const std::optional<std::uint32_t> next = NextInMiniFat(miniSector);
            if (!next)
                return std::nullopt;
            miniSector = *next;
        }
    }
    return out;
}

} // namespace office::binary
