#include "PictureFixtures.h"
#include "office/imaging/VipsSupport.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace fixtures;
using office::imaging::CropRect;
using office::imaging::ImagingError;
using office::imaging::MeasurePicture;
using office::imaging::RenderPicture;

namespace {

void PutBe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

void ExpectRejected(const std::vector<std::uint8_t>& bytes, const char* what) {
    EXPECT_THROW(RenderPicture(bytes, {}, false, false, 50, 50), ImagingError) << what;
}

} // namespace

TEST(HostileInput, AbsurdDimensionsAreRejectedBeforeDecoding) {
    auto png = SaveWithVips(ToVips(Solid(4, 4, kRed)), ".png");
    PutBe32(png, 16, 100000);
    PutBe32(png, 20, 100000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(MeasurePicture(png), ImagingError);
    ExpectRejected(png, "png 100000x100000");
    // Failing must not mean decoding first: 10^10 pixels would take minutes and 40 GB.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    auto bmp = MakeBmp(Solid(4, 4, kRed), 24);
    for (std::size_t i = 0; i < 4; ++i) {
        bmp[18 + i] = i == 2 ? 0x01 : 0x00; // width 65536
    }
    EXPECT_THROW(MeasurePicture(bmp), ImagingError);
    ExpectRejected(bmp, "bmp");

    auto gif =
        SaveWithVips(ToVips(Solid(4, 4, kRed)).extract_band(0, vips::VImage::option()->set("n", 3)), ".gif");
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF; // 65535 x 65535
    ExpectRejected(gif, "gif");
}

TEST(HostileInput, TargetSizesAndCropsOutOfRangeAreRefused) {
    const auto png = SaveWithVips(ToVips(Solid(4, 4, kRed)), ".png");
    EXPECT_THROW(RenderPicture(png, {}, false, false, 0, 10), ImagingError);
    EXPECT_THROW(RenderPicture(png, {}, false, false, 10, -1), ImagingError);
    EXPECT_THROW(RenderPicture(png, {}, false, false, 40000, 10), ImagingError);
    EXPECT_THROW(RenderPicture(png, CropRect{0.6, 0, 0.6, 0}, false, false, 10, 10), ImagingError);
    EXPECT_THROW(RenderPicture(png, CropRect{-1e9, 0, 0, 0}, false, false, 10, 10), ImagingError);
}

TEST(HostileInput, TruncatedAndGarbageInputFailCleanly) {
    const vips::VImage rgb =
        ToVips(Gradient(300, 200, false)).extract_band(0, vips::VImage::option()->set("n", 3));
    for (const char* suffix : {".jpg", ".png", ".gif", ".tif", ".webp"}) {
        const auto whole = SaveWithVips(rgb, suffix);
        const std::vector<std::uint8_t> half(whole.begin(),
                                             whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
        ExpectRejected(half, suffix);
        const std::vector<std::uint8_t> headerOnly(whole.begin(), whole.begin() + 12);
        ExpectRejected(headerOnly, suffix);
    }
    const auto bmp = MakeBmp(Gradient(30, 20, false), 24);
    ExpectRejected({bmp.begin(), bmp.begin() + 200}, "bmp");
    ExpectRejected({}, "empty");
    std::vector<std::uint8_t> noise(4096);
    std::uint32_t seed = 12345;
    for (auto& b : noise) {
        seed = seed * 1664525 + 1013904223;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    ExpectRejected(noise, "noise");
    // Right magic, random rest.
    for (std::vector<std::uint8_t> magic : {std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF},
                                            {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
                                            {'G', 'I', 'F', '8', '9', 'a'},
                                            {0xD7, 0xCD, 0xC6, 0x9A}}) {
        std::vector<std::uint8_t> bytes = noise;
        std::copy(magic.begin(), magic.end(), bytes.begin());
        ExpectRejected(bytes, "magic + noise");
    }
}

// The decoder reports a truncated JPEG only as a warning that may or may not arrive; the refusal must
// not depend on it, whatever size is asked and whichever path renders.
TEST(HostileInput, TruncatedJpegIsRefusedEveryTimeOnEveryPath) {
    const vips::VImage rgb =
        ToVips(Gradient(400, 300, false)).extract_band(0, vips::VImage::option()->set("n", 3));
    const auto whole = SaveWithVips(rgb, ".jpg");
    // A thumbnail segment carrying its own end-of-image marker must not pass for the picture's.
    std::vector<std::uint8_t> withThumbnail{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x08,
                                            'E',  'x',  'i',  'f',  0xFF, 0xD9};
    withThumbnail.insert(withThumbnail.end(), whole.begin() + 2, whole.end());
    EXPECT_NO_THROW(RenderPicture(withThumbnail, {}, false, false, 40, 30));
    std::vector<std::uint8_t> trailing = whole;
    trailing.insert(trailing.end(), 64, 0x00);
    EXPECT_NO_THROW(RenderPicture(trailing, {}, false, false, 40, 30)) << "padding after the end is harmless";

    for (const auto& source : {whole, withThumbnail}) {
        for (std::size_t keep : {source.size() / 2, source.size() - 3}) {
            const std::vector<std::uint8_t> cut(source.begin(),
                                                source.begin() + static_cast<std::ptrdiff_t>(keep));
            for (int round = 0; round < 5; ++round) {
                for (auto [w, h] : {std::pair{10, 10}, {50, 40}, {400, 300}, {600, 450}}) {
                    EXPECT_THROW(RenderPicture(cut, {}, false, false, w, h), ImagingError)
                        << keep << " " << w;
                    EXPECT_THROW(office::imaging::RenderPictureAsJpeg(cut, {}, false, false, w, h),
                                 ImagingError)
                        << keep << " " << w;
                    EXPECT_THROW(office::imaging::RenderPictureCorner(cut, {}, false, false, w, h, 100, 100),
                                 ImagingError)
                        << keep << " " << w;
                }
            }
        }
    }
}

// The loadable modules (ImageMagick, PDF, HEIF, JPEG XL, slide scanners) would hand deck bytes to
// libraries the engine never asked for; the built-in loaders are all it uses. A libvips that has
// one of them built in has it blocked.
TEST(HostileInput, OnlyTheBuiltInLoadersAreThere) {
    office::imaging::detail::EnsureVips();
    const auto blocked = [](const char* name) {
        VipsOperation* operation = vips_operation_new(name);
        const bool isBlocked = (vips_operation_get_flags(operation) & VIPS_OPERATION_BLOCKED) != 0;
        g_object_unref(operation);
        return isBlocked;
    };
    for (const char* module :
         {"magickload_buffer", "pdfload_buffer", "heifload_buffer", "jxlload_buffer", "openslideload"})
        EXPECT_TRUE(vips_type_find("VipsOperation", module) == 0 || blocked(module)) << module;
    for (const char* other : {"matrixload_source", "csvload_source", "ppmload_source"}) {
        if (vips_type_find("VipsOperation", other) != 0) {
            EXPECT_TRUE(blocked(other)) << other;
        }
    }
    for (const char* builtIn : {"jpegload_buffer", "pngload_buffer", "gifload_buffer", "tiffload_buffer",
                                "webpload_buffer", "svgload_buffer"}) {
        ASSERT_NE(vips_type_find("VipsOperation", builtIn), 0u) << builtIn;
        EXPECT_FALSE(blocked(builtIn)) << builtIn;
    }
}
