// Builds a small demonstration deck with the project's own presentation engine: blank slides, each
// with a photo-like picture (colour gradients with grain) stored as lossless PNG, so that
// recompression has something to win.
//
//   make_sample_deck OUTPUT.pptx [SLIDES]

#include "automation/Constants.h"
#include "office/OfficeProvider.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vips/vips8>

namespace {

// A width x height RGB picture: two gradients and a wave, with Gaussian grain of the given strength.
void WritePhotoLikePicture(const std::string& path, int width, int height, int seed) {
    using vips::VImage;
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const double phase = seed * 0.9;
    const VImage red = x * (200.0 / width) + 30 + seed * 10;
    const VImage green = y * (180.0 / height) + 40;
    const VImage wave = ((x * (0.02 + seed * 0.005) + phase).sin() + (y * 0.015).cos()) * 40 + 120;
    VImage rgb = red.bandjoin(green).bandjoin(wave);
    const VImage grain =
        VImage::gaussnoise(width, height, VImage::option()->set("sigma", 9.0)->set("mean", 0.0));
    rgb = (rgb + grain.bandjoin(grain).bandjoin(grain)).cast(VIPS_FORMAT_UCHAR);
    rgb = rgb.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    rgb.pngsave(path.c_str(), VImage::option()->set("compression", 9));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sample_deck OUTPUT.pptx [SLIDES]\n");
        return 2;
    }
    const std::string output = argv[1];
    const int slides = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "make_sample_deck: the imaging library did not start\n");
        return 1;
    }
    const std::filesystem::path folder =
        platform::CreateWorkFolder(platform::WorkFolderRoot(), "quarnel-sample-");
    if (folder.empty()) {
        std::fprintf(stderr, "make_sample_deck: no work folder\n");
        return 1;
    }
    const std::string work = platform::PathToUtf8(folder);
    int status = 0;
    try {
        office::OfficeProvider office;
        auto app = office.CreatePowerPoint();
        auto deck = app->Presentations()->Add(true);
        for (int i = 1; i <= slides; ++i) {
            const std::string picture = work + "/photo" + std::to_string(i) + ".png";
            WritePhotoLikePicture(picture, 640, 360, i);
            auto slide = deck->Slides()->Add(i, automation::ppLayoutBlank);
            auto shape = slide->Shapes()->AddPicture(picture, 80, 45, 800, 450);
            shape->SetName("図 " + std::to_string(i));
        }
        deck->SaveAs(output);
        deck->SetSaved(true);
        deck->Close();
        app->Quit();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample_deck: %s\n", error.what());
        status = 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    vips_shutdown();
    return status;
}
