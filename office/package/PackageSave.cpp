#include "automation/AutomationError.h"
#include "office/package/PackageImpl.h"
#include "office/package/PartNameKeys.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace office::package {

namespace {

constexpr zip_uint16_t kDosDate1980 = (0 << 9) | (1 << 5) | 1; // 1980-01-01

using automation::AutomationError;

// Builds an archive in memory; entries are written in the order they are added.
class ArchiveWriter {
public:
    ArchiveWriter(const std::string& member, int deflateLevel) : member_(member), level_(deflateLevel) {
        zip_error_t error;
        zip_error_init(&error);
        buffer_ = zip_source_buffer_create(nullptr, 0, 0, &error);
        if (buffer_) {
            zip_source_keep(buffer_);
            zip_ = zip_open_from_source(buffer_, ZIP_TRUNCATE, &error);
        }
        zip_error_fini(&error);
        if (!zip_) {
            if (buffer_)
                zip_source_free(buffer_);
            throw AutomationError(member_, "cannot create the archive in memory");
        }
    }

    ~ArchiveWriter() {
        if (zip_)
            zip_discard(zip_);
        if (buffer_)
            zip_source_free(buffer_);
    }

    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    void AddBytes(const std::string& partName, Bytes bytes) {
        keep_.push_back(std::move(bytes));
        AddView(partName, keep_.back());
    }

    // Adds bytes owned by the caller, which must keep them unchanged until Finish returns.
    void AddView(const std::string& partName, const Bytes& data) {
        zip_source_t* source = zip_source_buffer(zip_, data.data(), data.size(), 0);
        if (!source)
            Fail(partName);
        zip_int64_t index = AddEntry(partName, source);
        const bool store = detail::IsAlreadyCompressed(partName) || data.empty();
        if (zip_set_file_compression(zip_, static_cast<zip_uint64_t>(index),
                                     store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     store ? 0 : static_cast<zip_uint32_t>(level_)) != 0)
            Fail(partName);
    }

    // Copies an entry of the opened archive with its compressed data as it is.
    void AddRaw(const std::string& partName, zip_t* from, const detail::ArchiveEntry& entry) {
        zip_source_t* source = zip_source_zip(zip_, from, entry.index, 0, 0, -1);
        if (!source)
            Fail(partName);
        zip_int64_t index = AddEntry(partName, source);
        // Naming the stored method keeps libzip from deflating entries that were stored.
        if (zip_set_file_compression(zip_, static_cast<zip_uint64_t>(index), entry.method, 0) != 0)
            Fail(partName);
    }

    // Closes the archive and hands its bytes to the sink in chunks.
    template <typename Sink> void Finish(Sink&& sink) {
        if (zip_close(zip_) != 0)
            Fail("the archive");
        zip_ = nullptr;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_source_stat(buffer_, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
            zip_source_open(buffer_) != 0)
            throw AutomationError(member_, "cannot read back the written archive");
        sink.Reserve(st.size);
        std::uint8_t chunk[64 * 1024];
        std::uint64_t total = 0;
        for (;;) {
            zip_int64_t n = zip_source_read(buffer_, chunk, sizeof chunk);
            if (n < 0) {
                zip_source_close(buffer_);
                throw AutomationError(member_, "cannot read back the written archive");
            }
            if (n == 0)
                break;
            sink.Append(chunk, static_cast<std::size_t>(n));
            total += static_cast<std::uint64_t>(n);
        }
        zip_source_close(buffer_);
        if (total != st.size)
            throw AutomationError(member_, "cannot read back the written archive");
    }

private:
    zip_int64_t AddEntry(const std::string& partName, zip_source_t* source) {
        std::string name = partName.substr(partName.front() == '/' ? 1 : 0);
        zip_int64_t index = zip_file_add(zip_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            Fail(partName);
        }
        // Every entry gets the same DOS time (1980-01-01 00:00, as office packages carry), so that a
        // deck saved twice from the same content is the same file byte for byte.
        if (zip_file_set_dostime(zip_, static_cast<zip_uint64_t>(index), 0, kDosDate1980, 0) < 0) {
            Fail(partName);
        }
        return index;
    }

    [[noreturn]] void Fail(const std::string& what) {
        throw AutomationError(member_,
                              "cannot write " + what + ": " + (zip_ ? zip_strerror(zip_) : "archive closed"));
    }

