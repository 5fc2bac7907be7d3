#include "office/repack/Deflate.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>
#include <memory>

namespace office::repack {

namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One compressor per level and thread: allocating the strongest one costs more than deflating a
// small part, and scratch-deck saves deflate a few small parts many times over.
libdeflate_compressor* CompressorFor(int level) {
    thread_local std::array<std::unique_ptr<libdeflate_compressor, CompressorFree>, 13> cache;
    level = std::clamp(level, 1, 12);
    auto& slot = cache[static_cast<std::size_t>(level)];
    if (!slot)
        slot.reset(libdeflate_alloc_compressor(level));
    return slot.get();
}

template <typename Bound, typename Compress>
Bytes Run(std::span<const std::uint8_t> data, int level, Bound bound, Compress compress) {
    libdeflate_compressor* c = CompressorFor(level);
    if (!c)
        return {};
    Bytes out(bound(c, data.size()));
    std::size_t n = compress(c, data.data(), data.size(), out.data(), out.size());
    out.resize(n); // 0 only when the bound was wrong, which libdeflate rules out
    return out;
}

} // namespace

Bytes DeflateRaw(std::span<const std::uint8_t> data, int level) {
    return Run(data, level, libdeflate_deflate_compress_bound, libdeflate_deflate_compress);
}

Bytes DeflateZlib(std::span<const std::uint8_t> data, int level) {
    return Run(data, level, libdeflate_zlib_compress_bound, libdeflate_zlib_compress);
}

std::optional<Bytes> InflateRaw(std::span<const std::uint8_t> data, std::size_t size) {
    struct DecompressorFree {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor)
        return std::nullopt;
    Bytes out(size);
    std::size_t consumed = 0;
    // Trailing bytes after the end of the stream are as wrong as a short one.
    if (libdeflate_deflate_decompress_ex(decompressor.get(), data.data(), data.size(), out.data(), out.size(),
                                         &consumed, nullptr) != LIBDEFLATE_SUCCESS ||
        consumed != data.size())
        return std::nullopt;
    return out;
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
    return libdeflate_crc32(0, data.data(), data.size());
}

} // namespace office::repack
