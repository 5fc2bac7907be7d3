#pragma once

// Decks built with the project's own engine for the batch tests that run it for real.

#include "automation/Constants.h"
#include "office/OfficeProvider.h"

#include <string>
#include <vips/vips8>

// A deck of `slides` slides, each with a grainy lossless picture that recompresses well, of w x h
// pixels shown at 480 x 360 points.
inline void BuildPictureDeck(const std::string& path, const std::string& work, int slides, int w = 480,
                             int h = 360) {
    office::OfficeProvider builder;
    auto app = builder.CreatePowerPoint();
    auto deck = app->Presentations()->Add(true);
    for (int i = 1; i <= slides; ++i) {
        const std::string picture = work + "/p" + std::to_string(i) + ".png";
        // Gradients with grain: large as PNG, small as JPEG.
        const vips::VImage xy = vips::VImage::xyz(w, h);
        const vips::VImage grain =
            vips::VImage::gaussnoise(w, h, vips::VImage::option()->set("sigma", 9.0)->set("mean", 0.0));
        const vips::VImage red = xy[0] * (200.0 / w) + 20 * i;
        const vips::VImage green = xy[1] * (180.0 / h) + 40;
        const vips::VImage blue = (xy[0] * (480.0 / w) + xy[1] * (360.0 / h)) * 0.2 + 60;
        (red.bandjoin(green).bandjoin(blue) + grain.bandjoin(grain).bandjoin(grain))
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .pngsave(picture.c_str());
        deck->Slides()->Add(i, automation::ppLayoutBlank)->Shapes()->AddPicture(picture, 60, 40, 480, 360);
    }
    deck->SaveAs(path);
    deck->SetSaved(true);
    deck->Close();
    app->Quit();
}
