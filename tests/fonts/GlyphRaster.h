#pragma once

// Draws a string with a font the way a viewer would (HarfBuzz shaping, FreeType rasterising with
// hinting), for comparing a subset against the whole font pixel by pixel.

#include <cstdint>
#include <string>
#include <vector>

namespace fonttest {

struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // 8-bit coverage, row-major
    int missingGlyphs = 0;            // characters shaped to .notdef
};

Raster RenderText(const std::vector<std::uint8_t>& sfnt, const std::string& utf8, int pixelSize);

} // namespace fonttest
