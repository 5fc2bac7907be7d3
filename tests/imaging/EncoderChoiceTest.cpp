// The paste encoders' per-picture choices: JPEG quality and chroma subsampling by similarity, PNG
// palette or lossless, and the colour profile that travels with a paste.

#include "PictureFixtures.h"
#include "office/clipboard/ClipPicture.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/Similarity.h"
#include "office/imaging/VipsSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <set>

using namespace fixtures;
using namespace office::imaging::detail;

namespace {

// Soft colour fields with fine grain, like a photograph.
Raster PhotoLike(int w, int h) {
    Raster r = Solid(w, h, kClear);
    unsigned seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = static_cast<int>((seed >> 16) % 3) - 1;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            const double u = double(x) / w, v = double(y) / h,
                         texture = 30 * std::sin(x / 5.0) * std::cos(y / 7.0);
            p[0] = static_cast<std::uint8_t>(
                std::clamp(120 + 80 * std::sin(6 * u + 2 * v) + texture + grain, 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(
                std::clamp(110 + 70 * std::cos(5 * v - 3 * u) + texture + grain, 0.0, 255.0));
            p[2] = static_cast<std::uint8_t>(
                std::clamp(100 + 60 * std::sin(4 * (u + v)) + texture + grain, 0.0, 255.0));
            p[3] = 255;
        }
    }
    return r;
}

// Lines of thin black and red "glyphs" on white, like a screenshot of text.
Raster TextLike(int w, int h) {
    Raster r = Solid(w, h, Rgba{255, 255, 255, 255});
    for (int line = 0; line * 16 + 12 < h; ++line) {
        const Rgba ink = line % 2 == 0 ? Rgba{0, 0, 0, 255} : Rgba{220, 0, 0, 255};
        for (int glyph = 0; glyph * 8 + 6 < w / 2; ++glyph) {
            const int x0 = 4 + glyph * 8, y0 = 2 + line * 16;
            for (int i = 0; i < 9; ++i) {
                const std::pair<int, int> dots[] = {
                    {x0, y0 + i}, {x0 + 4, y0 + (i * 7 + glyph) % 9}, {x0 + i / 2, y0 + 4}};
                for (const auto& [x, y] : dots) {
                    std::copy(ink.begin(), ink.end(), &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4]);
                }
            }
        }
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

Similarity Judge(const Raster& source, const std::vector<std::uint8_t>& jpeg) {
    return MeasureSimilarity(Rgb(source), Rgb(LoadWithVips(jpeg)), source.width, source.height, 3);
}

JpegTarget TargetOf(const Raster& source) {
    return JpegTargetFor(SimilarityReference(Rgb(source), source.width, source.height, 3).SourceBusyShare());
}

JpegChoice Choose(const Raster& source) {
    return ChooseAndEncodeJpeg(
        ToVips(source).extract_band(0, vips::VImage::option()->set("n", 3)).copy_memory());
}

// The luma component's sampling factors from the frame header: 0x22 for 4:2:0, 0x11 for 4:4:4.
int LumaSampling(const std::vector<std::uint8_t>& jpeg) {
    for (std::size_t i = 2; i + 11 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            return jpeg[i + 11];
        }
    }
    return -1;
}

std::vector<std::uint8_t> FormerJpeg(const Raster& source) {
    return SaveWithVips(ToVips(source).extract_band(0, vips::VImage::option()->set("n", 3)),
                        ".jpg[Q=85,optimize_coding,strip]");
}

std::vector<std::uint8_t> Saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> icc(size);
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    return icc;
}

// A wide-gamut RGB display profile: Adobe RGB (1998) primaries, gamma 2.2.
std::vector<std::uint8_t> RgbProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    const cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return Saved(profile);
}

std::vector<std::uint8_t> ProfileIn(const std::vector<std::uint8_t>& picture) {
    StartVips();
    const vips::VImage image = vips::VImage::new_from_buffer(picture.data(), picture.size(), "");
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0) {
        return {};
    }
    std::size_t size = 0;
    const auto* data = static_cast<const std::uint8_t*>(image.get_blob(VIPS_META_ICC_NAME, &size));
    return {data, data + size};
}

} // namespace

