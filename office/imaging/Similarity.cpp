#include "office/imaging/Similarity.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace office::imaging::detail {

namespace {

constexpr int kBlock = 4; // windows are 2x2 blocks: 8x8 pixels stepped by 4
constexpr int kWindowPixels = 4 * kBlock * kBlock;
constexpr double kC1 = (0.01 * 255) * (0.01 * 255), kC2 = (0.03 * 255) * (0.03 * 255);
// A window counts as background when every plane is this flat in both pictures and keeps its level.
constexpr double kFlatVariance = 1.0, kFlatShift = 2.0;
constexpr int kMaxPlanes = 4;

// Y, Cb, Cr (JPEG's full-range conversion) of a pixel, colour drawn over black by its alpha.
inline void Planes(const std::uint8_t* p, int bands, float* out) {
    const float k = bands == 4 ? p[3] * (1.0f / 255) : 1.0f;
    const float r = p[0] * k, g = p[1] * k, b = p[2] * k;
    out[0] = 0.299f * r + 0.587f * g + 0.114f * b;
    out[1] = 128 - 0.168736f * r - 0.331264f * g + 0.5f * b;
    out[2] = 128 + 0.5f * r - 0.418688f * g - 0.081312f * b;
    if (bands == 4) {
        out[3] = p[3];
    }
}

double Variance(double sum, double squares) {
    return (squares - sum * sum / kWindowPixels) / (kWindowPixels - 1);
}

// Calls visit(blockIndexTopLeft) for every window that stays inside its tile.
template <typename Visit> void ForEachWindow(int width, int height, int tile, Visit&& visit) {
    const int bw = width / kBlock, bh = height / kBlock;
    const int tileBlocks = tile > 0 ? tile / kBlock : std::max(bw, bh) + 1;
    for (int by = 0; by + 1 < bh; ++by) {
        if ((by + 1) % tileBlocks == 0) {
            continue; // the window would reach into the tile below
        }
        for (int bx = 0; bx + 1 < bw; ++bx) {
            if ((bx + 1) % tileBlocks != 0) {
                visit(static_cast<std::size_t>(by) * bw + bx, static_cast<std::size_t>(bw));
            }
        }
    }
}

} // namespace

SimilarityReference::SimilarityReference(std::span<const std::uint8_t> source, int width, int height,
                                         int bands, int tile)
    : width_(width), height_(height), bands_(bands), planes_(bands == 4 ? 4 : 3), tile_(tile) {
    if ((bands != 3 && bands != 4) || width <= 0 || height <= 0 ||
        source.size() != static_cast<std::size_t>(width) * height * bands) {
        throw std::invalid_argument("similarity of a picture of the wrong layout");
    }
    const int bw = width / kBlock, bh = height / kBlock;
    source_.resize(static_cast<std::size_t>(width) * height * planes_);
    blocks_.assign(static_cast<std::size_t>(bw) * bh * planes_, Sums{0, 0});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            float* v = &source_[i * planes_];
            Planes(&source[i * bands], bands, v);
            if (x < bw * kBlock && y < bh * kBlock) {
                Sums* sums = &blocks_[(static_cast<std::size_t>(y / kBlock) * bw + x / kBlock) * planes_];
                for (int p = 0; p < planes_; ++p) {
                    sums[p].a += v[p];
                    sums[p].aa += v[p] * v[p];
                }
            }
        }
    }
    long busy = 0, all = 0;
    ForEachWindow(width, height, tile, [&](std::size_t b, std::size_t bw) {
        ++all;
        for (int p = 0; p < planes_; ++p) {
            const std::size_t quad[4] = {b, b + 1, b + bw, b + bw + 1};
            double a = 0, aa = 0;
            for (std::size_t q : quad) {
                a += blocks_[q * planes_ + p].a;
                aa += blocks_[q * planes_ + p].aa;
            }
            if (Variance(a, aa) >= kFlatVariance) {
                ++busy;
                break;
            }
        }
    });
    sourceBusyShare_ = all > 0 ? double(busy) / all : 0.0;
}

