#include "TestImages.h"
#include "office/repack/JpegRepack.h"
#include "office/repack/PictureToPng.h"
#include "office/repack/PngRepack.h"

#include <gtest/gtest.h>
#include <vips/vips8>

using namespace testimages;
using office::repack::RepackJpeg;
using office::repack::RepackPng;

namespace {

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// An ICC profile split over two APP2 chunks, as large profiles are.
std::vector<JpegMarker> CameraMarkers() {
    Bytes exif = Text(std::string("Exif\0\0", 6) + "MM orientation=6 ");
    Bytes icc1 = Text(std::string("ICC_PROFILE\0\x01\x02", 14));
    Bytes icc2 = Text(std::string("ICC_PROFILE\0\x02\x02", 14));
    Bytes profile = Noise(3000, 5);
    icc1.insert(icc1.end(), profile.begin(), profile.begin() + 1500);
    icc2.insert(icc2.end(), profile.begin() + 1500, profile.end());
    return {{0xE0, Text(std::string("JFIF\0\x01\x01\x01\0\x48\0\x48\0\0", 14))},
            {0xE1, exif},
            {0xE2, icc1},
            {0xE2, icc2},
            {0xFE, Text("a comment")}};
}

std::vector<JpegMarker> AdobeMarkers() {
    return {{0xEE, Text(std::string("Adobe\0\x64\0\0\0\0\x02", 12))}, {0xED, Text("Photoshop 3.0")}};
}

} // namespace

TEST(RepackJpeg, SmallerWithSamePixelsAndEveryMarkerInOrder) {
    struct Case {
        const char* name;
        int components;
        std::vector<JpegMarker> markers;
    };
    const std::vector<Case> cases = {
        {"colour photo with EXIF, ICC and a comment", 3, CameraMarkers()},
        {"grey", 1, {{0xFE, Text("grey")}}},
        {"CMYK with an Adobe marker", 4, AdobeMarkers()},
        {"no markers at all", 3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes original = MakeJpeg(203, 157, c.components, c.markers);
        const auto repacked = RepackJpeg(original);
        ASSERT_TRUE(repacked.has_value());
        EXPECT_LT(repacked->size(), original.size());
        EXPECT_EQ(DecodeJpeg(*repacked), DecodeJpeg(original));
        const auto before = JpegMarkers(original), after = JpegMarkers(*repacked);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(after[i].code, before[i].code) << i;
            EXPECT_TRUE(after[i].data == before[i].data) << i;
        }
    }
}

TEST(RepackJpeg, AnAlreadyOptimalOrDamagedFileIsLeftAlone) {
    const Bytes original = MakeJpeg(120, 80, 3, {});
    const auto once = RepackJpeg(original);
    ASSERT_TRUE(once.has_value());
    EXPECT_FALSE(RepackJpeg(*once).has_value()) << "a second pass found nothing smaller";

    Bytes truncated(original.begin(), original.begin() + long(original.size() / 2));
    EXPECT_FALSE(RepackJpeg(truncated).has_value());
    EXPECT_FALSE(RepackJpeg(Noise(5000, 3)).has_value());
    Bytes header = {0xFF, 0xD8, 0xFF, 0xE0};
    EXPECT_FALSE(RepackJpeg(header).has_value());
    // A frame header claiming 60000 x 60000 pixels: refused before gigabytes are allocated.
    Bytes giant = original;
    for (std::size_t i = 2; i + 9 < giant.size(); ++i) {
        if (giant[i] == 0xFF && giant[i + 1] == 0xC0) {
            giant[i + 5] = giant[i + 7] = 0xEA;
            giant[i + 6] = giant[i + 8] = 0x60;
            break;
        }
    }
    EXPECT_FALSE(RepackJpeg(giant).has_value());
}

