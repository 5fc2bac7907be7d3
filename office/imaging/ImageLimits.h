#pragma once

// Limits every decoder checks before allocating pixels, so that a crafted header claiming a huge
// picture fails fast instead of exhausting memory.

#include "office/imaging/Imaging.h"

#include <cstdint>
#include <string>

namespace office::imaging::detail {

inline constexpr int kMaxSide = 30000;
inline constexpr std::int64_t kMaxPixels = 200'000'000;

inline void CheckDimensions(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw ImagingError("picture has no pixels");
    }
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
        throw ImagingError("picture dimensions are implausible: " + std::to_string(width) + "x" +
                           std::to_string(height));
    }
}

} // namespace office::imaging::detail
