#pragma once

// Writes a ZIP archive from entries whose data is already in its final (stored or deflated) form, in
// the profile office applications expect: DEFLATE or stored only, version needed 20 or 10, no flags,
// no extra fields, no data descriptors, fixed time stamps. The same entries give the same bytes.

#include "office/package/ArchiveReader.h"
#include "office/package/Package.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace office::package::detail {

struct ZipEntry {
    std::string name;       // without a leading slash
    std::uint16_t method;   // 0 stored, 8 deflate
    std::uint32_t crc = 0;  // of the inflated data
    std::uint64_t size = 0; // inflated size
    std::shared_ptr<const Bytes> data;
};

// Writes front to back, one entry at a time, keeping only what the central directory needs, so that
// the entries' data never has to be in memory together.
class ZipStreamWriter {
public:
    explicit ZipStreamWriter(ChunkSink sink) : sink_(std::move(sink)) {}

    // Writes the entry's local header; its data follows through Data, storedSize bytes in all. False,
    // with nothing written, when the archive would no longer fit the classic ZIP format (no Zip64).
    bool Begin(const std::string& name, std::uint16_t method, std::uint32_t crc, std::uint64_t size,
               std::uint64_t storedSize);
    void Data(const std::uint8_t* data, std::size_t size);
    // Writes the central directory.
    void Finish();

private:
    struct Written {
        std::string name;
        std::uint16_t method;
        std::uint32_t crc;
        std::uint32_t size;
        std::uint32_t storedSize;
        std::uint32_t offset;
    };
    ChunkSink sink_;
    std::vector<Written> written_;
    std::uint64_t offset_ = 0;
    std::uint64_t classicTotal_ = 0; // local and central records so far, bounded by the classic format
};

// True when the entries fit the classic ZIP format (no Zip64 needed).
bool FitsClassicZip(const std::vector<ZipEntry>& entries);

// Hands the archive to the sink in pieces. Call only when FitsClassicZip.
void WriteZip(const std::vector<ZipEntry>& entries, const ChunkSink& sink);

} // namespace office::package::detail
