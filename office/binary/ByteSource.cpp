#include "office/binary/ByteSource.h"

#include <cstring>
#include <exception>
#include <filesystem>

namespace office::binary {
namespace {

bool Inside(std::uint64_t offset, std::size_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace

bool MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!Inside(offset, out.size(), bytes_.size()))
        return false;
    if (!out.empty())
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

FileSource::FileSource(const std::string& utf8Path) {
    // A std::string path is taken as the system's narrow encoding on Windows; a u8string path is
    // UTF-8 everywhere (and a name that is not UTF-8 cannot be converted: no file).
    try {
        in_.open(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())), std::ios::binary);
    } catch (const std::exception&) {
        return;
    }
    if (!in_)
        return;
    in_.seekg(0, std::ios::end);
    const std::streamoff end = in_.tellg();
    if (!in_ || end < 0)
        return;
    size_ = static_cast<std::uint64_t>(end);
    open_ = true;
}

bool FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!open_ || !Inside(offset, out.size(), size_))
        return false;
    if (out.empty())
        return true;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return in_.gcount() == static_cast<std::streamsize>(out.size());
}

} // namespace office::binary
