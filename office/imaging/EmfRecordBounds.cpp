#include "office/imaging/EmfRecordBounds.h"

#include "office/imaging/EmfRecords.h"

namespace office::imaging::detail {

namespace {

using namespace emf;

constexpr std::size_t kRecordHeader = 8;
constexpr std::size_t kCommentHeader = 12; // type, size, data size
constexpr std::size_t kPlusRecordHeader = 12;
constexpr std::size_t kHeaderDescriptionAt = 60; // its length in UTF-16 units, then its offset

void CheckPlusRecords(std::span<const std::uint8_t> plus) {
    std::size_t at = 0;
    while (at < plus.size()) {
        if (plus.size() - at < kPlusRecordHeader) {
            throw ImagingError("enhanced metafile has an EMF+ record cut short");
        }
        const std::uint32_t size = ReadU32(plus, at + 4);
        const std::uint32_t dataSize = ReadU32(plus, at + 8);
        if (size < kPlusRecordHeader || size > plus.size() - at || dataSize > size - kPlusRecordHeader) {
            throw ImagingError("enhanced metafile has an EMF+ record larger than its comment");
        }
        at += size;
    }
}

} // namespace

void CheckEmfRecordBounds(std::span<const std::uint8_t> emf) {
    std::size_t at = 0;
    while (at < emf.size()) {
        if (emf.size() - at < kRecordHeader) {
            throw ImagingError("enhanced metafile has a record cut short");
        }
        const std::uint32_t type = ReadU32(emf, at);
        const std::uint32_t size = ReadU32(emf, at + 4);
        if (size < kRecordHeader || size > emf.size() - at) {
            throw ImagingError("enhanced metafile has a record larger than the file");
        }
        if (type == kEmrHeader && size >= kHeaderDescriptionAt + 8) {
            // The converter reads the description where the header says, even when it has no
            // characters.
            const std::uint64_t characters = ReadU32(emf, at + kHeaderDescriptionAt);
            const std::uint64_t offset = ReadU32(emf, at + kHeaderDescriptionAt + 4);
            if ((characters != 0 || offset != 0) && offset + 2 * characters > size) {
                throw ImagingError("enhanced metafile has a description outside its header");
            }
        }
        if (type == kEmrEof) {
            return; // the converter reads no further
        }
        if (type == kEmrComment) {
            const auto record = emf.subspan(at, size);
            const std::uint32_t dataSize = size >= kCommentHeader ? ReadU32(record, 8) : 0;
            if (size < kCommentHeader || dataSize > size - kCommentHeader) {
                throw ImagingError("enhanced metafile has a comment larger than its record");
            }
            if (dataSize >= 4 && ReadU32(record, kCommentHeader) == kEmfPlusSignature) {
                CheckPlusRecords(record.subspan(kCommentHeader + 4, dataSize - 4));
            }
        }
        at += size;
    }
}

} // namespace office::imaging::detail
