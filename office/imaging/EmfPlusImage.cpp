#include "office/imaging/EmfPlusImage.h"

#include "office/imaging/EmfRecords.h"

namespace office::imaging::detail {

namespace {

using namespace emf;

constexpr std::size_t kPlusRecordHeader = 12;
// Image object: version, image type, then the bitmap's width, height, stride, pixel format and
// data type; the encoded picture follows.
constexpr std::size_t kCompressedImageAt = 28;

// Collects one image object from its record or records.
class ImageObject {
public:
    // Takes one EMF+ object record's data; true once the object is complete.
    bool Take(std::uint16_t flags, std::span<const std::uint8_t> data) {
        const bool continued = (flags & kPlusContinued) != 0;
        if (!continued && !started_) {
            bytes_.assign(data.begin(), data.end());
            return true;
        }
        // Every record of a split object leads its data with the whole object's size.
        const std::uint32_t total = ReadU32(data, 0);
        if (started_ && total != total_) {
            throw ImagingError("EMF+ object parts disagree on its size");
        }
        total_ = total;
        started_ = true;
        if (data.size() - 4 > total_ - std::min<std::size_t>(total_, bytes_.size())) {
            throw ImagingError("EMF+ object is longer than it says");
        }
        bytes_.insert(bytes_.end(), data.begin() + 4, data.end());
        return !continued;
    }
    std::optional<std::vector<std::uint8_t>> Encoded() const {
        const std::span<const std::uint8_t> b(bytes_);
        if (b.size() <= kCompressedImageAt || ReadU32(b, 4) != kPlusImageBitmap ||
            ReadU32(b, 24) != kPlusBitmapCompressed) {
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(b.begin() + kCompressedImageAt, b.end());
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t total_ = 0;
    bool started_ = false;
};

} // namespace

std::optional<std::vector<std::uint8_t>> EmfPlusImageBytes(std::span<const std::uint8_t> emf) {
    ImageObject image;
    try {
        std::size_t at = 0;
        while (at + 8 <= emf.size()) {
            const std::uint32_t type = ReadU32(emf, at);
            const std::uint32_t size = ReadU32(emf, at + 4);
            if (size < 8 || size > emf.size() - at) {
                return std::nullopt;
            }
            if (type == kEmrEof) {
                return std::nullopt;
            }
            if (type == kEmrComment && size >= 16 && ReadU32(emf, at + 12) == kEmfPlusSignature) {
                const std::size_t dataSize = ReadU32(emf, at + 8);
                if (dataSize < 4 || dataSize > size - 12) {
                    return std::nullopt;
                }
                const auto plus = emf.subspan(at + 16, dataSize - 4);
                for (std::size_t p = 0; p + kPlusRecordHeader <= plus.size();) {
                    const std::uint16_t plusType = ReadU16(plus, p);
                    const std::uint16_t flags = ReadU16(plus, p + 2);
                    const std::uint32_t plusSize = ReadU32(plus, p + 4);
                    const std::uint32_t plusData = ReadU32(plus, p + 8);
                    if (plusSize < kPlusRecordHeader || plusSize > plus.size() - p ||
                        plusData > plusSize - kPlusRecordHeader) {
                        return std::nullopt;
                    }
                    const auto objectType = (flags & kPlusObjectTypeMask) >> kPlusObjectTypeShift;
                    if (plusType == kPlusObject && objectType == kPlusObjectImage &&
                        image.Take(flags, plus.subspan(p + kPlusRecordHeader, plusData))) {
                        return image.Encoded();
                    }
                    p += plusSize;
                }
            }
            at += size;
        }
    } catch (const ImagingError&) {
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace office::imaging::detail