TEST(JpegChoice, APhotoGoesBelowTheFormerQualityAndStillReachesItsTarget) {
    const Raster photo = PhotoLike(320, 240);
    const JpegTarget target = TargetOf(photo);
    ASSERT_EQ(target.maxQuality, kJpegPhotoMaxQuality) << "the fixture must read as a photograph";
    const JpegChoice choice = Choose(photo);
    EXPECT_LT(choice.settings.quality, 85);
    EXPECT_TRUE(choice.settings.subsampleChroma);
    EXPECT_EQ(LumaSampling(choice.jpeg), 0x22);
    EXPECT_LT(choice.jpeg.size(), FormerJpeg(photo).size());
    const Similarity s = Judge(photo, choice.jpeg);
    EXPECT_TRUE(Reaches(s, target)) << s.luma << " " << s.chroma;
    // The public encoder gives exactly the chosen bytes.
    EXPECT_EQ(office::imaging::EncodeJpeg(photo), choice.jpeg);
}

TEST(JpegChoice, TextKeepsFullChromaAndEndsSharperThanTheFormerSetting) {
    const Raster text = TextLike(320, 240);
    const JpegTarget target = TargetOf(text);
    ASSERT_EQ(target.maxQuality, kJpegFlatMaxQuality) << "the fixture must read as flat";
    const JpegChoice choice = Choose(text);
    EXPECT_FALSE(choice.settings.subsampleChroma);
    EXPECT_EQ(LumaSampling(choice.jpeg), 0x11);
    const Similarity ours = Judge(text, choice.jpeg), former = Judge(text, FormerJpeg(text));
    EXPECT_GT(ours.luma, former.luma);
    EXPECT_GT(ours.chroma, former.chroma);
    if (choice.settings.quality < kJpegFlatMaxQuality) {
        EXPECT_TRUE(Reaches(ours, target)) << ours.luma << " " << ours.chroma;
    }
}

TEST(JpegChoice, APictureTooSmallToJudgeGetsTheBestSetting) {
    const JpegChoice choice = Choose(TextLike(7, 30));
    EXPECT_EQ(choice.settings.quality, kJpegFlatMaxQuality);
    EXPECT_FALSE(choice.settings.subsampleChroma);
}

TEST(JpegChoice, ALargePictureJudgedOnSamplesReachesTheTargetAsAWhole) {
    // Over a megapixel: the search sees only a mosaic of tiles.
    const Raster photo = PhotoLike(1280, 960);
    const JpegTarget target = TargetOf(photo);
    const JpegChoice choice = Choose(photo);
    const Similarity s = Judge(photo, choice.jpeg);
    EXPECT_GE(s.luma, target.luma - 0.003);
    EXPECT_GE(s.chroma, target.chroma - 0.003);
}

