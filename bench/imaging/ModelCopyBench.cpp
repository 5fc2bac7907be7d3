// Shape.Copy followed by Shapes.PasteSpecial(JPEG) in the presentation engine, per source
// megapixel, against the bare imaging copy path and a bare libvips thumbnail + JPEG of the same
// pictures, all measured in this run.
// Times are processor time, best of 3.
// Usage: bench_imaging_model [--as-shown] [corpus folder] [scale] [max pictures]
// Without --as-shown every distinct picture is shown at scale times its own pixel size and copied
// as shown; with it, the pictures are shown at the size their slides give them and copied at scale
// times that size (the engine's copy: 1.4 by default), as the engine does.

#include "BenchPictures.h"
#include "automation/Constants.h"
#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/VipsSupport.h"
#include "office/model/Application.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

// Processor time of the whole process (libvips works on its own threads, one at a time here): the
// machine is shared, and wall time would measure the neighbours.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return time_point(duration(ts.tv_sec * 1'000'000'000LL + ts.tv_nsec));
    }
};
using vips::VImage;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void ImagingCopyPath(const bench::Picture& p) {
    const auto r = office::imaging::RenderPicture(p.bytes, {}, false, false, p.targetWidth, p.targetHeight);
    (void)office::imaging::EncodeJpeg(r);
}

void BareLibvips(const bench::Picture& p) {
    VipsBlob* blob = vips_blob_new(nullptr, p.bytes.data(), p.bytes.size());
    VImage t = VImage::thumbnail_buffer(
        blob, p.targetWidth, VImage::option()->set("height", p.targetHeight)->set("size", VIPS_SIZE_FORCE));
    vips_area_unref(VIPS_AREA(blob));
    if (t.has_alpha()) {
        t = t.flatten(VImage::option()->set("background", std::vector<double>{0, 0, 0}));
    }
    void* data = nullptr;
    std::size_t size = 0;
    t.cast(VIPS_FORMAT_UCHAR)
        .write_to_buffer(".jpg", &data, &size,
                         VImage::option()
                             ->set("Q", 85) // the former fixed paste setting: the floor stays comparable
                             ->set("optimize_coding", true)
                             ->set("strip", true));
    g_free(data);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool asShown = !args.empty() && args.front() == "--as-shown";
    if (asShown) {
        args.erase(args.begin());
    }
    const std::filesystem::path corpus = args.size() > 0 ? args[0] : QUARNEL_CORPUS;
    const double scale = args.size() > 1 ? std::atof(args[1].c_str()) : asShown ? 1.4 : 0.5;
    const std::size_t limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : 40;
    if (!std::filesystem::is_directory(corpus)) {
        std::printf("corpus folder %s not found\n", corpus.c_str());
        return 1;
    }
    office::imaging::detail::EnsureVips();
    vips_cache_set_max(0);
    vips_concurrency_set(1);
    const auto pictures = asShown ? bench::CollectShownPictures(corpus, scale, limit)
                                  : bench::CollectPictures(corpus, scale, limit);
    if (pictures.empty()) {
        std::printf("no pictures found\n");
        return 1;
    }

    // One blank deck with each picture inserted at its shown size, ready to be copied.
    const auto dir = std::filesystem::temp_directory_path() / ("quarnel-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    office::EngineClipboard clipboard;
    auto app = std::make_shared<office::Application>("16.0", clipboard);
    auto deck = app->Presentations()->Add(false);
    auto slide = deck->Slides()->Add(1, 12);
    std::vector<automation::ShapePtr> shapes;
    double mp = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const auto& p = pictures[i];
        const auto file = dir / ("picture" + std::to_string(i) + "." +
                                 (p.kind == office::imaging::PictureKind::Jpeg ? "jpg" : "png"));
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(p.bytes.data()),
                   static_cast<std::streamsize>(p.bytes.size()));
        shapes.push_back(slide->Shapes()->AddPicture(file.string(), 0, 0, p.shownWidthPt, p.shownHeightPt));
        mp += p.megapixels();
    }

    double model = 1e300, imaging = 1e300, floor = 1e300;
    for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            auto& shape = shapes[i];
            const auto& p = pictures[i];
            if (p.copyScale != 1) {
                shape->SetWidth(p.shownWidthPt * p.copyScale);
                shape->SetHeight(p.shownHeightPt * p.copyScale);
            }
            shape->Copy();
            if (p.copyScale != 1) {
                shape->SetWidth(p.shownWidthPt);
                shape->SetHeight(p.shownHeightPt);
            }
            auto pasted = slide->Shapes()->PasteSpecial(5);
            pasted->Item(1)->Delete();
        }
        model = std::min(model, Seconds(Clock::now() - start));
        start = Clock::now();
        for (const auto& p : pictures) {
            ImagingCopyPath(p);
        }
        imaging = std::min(imaging, Seconds(Clock::now() - start));
        start = Clock::now();
        for (const auto& p : pictures) {
            BareLibvips(p);
        }
        floor = std::min(floor, Seconds(Clock::now() - start));
    }
    std::printf("%zu pictures, %.1f source MP, %s %.2f, best of 3\n", pictures.size(), mp,
                asShown ? "copied at their shown size times" : "shown and copied at their pixel size times",
                scale);
    std::printf("%-34s %10s %8s\n", "path", "ms/MP", "ratio");
    std::printf("%-34s %10.2f %8.2f\n", "Shape.Copy + PasteSpecial(5)", model * 1000 / mp, model / floor);
    std::printf("%-34s %10.2f %8.2f\n", "RenderPicture + EncodeJpeg", imaging * 1000 / mp, imaging / floor);
    std::printf("%-34s %10.2f %8.2f\n", "bare libvips thumbnail + JPEG", floor * 1000 / mp, 1.0);
    deck->Close();
    app->Quit();
    std::filesystem::remove_all(dir);
    return 0;
}
