#include "office/package/ArchiveReader.h"

#include "automation/AutomationError.h"
#include "platform/FileDescriptors.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <zip.h>

namespace office::package::detail {

namespace {

using automation::AutomationError;

// Reads up to size bytes at offset; fewer only at the end of the data.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;

bool StartsWith(const ReadAt& read, std::string_view magic) {
    std::uint8_t head[16] = {};
    const std::size_t n = read(0, head, std::min(magic.size(), sizeof head));
    return n == magic.size() && std::memcmp(head, magic.data(), magic.size()) == 0;
}

// Compound-file directory entries hold their names in UTF-16LE. Searched piecewise, so that a large
// file is never held whole.
bool ContainsUtf16Name(const ReadAt& read, std::string_view name) {
    std::string wide;
    for (char c : name) {
        wide += c;
        wide += '\0';
    }
    constexpr std::size_t kChunk = 1u << 20;
    std::vector<std::uint8_t> window(kChunk + wide.size());
    std::size_t kept = 0; // the tail of the previous piece, where a name may start
    for (std::uint64_t offset = 0;;) {
        const std::size_t n = read(offset, window.data() + kept, kChunk);
        const auto end = window.begin() + static_cast<std::ptrdiff_t>(kept + n);
        if (std::search(window.begin(), end, wide.begin(), wide.end()) != end)
            return true;
        if (n < kChunk)
            return false;
        offset += n;
        kept = std::min(wide.size() - 1, kept + n);
        std::copy(end - static_cast<std::ptrdiff_t>(kept), end, window.begin());
    }
}

// Says what a file that is no ZIP archive is instead; empty when it looks like one.
std::string DescribeNonZip(std::uint64_t size, const ReadAt& read) {
    if (size == 0)
        return "the file is empty";
    if (StartsWith(read, std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))) {
        if (ContainsUtf16Name(read, "EncryptedPackage"))
            return "the presentation is encrypted (password protected); encrypted files are not supported";
        if (ContainsUtf16Name(read, "PowerPoint Document")) {
            if (ContainsUtf16Name(read, "EncryptedSummary"))
                return "encrypted .ppt binary format not supported";
            return ".ppt binary format not supported; save it as .pptx first";
        }
        return "encrypted or legacy binary format (OLE compound file), not an OOXML package";
    }
    if (!StartsWith(read, "PK"))
        return "not an OOXML package (no ZIP signature)";
    return {};
}

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string ErrnoText() {
    return std::strerror(errno);
}

} // namespace

ArchiveReader::ArchiveReader(Bytes data, const std::string& member, const OpenLimits& limits)
    : data_(std::move(data)), size_(data_.size()), limits_(limits) {
    const ReadAt read = [this](std::uint64_t offset, std::uint8_t* out, std::size_t size) -> std::size_t {
        if (offset >= data_.size())
            return 0;
        const std::size_t n = std::min<std::uint64_t>(size, data_.size() - offset);
        std::memcpy(out, data_.data() + offset, n);
        return n;
    };
    if (std::string what = DescribeNonZip(size_, read); !what.empty())
        throw AutomationError(member, what);

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data_.data(), data_.size(), 0, &error);
    zip_error_fini(&error);
    if (!source)
        throw AutomationError(member, "cannot read the archive");
    OpenArchive(source, member, limits);
}

ArchiveReader::ArchiveReader(const std::string& path, const std::string& member, const OpenLimits& limits)
    : path_(path), limits_(limits) {
    fd_ = platform::OpenForReading(path);
    if (fd_ < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw AutomationError(member, "file not found: " + path);
        if (errno == EISDIR)
            throw AutomationError(member, "is a folder, not a file: " + path);
        throw AutomationError(member, "cannot open file: " + path + ": " + ErrnoText());
    }
    try {
        if (!platform::DescribeOpenFile(fd_, opened_))
            throw AutomationError(member, "cannot open file: " + path + ": " + ErrnoText());
        if (opened_.kind == platform::FileKind::Folder)
            throw AutomationError(member, "is a folder, not a file: " + path);
        if (opened_.kind != platform::FileKind::Regular)
            throw AutomationError(member, "cannot open file: " + path + ": not a regular file");
        size_ = opened_.size;
        const ReadAt read = [&](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
            const std::int64_t n = platform::ReadAt(fd_, offset, out, size);
            if (n < 0)
                throw AutomationError(member, "cannot read file: " + path_ + ": " + ErrnoText());
            return static_cast<std::size_t>(n);
        };
        if (std::string what = DescribeNonZip(size_, read); !what.empty())
            throw AutomationError(member, what);

        // libzip reads through a stream of its own on a duplicate of the descriptor; this one stays
        // for the checks.
        const int streamFd = platform::DuplicateForReading(fd_);
        std::FILE* stream = streamFd >= 0 ? fdopen(streamFd, "rb") : nullptr;
        if (!stream) {
            if (streamFd >= 0)
                platform::CloseFile(streamFd);
            throw AutomationError(member, "cannot open file: " + path + ": " + ErrnoText());
        }
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_filep_create(stream, 0, -1, &error);
        zip_error_fini(&error);
        if (!source) {
            std::fclose(stream);
            throw AutomationError(member, "cannot read the archive");
        }
        OpenArchive(source, member, limits);
    } catch (...) {
        platform::CloseFile(fd_);
        throw;
    }
}

