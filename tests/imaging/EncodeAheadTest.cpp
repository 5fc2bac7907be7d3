// Paste encodings made ahead: a paste gets exactly what it would have made itself, takes only what
// was made from the same picture, and forecasts the walk has passed are not waited for.

#include "office/clipboard/EncodeAhead.h"

#include "PictureFixtures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

using fixtures::Raster;
using fixtures::StartVips;
using office::ClipPicture;
using office::EncodeAhead;
using office::PasteEncoding;
using office::PasteForecast;
using office::PictureSource;

// A grainy photo-like picture, so that JPEG quality is searched for and PNG has work to do.
std::shared_ptr<const std::vector<std::uint8_t>> PhotoBytes(int w, int h, std::uint32_t seed) {
    Raster r;
    r.width = w;
    r.height = h;
    r.rgba.resize(static_cast<std::size_t>(w) * h * 4);
    std::uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            const int grain = static_cast<int>((s >> 24) % 20) - 10;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + grain, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + grain, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(128 + grain, 0, 255));
            p[3] = 255;
        }
    return std::make_shared<const std::vector<std::uint8_t>>(office::imaging::EncodePng(r));
}

PictureSource SourceOf(std::shared_ptr<const std::vector<std::uint8_t>> bytes, int w, int h,
                       const std::string& origin) {
    PictureSource s;
    s.bytes = std::move(bytes);
    s.pixelWidth = w;
    s.pixelHeight = h;
    s.shownWidth = w;
    s.shownHeight = h;
    s.origin = origin;
    return s;
}

PasteForecast ForecastOf(const PictureSource& source, PasteEncoding encoding, int box = 0) {
    PasteForecast f;
    f.load = [source] { return std::optional<PictureSource>(source); };
    f.encoding = encoding;
    f.origin = source.origin;
    f.boxWidth = box ? source.pixelWidth : 0;
    f.boxHeight = box ? source.pixelHeight : 0;
    f.boxOfPaste = box != 0;
    return f;
}

class EncodeAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartVips();
        a = SourceOf(PhotoBytes(300, 200, 1), 240, 160, "/ppt/slides/slide1.xml#2");
        b = SourceOf(PhotoBytes(260, 180, 2), 200, 140, "/ppt/slides/slide1.xml#3");
        c = SourceOf(PhotoBytes(220, 220, 3), 150, 150, "/ppt/slides/slide2.xml#2");
    }
    PictureSource a, b, c;
};

TEST_F(EncodeAheadTest, APasteTakesWhatItWouldHaveMadeItselfInEveryFormat) {
    EncodeAhead ahead(2);
    ahead.Forecast({ForecastOf(a, PasteEncoding::Jpeg), ForecastOf(b, PasteEncoding::Png),
                    ForecastOf(c, PasteEncoding::Gif)});
    EXPECT_EQ(ahead.Take(ClipPicture(a), PasteEncoding::Jpeg), ClipPicture(a).Jpeg());
    EXPECT_EQ(ahead.Take(ClipPicture(b), PasteEncoding::Png), ClipPicture(b).Png());
    EXPECT_EQ(ahead.Take(ClipPicture(c), PasteEncoding::Gif), ClipPicture(c).Gif());
    EXPECT_EQ(ahead.Hits(), 3u);
}

TEST_F(EncodeAheadTest, OnlyTheSamePictureInTheSameFormatIsTaken) {
    EncodeAhead ahead(2);
    ahead.Forecast({ForecastOf(a, PasteEncoding::Jpeg), ForecastOf(b, PasteEncoding::Jpeg)});
    // Another size, other bytes of the same length, another format: each made by the paste itself.
    PictureSource larger = a;
    larger.pixelWidth += 1;
    EXPECT_EQ(ahead.Take(ClipPicture(larger), PasteEncoding::Jpeg), ClipPicture(larger).Jpeg());
    auto altered = std::make_shared<std::vector<std::uint8_t>>(*b.bytes);
    altered->back() ^= 1;
    PictureSource other = b;
    other.bytes = altered;
    other.origin.clear();
    EXPECT_EQ(ahead.Take(ClipPicture(other), PasteEncoding::Jpeg), ClipPicture(other).Jpeg());
    EXPECT_EQ(ahead.Take(ClipPicture(b), PasteEncoding::Png), ClipPicture(b).Png());
    EXPECT_EQ(ahead.Hits(), 0u);
    EXPECT_EQ(ahead.Take(ClipPicture(b), PasteEncoding::Jpeg), ClipPicture(b).Jpeg());
    EXPECT_EQ(ahead.Hits(), 1u);
}

