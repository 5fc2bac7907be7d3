#include "office/package/ZipWriter.h"

namespace office::package::detail {

namespace {

constexpr std::uint16_t kDosTime = 0;         // 00:00:00
constexpr std::uint16_t kDosDate = 0x21;      // 1980-01-01
constexpr std::uint16_t kUtf8Name = 1u << 11; // general-purpose flag for non-ASCII names
constexpr std::uint64_t kClassicLimit = 0xFFFFFFFFull;
constexpr std::size_t kClassicMaxEntries = 0xFFFF;

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

std::uint16_t VersionNeeded(std::uint16_t method) {
    return method == 8 ? 20 : 10;
}

// What one entry adds to the archive, local header and central record together, without the data.
std::uint64_t RecordBytes(const std::string& name) {
    return 30 + name.size() + 46 + name.size();
}

bool EntryFitsClassic(const std::string& name, std::uint64_t size, std::uint64_t storedSize) {
    return size < kClassicLimit && storedSize < kClassicLimit && name.size() < 0xFFFF;
}

} // namespace

bool ZipStreamWriter::Begin(const std::string& name, std::uint16_t method, std::uint32_t crc,
                            std::uint64_t size, std::uint64_t storedSize) {
    if (written_.size() + 1 >= kClassicMaxEntries || !EntryFitsClassic(name, size, storedSize))
        return false;
    const std::uint64_t total = classicTotal_ + RecordBytes(name) + storedSize;
    if (total >= kClassicLimit)
        return false;
    classicTotal_ = total;

    Writer local;
    local.U32(0x04034B50);
    local.U16(VersionNeeded(method));
    local.U16(FlagsFor(name));
    local.U16(method);
    local.U16(kDosTime);
    local.U16(kDosDate);
    local.U32(crc);
    local.U32(std::uint32_t(storedSize));
    local.U32(std::uint32_t(size));
    local.U16(std::uint32_t(name.size()));
    local.U16(0); // extra field length
    local.Text(name);
    written_.push_back(
        {name, method, crc, std::uint32_t(size), std::uint32_t(storedSize), std::uint32_t(offset_)});
    Data(local.buffer.data(), local.buffer.size());
    return true;
}

void ZipStreamWriter::Data(const std::uint8_t* data, std::size_t size) {
    sink_(data, size);
    offset_ += size;
}

void ZipStreamWriter::Finish() {
    Writer central;
    for (const auto& e : written_) {
        central.U32(0x02014B50);
        central.U16(20); // made by: MS-DOS attributes, ZIP format version 2.0
        central.U16(VersionNeeded(e.method));
        central.U16(FlagsFor(e.name));
        central.U16(e.method);
        central.U16(kDosTime);
        central.U16(kDosDate);
        central.U32(e.crc);
        central.U32(e.storedSize);
        central.U32(e.size);
        central.U16(std::uint32_t(e.name.size()));
        central.U16(0); // extra field
        central.U16(0); // comment
        central.U16(0); // disk
        central.U16(0); // internal attributes
        central.U32(0); // external attributes
        central.U32(e.offset);
        central.Text(e.name);
    }
    const std::uint32_t centralSize = std::uint32_t(central.buffer.size());
    central.U32(0x06054B50);
    central.U16(0);
    central.U16(0);
    central.U16(std::uint32_t(written_.size()));
    central.U16(std::uint32_t(written_.size()));
    central.U32(centralSize);
    central.U32(std::uint32_t(offset_));
    central.U16(0); // comment length
    sink_(central.buffer.data(), central.buffer.size());
}

bool FitsClassicZip(const std::vector<ZipEntry>& entries) {
    if (entries.size() >= kClassicMaxEntries)
        return false;
    std::uint64_t total = 0;
    for (const auto& e : entries) {
        if (!e.data || !EntryFitsClassic(e.name, e.size, e.data->size()))
            return false;
        total += RecordBytes(e.name) + e.data->size();
        if (total >= kClassicLimit)
            return false;
    }
    return true;
}

void WriteZip(const std::vector<ZipEntry>& entries, const ChunkSink& sink) {
    ZipStreamWriter writer(sink);
    for (const auto& e : entries) {
        writer.Begin(e.name, e.method, e.crc, e.size, e.data->size());
        writer.Data(e.data->data(), e.data->size());
    }
    writer.Finish();
}

} // namespace office::package::detail