    std::string member_;
    int level_;
    zip_source_t* buffer_ = nullptr;
    zip_t* zip_ = nullptr;
    std::deque<Bytes> keep_; // buffers must outlive zip_close
};

std::string ErrnoText() {
    return std::strerror(errno);
}

// The process umask without changing it (umask() would, for a moment, for every thread).
mode_t ProcessUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    mode_t mask = 022;
    if (!status)
        return mask;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

// Creates the temporary file beside the target and removes it unless committed.
class TempFile {
public:
    TempFile(const std::filesystem::path& target, const std::string& member) : member_(member) {
        std::filesystem::path folder = target.parent_path();
        if (folder.empty())
            folder = ".";
        std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        fd_ = mkstemp(buffer.data());
        if (fd_ < 0)
            throw AutomationError(member_, "cannot create a temporary file in " + folder.string() + ": " +
                                               ErrnoText());
        path_ = buffer.data();
    }

    ~TempFile() {
        if (fd_ >= 0)
            close(fd_);
        if (!committed_)
            unlink(path_.c_str());
    }

    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void Reserve(std::uint64_t) {}

    void Append(const std::uint8_t* data, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = write(fd_, data + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw AutomationError(member_, "cannot write " + path_ + ": " + ErrnoText());
            done += static_cast<std::size_t>(n);
        }
    }

    void Close(bool flush) {
        if (fchmod(fd_, 0666 & ~ProcessUmask()) != 0 || (flush && fsync(fd_) != 0))
            throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
        int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0)
            throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
    }

    void CommitAs(const std::filesystem::path& target) {
        if (rename(path_.c_str(), target.c_str()) != 0)
            throw AutomationError(member_, "cannot replace " + target.string() + ": " + ErrnoText());
        committed_ = true;
    }

private:
    std::string member_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

struct ByteSink {
    Bytes& out;
    void Reserve(std::uint64_t size) { out.reserve(static_cast<std::size_t>(size)); }
    void Append(const std::uint8_t* data, std::size_t size) { out.insert(out.end(), data, data + size); }
};

} // namespace

template <typename Sink>
void Package::Impl::WriteArchive(Sink& sink, const std::string& member, const SaveOptions& options) const {
    try {
        WriteArchiveFrom(sink, member, options);
    } catch (const AutomationError&) {
        reader->CheckUnchanged(member); // a file changed under the save is the better explanation
        throw;
    }
    // Parts copied as stored were not checked on the way.
    reader->CheckUnchanged(member);
}

template <typename Sink>
void Package::Impl::WriteArchiveFrom(Sink& sink, const std::string& member,
                                     const SaveOptions& options) const {
    if (options.repack) {
        const auto entries = RepackedEntries(member);
        if (detail::FitsClassicZip(entries)) {
            detail::WriteZip(entries,
                             [&](const std::uint8_t* data, std::size_t size) { sink.Append(data, size); });
            return;
        }
    }
    const int level = std::clamp(options.deflateLevel, 1, 9);
    auto live = Live(member);

    std::vector<detail::WrittenPart> written;
    written.reserve(live.size());
    for (const auto* part : live) {
        std::string type = ContentTypeOf(*part);
        if (type.empty())
            type = detail::FallbackContentType(part->name, contentTypes);
        written.push_back({part->name, type});
    }

    ArchiveWriter writer(member, level);
    writer.AddBytes("/[Content_Types].xml", detail::BuildContentTypes(written, contentTypes));

    auto writeRels = [&](const std::string& source) {
        const RelsState* state = LoadRels(source, member);
        if (!state || state->rels.empty())
            return;
        if (!state->modified && state->entry)
            writer.AddRaw(state->relsName, reader->Handle(), *state->entry);
        else
            writer.AddBytes(RelsPartNameFor(state->sourceName), detail::BuildRelationships(state->rels));
    };

    writeRels("/");
    for (const auto* part : live) {
        if (part->bytes && !part->xmlDirty)
            writer.AddView(part->name, *part->bytes); // no copy of large new pictures
        else if (part->Modified())
            writer.AddBytes(part->name, CurrentBytes(*part, member));
        else
            writer.AddRaw(part->name, reader->Handle(), *part->entry);
        writeRels(part->name);
    }
    writer.Finish(sink);
}

Bytes Package::Impl::BuildArchive(const std::string& member, const SaveOptions& options) const {
    Bytes out;
    ByteSink sink{out};
    WriteArchive(sink, member, options);
    return out;
}

void Package::SaveAs(const std::string& path, const std::string& member, const SaveOptions& options) const {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code ec;
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec))
        throw AutomationError(member, "the folder does not exist: " + folder.string());
    if (fs::is_directory(target, ec))
        throw AutomationError(member, "a folder has that name: " + path);
    if (!impl_->sourcePath.empty() && fs::exists(target, ec) && fs::equivalent(target, impl_->sourcePath, ec))
        throw AutomationError(member, "refusing to overwrite the opened file: " + path);

    TempFile temp(target, member);
    impl_->WriteArchive(temp, member, options);
    temp.Close(options.flushToDisk);
    temp.CommitAs(target);
}

} // namespace office::package
