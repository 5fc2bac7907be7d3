#pragma once

// Writes a ZIP archive from entries whose data is already in its final (stored or deflated) form, in
// the profile office applications expect: DEFLATE or stored only, version needed 20 or 10, no flags,
// no extra fields, no data descriptors, fixed time stamps. The same entries give the same bytes.

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

// True when the entries fit the classic ZIP format (no Zip64 needed).
bool FitsClassicZip(const std::vector<ZipEntry>& entries);

// Hands the archive to the sink in pieces. Call only when FitsClassicZip.
void WriteZip(const std::vector<ZipEntry>& entries,
              const std::function<void(const std::uint8_t*, std::size_t)>& sink);

} // namespace office::package::detail