TEST_F(EncodeAheadTest, ForecastsThePasteHasPassedAreDroppedAndUnreadablesSkipped) {
    EncodeAhead ahead(1);
    PasteForecast broken;
    broken.load = []() -> std::optional<PictureSource> { throw std::runtime_error("the shape is gone"); };
    PasteForecast absent;
    absent.load = [] { return std::optional<PictureSource>(); };
    ahead.Forecast({std::move(broken), ForecastOf(a, PasteEncoding::Jpeg), std::move(absent),
                    ForecastOf(b, PasteEncoding::Jpeg), ForecastOf(c, PasteEncoding::Jpeg)});
    EXPECT_EQ(ahead.Take(ClipPicture(c), PasteEncoding::Jpeg), ClipPicture(c).Jpeg());
    const auto hits = ahead.Hits();
    // a and b came before c: passed, so made again by their pastes.
    EXPECT_EQ(ahead.Take(ClipPicture(a), PasteEncoding::Jpeg), ClipPicture(a).Jpeg());
    EXPECT_EQ(ahead.Take(ClipPicture(b), PasteEncoding::Jpeg), ClipPicture(b).Jpeg());
    EXPECT_EQ(ahead.Hits(), hits);
}

TEST_F(EncodeAheadTest, TheCopyAndItsPasteAreDrawnAheadAsTheyWouldBeDrawnHere) {
    EncodeAhead ahead(2);
    ahead.Forecast({ForecastOf(a, PasteEncoding::Jpeg, 1), ForecastOf(b, PasteEncoding::Jpeg, 1)});
    for (const PictureSource* s : {&a, &b}) {
        const ClipPicture copy(*s);
        const auto box = ahead.TakeBox(copy, s->pixelWidth, s->pixelHeight);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->colors, copy.BoxOnWhite(s->pixelWidth, s->pixelHeight).colors);
        const auto jpeg = ahead.Take(copy, PasteEncoding::Jpeg);
        ASSERT_EQ(jpeg, copy.Jpeg());
        // The walk copies its paste at the size the paste came in, as the engine's paste shows it.
        PictureSource pasted;
        pasted.bytes = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
        pasted.crop = copy.PasteCrop();
        pasted.pixelWidth = copy.Width();
        pasted.pixelHeight = copy.Height();
        pasted.shownWidth = s->shownWidth;
        pasted.shownHeight = s->shownHeight;
        const ClipPicture again(pasted);
        const auto pasteBox = ahead.TakeBox(again, s->pixelWidth, s->pixelHeight);
        ASSERT_TRUE(pasteBox);
        EXPECT_EQ(pasteBox->colors, again.BoxOnWhite(s->pixelWidth, s->pixelHeight).colors);
        // Asked again (a later pass), it is the same drawing.
        const auto later = ahead.TakeBox(again, s->pixelWidth, s->pixelHeight);
        ASSERT_TRUE(later);
        EXPECT_EQ(later->colors, pasteBox->colors);
    }
}

TEST_F(EncodeAheadTest, ALaterPassOverTheSamePicturesTakesWhatTheFirstMade) {
    EncodeAhead none(0);
    const auto first = none.Take(ClipPicture(a), PasteEncoding::Jpeg);
    EXPECT_EQ(none.Hits(), 0u);
    EXPECT_EQ(none.Take(ClipPicture(a), PasteEncoding::Jpeg), first);
    EXPECT_EQ(none.Hits(), 1u);
    // Another format, or a picture of another size, is made afresh.
    PictureSource smaller = a;
    smaller.pixelWidth -= 8;
    EXPECT_EQ(none.Take(ClipPicture(a), PasteEncoding::Png), ClipPicture(a).Png());
    EXPECT_EQ(none.Take(ClipPicture(smaller), PasteEncoding::Jpeg), ClipPicture(smaller).Jpeg());
    EXPECT_EQ(none.Hits(), 1u);
    none.Forget();
    EXPECT_EQ(none.Take(ClipPicture(a), PasteEncoding::Jpeg), first);
    EXPECT_EQ(none.Hits(), 1u);
}

TEST_F(EncodeAheadTest, WithoutWorkersOrAfterCancelEveryPasteEncodesItself) {
    EncodeAhead none(0);
    none.Forecast({ForecastOf(a, PasteEncoding::Jpeg)});
    EXPECT_EQ(none.Take(ClipPicture(a), PasteEncoding::Jpeg), ClipPicture(a).Jpeg());
    EXPECT_EQ(none.Hits(), 0u);

    EncodeAhead ahead(2);
    ahead.Forecast({ForecastOf(a, PasteEncoding::Jpeg), ForecastOf(b, PasteEncoding::Png)});
    ahead.Cancel();
    EXPECT_EQ(ahead.Take(ClipPicture(a), PasteEncoding::Jpeg), ClipPicture(a).Jpeg());
    EXPECT_EQ(ahead.Hits(), 0u);
    // Work still running when the pool goes is finished unseen, not waited on by anyone but the pool.
    ahead.Forecast({ForecastOf(c, PasteEncoding::Png), ForecastOf(b, PasteEncoding::Png)});
}

} // namespace