TEST(EncodePng, AFlatDrawingWithSoftEdgesBecomesAPaletteAndKeepsItsAlpha) {
    // Three overlapping discs with soft edges on a clear background: hundreds of colours.
    Raster drawing = Solid(200, 160, kClear);
    const struct {
        double cx, cy, r;
        Rgba colour;
    } discs[] = {{70, 70, 50, kRed}, {120, 80, 45, kBlue}, {100, 110, 40, kYellow}};
    for (int y = 0; y < drawing.height; ++y) {
        for (int x = 0; x < drawing.width; ++x) {
            std::uint8_t* p = &drawing.rgba[(static_cast<std::size_t>(y) * drawing.width + x) * 4];
            for (const auto& d : discs) {
                const double cover = std::clamp((d.r - std::hypot(x - d.cx, y - d.cy)) / 4 + 0.5, 0.0, 1.0);
                const double a = cover * 255 + p[3] * (1 - cover);
                for (int c = 0; c < 3; ++c) {
                    p[c] = a == 0 ? 0
                                  : static_cast<std::uint8_t>(std::lround(
                                        (d.colour[c] * cover * 255 + p[c] * p[3] * (1 - cover)) / a));
                }
                p[3] = static_cast<std::uint8_t>(std::lround(a));
            }
        }
    }
    std::set<Rgba> colours;
    for (int i = 0; i < drawing.width * drawing.height; ++i) {
        colours.insert(At(drawing, i % drawing.width, i / drawing.width));
    }
    ASSERT_GT(colours.size(), 256u) << "the drawing must need a lossy palette";
    const auto png = office::imaging::EncodePng(drawing);
    EXPECT_EQ(png.at(25), 3); // palette
    const Raster back = LoadWithVips(png);
    const Similarity s = MeasureSimilarity(drawing.rgba, back.rgba, drawing.width, drawing.height, 4);
    EXPECT_GE(s.luma, kPngPaletteTargetLuma);
    EXPECT_GE(s.alpha, kPngPaletteTargetAlpha);
    EXPECT_EQ(At(back, 2, 2)[3], 0);                  // clear stays clear
    EXPECT_EQ(At(back, 70, 70), At(drawing, 70, 70)); // flat colours stay exact
    EXPECT_EQ(At(back, 150, 80), At(drawing, 150, 80));
    // A colour key in the markup must still find its colour: then every pixel stays exact.
    EXPECT_EQ(LoadWithVips(office::imaging::EncodePng(drawing, {}, true)).rgba, drawing.rgba);
}

TEST(EncodePng, APhotographStaysLosslessPixelForPixel) {
    const Raster photo = PhotoLike(200, 150);
    const auto png = office::imaging::EncodePng(photo);
    EXPECT_EQ(png.at(25), 2);
    EXPECT_EQ(LoadWithVips(png).rgba, photo.rgba);
}

// A photograph faded into its background: smooth colour fields with grain, and an alpha that
// ramps over most of it (60 % of the pixels semi-transparent).
Raster FadedPhoto(int w, int h) {
    Raster r = PhotoLike(w, h);
    unsigned seed = 777;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            for (int c = 0; c < 3; ++c) {
                p[c] =
                    static_cast<std::uint8_t>(std::clamp(p[c] + int((seed >> (16 + 3 * c)) % 9) - 4, 0, 255));
            }
            const double edge = std::min({x, y, w - 1 - x, h - 1 - y}) / (0.3 * std::min(w, h));
            p[3] = static_cast<std::uint8_t>(std::lround(255 * std::clamp(edge, 0.0, 1.0)));
        }
    }
    return r;
}

TEST(EncodePng, AFadedPhotographIsJudgedAsShownAndKeepsItsAlpha) {
    const Raster photo = FadedPhoto(420, 512);
    const auto lossless = office::imaging::EncodePng(photo, {}, true);
    ASSERT_EQ(LoadWithVips(lossless).rgba, photo.rgba);
    // Where nobody says how it is shown (a metafile's image), it stays exact.
    EXPECT_EQ(LoadWithVips(office::imaging::EncodePng(photo)).rgba, photo.rgba);
    for (const double opacity : {1.0, 0.47}) {
        const auto png = office::imaging::EncodePng(photo, {}, false, opacity);
        EXPECT_LT(png.size(), lossless.size() * 2 / 3) << opacity;
        const Raster back = LoadWithVips(png);
        const Similarity shown =
            ShownReference(photo.rgba, photo.width, photo.height, opacity).Compare(back.rgba);
        EXPECT_GE(shown.luma, kPngPaletteTargetLuma) << opacity;
        EXPECT_GE(shown.chroma, kPngPaletteTargetChroma) << opacity;
        // Still transparent where it was, and the fade not flattened into steps of a few levels.
        EXPECT_EQ(At(back, 0, 0)[3], 0);
        EXPECT_EQ(At(back, 210, 256)[3], 255);
        std::set<int> levels;
        for (std::size_t i = 3; i < back.rgba.size(); i += 4) {
            levels.insert(back.rgba[i]);
        }
        EXPECT_GE(levels.size(), 16u) << opacity;
    }
    // A larger one is judged on a mosaic of samples; the whole still reaches the targets.
    const Raster large = FadedPhoto(960, 900);
    const auto largePng = office::imaging::EncodePng(large, {}, false, 0.47);
    const Raster back = LoadWithVips(largePng);
    const Similarity whole = ShownReference(large.rgba, large.width, large.height, 0.47).Compare(back.rgba);
    EXPECT_GE(whole.luma, kPngPaletteTargetLuma - 0.002);
    EXPECT_GE(whole.chroma, kPngPaletteTargetChroma - 0.002);
    EXPECT_NE(back.rgba, large.rgba);
    // Seen fainter, the same picture may only get smaller.
    EXPECT_LE(office::imaging::EncodePng(photo, {}, false, 0.47).size(),
              office::imaging::EncodePng(photo, {}, false, 1.0).size());
}

