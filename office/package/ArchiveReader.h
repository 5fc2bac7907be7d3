#pragma once

// Read side of the package's ZIP container: validates the archive once, keeps its bytes, and inflates
// one entry on request with the size limits enforced while inflating.

#include "office/package/Package.h"

#include <cstdint>
#include <string>
#include <vector>

struct zip;

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

class ArchiveReader {
public:
    // Throws AutomationError(member, ...) saying what kind of file this is when it is not a usable ZIP.
    ArchiveReader(Bytes data, const std::string& member, const OpenLimits& limits);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    const std::vector<ArchiveEntry>& Entries() const { return entries_; }
    // Inflated bytes of one entry; the actual size is checked against the declared one and the limit.
    Bytes Inflate(const ArchiveEntry& entry, const std::string& member) const;
    // The entry's data exactly as stored (still compressed), for copying it into another archive.
    Bytes Compressed(const ArchiveEntry& entry, const std::string& member) const;
    zip* Handle() const { return zip_; }
    std::uint64_t ArchiveSize() const { return data_.size(); }

private:
    Bytes data_;
    zip* zip_ = nullptr;
    OpenLimits limits_;
    std::vector<ArchiveEntry> entries_;
};

// Classifies bytes that are not a ZIP archive; empty when they look like one.
std::string DescribeNonZip(const Bytes& data);

} // namespace office::package::detail
