#pragma once

// A libFuzzer mutator for targets that take a whole package: most mutations change one part's
// inflated bytes and write the archive again (stored, with correct checksums), so that they reach
// the XML readers instead of dying at the archive's checksum or the inflater. Now and then the
// archive's own bytes are mutated as they are, and input that is no archive is mutated plainly.
// Include it in one target source, built with QUARNEL_LIBFUZZER only.

#include "office/package/ArchiveReader.h"
#include "office/package/ZipWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>
#include <zlib.h>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace fuzzmutator {

inline std::size_t MutatePartOfPackage(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                       unsigned seed) {
    namespace pkg = office::package;
    std::minstd_rand random(seed);
    if (random() % 8 == 0)
        return LLVMFuzzerMutate(data, size, maxSize);
    pkg::OpenLimits limits;
    limits.maxEntries = 512;
    limits.maxPartBytes = maxSize;
    limits.maxTotalBytes = 4 * static_cast<std::uint64_t>(maxSize);
    std::vector<pkg::detail::ZipEntry> entries;
    try {
        pkg::detail::ArchiveReader reader(pkg::Bytes(data, data + size), "Fuzz", limits);
        for (const auto& entry : reader.Entries()) {
            pkg::detail::ZipEntry out;
            out.name = entry.name;
            out.method = 0;
            out.data = std::make_shared<pkg::Bytes>(reader.Inflate(entry, "Fuzz"));
            entries.push_back(std::move(out));
        }
    } catch (const std::exception&) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    if (entries.empty())
        return LLVMFuzzerMutate(data, size, maxSize);

    auto& chosen = entries[random() % entries.size()];
    pkg::Bytes part = *chosen.data;
    const std::size_t used = part.size();
    part.resize(std::min<std::size_t>(maxSize, used + used / 4 + 64));
    part.resize(LLVMFuzzerMutate(part.data(), used, part.size()));
    chosen.data = std::make_shared<pkg::Bytes>(std::move(part));
    for (auto& entry : entries) {
        entry.size = entry.data->size();
        entry.crc =
            static_cast<std::uint32_t>(crc32(0, entry.data->data(), static_cast<uInt>(entry.data->size())));
    }
    if (!pkg::detail::FitsClassicZip(entries))
        return LLVMFuzzerMutate(data, size, maxSize);
    pkg::Bytes archive;
    pkg::detail::WriteZip(entries, [&](const std::uint8_t* bytes, std::size_t n) {
        archive.insert(archive.end(), bytes, bytes + n);
    });
    if (archive.size() > maxSize)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, archive.data(), archive.size());
    return archive.size();
}

} // namespace fuzzmutator

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return fuzzmutator::MutatePartOfPackage(data, size, maxSize, seed);
}