TEST(EncodePng, HardEdgedAlphaWithFewColoursStaysExact) {
    // A cut-out of flat colours: every pixel fully clear or opaque, four colours.
    Raster badge = Quadrants(160, 120);
    for (int y = 0; y < badge.height; ++y) {
        for (int x = 0; x < badge.width; ++x) {
            if (std::hypot(x - 80.0, y - 60.0) > 55) {
                badge.rgba[(static_cast<std::size_t>(y) * badge.width + x) * 4 + 3] = 0;
            }
        }
    }
    const Raster back = LoadWithVips(office::imaging::EncodePng(badge, {}, false, 0.5));
    for (int i = 0; i < badge.width * badge.height; ++i) {
        const Rgba a = At(badge, i % badge.width, i / badge.width),
                   b = At(back, i % badge.width, i / badge.width);
        ASSERT_EQ(a[3], b[3]) << i;
        if (a[3] != 0) {
            ASSERT_EQ(a, b) << i;
        }
    }
}

TEST(ShownReference, AlphaCountsByWhatItDoesToThePicture) {
    const Raster photo = FadedPhoto(128, 128);
    // Alpha halved: over black and white alike that is a different picture.
    Raster fainter = photo;
    for (std::size_t i = 3; i < fainter.rgba.size(); i += 4) {
        fainter.rgba[i] = static_cast<std::uint8_t>(fainter.rgba[i] / 2);
    }
    const ShownReference reference(photo.rgba, photo.width, photo.height, 1.0);
    EXPECT_DOUBLE_EQ(reference.Compare(photo.rgba).luma, 1.0);
    EXPECT_LT(reference.Compare(fainter.rgba).luma, 0.99);
    // The colour of clear pixels is never seen.
    Raster hidden = photo;
    for (std::size_t i = 0; i < hidden.rgba.size(); i += 4) {
        if (hidden.rgba[i + 3] == 0) {
            hidden.rgba[i] = 255;
        }
    }
    EXPECT_DOUBLE_EQ(reference.Compare(hidden.rgba).luma, 1.0);
    // Errors shrink with the opacity the place draws it at.
    Raster grainy = photo;
    unsigned seed = 5;
    for (std::size_t i = 0; i < grainy.rgba.size(); i += 4) {
        seed = seed * 1103515245u + 12345u;
        grainy.rgba[i + 1] =
            static_cast<std::uint8_t>(std::clamp(grainy.rgba[i + 1] + int((seed >> 16) % 41) - 20, 0, 255));
    }
    EXPECT_GT(ShownReference(photo.rgba, photo.width, photo.height, 0.3).Compare(grainy.rgba).luma,
              reference.Compare(grainy.rgba).luma);
}

