#pragma once

// A reader of compound files (OLE2 structured storage) for the little that judging a file needs:
// the streams directly inside the root storage and the first bytes of one of them. It reads the
// header, the FAT sectors its chains pass through, the directory and that stream, never the whole
// file, and trusts no field: a structure that cannot be followed makes Open fail or a read return
// nothing, never a crash, a hang or an allocation that the file's own size does not bound.

#include "office/binary/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace office::binary {

struct CompoundEntry {
    std::u16string name;
    bool isStream = false; // otherwise a storage
    std::uint32_t startSector = 0;
    std::uint64_t size = 0;
};

// Whether a directory entry's name equals an ASCII name the way compound files compare names: by
// the uppercase form of each UTF-16 code unit.
bool CompoundNameEquals(std::u16string_view name, std::string_view ascii);

class CompoundFile {
public:
    // nullopt when the source is not a compound file whose header, FAT locations, directory and
    // root storage can be read. The source must outlive the result.
    static std::optional<CompoundFile> Open(ByteSource& source);

    // The streams and storages directly inside the root storage; what lies in those storages is
    // not among them.
    const std::vector<CompoundEntry>& RootEntries() const { return rootEntries_; }
    const CompoundEntry* FindRootStream(std::string_view asciiName) const;

    // The first min(maxBytes, size) bytes of a stream of this file (from RootEntries); nullopt
    // when its sectors cannot be followed.
    std::optional<std::vector<std::uint8_t>> ReadStream(const CompoundEntry& stream, std::size_t maxBytes);

private:
    struct RawEntry {
        CompoundEntry entry;
        std::uint8_t type = 0;
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t child = 0;
    };

    explicit CompoundFile(ByteSource& source) : source_(&source) {}
    bool ReadHeader();
    bool ReadFatLocations(const std::uint8_t* header);
    bool ReadDirectory();
    bool ReadRootEntries(std::uint32_t firstChild);
    std::optional<RawEntry> ReadEntry(std::uint64_t id);

    bool ValidSector(std::uint32_t sector) const { return sector < sectorCount_; }
    bool WholeSector(std::uint32_t sector) const;
    bool ReadSector(std::uint32_t sector, std::uint32_t offset, std::span<std::uint8_t> out);
    std::optional<std::uint32_t> NextInFat(std::uint32_t sector);
    std::optional<std::vector<std::uint32_t>> Chain(std::uint32_t start);

    std::optional<std::vector<std::uint8_t>> ReadRegularStream(const CompoundEntry& stream,
                                                               std::size_t length);
    std::optional<std::vector<std::uint8_t>> ReadMiniStream(const CompoundEntry& stream, std::size_t length);
    bool LoadMiniStream();
    std::optional<std::uint32_t> NextInMiniFat(std::uint32_t miniSector);

    ByteSource* source_;
    unsigned sectorShift_ = 9;
    std::uint32_t sectorSize_ = 512;
    bool version3_ = true;
    // Sectors the file holds after its header; the last may be short.
    std::uint64_t sectorCount_ = 0;
    std::uint32_t firstDirectorySector_ = 0;
    std::uint32_t firstMiniFatSector_ = 0;
    std::vector<std::uint32_t> fatSectors_;
    std::vector<std::uint32_t> directorySectors_;
    std::uint64_t entryCount_ = 0;
    // The root entry's stream is the mini stream, which holds the streams under the cutoff.
    CompoundEntry miniStream_;
    std::vector<CompoundEntry> rootEntries_;

    // Loaded on the first read of a small stream.
    bool miniLoaded_ = false;
    bool miniUsable_ = false;
    std::vector<std::uint32_t> miniStreamSectors_;
    std::vector<std::uint32_t> miniFatSectors_;

    // The FAT sector the last lookup read; chains mostly run through one FAT sector after another.
    std::size_t cachedFatIndex_ = static_cast<std::size_t>(-1);
    std::vector<std::uint8_t> cachedFat_;
};

} // namespace office::binary
