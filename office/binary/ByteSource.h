#pragma once

// Random access to the bytes of a file or of memory, for readers that look at a few structures of
// a large file and must not read all of it.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>

namespace office::binary {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills out from offset; false when the range is not wholly inside the source or the read fails.
    virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// Bytes the caller keeps alive for the life of the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// A file opened for reading by its UTF-8 path; IsOpen tells whether it could be.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& utf8Path);
    bool IsOpen() const { return open_; }
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
    bool open_ = false;
};

} // namespace office::binary
