#pragma once

// Read side of the package's ZIP container: validates the archive once and inflates one entry on
// request with the size limits enforced while inflating. The archive is either a file, read as its
// entries are asked for and never written, or bytes in memory.

#include "office/package/Package.h"
#include "platform/FileDescriptors.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct zip;
struct zip_source;

namespace office::package::detail {

struct ArchiveEntry {
    std::string name; // as stored, UTF-8, without a leading slash
    std::uint64_t index = 0;
    std::uint64_t size = 0;     // declared inflated size
    std::uint64_t compSize = 0; // stored size
    std::int32_t method = 0;    // compression method as stored (0 stored, 8 deflate)
    std::uint32_t crc = 0;      // CRC-32 of the inflated data, as the directory states it
    bool crcKnown = false;
};

// Receives data in pieces.
using ChunkSink = std::function<void(const std::uint8_t*, std::size_t)>;

class ArchiveReader {
public:
    // Throws AutomationError(member, ...) saying what kind of file this is when it is not a usable ZIP.
    ArchiveReader(Bytes data, const std::string& member, const OpenLimits& limits);
    // Keeps the file open: one renamed or removed meanwhile still reads as it was opened; one changed in
    // place is reported as such by every read that fails and by CheckUnchanged.
    ArchiveReader(const std::string& path, const std::string& member, const OpenLimits& limits);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    const std::vector<ArchiveEntry>& Entries() const { return entries_; }
    // Inflated bytes of one entry; the actual size is checked against the declared one and the limit.
    Bytes Inflate(const ArchiveEntry& entry, const std::string& member) const;
    // The entry's data exactly as stored (still compressed), handed on in pieces, for copying it into
    // another archive. Nothing checks these bytes, so a save calls CheckUnchanged once it is done.
    void CopyCompressed(const ArchiveEntry& entry, const std::string& member, const ChunkSink& sink) const;
    // Throws when the file's size or modification time is no longer what it was when it was opened.
    void CheckUnchanged(const std::string& member) const;
    zip* Handle() const { return zip_; }
    std::uint64_t ArchiveSize() const { return size_; }

private:
    void OpenArchive(zip_source* source, const std::string& member, const OpenLimits& limits);
    void ReadEntries(const std::string& member, const OpenLimits& limits);
    [[noreturn]] void FailRead(const std::string& member, const std::string& text) const;

    Bytes data_; // empty when reading from a file
    std::string path_;
    int fd_ = -1;
    platform::OpenFileState opened_;
    std::uint64_t size_ = 0;
    zip* zip_ = nullptr;
    OpenLimits limits_;
    std::vector<ArchiveEntry> entries_;
};

} // namespace office::package::detail
