#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <cstring>

namespace office::imaging {

std::vector<std::uint8_t> RgbProfileOf(std::span<const std::uint8_t> bytes) {
    const PictureKind kind = SniffKind(bytes);
    if (kind == PictureKind::Unknown || IsMetafile(kind) || kind == PictureKind::Bmp) {
        return {};
    }
    detail::EnsureVips();
    try {
        const vips::VImage header = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "");
        if (header.get_typeof(VIPS_META_ICC_NAME) == 0) {
            return {};
        }
        std::size_t size = 0;
        const auto* data = static_cast<const std::uint8_t*>(header.get_blob(VIPS_META_ICC_NAME, &size));
        // The header's data colour space (bytes 16..19) says which pixels the profile describes.
        if (data == nullptr || size < 128 || std::memcmp(data + 16, "RGB ", 4) != 0) {
            return {};
        }
        return {data, data + size};
    } catch (const vips::VError&) {
        return {};
    }
}

} // namespace office::imaging
