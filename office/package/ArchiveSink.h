#pragma once

// Where a saved archive goes: a staging file beside the target (platform/StagingFiles.h) that becomes
// the target only when complete (SaveAs), or bytes in memory (SaveToBytes).

#include "office/package/Package.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace office::package::detail {

class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // Archives are written front to back, except that the Zip64-capable writer goes back to fill in a
    // header once its entry's sizes are known.
    virtual void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
    // Drops everything written, for starting over with the other writer.
    virtual void Clear() = 0;
};

class ByteSink : public ArchiveSink {
public:
    explicit ByteSink(Bytes& out) : out_(out) {}
    void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
    void Clear() override { out_.clear(); }

private:
    Bytes& out_;
};

// Creates the temporary file beside the target and removes it unless committed.
class TempFileSink : public ArchiveSink {
public:
    TempFileSink(const std::filesystem::path& target, const std::string& member);
    ~TempFileSink() override;
    TempFileSink(const TempFileSink&) = delete;
    TempFileSink& operator=(const TempFileSink&) = delete;

    void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
    void Clear() override;
    // Gives the file the permissions of a new file, flushes it when asked to and closes it.
    void Close(bool flush);
    void CommitAs(const std::filesystem::path& target);

private:
    std::string member_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace office::package::detail