TEST(RepackPng, SmallerWithSamePixelsDepthColourTypeAndChunks) {
    struct Case {
        const char* name;
        PngSpec spec;
    };
    const std::vector<Case> cases = {
        {"RGBA", {97, 61, 6, 8, false, false}},
        {"RGB with a transparent colour", {80, 50, 2, 8, false, true}},
        {"palette 4-bit with tRNS", {90, 40, 3, 4, false, true}},
        {"palette 8-bit", {64, 64, 3, 8, false, false}},
        {"16-bit grey", {70, 33, 0, 16, false, false}},
        {"16-bit RGBA", {40, 30, 6, 16, false, false}},
        {"interlaced RGB", {77, 55, 2, 8, true, false}},
        {"grey+alpha", {50, 50, 4, 8, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes original = MakePng(c.spec);
        const auto repacked = RepackPng(original);
        ASSERT_TRUE(repacked.has_value());
        EXPECT_LT(repacked->size(), original.size());
        const Pixels a = DecodePng(original), b = DecodePng(*repacked);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
        EXPECT_TRUE(a.rgba == b.rgba) << "pixels changed";
        EXPECT_EQ(PngDepthAndColorType(*repacked), PngDepthAndColorType(original));
        // Colour interpretation, transparency and resolution stay; the comment goes.
        std::vector<std::string> kept;
        for (const auto& type : PngChunkTypes(original))
            if (type != "tEXt" && type != "IDAT")
                kept.push_back(type);
        std::vector<std::string> after;
        for (const auto& type : PngChunkTypes(*repacked))
            if (type != "IDAT")
                after.push_back(type);
        EXPECT_EQ(after, kept);
        EXPECT_EQ((*repacked)[28], 0) << "written non-interlaced";
    }
}

TEST(RepackPng, FewColoursBecomeAPaletteWithTheSameColoursAndAlpha) {
    // An RGBA screenshot-like picture: a handful of colours, some translucent.
    PngSpec spec{120, 90, 6, 8, false, false};
    Bytes original = MakePng(spec);
    const Pixels source = DecodePng(original);
    ASSERT_FALSE(source.rgba.empty());
    Bytes rows;
    const std::uint8_t colours[5][4] = {
        {255, 0, 0, 255}, {0, 0, 0, 0}, {10, 200, 30, 128}, {255, 255, 255, 255}, {10, 200, 30, 255}};
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            rows.insert(rows.end(), colours[(x / 7 + y / 5) % 5], colours[(x / 7 + y / 5) % 5] + 4);
    office::repack::PngSamples samples;
    samples.width = std::uint32_t(spec.width);
    samples.height = std::uint32_t(spec.height);
    samples.bitDepth = 8;
    samples.colorType = 6;
    samples.rows = rows;
    const auto rgba = office::repack::EncodePng(samples, {});
    ASSERT_TRUE(rgba.has_value());
    const auto repacked = RepackPng(*rgba);
    ASSERT_TRUE(repacked.has_value());
    EXPECT_LT(repacked->size(), rgba->size());
    EXPECT_EQ(PngDepthAndColorType(*repacked), (std::pair<int, int>{8, 3}));
    const Pixels a = DecodePng(*rgba, true), b = DecodePng(*repacked, true);
    EXPECT_TRUE(a.rgba == b.rgba) << "every colour and alpha kept";
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(b.rgba[i], rows[i]) << i;

    // Opaque colours only: the palette still declares alpha (one opaque tRNS entry), so renderers
    // that draw pictures with an alpha channel their own way draw this one as before.
    for (std::size_t i = 3; i < rows.size(); i += 4)
        rows[i] = 255;
    samples.rows = rows;
    const auto opaque = RepackPng(*office::repack::EncodePng(samples, {}));
    ASSERT_TRUE(opaque.has_value());
    EXPECT_EQ(PngDepthAndColorType(*opaque), (std::pair<int, int>{8, 3}));
    const auto chunks = PngChunkTypes(*opaque);
    EXPECT_NE(std::find(chunks.begin(), chunks.end(), "tRNS"), chunks.end());
    const Pixels decoded = DecodePng(*opaque, true);
    ASSERT_EQ(decoded.rgba.size(), rows.size());
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), decoded.rgba.begin()));
}

