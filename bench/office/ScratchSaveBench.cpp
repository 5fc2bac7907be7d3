// Reports how long the engine's measuring steps take: a new presentation with one blank slide saved,
// and the per-shape probe (blank slide, paste, save, delete the slide) on a scratch presentation.

#include "automation/Constants.h"
#include "office/OfficeProvider.h"
#include "office/imaging/Imaging.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %8.2f ms  min %8.2f ms  max %8.2f ms  (n=%zu)\n", what, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    fs::path dir = fs::temp_directory_path() / "quarnel-bench-office";
    fs::create_directories(dir);
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();

    std::vector<double> newDeck;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        auto pres = app->Presentations()->Add(true);
        pres->Slides()->Add(1, automation::ppLayoutBlank);
        pres->SaveAs((dir / "new.pptx").string());
        newDeck.push_back(Ms(t0, Clock::now()));
        pres->Close();
    }
    Report("new presentation + blank slide + save", newDeck);

    // A 1600x1200 noise picture stands for a large photograph.
    office::imaging::Raster r;
    r.width = 1600;
    r.height = 1200;
    r.rgba.resize(static_cast<std::size_t>(r.width) * r.height * 4);
    std::mt19937 rng(1);
    for (auto& b : r.rgba)
        b = static_cast<std::uint8_t>(rng());
    auto jpeg = office::imaging::EncodeJpeg(r);
    std::ofstream((dir / "pic.jpg").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    auto source = app->Presentations()->Add(true);
    auto pic = source->Slides()
                   ->Add(1, automation::ppLayoutBlank)
                   ->Shapes()
                   ->AddPicture((dir / "pic.jpg").string(), 0, 0, 480, 360);
    pic->Copy();

    auto scratch = app->Presentations()->Add(true);
    scratch->SaveAs((dir / "base.pptx").string());
    std::vector<double> probe;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        auto slide = scratch->Slides()->Add(1, automation::ppLayoutBlank);
        slide->Shapes()->Paste();
        scratch->SaveAs((dir / "probe.pptx").string());
        scratch->Slides()->Delete(1);
        probe.push_back(Ms(t0, Clock::now()));
    }
    Report("probe: blank slide + paste + save + delete", probe);
    std::printf("picture %zu bytes, probe deck %ju bytes, empty deck %ju bytes\n", jpeg.size(),
                static_cast<std::uintmax_t>(fs::file_size(dir / "probe.pptx")),
                static_cast<std::uintmax_t>(fs::file_size(dir / "base.pptx")));
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
