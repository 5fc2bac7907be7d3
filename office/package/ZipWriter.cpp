#include "office/package/ZipWriter.h"

namespace office::package::detail {

namespace {

constexpr std::uint16_t kDosTime = 0;         // 00:00:00
constexpr std::uint16_t kDosDate = 0x21;      // 1980-01-01
constexpr std::uint16_t kUtf8Name = 1u << 11; // general-purpose flag for non-ASCII names

struct Writer {
    Bytes buffer;
    void U16(std::uint32_t v) {
        buffer.push_back(std::uint8_t(v));
        buffer.push_back(std::uint8_t(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(const std::string& s) { buffer.insert(buffer.end(), s.begin(), s.end()); }
};

std::uint16_t FlagsFor(const std::string& name) {
    for (unsigned char c : name)
        if (c >= 0x80)
            return kUtf8Name;
    return 0;
}

std::uint16_t VersionNeeded(const ZipEntry& entry) {
    return entry.method == 8 ? 20 : 10;
}

} // namespace

bool FitsClassicZip(const std::vector<ZipEntry>& entries) {
    constexpr std::uint64_t kLimit = 0xFFFFFFFFull;
    if (entries.size() >= 0xFFFF)
        return false;
    std::uint64_t offset = 0;
    for (const auto& e : entries) {
        if (e.size >= kLimit || !e.data || e.data->size() >= kLimit || e.name.size() >= 0xFFFF)
            return false;
        offset += 30 + e.name.size() + e.data->size() + 46 + e.name.size();
        if (offset >= kLimit)
            return false;
    }
    return true;
}

void WriteZip(const std::vector<ZipEntry>& entries,
              const std::function<void(const std::uint8_t*, std::size_t)>& sink) {
    std::vector<std::uint32_t> offsets;
    offsets.reserve(entries.size());
    std::uint64_t offset = 0;
    for (const auto& e : entries) {
        Writer local;
        local.U32(0x04034B50);
        local.U16(VersionNeeded(e));
        local.U16(FlagsFor(e.name));
        local.U16(e.method);
        local.U16(kDosTime);
        local.U16(kDosDate);
        local.U32(e.crc);
        local.U32(std::uint32_t(e.data->size()));
        local.U32(std::uint32_t(e.size));
        local.U16(std::uint32_t(e.name.size()));
        local.U16(0); // extra field length
        local.Text(e.name);
        offsets.push_back(std::uint32_t(offset));
        sink(local.buffer.data(), local.buffer.size());
        sink(e.data->data(), e.data->size());
        offset += local.buffer.size() + e.data->size();
    }
    Writer central;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        central.U32(0x02014B50);
        central.U16(20); // made by: MS-DOS attributes, ZIP format version 2.0
        central.U16(VersionNeeded(e));
        central.U16(FlagsFor(e.name));
        central.U16(e.method);
        central.U16(kDosTime);
        central.U16(kDosDate);
        central.U32(e.crc);
        central.U32(std::uint32_t(e.data->size()));
        central.U32(std::uint32_t(e.size));
        central.U16(std::uint32_t(e.name.size()));
        central.U16(0); // extra field
        central.U16(0); // comment
        central.U16(0); // disk
        central.U16(0); // internal attributes
        central.U32(0); // external attributes
        central.U32(offsets[i]);
        central.Text(e.name);
    }
    const std::uint32_t centralSize = std::uint32_t(central.buffer.size());
    central.U32(0x06054B50);
    central.U16(0);
    central.U16(0);
    central.U16(std::uint32_t(entries.size()));
    central.U16(std::uint32_t(entries.size()));
    central.U32(centralSize);
    central.U32(std::uint32_t(offset));
    central.U16(0); // comment length
    sink(central.buffer.data(), central.buffer.size());
}

} // namespace office::package::detail