TEST(ColourProfile, TheSourceProfileTravelsWithEveryPaste) {
    const std::vector<std::uint8_t> icc = RgbProfile();
    vips::VImage image = ToVips(PhotoLike(240, 180)).extract_band(0, vips::VImage::option()->set("n", 3));
    image.set(VIPS_META_ICC_NAME, nullptr, const_cast<std::uint8_t*>(icc.data()), icc.size());
    const auto jpeg = SaveWithVips(image, ".jpg[Q=95]");
    ASSERT_EQ(ProfileIn(jpeg), icc);
    EXPECT_EQ(office::imaging::RgbProfileOf(jpeg), icc);
    EXPECT_TRUE(office::imaging::RgbProfileOf(SaveWithVips(ToVips(Quadrants(40, 40)), ".png")).empty());
    // An sRGB profile, whoever wrote it, says what untagged pixels mean anyway.
    const vips::VImage rgb = image.copy();
    const vips::VImage builtIn = rgb.icc_export(vips::VImage::option()->set("output_profile", "srgb"));
    const std::vector<std::uint8_t> srgb = Saved(cmsCreate_sRGBProfile());
    vips::VImage tagged = rgb.copy();
    tagged.set(VIPS_META_ICC_NAME, nullptr, const_cast<std::uint8_t*>(srgb.data()), srgb.size());
    for (const vips::VImage& srgbPicture : {builtIn, tagged}) {
        const auto bytes = SaveWithVips(srgbPicture, ".jpg[Q=95]");
        ASSERT_FALSE(ProfileIn(bytes).empty());
        EXPECT_TRUE(office::imaging::RgbProfileOf(bytes).empty());
    }

    office::PictureSource source;
    source.bytes = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
    source.pixelWidth = 120; // reduced: a box near the source's size keeps the source's own pixels
    source.pixelHeight = 90;
    const office::ClipPicture picture(source);
    const auto pastedJpeg = picture.Jpeg();
    EXPECT_EQ(ProfileIn(pastedJpeg), icc);
    EXPECT_EQ(ProfileIn(picture.Png()), icc);
    // Made from the pixels, the JPEG is still the same bytes as the streamed one.
    EXPECT_EQ(picture.Jpeg(), pastedJpeg);
    EXPECT_EQ(office::imaging::EncodeJpeg(picture.Pixels(), icc), pastedJpeg);
}