TEST(RepackPng, APaletteHoldsAtMost256Colours) {
    // Colours in no repeating order, so that a palette clearly wins wherever it can hold them, spread
    // over all four channels.
    auto samplesWith = [](int distinct) {
        office::repack::PngSamples samples;
        samples.width = 128;
        samples.height = 96;
        samples.colorType = 6;
        std::uint32_t state = 1;
        for (std::uint32_t i = 0; i < samples.width * samples.height; ++i) {
            state = state * 1103515245u + 12345u;
            const std::uint32_t c = (state >> 16) % std::uint32_t(distinct);
            const std::uint8_t alpha = c % 5 == 0 ? std::uint8_t(40 + c % 200) : 255;
            samples.rows.insert(samples.rows.end(),
                                {std::uint8_t(c * 37), std::uint8_t(c * 11 + 3), std::uint8_t(c / 2), alpha});
        }
        return samples;
    };
    for (int distinct : {1, 255, 256, 257, 1000}) {
        SCOPED_TRACE(distinct);
        const auto samples = samplesWith(distinct);
        const auto rgba = office::repack::EncodePng(samples, {});
        ASSERT_TRUE(rgba.has_value());
        EXPECT_EQ(office::repack::PngSampleBytes(*rgba), samples.rows.size());
        const auto repacked = RepackPng(*rgba);
        const Bytes& result = repacked ? *repacked : *rgba;
        EXPECT_EQ(PngDepthAndColorType(result), (std::pair<int, int>{8, distinct <= 256 ? 3 : 6}));
        const Pixels decoded = DecodePng(result, true);
        ASSERT_EQ(decoded.rgba.size(), samples.rows.size());
        EXPECT_TRUE(std::equal(samples.rows.begin(), samples.rows.end(), decoded.rgba.begin()));
    }
    EXPECT_EQ(office::repack::PngSampleBytes(Text("not a picture at all, not even close")), 0u);
}

