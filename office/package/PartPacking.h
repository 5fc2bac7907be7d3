#pragma once

// A part's bytes in their smaller ZIP form (stored or deflated at the strongest level worth its
// size), shared by the deck's repack and the repack of packages embedded in it.

#include "office/package/PackageImpl.h"

#include <memory>
#include <optional>
#include <string>

namespace office::package::detail {

// The strongest level libdeflate offers for parts up to a few megabytes, weaker ones past that.
int DeflateLevelFor(std::size_t size);

std::shared_ptr<const PackedPart> Packed(std::uint16_t method, std::shared_ptr<const Bytes> data,
                                         std::uint32_t crc, std::uint64_t size, std::string extension = {});

// Deflated when that is smaller, else stored: for XML and other data that usually deflates well.
std::shared_ptr<const PackedPart> DeflateOrStore(const std::shared_ptr<const Bytes>& input);

// Stored unless a quick deflate shows it is worth the strong one: for pictures, media and packages.
std::shared_ptr<const PackedPart> StoreOrDeflateMedia(std::shared_ptr<const Bytes> input,
                                                      std::string extension = {});

// A re-encoded picture or package (when there is one), else the original, in its smaller ZIP form.
std::shared_ptr<const PackedPart> PackReencoded(std::optional<Bytes> bytes,
                                                const std::shared_ptr<const Bytes>& original,
                                                std::string extension = {});

} // namespace office::package::detail
