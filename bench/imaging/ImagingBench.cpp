// Picture benchmark over the media of the test decks.
//  1. The copy path (render at a fixed scale, encode JPEG) against a bare libvips
//     thumbnail-and-save of the same pictures, per source megapixel, as a ratio measured in this run.
//  2. JPEG size and luma SSIM against the source rendering for a range of encoder settings.
//  3. PNG size and time for a range of zlib levels and row filters.
//  4. Per picture kind: bytes and similarity of the former fixed settings against ours.
// Usage: bench_imaging [--kinds [--per-picture]] [corpus folder] [scale] [max pictures]
// With --kinds only the fourth part runs.

#include "BenchPictures.h"
#include "KindReport.h"
#include "Ssim.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <zip.h>

namespace {

using bench::KindName;
using bench::Picture;
using office::imaging::PictureKind;
using office::imaging::Raster;
using vips::VImage;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> Buffer(const VImage& image, const char* suffix, vips::VOption* options) {
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(suffix, &data, &size, options);
    std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

vips::VOption* JpegOptions(int quality, bool subsample, bool optimize) {
    return VImage::option()
        ->set("Q", quality)
        ->set("optimize_coding", optimize)
        ->set("subsample_mode", subsample ? VIPS_FOREIGN_SUBSAMPLE_ON : VIPS_FOREIGN_SUBSAMPLE_OFF)
        ->set("strip", true);
}

std::size_t OurCopyPath(const Picture& p) {
    const Raster r = office::imaging::RenderPicture(p.bytes, {}, false, false, p.targetWidth, p.targetHeight);
    return office::imaging::EncodeJpeg(r).size();
}

// The physical floor: libvips' own shrink-on-load thumbnailer straight into the JPEG saver, at the
// former fixed paste setting so that ratios stay comparable across versions.
constexpr int kFloorQuality = 85;
std::size_t BareLibvips(const Picture& p) {
    VipsBlob* blob = vips_blob_new(nullptr, p.bytes.data(), p.bytes.size());
    VImage t = VImage::thumbnail_buffer(
        blob, p.targetWidth, VImage::option()->set("height", p.targetHeight)->set("size", VIPS_SIZE_FORCE));
    vips_area_unref(VIPS_AREA(blob));
    if (t.has_alpha()) {
        t = t.flatten(VImage::option()->set("background", std::vector<double>{0, 0, 0}));
    }
    const auto out = Buffer(t.cast(VIPS_FORMAT_UCHAR), ".jpg", JpegOptions(kFloorQuality, true, true));
    return out.size();
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Best of several rounds, the two methods alternating so that neither gets a warmer machine.
std::pair<double, double> TimeBoth(const std::vector<const Picture*>& set, int rounds) {
    double ours = 1e300, floor = 1e300;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (const Picture* p : set) {
            OurCopyPath(*p);
        }
        ours = std::min(ours, Seconds(Clock::now() - start));
        start = Clock::now();
        for (const Picture* p : set) {
            BareLibvips(*p);
        }
        floor = std::min(floor, Seconds(Clock::now() - start));
    }
    return {ours, floor};
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

Raster Decode(const std::vector<std::uint8_t>& bytes, int w, int h) {
    return office::imaging::RenderPicture(bytes, {}, false, false, w, h);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto flag = [&](const char* name) {
        const auto it = std::find(args.begin(), args.end(), name);
        const bool found = it != args.end();
        if (found) {
            args.erase(it);
        }
        return found;
    };
    const bool kindsOnly = flag("--kinds"), perPicture = flag("--per-picture");
    const std::filesystem::path corpus = args.size() > 0 ? args[0] : QUARNEL_CORPUS;
    const double scale = args.size() > 1 ? std::atof(args[1].c_str()) : 0.5;
    const std::size_t limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : 80;
    if (!std::filesystem::is_directory(corpus)) {
        std::printf("corpus folder %s not found\n", corpus.c_str());
        return 1;
    }
    office::imaging::detail::EnsureVips();
    vips_cache_set_max(0);   // every round must really decode
    vips_concurrency_set(1); // both methods on one thread: the engine copies one picture at a time

    const std::vector<Picture> pictures = bench::CollectPictures(corpus, scale, limit);
    double totalMp = 0;
    std::map<PictureKind, std::vector<const Picture*>> byKind;
    std::vector<const Picture*> all;
    for (const Picture& p : pictures) {
        totalMp += p.megapixels();
        byKind[p.kind].push_back(&p);
        all.push_back(&p);
    }
    std::printf("%zu distinct raster pictures, %.1f source megapixels, rendered at scale %.2f\n\n",
                pictures.size(), totalMp, scale);
    if (kindsOnly) {
        bench::ReportByKind(all, perPicture);
        return 0;
    }

    std::printf("1. Copy path (render + JPEG) against bare libvips thumbnail + JPEG, best of 3\n");
    std::printf("%-8s %6s %9s %14s %14s %7s\n", "source", "count", "MP", "ours ms/MP", "floor ms/MP",
                "ratio");
    auto row = [](const char* label, const std::vector<const Picture*>& set) {
        double mp = 0;
        for (const Picture* p : set) {
            mp += p->megapixels();
        }
        const auto [ours, floor] = TimeBoth(set, 3);
        std::printf("%-8s %6zu %9.1f %14.2f %14.2f %7.2f\n", label, set.size(), mp, ours * 1000 / mp,
                    floor * 1000 / mp, ours / floor);
    };
    for (const auto& [kind, set] : byKind) {
        row(KindName(kind), set);
    }
    row("all", all);

    // Reference renderings at the target size, flattened on black as a JPEG paste flattens them.
    std::vector<Raster> references;
    for (const Picture* p : all) {
        references.push_back(Flattened(Decode(p->bytes, p->targetWidth, p->targetHeight)));
    }
    std::printf(
        "\n2. JPEG settings on the renderings (%zu pictures): total size, mean luma SSIM, encode time\n",
        references.size());
    std::printf("%4s %10s %9s %12s %10s %10s\n", "Q", "subsample", "optimize", "total KB", "SSIM", "ms");
    struct JpegCase {
        int quality;
        bool subsample, optimize;
    };
    std::vector<JpegCase> cases;
    for (int q : {70, 75, 80, 85, 90, 95}) {
        cases.push_back({q, true, true});
    }
    cases.push_back({85, false, true});
    cases.push_back({90, false, true});
    cases.push_back({85, true, false});
    for (const JpegCase& c : cases) {
        std::size_t bytes = 0;
        double ssim = 0, seconds = 0;
        for (const Raster& ref : references) {
            const VImage image =
                office::imaging::detail::FromRaster(ref).extract_band(0, VImage::option()->set("n", 3));
            const auto start = Clock::now();
            const auto jpeg = Buffer(image, ".jpg", JpegOptions(c.quality, c.subsample, c.optimize));
            seconds += Seconds(Clock::now() - start);
            bytes += jpeg.size();
            ssim += bench::LumaSsim(ref, Decode(jpeg, ref.width, ref.height));
        }
        std::printf("%4d %10s %9s %12.0f %10.4f %10.1f\n", c.quality, c.subsample ? "4:2:0" : "4:4:4",
                    c.optimize ? "yes" : "no", bytes / 1024.0, ssim / references.size(), seconds * 1000);
    }

    std::printf("\n3. PNG settings on the renderings of PNG sources: total size and encode time\n");
    std::printf("%6s %8s %12s %10s\n", "level", "filter", "total KB", "ms");
    std::vector<Raster> pngSources;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i]->kind == PictureKind::Png) {
            pngSources.push_back(Decode(all[i]->bytes, all[i]->targetWidth, all[i]->targetHeight));
        }
    }
    for (int level : {1, 3, 6, 9}) {
        for (bool adaptive : {false, true}) {
            std::size_t bytes = 0;
            double seconds = 0;
            for (const Raster& r : pngSources) {
                VImage image = office::imaging::detail::FromRaster(r);
                if (!r.HasTransparency()) {
                    image = image.extract_band(0, VImage::option()->set("n", 3));
                }
                const auto start = Clock::now();
                bytes += Buffer(image, ".png",
                                VImage::option()
                                    ->set("compression", level)
                                    ->set("filter", adaptive ? VIPS_FOREIGN_PNG_FILTER_ALL
                                                             : VIPS_FOREIGN_PNG_FILTER_NONE)
                                    ->set("strip", true))
                             .size();
                seconds += Seconds(Clock::now() - start);
            }
            std::printf("%6d %8s %12.0f %10.1f\n", level, adaptive ? "all" : "none", bytes / 1024.0,
                        seconds * 1000);
        }
    }
    std::size_t ours = 0;
    const auto start = Clock::now();
    for (const Raster& r : pngSources) {
        ours += office::imaging::EncodePng(r).size();
    }
    std::printf("EncodePng as configured: %.0f KB, %.1f ms\n", ours / 1024.0,
                Seconds(Clock::now() - start) * 1000);
    std::printf("\n4. Per picture kind\n");
    bench::ReportByKind(all, false);
    return 0;
}
