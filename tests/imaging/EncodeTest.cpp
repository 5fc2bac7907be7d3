#include "PictureFixtures.h"

#include <gtest/gtest.h>
#include <set>

using namespace fixtures;
using office::imaging::EncodeGif;
using office::imaging::EncodeJpeg;
using office::imaging::EncodePng;
using office::imaging::ImagingError;
using office::imaging::PictureKind;
using office::imaging::SniffKind;

namespace {

int PngColourType(const std::vector<std::uint8_t>& png) {
    return png.at(25);
}

struct GifFacts {
    int globalTableSize = 0; // entries, 0 when absent
    int largestLocalTable = 0;
    bool transparentIndex = false;
};

// Walks the blocks of a GIF far enough to read its colour tables and transparency flag.
GifFacts ReadGifFacts(const std::vector<std::uint8_t>& gif) {
    GifFacts facts;
    std::size_t at = 6;
    const std::uint8_t screenFlags = gif.at(at + 4);
    at += 7;
    if (screenFlags & 0x80) {
        facts.globalTableSize = 1 << ((screenFlags & 7) + 1);
        at += 3 * static_cast<std::size_t>(facts.globalTableSize);
    }
    auto skipSubBlocks = [&] {
        while (gif.at(at) != 0) {
            at += gif.at(at) + 1u;
        }
        ++at;
    };
    while (at < gif.size()) {
        const std::uint8_t block = gif.at(at);
        if (block == 0x3B) {
            break;
        }
        if (block == 0x21) {
            const std::uint8_t label = gif.at(at + 1);
            if (label == 0xF9 && (gif.at(at + 3) & 1)) {
                facts.transparentIndex = true;
            }
            at += 2;
            skipSubBlocks();
        } else if (block == 0x2C) {
            const std::uint8_t flags = gif.at(at + 9);
            at += 10;
            if (flags & 0x80) {
                const int local = 1 << ((flags & 7) + 1);
                facts.largestLocalTable = std::max(facts.largestLocalTable, local);
                at += 3 * static_cast<std::size_t>(local);
            }
            ++at; // LZW minimum code size
            skipSubBlocks();
        } else {
            ADD_FAILURE() << "unexpected GIF block " << int(block);
            break;
        }
    }
    return facts;
}

std::size_t DistinctColours(const Raster& r) {
    std::set<std::array<std::uint8_t, 4>> seen;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            seen.insert(At(r, x, y));
        }
    }
    return seen.size();
}

} // namespace

TEST(EncodePng, IsLosslessAndKeepsAlphaInEveryForm) {
    Raster halfClear = Gradient(120, 80, true);
    halfClear.rgba[3] = 128; // one half-transparent pixel as well
    const Raster cases[] = {Quadrants(50, 30), DiscOnClear(64), Gradient(120, 80, false), halfClear};
    for (const Raster& source : cases) {
        const auto png = EncodePng(source);
        ASSERT_EQ(SniffKind(png), PictureKind::Png);
        const Raster back = LoadWithVips(png);
        ASSERT_EQ(back.width, source.width);
        ASSERT_EQ(back.height, source.height);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                const Rgba s = At(source, x, y), b = At(back, x, y);
                ASSERT_EQ(s[3], b[3]) << x << "," << y;
                if (s[3] != 0) {
                    ASSERT_EQ(s, b) << x << "," << y;
                }
            }
        }
    }
}

TEST(EncodePng, PicksTheSmallestFittingForm) {
    EXPECT_EQ(PngColourType(EncodePng(Quadrants(50, 30))), 3);        // four colours: palette
    EXPECT_EQ(PngColourType(EncodePng(DiscOnClear(64))), 3);          // two colours, one clear
    EXPECT_EQ(PngColourType(EncodePng(Gradient(120, 80, false))), 2); // many colours, opaque: RGB
    EXPECT_EQ(PngColourType(EncodePng(Gradient(120, 80, true))), 6);  // many colours with alpha: RGBA
    // Four colours fit in two bits per pixel.
    EXPECT_EQ(EncodePng(Quadrants(50, 30)).at(24), 2);
}

TEST(EncodeJpeg, FlattensTransparencyOntoBlack) {
    const auto jpeg = EncodeJpeg(DiscOnClear(100));
    ASSERT_EQ(SniffKind(jpeg), PictureKind::Jpeg);
    const Raster back = LoadWithVips(jpeg);
    ASSERT_EQ(back.width, 100);
    EXPECT_FALSE(back.HasTransparency());
    EXPECT_TRUE(Near(At(back, 3, 3), Rgba{0, 0, 0, 255}, 6));
    EXPECT_TRUE(Near(At(back, 96, 96), Rgba{0, 0, 0, 255}, 6));
    EXPECT_TRUE(Near(At(back, 50, 50), kRed, 12));
}

TEST(EncodeJpeg, OpaquePictureKeepsItsColours) {
    const Raster back = LoadWithVips(EncodeJpeg(Quadrants(64, 64)));
    EXPECT_TRUE(Near(At(back, 16, 16), kRed, 12));
    EXPECT_TRUE(Near(At(back, 48, 16), kGreen, 12));
    EXPECT_TRUE(Near(At(back, 16, 48), kBlue, 12));
    EXPECT_TRUE(Near(At(back, 48, 48), kYellow, 12));
}

TEST(EncodeGif, HasAtMost256ColoursAndATransparentIndex) {
    const auto gif = EncodeGif(Gradient(160, 120, true));
    ASSERT_EQ(SniffKind(gif), PictureKind::Gif);
    const GifFacts facts = ReadGifFacts(gif);
    EXPECT_LE(std::max(facts.globalTableSize, facts.largestLocalTable), 256);
    EXPECT_GT(std::max(facts.globalTableSize, facts.largestLocalTable), 0);
    EXPECT_TRUE(facts.transparentIndex);
    const Raster back = LoadWithVips(gif);
    EXPECT_LE(DistinctColours(back), 257u); // 256 colours, and transparent may be any of them
    EXPECT_EQ(At(back, 5, 60)[3], 0);       // the clear left quarter
    EXPECT_EQ(At(back, 100, 60)[3], 255);
}

TEST(EncodeGif, FewColoursStayExactAndOpaquePicturesStayOpaque) {
    const Raster source = Quadrants(40, 40);
    const auto gif = EncodeGif(source);
    const Raster back = LoadWithVips(gif);
    EXPECT_FALSE(back.HasTransparency());
    EXPECT_EQ(back.rgba, source.rgba);
}

TEST(Encoders, RejectMalformedRasters) {
    Raster broken = Quadrants(10, 10);
    broken.rgba.resize(12);
    EXPECT_THROW(EncodeJpeg(broken), ImagingError);
    EXPECT_THROW(EncodePng(broken), ImagingError);
    EXPECT_THROW(EncodeGif(broken), ImagingError);
    EXPECT_THROW(office::imaging::WrapInEmf(Raster{}), ImagingError);
}