namespace {

// Mean absolute difference per sample of two images of the same shape.
double MeanDifference(const vips::VImage& a, const vips::VImage& b) {
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

vips::VImage Decoded(const std::vector<std::uint8_t>& jpeg) {
    return vips::VImage::new_from_buffer(jpeg.data(), jpeg.size(), "").copy_memory();
}

} // namespace

// Renderers turn CMYK into screen colours each their own way (a profile, or one of several plain
// formulas), so a copy converted to RGB by any one of them looks different in the others.
TEST(ColourProfile, ACmykJpegIsCopiedInCmykWithItsInksAndWithoutItsProfile) {
    StartVips();
    const vips::VImage rgb = ToVips(PhotoLike(240, 180)).extract_band(0, vips::VImage::option()->set("n", 3));
    const vips::VImage cmyk = rgb.icc_export(vips::VImage::option()->set("output_profile", "cmyk"));
    const auto source = SaveWithVips(cmyk, ".jpg[Q=95]");
    const vips::VImage inks = Decoded(source);
    ASSERT_EQ(inks.interpretation(), VIPS_INTERPRETATION_CMYK);
    ASSERT_FALSE(ProfileIn(source).empty());
    EXPECT_TRUE(office::imaging::RgbProfileOf(source).empty());

    auto pasted = [&](int width, int height, bool flipH, office::imaging::CropRect crop = {}) {
        office::PictureSource s;
        s.bytes = std::make_shared<const std::vector<std::uint8_t>>(source);
        s.pixelWidth = width;
        s.pixelHeight = height;
        s.flipH = flipH;
        s.crop = crop;
        return office::ClipPicture(s).Jpeg();
    };
    struct Case {
        const char* name;
        int width, height;
        bool flipH;
        vips::VImage expected;
    };
    const Case cases[] = {
        {"reduced", 120, 90, false, inks.resize(0.5)},
        {"reduced and mirrored", 120, 90, true, inks.resize(0.5).flip(VIPS_DIRECTION_HORIZONTAL)},
        {"own pixels", 220, 165, false, inks},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> jpeg = pasted(c.width, c.height, c.flipH);
        const vips::VImage copy = Decoded(jpeg);
        ASSERT_EQ(copy.interpretation(), VIPS_INTERPRETATION_CMYK);
        ASSERT_EQ(copy.width(), c.expected.width());
        ASSERT_EQ(copy.height(), c.expected.height());
        EXPECT_TRUE(ProfileIn(jpeg).empty());
        // Inverted inks (a missing or doubled Adobe inversion) would differ by about 128.
        EXPECT_LT(MeanDifference(copy, c.expected), 4.0);
    }
    // A crop past the edge stays in the paste's own crop, so the pixels remain CMYK; asked to draw
    // that transparent margin itself, the CMYK copy declines.
    EXPECT_EQ(Decoded(pasted(120, 90, false, {-0.1, 0, 0, 0})).interpretation(), VIPS_INTERPRETATION_CMYK);
    EXPECT_FALSE(office::imaging::CmykJpegCopy(source, {-0.1, 0, 0, 0}, false, false, 120, 90));
}

namespace {

// RGB as LibreOffice draws decoded (upright) inks: white less each ink and black, clipped.
std::vector<std::uint8_t> DrawnInks(const vips::VImage& inks) {
    const vips::VImage k = inks.extract_band(3);
    const vips::VImage cmy = inks.extract_band(0, vips::VImage::option()->set("n", 3));
    const vips::VImage drawn = 255 - (cmy + k);
    const vips::VImage clipped = (drawn < 0).ifthenelse(0, drawn).cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* data = static_cast<const std::uint8_t*>(clipped.data());
    return {data, data + static_cast<std::size_t>(clipped.width()) * clipped.height() * 3};
}

} // namespace

// Print material as pasted into decks: a CMYK photo with black in its shadows. The copy stays CMYK
// (YCCK, its colour planes subsampled like an RGB photo's) and costs well below the same inks written
// as four full planes, within twice an RGB JPEG of the same drawing (the black plane is the
// difference), while the drawing keeps the photo targets.
TEST(ColourProfile, ACmykPhotoCopyIsYcckAtThePhotoTargets) {
    StartVips();
    const vips::VImage rgb =
        (ToVips(PhotoLike(754, 380)).extract_band(0, vips::VImage::option()->set("n", 3)) * 0.7)
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const auto source =
        SaveWithVips(rgb.icc_export(vips::VImage::option()->set("output_profile", "cmyk")), ".jpg[Q=98]");
    const vips::VImage inks = Decoded(source);
    // Black is laid under the colour inks, so the plain formulas differ there: the test means it.
    ASSERT_GT(inks.extract_band(3).avg(), 20.0);

    const std::vector<std::uint8_t> drawn = DrawnInks(inks);
    const Raster drawnRaster = LoadWithVips(
        SaveWithVips(vips::VImage::new_from_memory(const_cast<std::uint8_t*>(drawn.data()), drawn.size(),
                                                   inks.width(), inks.height(), 3, VIPS_FORMAT_UCHAR)
                         .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
                     ".png"));
    const std::size_t rgbBytes = office::imaging::EncodeJpeg(drawnRaster).size();
    const JpegSettings chosen =
        ChooseAndEncodeJpeg(
            FromRaster(drawnRaster).extract_band(0, vips::VImage::option()->set("n", 3)).copy_memory())
            .settings;
    const std::size_t fourPlanes = EncodeJpegWith(inks, {chosen.quality, false, false}).size();

    const auto copy = office::imaging::CmykJpegCopy(source, {}, false, false, inks.width(), inks.height());
    ASSERT_TRUE(copy);
    const vips::VImage copied = Decoded(*copy);
    ASSERT_EQ(copied.interpretation(), VIPS_INTERPRETATION_CMYK);
    EXPECT_LT(copy->size(), fourPlanes * 6 / 10);
    EXPECT_LT(copy->size(), rgbBytes * 2);
    const Similarity s = MeasureSimilarity(drawn, DrawnInks(copied), inks.width(), inks.height(), 3);
    EXPECT_GE(s.luma, kJpegPhotoTargetLuma);
    EXPECT_GE(s.chroma, kJpegPhotoTargetChroma);
}