void ArchiveReader::OpenArchive(zip_source_t* source, const std::string& member, const OpenLimits& limits) {
    zip_error_t error;
    zip_error_init(&error);
    zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!zip_) {
        int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        if (fd_ >= 0)
            CheckUnchanged(member);
        std::string text = "damaged or truncated ZIP archive (" + ZipErrorText(code) + ")";
        throw AutomationError(member, text);
    }
    zip_error_fini(&error);
    try {
        ReadEntries(member, limits);
    } catch (...) {
        zip_discard(zip_);
        zip_ = nullptr;
        throw;
    }
}

void ArchiveReader::ReadEntries(const std::string& member, const OpenLimits& limits) {
    zip_int64_t count = zip_get_num_entries(zip_, 0);
    if (count < 0)
        throw AutomationError(member, "damaged ZIP archive (no entry count)");
    if (static_cast<std::uint64_t>(count) > limits.maxEntries)
        throw AutomationError(member, "too many entries in the archive (" + std::to_string(count) +
                                          ", at most " + std::to_string(limits.maxEntries) + ")");
    std::uint64_t total = 0;
    entries_.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip_, static_cast<zip_uint64_t>(i), 0, &st) != 0)
            throw AutomationError(member, "damaged ZIP archive (unreadable entry " + std::to_string(i) + ")");
        const std::uint64_t need = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
        if ((st.valid & need) != need || st.name == nullptr)
            throw AutomationError(member, "damaged ZIP archive (incomplete entry)");
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            throw AutomationError(member, "the archive has encrypted entries; not supported");
        ArchiveEntry entry;
        entry.name = st.name;
        entry.index = static_cast<std::uint64_t>(i);
        entry.size = st.size;
        entry.compSize = st.comp_size;
        entry.method = st.comp_method;
        entry.crcKnown = (st.valid & ZIP_STAT_CRC) != 0;
        entry.crc = entry.crcKnown ? st.crc : 0;
        if (entry.size > limits.maxPartBytes)
            throw AutomationError(member, "zip bomb suspected: entry '" + entry.name + "' declares " +
                                              std::to_string(entry.size) + " bytes");
        if (entry.compSize > size_)
            throw AutomationError(member, "damaged ZIP archive (entry larger than the file)");
        total += entry.size;
        if (total > limits.maxTotalBytes)
            throw AutomationError(member, "zip bomb suspected: the entries declare more than " +
                                              std::to_string(limits.maxTotalBytes) + " bytes");
        entries_.push_back(std::move(entry));
    }
    if (total > limits.ratioFloorBytes && total / std::max<std::uint64_t>(size_, 1) > limits.maxRatio)
        throw AutomationError(member, "zip bomb suspected: the entries declare " + std::to_string(total) +
                                          " bytes in a " + std::to_string(size_) + "-byte archive");
}

ArchiveReader::~ArchiveReader() {
    if (zip_)
        zip_discard(zip_);
    if (fd_ >= 0)
        platform::CloseFile(fd_);
}

void ArchiveReader::CheckUnchanged(const std::string& member) const {
    if (fd_ < 0)
        return;
    platform::OpenFileState now;
    if (!platform::DescribeOpenFile(fd_, now))
        throw AutomationError(member, "cannot read file: " + path_ + ": " + ErrnoText());
    if (now != opened_)
        throw AutomationError(member, "the file changed while it was open: " + path_);
}

// A read that fails on a file changed in place says so rather than calling the archive damaged.
void ArchiveReader::FailRead(const std::string& member, const std::string& text) const {
    CheckUnchanged(member);
    throw AutomationError(member, text);
}

Bytes ArchiveReader::Inflate(const ArchiveEntry& entry, const std::string& member) const {
    zip_file_t* file = zip_fopen_index(zip_, entry.index, 0);
    if (!file)
        FailRead(member, "cannot read part '/" + entry.name + "': " + zip_strerror(zip_));
    const std::uint64_t limit = std::min(entry.size, limits_.maxPartBytes);
    Bytes out;
    out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, 64u << 20)));
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            std::string text = zip_file_strerror(file);
            zip_fclose(file);
            FailRead(member, "damaged part '/" + entry.name + "': " + text);
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::uint64_t>(n) > limit) {
            zip_fclose(file);
            throw AutomationError(member, "zip bomb suspected: part '/" + entry.name +
                                              "' inflates beyond its declared size");
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    zip_fclose(file);
    if (out.size() != entry.size)
        FailRead(member, "damaged part '/" + entry.name + "' (size mismatch)");
    return out;
}

void ArchiveReader::CopyCompressed(const ArchiveEntry& entry, const std::string& member,
                                   const ChunkSink& sink) const {
    zip_file_t* file = zip_fopen_index(zip_, entry.index, ZIP_FL_COMPRESSED);
    if (!file)
        FailRead(member, "cannot read part '/" + entry.name + "': " + zip_strerror(zip_));
    std::uint8_t buffer[64 * 1024];
    std::uint64_t done = 0;
    try {
        while (done < entry.compSize) {
            const auto want =
                static_cast<zip_uint64_t>(std::min<std::uint64_t>(sizeof buffer, entry.compSize - done));
            const zip_int64_t n = zip_fread(file, buffer, want);
            if (n <= 0)
                break;
            sink(buffer, static_cast<std::size_t>(n));
            done += static_cast<std::uint64_t>(n);
        }
    } catch (...) {
        zip_fclose(file);
        throw;
    }
    zip_fclose(file);
    if (done != entry.compSize)
        FailRead(member, "damaged part '/" + entry.name + "' (short data)");
}

} // namespace office::package::detail
