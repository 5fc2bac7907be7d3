#pragma once

// How closely an encoded picture keeps the look of its source, as the encoders judge it: SSIM over
// 8x8 windows stepped by 4 pixels on the JPEG colour planes (luma, the two chroma planes) and on
// alpha. Windows that are flat in both pictures (empty background) are left out, so that a page of
// small text is judged by its text rather than by its margins.

#include <cstdint>
#include <span>
#include <vector>

namespace office::imaging::detail {

struct Similarity {
    double luma = 1;      // mean SSIM of Y over the busy windows
    double chroma = 1;    // mean of the Cb and Cr SSIMs over the same windows
    double alpha = 1;     // mean SSIM of alpha (1 without alpha)
    double busyShare = 0; // busy windows / all windows
};

// A source picture prepared once for comparing several encodings of it. Pictures are interleaved
// 8-bit RGB (bands 3) or RGBA (bands 4, judged as drawn over black plus its alpha). With a tile
// size, windows stay inside tile x tile squares (a mosaic of samples); 0 treats the picture as one.
class SimilarityReference {
public:
    SimilarityReference(std::span<const std::uint8_t> source, int width, int height, int bands, int tile = 0);
    // An encoding of the source decoded to the same layout.
    Similarity Compare(std::span<const std::uint8_t> encoded) const;
    // Share of windows that are not flat in the source itself: low for screenshots and drawings.
    double SourceBusyShare() const { return sourceBusyShare_; }

private:
    struct Sums {
        float a, aa;
    };
    int width_, height_, bands_, planes_, tile_;
    std::vector<float> source_; // planes, pixel by pixel
    std::vector<Sums> blocks_;  // per 4x4 block and plane
    double sourceBusyShare_ = 0;
};

// Judges RGBA encodings as a player shows them: composited, at alpha times the place's opacity,
// over black and over white, the two backdrops between which every other colour lies. Each
// measure is the lower of the two, so a change of alpha counts by what it does to the picture.
// `tile` as for SimilarityReference.
class ShownReference {
public:
    ShownReference(std::span<const std::uint8_t> rgba, int width, int height, double opacity, int tile = 0);
    Similarity Compare(std::span<const std::uint8_t> rgba) const;

private:
    std::vector<std::uint8_t> Over(std::span<const std::uint8_t> rgba, int backdrop) const;
    double opacity_;
    SimilarityReference overBlack_, overWhite_;
};

Similarity MeasureSimilarity(std::span<const std::uint8_t> source, std::span<const std::uint8_t> encoded,
                             int width, int height, int bands, int tile = 0);

} // namespace office::imaging::detail
