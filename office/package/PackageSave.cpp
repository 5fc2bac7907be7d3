#include "automation/AutomationError.h"
#include "office/package/ArchiveSink.h"
#include "office/package/PackageImpl.h"
#include "office/package/PartNameKeys.h"
#include "platform/PathText.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <filesystem>
#include <zip.h>

namespace office::package {

namespace {

constexpr zip_uint16_t kDosDate1980 = (0 << 9) | (1 << 5) | 1; // 1980-01-01

using automation::AutomationError;

// libzip writes its archive through this source straight into the sink (going back now and then to
// fill in a header); as an archive to read it is empty, so that ZIP_TRUNCATE starts a new one.
class SinkSource {
public:
    explicit SinkSource(detail::ArchiveSink& sink) : sink_(sink) { zip_error_init(&error_); }
    ~SinkSource() { zip_error_fini(&error_); }
    SinkSource(const SinkSource&) = delete;
    SinkSource& operator=(const SinkSource&) = delete;

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<SinkSource*>(self)->Handle(data, length, command);
    }
    // What went wrong in the sink (its own message names the file and the cause), if anything did.
    std::exception_ptr Failure() const { return failure_; }

private:
    zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
        case ZIP_SOURCE_COMMIT_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
        case ZIP_SOURCE_REMOVE:
        case ZIP_SOURCE_READ:
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_TELL:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
            if (!st)
                return -1;
            zip_stat_init(st);
            st->size = 0;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error_, data, length);
        case ZIP_SOURCE_BEGIN_WRITE:
            offset_ = end_ = 0;
            return 0;
        case ZIP_SOURCE_WRITE:
            try {
                sink_.WriteAt(offset_, static_cast<const std::uint8_t*>(data),
                              static_cast<std::size_t>(length));
            } catch (...) {
                failure_ = std::current_exception();
                zip_error_set(&error_, ZIP_ER_WRITE, 0);
                return -1;
            }
            offset_ += length;
            end_ = std::max(end_, offset_);
            return static_cast<zip_int64_t>(length);
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t at = zip_source_seek_compute_offset(offset_, end_, data, length, &error_);
            if (at < 0)
                return -1;
            offset_ = static_cast<std::uint64_t>(at);
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(offset_);
        default:
            zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    detail::ArchiveSink& sink_;
    zip_error_t error_;
    std::uint64_t offset_ = 0;
    std::uint64_t end_ = 0;
    std::exception_ptr failure_;
};

// Writes an archive with libzip (Zip64 when needed) into a sink; entries are written in the order
// they are added, when Finish closes the archive.
class ArchiveWriter {
public:
    ArchiveWriter(detail::ArchiveSink& sink, const std::string& member, int deflateLevel)
        : member_(member), level_(deflateLevel), output_(sink) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_function_create(&SinkSource::Callback, &output_, &error);
        if (source) {
            zip_ = zip_open_from_source(source, ZIP_TRUNCATE, &error);
            if (!zip_)
                zip_source_free(source);
        }
        zip_error_fini(&error);
        if (!zip_)
            throw AutomationError(member_, "cannot create the archive");
    }

    ~ArchiveWriter() {
        if (zip_)
            zip_discard(zip_);
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

    // Writes the archive into the sink.
    void Finish() {
        if (zip_close(zip_) != 0) {
            if (auto failure = output_.Failure())
                std::rethrow_exception(failure);
            Fail("the archive");
        }
        zip_ = nullptr;
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
    SinkSource output_;
    zip_t* zip_ = nullptr;
    std::deque<Bytes> keep_; // buffers must outlive zip_close
};

} // namespace

void Package::Impl::WriteArchive(detail::ArchiveSink& sink, const std::string& member,
                                 const SaveOptions& options) const {
    try {
        if (!options.repack || !WriteRepacked(sink, member, options)) {
            sink.Clear();
            WritePlain(sink, member, options);
        }
    } catch (const AutomationError&) {
        reader->CheckUnchanged(member); // a file changed under the save is the better explanation
        throw;
    }
    // Parts copied as stored were not checked on the way.
    reader->CheckUnchanged(member);
}

void Package::Impl::WritePlain(detail::ArchiveSink& sink, const std::string& member,
                               const SaveOptions& options) const {
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

    ArchiveWriter writer(sink, member, level);
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
    writer.Finish();
}

Bytes Package::SaveToBytes(const std::string& member, const SaveOptions& options) const {
    Bytes out;
    detail::ByteSink sink(out);
    impl_->WriteArchive(sink, member, options);
    return out;
}

void Package::SaveAs(const std::string& path, const std::string& member, const SaveOptions& options) const {
    namespace fs = std::filesystem;
    const fs::path target = platform::PathFromUtf8(path);
    std::error_code ec;
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec))
        throw AutomationError(member, "the folder does not exist: " + platform::PathToUtf8(folder));
    if (fs::is_directory(target, ec))
        throw AutomationError(member, "a folder has that name: " + path);
    if (!impl_->sourcePath.empty() && fs::exists(target, ec) &&
        fs::equivalent(target, platform::PathFromUtf8(impl_->sourcePath), ec))
        throw AutomationError(member, "refusing to overwrite the opened file: " + path);

    detail::TempFileSink temp(target, member);
    impl_->WriteArchive(temp, member, options);
    temp.Close(options.flushToDisk);
    temp.CommitAs(target);
}

} // namespace office::package
