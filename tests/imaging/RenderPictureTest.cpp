#include "PictureFixtures.h"

#include <gtest/gtest.h>

using namespace fixtures;
using office::imaging::CropRect;
using office::imaging::ImagingError;
using office::imaging::MeasurePicture;
using office::imaging::RenderPicture;

namespace {

std::vector<std::uint8_t> QuadrantsPng(int w, int h) {
    return SaveWithVips(ToVips(Quadrants(w, h)), ".png");
}

// The colour in the middle of each quarter of a rendering.
void ExpectQuarters(const Raster& r, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight) {
    const int qx = r.width / 4, qy = r.height / 4;
    EXPECT_TRUE(Near(At(r, qx, qy), topLeft, 2)) << Text(At(r, qx, qy));
    EXPECT_TRUE(Near(At(r, 3 * qx, qy), topRight, 2)) << Text(At(r, 3 * qx, qy));
    EXPECT_TRUE(Near(At(r, qx, 3 * qy), bottomLeft, 2)) << Text(At(r, qx, 3 * qy));
    EXPECT_TRUE(Near(At(r, 3 * qx, 3 * qy), bottomRight, 2)) << Text(At(r, 3 * qx, 3 * qy));
}

} // namespace

TEST(RenderPicture, LargeJpegComesOutAtExactlyTheRequestedSize) {
    const auto jpeg = SaveWithVips(
        ToVips(Quadrants(4000, 3000)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg[Q=90]");
    const auto size = MeasurePicture(jpeg);
    EXPECT_EQ(size.width, 4000);
    EXPECT_EQ(size.height, 3000);
    const Raster r = RenderPicture(jpeg, {}, false, false, 672, 504);
    ASSERT_EQ(r.width, 672);
    ASSERT_EQ(r.height, 504);
    ASSERT_EQ(r.rgba.size(), 672u * 504u * 4u);
    EXPECT_FALSE(r.HasTransparency());
    ExpectQuarters(r, kRed, kGreen, kBlue, kYellow);
}

TEST(RenderPicture, OddAndNonUniformTargetSizesAreExact) {
    const auto png = QuadrantsPng(200, 120);
    for (auto [w, h] : {std::pair{37, 91}, {1, 1}, {401, 3}, {200, 120}, {999, 555}}) {
        const Raster r = RenderPicture(png, {}, false, false, w, h);
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
        EXPECT_EQ(r.rgba.size(), static_cast<std::size_t>(w) * h * 4);
    }
}

TEST(RenderPicture, CropKeepsOnlyTheVisiblePart) {
    const auto png = QuadrantsPng(200, 200);
    // Only the top-right quadrant.
    CropRect topRight;
    topRight.left = 0.5;
    topRight.bottom = 0.5;
    const Raster green = RenderPicture(png, topRight, false, false, 60, 40);
    for (int y = 0; y < green.height; ++y) {
        for (int x = 0; x < green.width; ++x) {
            ASSERT_TRUE(Near(At(green, x, y), kGreen, 2)) << x << "," << y;
        }
    }
    // A quarter cut from every side keeps all four colours, one in each corner.
    CropRect middle{0.25, 0.25, 0.25, 0.25};
    const Raster centre = RenderPicture(png, middle, false, false, 100, 100);
    EXPECT_TRUE(Near(At(centre, 5, 5), kRed, 2));
    EXPECT_TRUE(Near(At(centre, 94, 5), kGreen, 2));
    EXPECT_TRUE(Near(At(centre, 5, 94), kBlue, 2));
    EXPECT_TRUE(Near(At(centre, 94, 94), kYellow, 2));
}

TEST(RenderPicture, NegativeCropPadsWithTransparency) {
    const auto png = SaveWithVips(ToVips(Solid(100, 100, kBlue)), ".png");
    CropRect pad;
    pad.left = -1.0; // as much empty space again on the left
    const Raster r = RenderPicture(png, pad, false, false, 200, 100);
    EXPECT_TRUE(r.HasTransparency());
    EXPECT_EQ(At(r, 10, 50)[3], 0);
    EXPECT_TRUE(Near(At(r, 190, 50), kBlue, 2));
}

TEST(RenderPicture, FlipsMirrorThePicture) {
    const auto png = QuadrantsPng(100, 100);
    ExpectQuarters(RenderPicture(png, {}, true, false, 80, 80), kGreen, kRed, kYellow, kBlue);
    ExpectQuarters(RenderPicture(png, {}, false, true, 80, 80), kBlue, kYellow, kRed, kGreen);
    ExpectQuarters(RenderPicture(png, {}, true, true, 80, 80), kYellow, kBlue, kGreen, kRed);
    // The crop is taken from the unflipped picture, then the result is mirrored.
    CropRect leftHalf;
    leftHalf.right = 0.5;
    const Raster r = RenderPicture(png, leftHalf, true, false, 50, 100);
    EXPECT_TRUE(Near(At(r, 25, 25), kRed, 2));
    EXPECT_TRUE(Near(At(r, 25, 75), kBlue, 2));
}

TEST(RenderPicture, TransparencyIsKeptAndEdgesDoNotDarken) {
    const auto png = SaveWithVips(ToVips(DiscOnClear(200)), ".png");
    const Raster r = RenderPicture(png, {}, false, false, 67, 67);
    EXPECT_TRUE(r.HasTransparency());
    EXPECT_EQ(At(r, 0, 0)[3], 0);
    EXPECT_TRUE(Near(At(r, 33, 33), kRed, 2));
    // Resampled edge pixels keep the disc's colour (straight alpha), not a blend towards black.
    for (int x = 0; x < r.width; ++x) {
        const Rgba p = At(r, x, 33);
        if (p[3] > 16) {
            EXPECT_GT(p[0], 200) << x;
        }
    }
}

TEST(RenderPicture, EveryRasterFormatDecodes) {
    const vips::VImage rgb = ToVips(Quadrants(64, 48)).extract_band(0, vips::VImage::option()->set("n", 3));
    for (const char* suffix : {".jpg[Q=95]", ".png", ".gif", ".tif", ".webp[lossless]"}) {
        const auto bytes = SaveWithVips(rgb, suffix);
        const Raster r = RenderPicture(bytes, {}, false, false, 64, 48);
        SCOPED_TRACE(suffix);
        ExpectQuarters(r, kRed, kGreen, kBlue, kYellow);
    }
}

TEST(RenderPicture, GreyAndSixteenBitPicturesBecomeRgba) {
    const vips::VImage grey =
        vips::VImage::black(10, 10).new_from_image(std::vector<double>{128}).cast(VIPS_FORMAT_UCHAR);
    const Raster g = RenderPicture(SaveWithVips(grey, ".png"), {}, false, false, 10, 10);
    EXPECT_TRUE(Near(At(g, 5, 5), Rgba{128, 128, 128, 255}, 1));

    const vips::VImage deep =
        vips::VImage::black(10, 10)
            .cast(VIPS_FORMAT_USHORT)
            .new_from_image(std::vector<double>{65535, 0, 0})
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    const Raster d = RenderPicture(SaveWithVips(deep, ".png"), {}, false, false, 10, 10);
    EXPECT_TRUE(Near(At(d, 5, 5), kRed, 1)) << Text(At(d, 5, 5));
}

TEST(RenderPicture, BitmapsOfEveryCommonDepthDecode) {
    const Raster source = Quadrants(21, 10); // odd width: rows need padding
    for (int bpp : {8, 24, 32}) {
        for (bool topDown : {false, true}) {
            const auto bmp = MakeBmp(source, bpp, topDown);
            const auto size = MeasurePicture(bmp);
            EXPECT_EQ(size.width, 21);
            EXPECT_EQ(size.height, 10);
            const Raster r = RenderPicture(bmp, {}, false, false, 21, 10);
            EXPECT_EQ(r.rgba, source.rgba) << "bpp " << bpp << " topDown " << topDown;
        }
    }
    // A 32-bit bitmap with a real alpha byte keeps it.
    Raster half = Solid(4, 4, kGreen);
    for (int i = 0; i < 8; ++i) {
        half.rgba[static_cast<std::size_t>(i) * 4 + 3] = 0;
    }
    const Raster alpha = RenderPicture(MakeBmp(half, 32), {}, false, false, 4, 4);
    EXPECT_EQ(At(alpha, 0, 0)[3], 0);
    EXPECT_EQ(At(alpha, 0, 3)[3], 255);
}

TEST(RenderPicture, VectorAndPrintPicturesDecode) {
    // SVG: drawn at the requested size, not scaled up from its own.
    const std::string svg =
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20">)"
        R"(<rect width="20" height="20" fill="#f00"/><rect x="20" width="20" height="20" fill="#00f"/></svg>)";
    const std::vector<std::uint8_t> svgBytes(svg.begin(), svg.end());
    const Raster s = RenderPicture(svgBytes, {}, false, false, 400, 200);
    EXPECT_TRUE(Near(At(s, 100, 100), kRed, 2)) << Text(At(s, 100, 100));
    EXPECT_TRUE(Near(At(s, 300, 100), kBlue, 2)) << Text(At(s, 300, 100));

    // A CMYK JPEG, as print workflows leave them, comes back as RGB with its hues.
    const vips::VImage cmyk = ToVips(Quadrants(64, 64))
                                  .extract_band(0, vips::VImage::option()->set("n", 3))
                                  .colourspace(VIPS_INTERPRETATION_CMYK);
    ASSERT_EQ(cmyk.bands(), 4);
    const Raster c = RenderPicture(SaveWithVips(cmyk, ".jpg[Q=95]"), {}, false, false, 64, 64);
    const Rgba red = At(c, 16, 16), blue = At(c, 16, 48);
    EXPECT_GT(red[0], 180) << Text(red);
    EXPECT_LT(red[2], 90) << Text(red);
    EXPECT_GT(blue[2], 120) << Text(blue);
    EXPECT_LT(blue[0], 90) << Text(blue);
    EXPECT_EQ(red[3], 255);
}

namespace {

// A picture dark on the left and top, light on the right and bottom, with its edges at edgeX, edgeY.
std::vector<std::uint8_t> StepPng(int w, int h, int edgeX, int edgeY) {
    Raster r = Solid(w, h, kClear);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = x < edgeX ? 64 : 192; // mid-range levels: overshoot is not clipped away
            p[1] = y < edgeY ? 64 : 192;
            p[2] = 128;
            p[3] = 255;
        }
    }
    return SaveWithVips(ToVips(r).extract_band(0, vips::VImage::option()->set("n", 3)), ".png");
}

// Where a rendered step lies, in output pixels from the left (or top) edge: the dark share summed
// along one line through the middle. A symmetric kernel keeps this sum.
double EdgeAt(const Raster& r, bool horizontal) {
    double dark = 0;
    const int n = horizontal ? r.width : r.height;
    for (int i = 0; i < n; ++i) {
        const Rgba p = horizontal ? At(r, i, r.height / 2) : At(r, r.width / 2, i);
        dark += (192.0 - (horizontal ? p[0] : p[1])) / 128.0;
    }
    return dark;
}

} // namespace

