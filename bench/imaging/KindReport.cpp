#include "KindReport.h"

#include "Ssim.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/Similarity.h"
#include "office/imaging/VipsSupport.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <unordered_set>

namespace bench {

namespace {

using office::imaging::Raster;
using office::imaging::detail::MeasureSimilarity;
using office::imaging::detail::Similarity;
using vips::VImage;

// The paste settings before the per-picture choice: JPEG Q 85 4:2:0 with optimised Huffman tables,
// PNG zlib level 6 with adaptive filters (a palette when 256 colours hold every pixel).
constexpr int kFormerQuality = 85;
constexpr int kFormerPngLevel = 6;

std::vector<std::uint8_t> Save(const VImage& image, const char* suffix, vips::VOption* options) {
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(suffix, &data, &size, options);
    std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

Raster Load(const std::vector<std::uint8_t>& bytes) {
    return office::imaging::detail::ToRaster(
        office::imaging::detail::ToSrgbAlpha(VImage::new_from_buffer(bytes.data(), bytes.size(), "")));
}

Raster Flattened(Raster r) {
    for (std::size_t i = 0; i < r.rgba.size(); i += 4) {
        const unsigned a = r.rgba[i + 3];
        for (int c = 0; c < 3; ++c) {
            r.rgba[i + c] = static_cast<std::uint8_t>((r.rgba[i + c] * a + 127) / 255);
        }
        r.rgba[i + 3] = 255;
    }
    return r;
}

std::vector<std::uint8_t> Rgb(const Raster& r) {
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < r.rgba.size(); i += 4) {
        rgb.insert(rgb.end(), &r.rgba[i], &r.rgba[i + 3]);
    }
    return rgb;
}

Similarity Compare(const Raster& a, const Raster& b, bool alpha) {
    return alpha ? MeasureSimilarity(a.rgba, b.rgba, a.width, a.height, 4)
                 : MeasureSimilarity(Rgb(a), Rgb(b), a.width, a.height, 3);
}

bool FewColours(const Raster& r) {
    std::unordered_set<std::uint32_t> seen;
    for (std::size_t i = 0; i < r.rgba.size() && seen.size() <= 256; i += 4) {
        seen.insert(r.rgba[i + 3] == 0
                        ? 0u
                        : std::uint32_t(r.rgba[i]) | std::uint32_t(r.rgba[i + 1]) << 8 |
                              std::uint32_t(r.rgba[i + 2]) << 16 | std::uint32_t(r.rgba[i + 3]) << 24);
    }
    return seen.size() <= 256;
}

std::vector<std::uint8_t> FormerPng(const Raster& r) {
    VImage image = office::imaging::detail::FromRaster(r);
    if (!r.HasTransparency()) {
        image = image.extract_band(0, VImage::option()->set("n", 3));
    }
    auto options = [] {
        return VImage::option()
            ->set("compression", kFormerPngLevel)
            ->set("filter", VIPS_FOREIGN_PNG_FILTER_ALL)
            ->set("strip", true);
    };
    if (FewColours(r)) {
        return Save(image, ".png", options()->set("palette", true)->set("Q", 100)->set("dither", 0.0));
    }
    return Save(image, ".png", options());
}

// Processor time of the whole process (libvips works on its own threads): the machine is shared, so
// wall time would measure the neighbours.
struct CpuClock {
    using duration = std::chrono::nanoseconds;
    static std::chrono::time_point<CpuClock, duration> now() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return std::chrono::time_point<CpuClock, duration>(
            duration(ts.tv_sec * 1'000'000'000LL + ts.tv_nsec));
    }
};

double Ms(CpuClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Totals {
    int count = 0, subsampled = 0, progressive = 0, reached = 0, palettes = 0;
    double mp = 0, qualitySum = 0;
    double jpegBytes[2] = {}, ssim[2] = {}, luma[2] = {}, chroma[2] = {}, jpegMs[2] = {};
    double pngBytes[2] = {}, pngLuma = 0, pngMs[2] = {};
};

const char* KindOf(const Raster& r, double busyShare) {
    if (r.HasTransparency()) {
        return "graphic+alpha";
    }
    return busyShare < office::imaging::detail::kFlatPictureBusyShare ? "screen/drawing" : "photo";
}

} // namespace

void ReportByKind(const std::vector<const Picture*>& pictures, bool perPicture) {
    std::map<std::string, Totals> kinds;
    if (perPicture) {
        std::printf("%-60s %-14s %5s %3s %4s %9s %9s %7s %7s %7s %7s\n", "picture", "kind", "busy", "Q",
                    "sub", "Q85 B", "ours B", "Q85 Y", "ours Y", "Q85 C", "ours C");
    }
    for (const Picture* p : pictures) {
        const Raster r =
            office::imaging::RenderPicture(p->bytes, {}, false, false, p->targetWidth, p->targetHeight);
        const Raster flat = Flattened(r);
        const Similarity self = Compare(flat, flat, false);
        const char* kind = KindOf(r, self.busyShare);
        Totals& t = kinds[kind];
        ++t.count;
        t.mp += r.width * double(r.height) / 1e6;

        // JPEG: the former fixed setting against the per-picture choice.
        const VImage rgb =
            office::imaging::detail::FromRaster(flat).extract_band(0, VImage::option()->set("n", 3));
        auto start = CpuClock::now();
        const auto former = Save(rgb, ".jpg",
                                 VImage::option()
                                     ->set("Q", kFormerQuality)
                                     ->set("optimize_coding", true)
                                     ->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON)
                                     ->set("strip", true));
        t.jpegMs[0] += Ms(CpuClock::now() - start);
        start = CpuClock::now();
        const auto [settings, ours] = office::imaging::detail::ChooseAndEncodeJpeg(rgb.copy_memory());
        t.jpegMs[1] += Ms(CpuClock::now() - start);
        t.qualitySum += settings.quality;
        t.subsampled += settings.subsampleChroma;
        t.progressive += settings.progressive;
        const std::vector<std::uint8_t>* jpegs[2] = {&former, &ours};
        Similarity sims[2];
        for (int i = 0; i < 2; ++i) {
            const Raster back = Load(*jpegs[i]);
            sims[i] = Compare(flat, back, false);
            t.jpegBytes[i] += jpegs[i]->size();
            t.ssim[i] += LumaSsim(flat, back);
            t.luma[i] += sims[i].luma;
            t.chroma[i] += sims[i].chroma;
        }
        t.reached +=
            office::imaging::detail::Reaches(sims[1], office::imaging::detail::JpegTargetFor(self.busyShare));

        // PNG: former against ours, judged on the unflattened picture.
        start = CpuClock::now();
        const auto formerPng = FormerPng(r);
        t.pngMs[0] += Ms(CpuClock::now() - start);
        start = CpuClock::now();
        const auto png = office::imaging::EncodePng(r);
        t.pngMs[1] += Ms(CpuClock::now() - start);
        t.pngBytes[0] += formerPng.size();
        t.pngBytes[1] += png.size();
        t.palettes += png.at(25) == 3;
        t.pngLuma += Compare(r, Load(png), r.HasTransparency()).luma;
        if (perPicture) {
            std::printf("%-60.60s %-14s %5.2f %3d %4s %9zu %9zu %7.4f %7.4f %7.4f %7.4f\n", p->name.c_str(),
                        kind, self.busyShare, settings.quality, settings.subsampleChroma ? "420" : "444",
                        former.size(), ours.size(), sims[0].luma, sims[1].luma, sims[0].chroma,
                        sims[1].chroma);
        }
    }
    std::printf(
        "\nJPEG per kind: former Q%d 4:2:0 against the per-picture choice (means per picture; SSIM is the "
        "plain luma SSIM of Ssim.h, Y/C the encoder's busy-window measure)\n",
        kFormerQuality);
    std::printf("%-14s %5s %6s | %9s %9s %6s | %7s %7s | %7s %7s | %7s %7s | %5s %4s %4s %5s | %7s %7s\n",
                "kind", "count", "MP", "Q85 KB", "ours KB", "ratio", "Q85 SS", "our SS", "Q85 Y", "ours Y",
                "Q85 C", "ours C", "mean Q", "444", "prog", "reach", "Q85 ms", "our ms");
    for (const auto& [kind, t] : kinds) {
        const double n = t.count;
        std::printf(
            "%-14s %5d %6.1f | %9.0f %9.0f %6.3f | %7.4f %7.4f | %7.4f %7.4f | %7.4f %7.4f | %5.1f %4d %4d "
            "%5d | %7.0f %7.0f\n",
            kind.c_str(), t.count, t.mp, t.jpegBytes[0] / 1024, t.jpegBytes[1] / 1024,
            t.jpegBytes[1] / t.jpegBytes[0], t.ssim[0] / n, t.ssim[1] / n, t.luma[0] / n, t.luma[1] / n,
            t.chroma[0] / n, t.chroma[1] / n, t.qualitySum / n, t.count - t.subsampled, t.progressive,
            t.reached, t.jpegMs[0], t.jpegMs[1]);
    }
    std::printf("\nPNG per kind: former (level %d, palette only when exact) against ours\n", kFormerPngLevel);
    std::printf("%-14s %5s | %9s %9s %6s | %8s %7s | %7s %7s\n", "kind", "count", "old KB", "ours KB",
                "ratio", "palettes", "ours Y", "old ms", "our ms");
    for (const auto& [kind, t] : kinds) {
        std::printf("%-14s %5d | %9.0f %9.0f %6.3f | %8d %7.4f | %7.0f %7.0f\n", kind.c_str(), t.count,
                    t.pngBytes[0] / 1024, t.pngBytes[1] / 1024, t.pngBytes[1] / t.pngBytes[0], t.palettes,
                    t.pngLuma / t.count, t.pngMs[0], t.pngMs[1]);
    }
}

} // namespace bench
