#pragma once

// The JPEG setting of one paste: the lowest quality (and chroma subsampling only where it keeps the
// look) that reaches the similarity targets of EncoderSettings.h, measured on samples of the picture.

#include "office/imaging/Similarity.h"

#include <cstdint>
#include <span>
#include <vector>
#include <vips/vips8>

namespace office::imaging::detail {

struct JpegSettings {
    int quality = 85;
    bool subsampleChroma = true;
    bool progressive = false;
    bool operator==(const JpegSettings&) const = default;
};

struct JpegTarget {
    double luma, chroma;
    int maxQuality; // searched up to here; what the target needs beyond it is not spent
};

// The targets for a picture whose source has this share of busy (not flat) windows: pictures with
// flat background (screenshots, text, drawings) show artefacts against it and get stricter ones.
JpegTarget JpegTargetFor(double sourceBusyShare);
bool Reaches(const Similarity& similarity, const JpegTarget& target);

struct JpegChoice {
    JpegSettings settings;
    std::vector<std::uint8_t> jpeg;
};

// Chooses the setting of a three-band 8-bit sRGB image held in memory and encodes it, always with
// optimised Huffman tables. `again`: the image is a decoded JPEG on its own grid (kJpegAgain...).
JpegChoice ChooseAndEncodeJpeg(const vips::VImage& rgb, bool again = false);

// Encodes an 8-bit sRGB or CMYK image (CMYK is never subsampled) with the setting, with optimised
// Huffman tables and no metadata.
std::vector<std::uint8_t> EncodeJpegWith(const vips::VImage& image, const JpegSettings& settings);

// Adds the profile as APP2 chunks after the JFIF header.
void InsertIccProfile(std::vector<std::uint8_t>& jpeg, std::span<const std::uint8_t> iccProfile);

} // namespace office::imaging::detail
