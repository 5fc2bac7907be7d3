#include "office/imaging/JpegChoice.h"

#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <turbojpeg.h>

namespace office::imaging::detail {

namespace {

using vips::VImage;

// What the search encodes: the whole picture, or a mosaic of tiles taken on the JPEG block grid, so
// that every tile is coded exactly as it is inside the whole picture.
struct Sample {
    std::vector<std::uint8_t> owned;
    std::span<const std::uint8_t> pixels;
    int width = 0, height = 0;
    int tile = 0; // 0: the whole picture
};

std::span<const std::uint8_t> PixelsOf(const VImage& rgb) {
    return {static_cast<const std::uint8_t*>(rgb.data()),
            static_cast<std::size_t>(rgb.width()) * rgb.height() * 3};
}

// Evenly spread positions of count tiles along a side, on the 16-pixel grid of 4:2:0 blocks.
std::vector<int> TileOrigins(int side, int tile, int count) {
    const int last = (side - tile) / 16 * 16;
    std::vector<int> origins;
    for (int i = 0; i < count; ++i) {
        const double centre = (i + 0.5) * side / count;
        const int x = static_cast<int>(std::lround(centre - tile / 2.0)) / 16 * 16;
        origins.push_back(std::clamp(x, 0, last));
    }
    origins.erase(std::unique(origins.begin(), origins.end()), origins.end());
    return origins;
}

Sample SampleOf(const VImage& rgb) {
    const int w = rgb.width(), h = rgb.height(), t = kJpegSampleTile;
    const double wanted = kJpegSampleMegapixels * 1e6;
    Sample s;
    if (double(w) * h <= 1.5 * wanted || w < 2 * t || h < 2 * t) {
        s.pixels = PixelsOf(rgb);
        s.width = w;
        s.height = h;
        return s;
    }
    const double tiles = wanted / (double(t) * t);
    const int nx = std::clamp(static_cast<int>(std::lround(std::sqrt(tiles * w / h))), 1, w / t);
    const int ny = std::clamp(static_cast<int>(std::ceil(tiles / nx)), 1, h / t);
    const std::vector<int> xs = TileOrigins(w, t, nx), ys = TileOrigins(h, t, ny);
    s.width = static_cast<int>(xs.size()) * t;
    s.height = static_cast<int>(ys.size()) * t;
    s.tile = t;
    s.owned.resize(static_cast<std::size_t>(s.width) * s.height * 3);
    const std::span<const std::uint8_t> from = PixelsOf(rgb);
    for (std::size_t ty = 0; ty < ys.size(); ++ty) {
        for (int row = 0; row < t; ++row) {
            for (std::size_t tx = 0; tx < xs.size(); ++tx) {
                const std::size_t src = (static_cast<std::size_t>(ys[ty] + row) * w + xs[tx]) * 3;
                const std::size_t dst = ((ty * t + row) * static_cast<std::size_t>(s.width) + tx * t) * 3;
                std::memcpy(&s.owned[dst], &from[src], static_cast<std::size_t>(t) * 3);
            }
        }
    }
    s.pixels = s.owned;
    return s;
}

VImage ImageOf(const Sample& s) {
    return VImage::new_from_memory(const_cast<std::uint8_t*>(s.pixels.data()), s.pixels.size(), s.width,
                                   s.height, 3, VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Trial encodings go through TurboJPEG without optimised tables: the tables change the size, never
// the pixels, and the search only looks at the pixels. Same DCT, quantisation, colour conversion and
// chroma downsampling as the final encoder (libjpeg-turbo behind libvips).
class TrialCodec {
public:
    TrialCodec() : compress_(tjInitCompress()), decompress_(tjInitDecompress()) {
        if (compress_ == nullptr || decompress_ == nullptr) {
            Release();
            throw ImagingError("TurboJPEG could not start");
        }
    }
    ~TrialCodec() { Release(); }
    TrialCodec(const TrialCodec&) = delete;
    TrialCodec& operator=(const TrialCodec&) = delete;

    // The sample after a round trip through JPEG at these settings.
    const std::vector<std::uint8_t>& RoundTrip(const Sample& s, int quality, bool subsample) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(compress_, s.pixels.data(), s.width, 0, s.height, TJPF_RGB, &jpeg, &size,
                        subsample ? TJSAMP_420 : TJSAMP_444, quality, 0) != 0) {
            tjFree(jpeg);
            throw ImagingError(std::string("trial JPEG encoding failed: ") + tjGetErrorStr2(compress_));
        }
        decoded_.resize(s.pixels.size());
        const int failed =
            tjDecompress2(decompress_, jpeg, size, decoded_.data(), s.width, 0, s.height, TJPF_RGB, 0);
        tjFree(jpeg);
        if (failed != 0) {
            throw ImagingError(std::string("trial JPEG decoding failed: ") + tjGetErrorStr2(decompress_));
        }
        return decoded_;
    }

private:
    void Release() {
        if (compress_ != nullptr) {
            tjDestroy(compress_);
        }
        if (decompress_ != nullptr) {
            tjDestroy(decompress_);
        }
    }
    tjhandle compress_, decompress_;
    std::vector<std::uint8_t> decoded_;
};

// The first index in [first, last] where the (monotone) test holds; last + 1 when none.
int FirstPassing(int first, int last, const std::function<bool(int)>& passes) {
    int lo = first, hi = last + 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (passes(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// The same, trying the guess and its neighbours first: a good guess settles it in two trials.
int FirstPassingNear(int first, int last, int guess, const std::function<bool(int)>& passes) {
    guess = std::clamp(guess, first, last);
    if (passes(guess)) {
        if (guess == first || !passes(guess - 1)) {
            return guess;
        }
        return FirstPassing(first, guess - 2, passes);
    }
    if (guess == last || passes(guess + 1)) {
        return guess + 1;
    }
    return FirstPassing(guess + 2, last, passes);
}

} // namespace

std::vector<std::uint8_t> EncodeJpegWith(const VImage& image, const JpegSettings& settings) {
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(".jpg", &data, &size,
                          VImage::option()
                              ->set("Q", settings.quality)
                              ->set("optimize_coding", true)
                              ->set("interlace", settings.progressive)
                              ->set("subsample_mode", settings.subsampleChroma ? VIPS_FOREIGN_SUBSAMPLE_ON
                                                                               : VIPS_FOREIGN_SUBSAMPLE_OFF)
                              ->set("strip", true));
    std::vector<std::uint8_t> out(static_cast<const std::uint8_t*>(data),
                                  static_cast<const std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

JpegTarget JpegTargetFor(double sourceBusyShare) {
    return sourceBusyShare < kFlatPictureBusyShare
               ? JpegTarget{kJpegFlatTargetLuma, kJpegFlatTargetChroma, kJpegFlatMaxQuality}
               : JpegTarget{kJpegPhotoTargetLuma, kJpegPhotoTargetChroma, kJpegPhotoMaxQuality};
}

bool Reaches(const Similarity& s, const JpegTarget& target) {
    return s.luma >= target.luma && s.chroma >= target.chroma;
}

JpegChoice ChooseAndEncodeJpeg(const VImage& rgb, bool again) {
    if (rgb.width() < 8 || rgb.height() < 8) {
        // Too small for a single window to judge, and too small for any setting to cost bytes.
        const JpegSettings best{kJpegFlatMaxQuality, false, false};
        return {best, EncodeJpegWith(rgb, best)};
    }
    const Sample sample = SampleOf(rgb);
    const SimilarityReference reference(sample.pixels, sample.width, sample.height, 3, sample.tile);
    const JpegTarget target =
        again ? JpegTarget{kJpegAgainTargetLuma, kJpegAgainTargetChroma, kJpegAgainMaxQuality}
              : JpegTargetFor(reference.SourceBusyShare());
    TrialCodec codec;
    std::map<std::pair<int, bool>, Similarity> trials;
    // Steps from the lowest quality; the last one is the highest quality itself.
    const int steps = (target.maxQuality - kJpegMinQuality + kJpegQualityStep - 1) / kJpegQualityStep;
    auto quality = [&](int step) {
        return std::min(target.maxQuality, kJpegMinQuality + step * kJpegQualityStep);
    };
    auto stepOf = [](double q) {
        return static_cast<int>(std::lround((q - kJpegMinQuality) / kJpegQualityStep));
    };
    auto trial = [&](int step, bool subsample) -> const Similarity& {
        auto [it, fresh] = trials.try_emplace({step, subsample});
        if (fresh) {
            it->second = reference.Compare(codec.RoundTrip(sample, quality(step), subsample));
        }
        return it->second;
    };
    // Luma is coded alike with and without subsampling, so one search finds the quality. The first
    // trial predicts where the target lies: the quantiser step, and with it the loss, grows with
    // 100 - Q; the search then starts next to the prediction.
    const int firstStep = std::clamp(stepOf(kJpegFirstTrialQuality), 0, steps);
    const double loss = std::max(1e-6, 1 - trial(firstStep, true).luma);
    const double predicted = 100 - (100 - quality(firstStep)) * std::pow((1 - target.luma) / loss, 1 / 1.5);
    const int lumaStep = std::min(steps, FirstPassingNear(0, steps, stepOf(predicted), [&](int step) {
                                      return trial(step, true).luma >= target.luma;
                                  }));
    JpegSettings chosen{quality(lumaStep), true, false};
    if (trial(lumaStep, true).chroma < target.chroma) {
        // Colour lost to subsampling does not come back with quality: keep full chroma instead, at the
        // lowest quality from there on that keeps the colour too.
        const int step = std::min(steps, FirstPassingNear(lumaStep, steps, lumaStep, [&](int s) {
                                      return trial(s, false).chroma >= target.chroma;
                                  }));
        chosen = {quality(step), false, false};
    }
    // Progressive scans are smaller for most pictures but not for all: a small picture is encoded
    // both ways, a large one is decided on its sample.
    JpegSettings progressive = chosen;
    progressive.progressive = true;
    if (sample.tile == 0) {
        std::vector<std::uint8_t> baseline = EncodeJpegWith(rgb, chosen),
                                  scans = EncodeJpegWith(rgb, progressive);
        return scans.size() < baseline.size() ? JpegChoice{progressive, std::move(scans)}
                                              : JpegChoice{chosen, std::move(baseline)};
    }
    const VImage image = ImageOf(sample);
    if (EncodeJpegWith(image, progressive).size() < EncodeJpegWith(image, chosen).size()) {
        chosen = progressive;
    }
    return {chosen, EncodeJpegWith(rgb, chosen)};
}

void InsertIccProfile(std::vector<std::uint8_t>& jpeg, std::span<const std::uint8_t> iccProfile) {
    // ICC profiles travel in APP2 chunks of at most 65519 bytes, numbered from 1, at most 255 of them.
    constexpr std::size_t kChunk = 65519;
    const std::size_t chunks = (iccProfile.size() + kChunk - 1) / kChunk;
    if (iccProfile.empty() || chunks > 255 || jpeg.size() < 6) {
        return;
    }
    std::size_t at = 2; // after SOI, and after the JFIF segment when there is one
    if (jpeg[2] == 0xFF && jpeg[3] == 0xE0) {
        at = 4 + (static_cast<std::size_t>(jpeg[4]) << 8 | jpeg[5]);
    }
    std::vector<std::uint8_t> markers;
    for (std::size_t i = 0; i < chunks; ++i) {
        const std::size_t from = i * kChunk, length = std::min(kChunk, iccProfile.size() - from);
        const std::size_t segment = 2 + 12 + 2 + length;
        markers.insert(markers.end(), {0xFF, 0xE2, static_cast<std::uint8_t>(segment >> 8),
                                       static_cast<std::uint8_t>(segment & 0xFF)});
        static constexpr char kTag[12] = "ICC_PROFILE";
        markers.insert(markers.end(), kTag, kTag + 12);
        markers.push_back(static_cast<std::uint8_t>(i + 1));
        markers.push_back(static_cast<std::uint8_t>(chunks));
        markers.insert(markers.end(), iccProfile.begin() + static_cast<std::ptrdiff_t>(from),
                       iccProfile.begin() + static_cast<std::ptrdiff_t>(from + length));
    }
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(std::min(at, jpeg.size())), markers.begin(),
                markers.end());
}

} // namespace office::imaging::detail
