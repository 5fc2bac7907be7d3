#pragma once

// Lossless PNG repack: the same samples (bit depth, colour type, palette, transparency) filtered
// again with the best of several row filters and deflated at a strong level. Chunks that say how
// to show the pixels (PLTE, tRNS, iCCP, sRGB, gAMA, cHRM, pHYs, sBIT, eXIf, ...) are copied verbatim;
// text and time stamps are dropped. Interlaced files come out non-interlaced.

#include "office/repack/Deflate.h"

#include <optional>

namespace office::repack {

struct PngRepackOptions {
    // Drops pHYs too: for files whose resolution was made up by the program that wrote them.
    bool dropPhysicalSize = false;
};

// The smaller re-encoding, or nullopt when the input is not a plain PNG this code understands (APNG,
// unknown critical chunks, damaged data), when nothing smaller came out, or when the result does not
// decode to the same samples.
std::optional<Bytes> RepackPng(std::span<const std::uint8_t> png, const PngRepackOptions& options = {});

// The bytes of samples the PNG's header announces (what a repack filters and deflates), 0 when the
// data does not start like a PNG. Nothing is decoded.
std::uint64_t PngSampleBytes(std::span<const std::uint8_t> png);

// Raw samples as a PNG stores them: rows of ceil(width * channels * bitDepth / 8) bytes, 16-bit
// samples big-endian. colorType is PNG's (0 grey, 2 RGB, 4 grey+alpha, 6 RGBA).
struct PngSamples {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 8, colorType = 2;
    Bytes rows;
};

// A PNG of the samples with the given ancillary chunks (each complete: length, type, data, CRC), best
// filter and strong deflate; nullopt when the samples do not match the header or do not decode back.
std::optional<Bytes> EncodePng(const PngSamples& samples, const std::vector<Bytes>& chunks,
                               const PngRepackOptions& options = {});
// A complete chunk (length, type, data, CRC) for EncodePng.
Bytes MakePngChunk(const char* type, std::span<const std::uint8_t> data);

} // namespace office::repack