Similarity SimilarityReference::Compare(std::span<const std::uint8_t> encoded) const {
    if (encoded.size() != static_cast<std::size_t>(width_) * height_ * bands_) {
        throw std::invalid_argument("similarity of pictures of different layouts");
    }
    struct Other {
        float b, bb, ab;
    };
    const int bw = width_ / kBlock, bh = height_ / kBlock;
    std::vector<Other> other(static_cast<std::size_t>(bw) * bh * planes_, Other{0, 0, 0});
    for (int y = 0; y < bh * kBlock; ++y) {
        Other* row = &other[static_cast<std::size_t>(y / kBlock) * bw * planes_];
        for (int x = 0; x < bw * kBlock; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
            float v[kMaxPlanes];
            Planes(&encoded[i * bands_], bands_, v);
            const float* s = &source_[i * planes_];
            Other* sums = row + static_cast<std::size_t>(x / kBlock) * planes_;
            for (int p = 0; p < planes_; ++p) {
                sums[p].b += v[p];
                sums[p].bb += v[p] * v[p];
                sums[p].ab += v[p] * s[p];
            }
        }
    }
    double total[kMaxPlanes] = {};
    long busy = 0, all = 0;
    ForEachWindow(width_, height_, tile_, [&](std::size_t b, std::size_t stride) {
        ++all;
        const std::size_t quad[4] = {b, b + 1, b + stride, b + stride + 1};
        double ssim[kMaxPlanes];
        bool flat = true;
        for (int p = 0; p < planes_; ++p) {
            double a = 0, aa = 0, o = 0, oo = 0, ao = 0;
            for (std::size_t q : quad) {
                const Sums& s = blocks_[q * planes_ + p];
                const Other& e = other[q * planes_ + p];
                a += s.a;
                aa += s.aa;
                o += e.b;
                oo += e.bb;
                ao += e.ab;
            }
            const double ma = a / kWindowPixels, mb = o / kWindowPixels;
            const double va = Variance(a, aa), vb = Variance(o, oo);
            const double cov = (ao - a * mb) / (kWindowPixels - 1);
            ssim[p] = ((2 * ma * mb + kC1) * (2 * cov + kC2)) / ((ma * ma + mb * mb + kC1) * (va + vb + kC2));
            flat = flat && va < kFlatVariance && vb < kFlatVariance && std::abs(ma - mb) < kFlatShift;
        }
        if (!flat) {
            ++busy;
            for (int p = 0; p < planes_; ++p) {
                total[p] += ssim[p];
            }
        }
    });
    Similarity result;
    if (busy > 0) {
        result.luma = total[0] / busy;
        result.chroma = (total[1] + total[2]) / (2.0 * busy);
        result.alpha = planes_ == 4 ? total[3] / busy : 1.0;
        result.busyShare = double(busy) / all;
    }
    return result;
}

ShownReference::ShownReference(std::span<const std::uint8_t> rgba, int width, int height, double opacity,
                               int tile)
    : opacity_(std::clamp(opacity, 0.0, 1.0)), overBlack_(Over(rgba, 0), width, height, 3, tile),
      overWhite_(Over(rgba, 255), width, height, 3, tile) {}

std::vector<std::uint8_t> ShownReference::Over(std::span<const std::uint8_t> rgba, int backdrop) const {
    std::vector<std::uint8_t> out(rgba.size() / 4 * 3);
    const float k = static_cast<float>(opacity_) / 255;
    for (std::size_t i = 0, o = 0; i + 3 < rgba.size(); i += 4, o += 3) {
        const float a = rgba[i + 3] * k;
        for (int c = 0; c < 3; ++c) {
            out[o + c] = static_cast<std::uint8_t>(std::lround(rgba[i + c] * a + backdrop * (1 - a)));
        }
    }
    return out;
}

Similarity ShownReference::Compare(std::span<const std::uint8_t> rgba) const {
    const Similarity black = overBlack_.Compare(Over(rgba, 0)), white = overWhite_.Compare(Over(rgba, 255));
    Similarity s;
    s.luma = std::min(black.luma, white.luma);
    s.chroma = std::min(black.chroma, white.chroma);
    s.busyShare = std::max(black.busyShare, white.busyShare);
    return s;
}

Similarity MeasureSimilarity(std::span<const std::uint8_t> source, std::span<const std::uint8_t> encoded,
                             int width, int height, int bands, int tile) {
    return SimilarityReference(source, width, height, bands, tile).Compare(encoded);
}

} // namespace office::imaging::detail