// An enlarged or reduced picture must stay where it was: a shift of half a pixel shows on every
// sharp edge of a screenshot.
TEST(RenderPicture, ResamplingKeepsEdgesInPlace) {
    const auto png = StepPng(120, 80, 50, 30);
    struct Target {
        int w, h;
    };
    for (Target t : {Target{240, 160}, Target{168, 112}, Target{84, 56}, Target{96, 104}, Target{157, 61},
                     Target{121, 81}}) {
        const Raster r = RenderPicture(png, {}, false, false, t.w, t.h);
        EXPECT_NEAR(EdgeAt(r, true), 50.0 * t.w / 120, 0.1) << t.w << "x" << t.h;
        EXPECT_NEAR(EdgeAt(r, false), 30.0 * t.h / 80, 0.1) << t.w << "x" << t.h;
    }
}

// A crop whose edges fall between source pixels must not move the picture by their rounding: the
// replacement has to line up with its source within a quarter of an output pixel.
TEST(RenderPicture, CropEdgesKeepTheirFractionOfAPixel) {
    const auto png = StepPng(120, 80, 50, 30);
    struct Case {
        CropRect crop;
        int w, h;
    };
    for (const Case& c : {Case{{10.5 / 120, 7.5 / 80, 0, 0}, 219, 145},                // enlarged
                          Case{{10.4 / 120, 3.6 / 80, 5.3 / 120, 0}, 104, 76},         // nearly one to one
                          Case{{0.5 / 120, 0.5 / 80, 0.5 / 120, 0.5 / 80}, 40, 27}}) { // reduced
        const double visibleW = 120 * (1 - c.crop.left - c.crop.right);
        const double visibleH = 80 * (1 - c.crop.top - c.crop.bottom);
        const Raster r = RenderPicture(png, c.crop, false, false, c.w, c.h);
        EXPECT_NEAR(EdgeAt(r, true), (50 - 120 * c.crop.left) * c.w / visibleW, 0.25) << c.w;
        EXPECT_NEAR(EdgeAt(r, false), (30 - 80 * c.crop.top) * c.h / visibleH, 0.25) << c.w;
        EXPECT_EQ(office::imaging::RenderPictureAsJpeg(png, c.crop, false, false, c.w, c.h),
                  office::imaging::EncodeJpeg(r))
            << "the one-pass JPEG renders the same pixels";
    }
}