TEST(RepackPng, RefusesWhatItDoesNotUnderstand) {
    Bytes original = MakePng({40, 40, 6, 8, false, false});
    // An animation control chunk after IHDR: an APNG.
    Bytes apng(original.begin(), original.begin() + 33);
    const Bytes actl = office::repack::MakePngChunk("acTL", Bytes{0, 0, 0, 1, 0, 0, 0, 0});
    apng.insert(apng.end(), actl.begin(), actl.end());
    apng.insert(apng.end(), original.begin() + 33, original.end());
    EXPECT_FALSE(RepackPng(apng).has_value());
    // An unknown critical chunk.
    Bytes critical(original.begin(), original.begin() + 33);
    const Bytes odd = office::repack::MakePngChunk("ABCD", Bytes{1});
    critical.insert(critical.end(), odd.begin(), odd.end());
    critical.insert(critical.end(), original.begin() + 33, original.end());
    EXPECT_FALSE(RepackPng(critical).has_value());
    // Damaged image data.
    Bytes damaged = original;
    damaged[damaged.size() - 20] ^= 0xFF;
    EXPECT_FALSE(RepackPng(damaged).has_value());
    EXPECT_FALSE(RepackPng(Bytes(original.begin(), original.begin() + 60)).has_value());
    // 60000 x 60000 declared in a few hundred bytes.
    Bytes giant = original;
    giant[16] = giant[20] = 0;
    giant[17] = giant[21] = 0;
    giant[18] = giant[22] = 0xEA;
    giant[19] = giant[23] = 0x60;
    const Bytes ihdr(giant.begin() + 12, giant.begin() + 29);
    const std::uint32_t crc = office::repack::Crc32(ihdr);
    for (int i = 0; i < 4; ++i)
        giant[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    EXPECT_FALSE(RepackPng(giant).has_value());
}

TEST(PictureToPng, TiffAndBmpBecomeLosslessPngs) {
    ASSERT_EQ(VIPS_INIT("test"), 0);
    const int w = 61, h = 37;
    Bytes rgb = Noise(std::size_t(w) * h * 3, 9);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = std::uint8_t((rgb[i] & 7) + i % 200); // compressible but not trivial
    vips::VImage image = vips::VImage::new_from_memory(rgb.data(), rgb.size(), w, h, 3, VIPS_FORMAT_UCHAR)
                             .copy(vips::VImage::option()
                                       ->set("interpretation", VIPS_INTERPRETATION_sRGB)
                                       ->set("xres", 150 / 25.4)
                                       ->set("yres", 150 / 25.4));
    void* tiffData = nullptr;
    std::size_t tiffSize = 0;
    image.write_to_buffer(".tif", &tiffData, &tiffSize,
                          vips::VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_NONE));
    Bytes tiff(static_cast<std::uint8_t*>(tiffData), static_cast<std::uint8_t*>(tiffData) + tiffSize);
    g_free(tiffData);

    const auto png = office::repack::TiffToPng(tiff);
    ASSERT_TRUE(png.has_value());
    EXPECT_LT(png->size(), tiff.size());
    const Pixels pixels = DecodePng(*png, true);
    ASSERT_EQ(pixels.width, w);
    ASSERT_EQ(pixels.height, h);
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(pixels.rgba[i * 4 + c], rgb[i * 3 + c]) << i;
        ASSERT_EQ(pixels.rgba[i * 4 + 3], 255);
    }
    const auto types = PngChunkTypes(*png);
    EXPECT_NE(std::find(types.begin(), types.end(), "pHYs"), types.end()) << "the stated resolution is kept";

    // A 24-bit BMP: rows bottom-up, BGR, padded to four bytes.
    const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    Bytes bmp = {'B', 'M'};
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](std::uint16_t v) {
        bmp.push_back(std::uint8_t(v));
        bmp.push_back(std::uint8_t(v >> 8));
    };
    put32(std::uint32_t(54 + stride * h));
    put32(0);
    put32(54);
    put32(40);
    put32(w);
    put32(h);
    put16(1);
    put16(24);
    put32(0);
    put32(std::uint32_t(stride * h));
    put32(0); // no resolution stated
    put32(0);
    put32(0);
    put32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            for (int c = 2; c >= 0; --c)
                bmp.push_back(rgb[(std::size_t(y) * w + x) * 3 + c]);
        bmp.resize(bmp.size() + stride - std::size_t(w) * 3);
    }
    const auto fromBmp = office::repack::BmpToPng(bmp);
    ASSERT_TRUE(fromBmp.has_value());
    EXPECT_TRUE(DecodePng(*fromBmp, true).rgba == pixels.rgba);
    EXPECT_EQ(PngDepthAndColorType(*fromBmp), (std::pair<int, int>{8, 2})) << "opaque: no alpha channel";
    const auto bmpTypes = PngChunkTypes(*fromBmp);
    EXPECT_EQ(std::find(bmpTypes.begin(), bmpTypes.end(), "pHYs"), bmpTypes.end());

    // With straight alpha: an RGBA PNG of the same pixels.
    vips::VImage withAlpha = image.bandjoin_const({77});
    void* rgbaData = nullptr;
    std::size_t rgbaSize = 0;
    withAlpha.write_to_buffer(".tif", &rgbaData, &rgbaSize,
                              vips::VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_NONE));
    Bytes rgbaTiff(static_cast<std::uint8_t*>(rgbaData), static_cast<std::uint8_t*>(rgbaData) + rgbaSize);
    g_free(rgbaData);
    const auto rgbaPng = office::repack::TiffToPng(rgbaTiff);
    ASSERT_TRUE(rgbaPng.has_value());
    EXPECT_EQ(PngDepthAndColorType(*rgbaPng), (std::pair<int, int>{8, 6}));
    EXPECT_TRUE(SamePixels(rgbaTiff, *rgbaPng));

    EXPECT_FALSE(office::repack::TiffToPng(Noise(400, 1)).has_value());
    EXPECT_FALSE(office::repack::BmpToPng(Bytes(bmp.begin(), bmp.begin() + 60)).has_value());
}
