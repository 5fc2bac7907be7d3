#include "office/repack/Deflate.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>
#include <memory>
#include <mutex>
#include <vector>

namespace office::repack {

namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Idle (de)compressors kept for the next call: allocating the strongest compressor costs more than
// deflating a small part, and scratch-deck saves deflate a few small parts many times over. A shared
// pool rather than one per thread, since MinGW runs a thread's thread_local destructors after its
// thread storage is gone.
template <typename T, typename Free> class Idle {
public:
    using Owned = std::unique_ptr<T, Free>;

    Owned Take(std::size_t kind) {
        std::lock_guard lock(mutex_);
        auto& list = lists_[kind];
        if (list.empty())
            return nullptr;
        Owned taken = std::move(list.back());
        list.pop_back();
        return taken;
    }
    void Give(std::size_t kind, Owned object) {
        if (!object)
            return;
        std::lock_guard lock(mutex_);
        lists_[kind].push_back(std::move(object));
    }

private:
    std::mutex mutex_;
    std::array<std::vector<Owned>, 13> lists_; // by level; one kind for the decompressor
};

// Never destroyed: a worker thread may still save while the program's statics go at exit.
Idle<libdeflate_compressor, CompressorFree>& IdleCompressors() {
    static auto* idle = new Idle<libdeflate_compressor, CompressorFree>;
    return *idle;
}

Idle<libdeflate_decompressor, DecompressorFree>& IdleDecompressors() {
    static auto* idle = new Idle<libdeflate_decompressor, DecompressorFree>;
    return *idle;
}

// A (de)compressor for one call, back to the pool after it.
template <typename T, typename Free> class Lease {
public:
    template <typename Make>
    Lease(Idle<T, Free>& idle, std::size_t kind, Make make)
        : idle_(idle), kind_(kind), object_(idle.Take(kind)) {
        if (!object_)
            object_.reset(make());
    }
    ~Lease() { idle_.Give(kind_, std::move(object_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    T* get() const { return object_.get(); }

private:
    Idle<T, Free>& idle_;
    std::size_t kind_;
    typename Idle<T, Free>::Owned object_;
};

template <typename Bound, typename Compress>
Bytes Run(std::span<const std::uint8_t> data, int level, Bound bound, Compress compress) {
    level = std::clamp(level, 1, 12);
    const Lease lease(IdleCompressors(), static_cast<std::size_t>(level),
                      [level] { return libdeflate_alloc_compressor(level); });
    libdeflate_compressor* c = lease.get();
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
    const Lease lease(IdleDecompressors(), 0, libdeflate_alloc_decompressor);
    libdeflate_decompressor* decompressor = lease.get();
    if (!decompressor)
        return std::nullopt;
    Bytes out(size);
    std::size_t consumed = 0;
    // Trailing bytes after the end of the stream are as wrong as a short one.
    if (libdeflate_deflate_decompress_ex(decompressor, data.data(), data.size(), out.data(), out.size(),
                                         &consumed, nullptr) != LIBDEFLATE_SUCCESS ||
        consumed != data.size())
        return std::nullopt;
    return out;
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
    return libdeflate_crc32(0, data.data(), data.size());
}

} // namespace office::repack