// A paste and its picture check share one decoding; it must give what each would make alone, or a
// deck would come out differently with and without the workers that make pastes ahead.
TEST(RenderPicture, OneDecodingGivesTheSameCornerAndJpegAsEachAlone) {
    const auto photo = SaveWithVips(
        ToVips(Gradient(900, 640, false)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg[Q=92]");
    const auto translucent = SaveWithVips(ToVips(Gradient(300, 200, true)), ".png");
    struct Case {
        const std::vector<std::uint8_t>* bytes;
        CropRect crop;
        int width, height;
        bool flipH;
    };
    const Case cases[] = {{&photo, {}, 450, 320, false},
                          {&photo, {0.1, 0.05, 0.2, 0.0}, 333, 287, true},
                          {&photo, {}, 1200, 900, false},
                          {&translucent, {0.25, 0.0, 0.0, 0.3}, 97, 61, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const office::imaging::ShownPicture shown(*c.bytes, c.crop, c.width, c.height);
        for (auto [w, h] : {std::pair{c.width, c.height}, {40, 25}, {5000, 5000}}) {
            const Raster alone =
                office::imaging::RenderPictureCorner(*c.bytes, c.crop, false, false, c.width, c.height, w, h);
            const Raster shared = shown.Corner(w, h);
            EXPECT_EQ(shared.width, alone.width);
            EXPECT_EQ(shared.height, alone.height);
            EXPECT_TRUE(shared.rgba == alone.rgba);
        }
        EXPECT_EQ(shown.Jpeg(c.flipH),
                  office::imaging::RenderPictureAsJpeg(*c.bytes, c.crop, c.flipH, false, c.width, c.height));
    }
    EXPECT_THROW(office::imaging::ShownPicture(std::vector<std::uint8_t>{1, 2, 3}, {}, 10, 10), ImagingError);
}
