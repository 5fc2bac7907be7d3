#include "office/package/ArchiveReader.h"

#include "automation/AutomationError.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <zip.h>

namespace office::package::detail {

namespace {

bool StartsWith(const Bytes& data, std::string_view magic) {
    return data.size() >= magic.size() && std::memcmp(data.data(), magic.data(), magic.size()) == 0;
}

// Compound-file directory entries hold their names in UTF-16LE.
bool ContainsUtf16Name(const Bytes& data, std::string_view name) {
    std::string wide;
    for (char c : name) {
        wide += c;
        wide += '\0';
    }
    auto it = std::search(data.begin(), data.end(), wide.begin(), wide.end());
    return it != data.end();
}

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

} // namespace

std::string DescribeNonZip(const Bytes& data) {
    if (data.empty())
        return "the file is empty";
    if (StartsWith(data, std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))) {
        if (ContainsUtf16Name(data, "EncryptedPackage"))
            return "the presentation is encrypted (password protected); encrypted files are not supported";
        if (ContainsUtf16Name(data, "PowerPoint Document")) {
            if (ContainsUtf16Name(data, "EncryptedSummary"))
                return "encrypted .ppt binary format not supported";
            return ".ppt binary format not supported; save it as .pptx first";
        }
        return "encrypted or legacy binary format (OLE compound file), not an OOXML package";
    }
    if (!StartsWith(data, "PK"))
        return "not an OOXML package (no ZIP signature)";
    return {};
}

ArchiveReader::ArchiveReader(Bytes data, const std::string& member, const OpenLimits& limits)
    : data_(std::move(data)), limits_(limits) {
    if (std::string what = DescribeNonZip(data_); !what.empty())
        throw automation::AutomationError(member, what);

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data_.data(), data_.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        throw automation::AutomationError(member, "cannot read the archive");
    }
    zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!zip_) {
        int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        std::string text = "damaged or truncated ZIP archive (" + ZipErrorText(code) + ")";
        throw automation::AutomationError(member, text);
    }
    zip_error_fini(&error);

    try {
        zip_int64_t count = zip_get_num_entries(zip_, 0);
        if (count < 0)
            throw automation::AutomationError(member, "damaged ZIP archive (no entry count)");
        if (static_cast<std::uint64_t>(count) > limits_.maxEntries)
            throw automation::AutomationError(member, "too many entries in the archive (" +
                                                          std::to_string(count) + ", at most " +
                                                          std::to_string(limits_.maxEntries) + ")");
        std::uint64_t total = 0;
        entries_.reserve(static_cast<std::size_t>(count));
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat_index(zip_, static_cast<zip_uint64_t>(i), 0, &st) != 0)
                throw automation::AutomationError(member, "damaged ZIP archive (unreadable entry " +
                                                              std::to_string(i) + ")");
            const std::uint64_t need =
                ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
            if ((st.valid & need) != need || st.name == nullptr)
                throw automation::AutomationError(member, "damaged ZIP archive (incomplete entry)");
            if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
                throw automation::AutomationError(member, "the archive has encrypted entries; not supported");
            ArchiveEntry entry;
            entry.name = st.name;
            entry.index = static_cast<std::uint64_t>(i);
            entry.size = st.size;
            entry.compSize = st.comp_size;
            entry.method = st.comp_method;
            entry.crcKnown = (st.valid & ZIP_STAT_CRC) != 0;
            entry.crc = entry.crcKnown ? st.crc : 0;
            if (entry.size > limits_.maxPartBytes)
                throw automation::AutomationError(member, "zip bomb suspected: entry '" + entry.name +
                                                              "' declares " + std::to_string(entry.size) +
                                                              " bytes");
            if (entry.compSize > data_.size())
                throw automation::AutomationError(member, "damaged ZIP archive (entry larger than the file)");
            total += entry.size;
            if (total > limits_.maxTotalBytes)
                throw automation::AutomationError(member,
                                                  "zip bomb suspected: the entries declare more than " +
                                                      std::to_string(limits_.maxTotalBytes) + " bytes");
            entries_.push_back(std::move(entry));
        }
        if (total > limits_.ratioFloorBytes &&
            total / std::max<std::uint64_t>(data_.size(), 1) > limits_.maxRatio)
            throw automation::AutomationError(member, "zip bomb suspected: the entries declare " +
                                                          std::to_string(total) + " bytes in a " +
                                                          std::to_string(data_.size()) + "-byte archive");
    } catch (...) {
        zip_discard(zip_);
        zip_ = nullptr;
        throw;
    }
}

ArchiveReader::~ArchiveReader() {
    if (zip_)
        zip_discard(zip_);
}

Bytes ArchiveReader::Inflate(const ArchiveEntry& entry, const std::string& member) const {
    zip_file_t* file = zip_fopen_index(zip_, entry.index, 0);
    if (!file)
        throw automation::AutomationError(member,
                                          "cannot read part '/" + entry.name + "': " + zip_strerror(zip_));
    const std::uint64_t limit = std::min(entry.size, limits_.maxPartBytes);
    Bytes out;
    out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, 64u << 20)));
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            std::string text = zip_file_strerror(file);
            zip_fclose(file);
            throw automation::AutomationError(member, "damaged part '/" + entry.name + "': " + text);
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::uint64_t>(n) > limit) {
            zip_fclose(file);
            throw automation::AutomationError(member, "zip bomb suspected: part '/" + entry.name +
                                                          "' inflates beyond its declared size");
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    zip_fclose(file);
    if (out.size() != entry.size)
        throw automation::AutomationError(member, "damaged part '/" + entry.name + "' (size mismatch)");
    return out;
}

Bytes ArchiveReader::Compressed(const ArchiveEntry& entry, const std::string& member) const {
    zip_file_t* file = zip_fopen_index(zip_, entry.index, ZIP_FL_COMPRESSED);
    if (!file)
        throw automation::AutomationError(member,
                                          "cannot read part '/" + entry.name + "': " + zip_strerror(zip_));
    Bytes out(static_cast<std::size_t>(entry.compSize));
    std::size_t done = 0;
    while (done < out.size()) {
        zip_int64_t n = zip_fread(file, out.data() + done, out.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    zip_fclose(file);
    if (done != out.size())
        throw automation::AutomationError(member, "damaged part '/" + entry.name + "' (short data)");
    return out;
}

} // namespace office::package::detail
