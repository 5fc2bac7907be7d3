#pragma once

// Pictures made in the tests with the reference libraries, and decoders that do not share code with
// the repack: a change of pixels shows up as a difference here.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testimages {

using Bytes = std::vector<std::uint8_t>;

struct JpegMarker {
    int code; // 0xE0 + n for APPn, 0xFE for COM
    Bytes data;
};

// A baseline JPEG with the standard Huffman tables (as cameras and fast encoders write them) of a
// noisy gradient; markers follow SOI in the given order. components: 1 grey, 3 YCbCr, 4 CMYK.
Bytes MakeJpeg(int width, int height, int components, const std::vector<JpegMarker>& markers);
// Decoded samples, row by row, with the colour conversion the library applies by default.
Bytes DecodeJpeg(const Bytes& jpeg);
// APPn/COM markers of a JPEG in file order.
std::vector<JpegMarker> JpegMarkers(const Bytes& jpeg);

struct PngSpec {
    int width = 64, height = 48;
    int colorType = 6; // PNG colour types: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    bool withTransparency = false; // tRNS for palette, grey and RGB images
};
// A PNG written with filter "none" and deflate level 1, with gAMA, pHYs, sRGB and a tEXt comment.
Bytes MakePng(const PngSpec& spec);
// Every pixel as 16-bit linear RGBA through libpng's simplified API (exact for every bit depth, with
// the file's gamma applied), plus width and height; or as 8-bit sRGB values as stored, for 8-bit files.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint16_t> rgba;
};
Pixels DecodePng(const Bytes& png, bool eightBit = false);
// Chunk types of a PNG in file order, and IHDR's bit depth and colour type.
std::vector<std::string> PngChunkTypes(const Bytes& png);
std::pair<int, int> PngDepthAndColorType(const Bytes& png);

// True when both pictures decode to the same pixels: JPEG through libjpeg, PNG through libpng, other
// kinds (a TIFF against the PNG made of it) through libvips.
bool SamePixels(const Bytes& a, const Bytes& b);

// An uncompressed RGB TIFF of noise in 16 levels a channel (it shrinks as a PNG).
Bytes MakeTiff(int width, int height);

// Deterministic pseudo-random bytes.
Bytes Noise(std::size_t size, unsigned seed);

} // namespace testimages
