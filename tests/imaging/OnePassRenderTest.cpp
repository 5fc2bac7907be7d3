// The one-pass JPEG and the corner rendering must give exactly what the whole rendering gives: the
// engine compares and measures against them.

#include "PictureFixtures.h"
#include "office/clipboard/ClipPicture.h"

#include <gtest/gtest.h>

using namespace fixtures;
using office::imaging::CropRect;

namespace {

struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    CropRect crop;
    bool flipH, flipV;
    int width, height;
};

std::vector<Case> Cases() {
    const auto opaqueJpeg = SaveWithVips(
        ToVips(Gradient(900, 600, false)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg[Q=90]");
    const auto clearPng = SaveWithVips(ToVips(Gradient(300, 200, true)), ".png");
    CropRect inset{0.1, 0.2, 0.05, 0.15};
    CropRect padded{-0.1, 0.0, 0.2, -0.05};
    return {
        {"JPEG reduced on load", opaqueJpeg, {}, false, false, 200, 130},
        {"JPEG at its own size", opaqueJpeg, {}, false, false, 900, 600},
        {"JPEG enlarged, cropped", opaqueJpeg, inset, false, false, 1300, 700},
        {"PNG with alpha, mirrored", clearPng, {}, true, false, 150, 90},
        {"PNG with alpha, upside down", clearPng, inset, false, true, 170, 120},
        {"PNG padded by a negative crop, both flips", clearPng, padded, true, true, 240, 180},
    };
}

} // namespace

TEST(OnePassRender, JpegAndCornerMatchTheWholeRendering) {
    for (const auto& c : Cases()) {
        const Raster whole =
            office::imaging::RenderPicture(c.bytes, c.crop, c.flipH, c.flipV, c.width, c.height);
        EXPECT_EQ(office::imaging::RenderPictureAsJpeg(c.bytes, c.crop, c.flipH, c.flipV, c.width, c.height),
                  office::imaging::EncodeJpeg(whole))
            << c.name;
        const Raster corner = office::imaging::RenderPictureCorner(c.bytes, c.crop, c.flipH, c.flipV, c.width,
                                                                   c.height, 100, 100);
        const Raster expected = office::imaging::CornerOf(whole, 100, 100);
        EXPECT_EQ(corner.width, std::min(100, c.width)) << c.name;
        EXPECT_EQ(corner.height, std::min(100, c.height)) << c.name;
        EXPECT_EQ(corner.rgba, expected.rgba) << c.name;
    }
}

TEST(ClipPicture, AStoredPictureGivesWhatItsRenderingGivesInEveryForm) {
    for (const auto& c : Cases()) {
        office::PictureSource source;
        source.bytes = std::make_shared<const std::vector<std::uint8_t>>(c.bytes);
        source.crop = c.crop;
        source.flipH = c.flipH;
        source.flipV = c.flipV;
        source.pixelWidth = c.width;
        source.pixelHeight = c.height;
        const office::ClipPicture lazy(source);
        if (!lazy.Padding().IsEmpty())
            continue; // a crop past the edge renders only what the picture covers: see below
        if (std::string(c.name) == "JPEG enlarged, cropped" ||
            std::string(c.name) == "JPEG at its own size") {
            // The box has about as many pixels as the source shows, or more: a paste stores the
            // source's own pixels on its own grid, cropped as the source was, the cut-away area
            // repeating the shown edges; a JPEG is held to the targets of a second generation.
            EXPECT_EQ(lazy.PasteCrop().left, c.crop.left);
            EXPECT_EQ(lazy.PasteCrop().bottom, c.crop.bottom);
            const auto png = lazy.Png();
            const auto size = office::imaging::MeasurePicture(png);
            EXPECT_EQ(size.width, 900);
            EXPECT_EQ(size.height, 600);
            const Raster own = office::imaging::RenderPicture(png, {}, false, false, 900, 600);
            const Raster source = office::imaging::RenderPicture(c.bytes, {}, false, false, 900, 600);
            auto at = [](const Raster& r, int x, int y) {
                return r.rgba[(std::size_t(y) * r.width + x) * 4];
            };
            EXPECT_EQ(at(own, 400, 300), at(source, 400, 300)) << "shown: the source's pixel";
            if (!c.crop.IsEmpty()) {
                EXPECT_EQ(at(own, 400, 10), at(own, 400, 120)) << "cut away: the shown edge repeated";
                EXPECT_EQ(at(own, 880, 300), at(own, 854, 300));
            }
            EXPECT_EQ(lazy.Jpeg(), office::imaging::EncodeJpeg(own, {}, true));
            EXPECT_EQ(office::imaging::MetafileSize(lazy.WrappedInEmf()).width, 900)
                << "a metafile paste too";
            EXPECT_EQ(lazy.Pixels().width, c.width) << "the checks still see the box";
            continue;
        }
        const office::ClipPicture rendered(
            office::imaging::RenderPicture(c.bytes, c.crop, c.flipH, c.flipV, c.width, c.height));
        EXPECT_TRUE(lazy.Readable());
        EXPECT_EQ(lazy.Width(), c.width);
        EXPECT_EQ(lazy.Height(), c.height);
        // The picture check reads the wrapping metafile; the lazy form must draw it the same.
        EXPECT_EQ(lazy.BoxOnWhite(100, 100).colors,
                  office::imaging::RenderMetafileToBox(rendered.WrappedInEmf(), 100, 100).colors)
            << c.name;
        EXPECT_EQ(lazy.Jpeg(), rendered.Jpeg()) << c.name;
        // Once the pixels are made, every form comes from them.
        EXPECT_EQ(lazy.Pixels().rgba, rendered.Pixels().rgba) << c.name;
        EXPECT_EQ(lazy.Png(), rendered.Png()) << c.name;
        EXPECT_EQ(lazy.Jpeg(), rendered.Jpeg()) << c.name;
    }
}

// A crop past the picture's edge leaves a margin of the box empty. Only the covered part is rendered
// (a JPEG would fill the margin with black); the margin travels as a negative crop that places the
// rendering exactly where the source showed it.
TEST(ClipPicture, ACropPastTheEdgeRendersOnlyTheCoveredPartAndKeepsTheMarginAsACrop) {
    const auto jpeg = SaveWithVips(
        ToVips(Solid(100, 100, kBlue)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg[Q=95]");
    office::PictureSource source;
    source.bytes = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
    source.crop = {-0.25, 0.1, 0, -0.15}; // a quarter more on the left, some more below, a tenth cut on top
    source.pixelWidth = 250;
    source.pixelHeight = 210;
    const office::ClipPicture picture(source);
    EXPECT_EQ(picture.Width(), 250);
    EXPECT_EQ(picture.Height(), 210);
    // Horizontally 1.25 picture widths are shown, the picture covers 0.8 of the box; vertically
    // 1.05 picture heights, the picture 0.9 / 1.05 of the box.
    EXPECT_NEAR(picture.Padding().left, -0.25, 1e-9);
    EXPECT_NEAR(picture.Padding().right, 0, 1e-9);
    EXPECT_NEAR(picture.Padding().top, 0, 1e-9);
    EXPECT_NEAR(picture.Padding().bottom, -0.15 / 0.9, 1e-9);
    const Raster& pixels = picture.Pixels();
    EXPECT_EQ(pixels.width, 200);
    EXPECT_EQ(pixels.height, 180);
    EXPECT_FALSE(pixels.HasTransparency());
    const Raster decoded = LoadWithVips(picture.Jpeg());
    ASSERT_EQ(decoded.width, 200);
    for (int x : {0, 100, 199})
        for (int y : {0, 179})
            EXPECT_TRUE(Near(At(decoded, x, y), kBlue, 12)) << "no black margin at " << x << "," << y;
    // What a person sees of the box: white where the picture leaves the margin, blue elsewhere.
    const auto box = picture.BoxOnWhite(250, 210);
    EXPECT_EQ(box.At(20, 100), 0xFFFFFFu);
    EXPECT_EQ(box.At(120, 200), 0xFFFFFFu);
    EXPECT_GT(box.At(60, 5) >> 16, 200u) << "the cut top leaves no margin";
    EXPECT_GT(box.At(120, 100) >> 16, 200u) << "blue at the middle";
}

TEST(ClipPicture, AnUnreadableSourceSaysSoAndFailsOnlyWhenPixelsAreAsked) {
    office::PictureSource source;
    source.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3, 4});
    source.pixelWidth = 10;
    source.pixelHeight = 10;
    const office::ClipPicture picture(source);
    EXPECT_FALSE(picture.Readable());
    EXPECT_THROW(picture.Jpeg(), office::imaging::ImagingError);
    EXPECT_THROW(picture.Pixels(), office::imaging::ImagingError);
    EXPECT_THROW(picture.BoxOnWhite(100, 100), office::imaging::ImagingError);

    // A truncated JPEG reads its header but not its pixels.
    auto jpeg = SaveWithVips(
        ToVips(Gradient(400, 300, false)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg");
    jpeg.resize(jpeg.size() / 2);
    source.bytes = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
    const office::ClipPicture truncated(source);
    EXPECT_TRUE(truncated.Readable());
    EXPECT_THROW(truncated.Jpeg(), office::imaging::ImagingError);
}

// Reducing a source by little saves few pixels and blurs every edge: such a source keeps its own.
TEST(ClipPicture, OnlyAClearReductionResamplesTheSource) {
    const auto jpeg = SaveWithVips(
        ToVips(Gradient(900, 600, false)).extract_band(0, vips::VImage::option()->set("n", 3)), ".jpg[Q=90]");
    auto pastedWidth = [&](int boxWidth, int boxHeight) {
        office::PictureSource source;
        source.bytes = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
        source.pixelWidth = boxWidth;
        source.pixelHeight = boxHeight;
        return office::imaging::MeasurePicture(office::ClipPicture(source).Png()).width;
    };
    EXPECT_EQ(pastedWidth(760, 500), 900);
    EXPECT_EQ(pastedWidth(600, 400), 600);
    EXPECT_EQ(pastedWidth(1800, 1200), 900) << "never enlarged";
}
