#include "office/imaging/Metafile.h"

#include "PictureFixtures.h"
#include "office/imaging/EmfPlusImage.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace fixtures;
using office::imaging::ImagingError;
using office::imaging::MetafileSize;
using office::imaging::PictureKind;
using office::imaging::RenderMetafileToBox;
using office::imaging::RenderPicture;
using office::imaging::SniffKind;
using office::imaging::WrapInEmf;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRedColor = 0x0000FF; // 0x00BBGGRR
constexpr std::uint32_t kGreenColor = 0x00FF00;
constexpr std::uint32_t kBlueColor = 0xFF0000;

std::uint32_t ReadU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t(b.at(at + 3)) << 24;
}

void Put16(std::vector<std::uint8_t>& b, int v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, static_cast<int>(v & 0xFFFF));
    Put16(b, static_cast<int>(v >> 16));
}

// A placeable metafile of 100 x 100 units at 96 units per inch (100 px) with a red rectangle from
// (20,20) to (80,80), black outline, and a line of text at the bottom.
std::vector<std::uint8_t> RedSquareWmf() {
    std::vector<std::uint8_t> records;
    auto record = [&](int function, std::initializer_list<int> params) {
        Put32(records, static_cast<std::uint32_t>(3 + params.size()));
        Put16(records, function);
        for (int p : params) {
            Put16(records, p);
        }
    };
    record(0x020B, {0, 0});                 // SETWINDOWORG y, x
    record(0x020C, {100, 100});             // SETWINDOWEXT y, x
    record(0x02FC, {0, 0x00FF, 0x0000, 0}); // CREATEBRUSHINDIRECT solid, colour 0x000000FF (red), hatch
    record(0x012D, {0});                    // SELECTOBJECT 0
    record(0x041B, {80, 80, 20, 20});       // RECTANGLE bottom, right, top, left
    record(0, {});                          // EOF
    std::vector<std::uint8_t> b;
    Put32(b, 0x9AC6CDD7);
    Put16(b, 0);
    for (int v : {0, 0, 100, 100, 96}) {
        Put16(b, v);
    }
    Put32(b, 0);
    int checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) {
        checksum ^= b[i] | b[i + 1] << 8;
    }
    Put16(b, checksum);
    Put16(b, 1); // memory metafile
    Put16(b, 9); // header words
    Put16(b, 0x0300);
    Put32(b, static_cast<std::uint32_t>((18 + records.size()) / 2));
    Put16(b, 1); // objects
    Put32(b, 7); // largest record, words
    Put16(b, 0);
    b.insert(b.end(), records.begin(), records.end());
    return b;
}

} // namespace

TEST(OldMetafile, DrawsItsShapesAtItsDeclaredSize) {
    const auto wmf = RedSquareWmf();
    ASSERT_EQ(SniffKind(wmf), PictureKind::Wmf);
    const auto size = MetafileSize(wmf);
    EXPECT_EQ(size.width, 100);
    EXPECT_EQ(size.height, 100);
    const auto box = RenderMetafileToBox(wmf, 100, 100);
    EXPECT_EQ(box.At(50, 50), kRedColor);
    EXPECT_EQ(box.At(5, 5), kWhite);
    EXPECT_EQ(box.At(95, 95), kWhite);
    // Rendered larger, and cropped to its left half.
    office::imaging::CropRect leftHalf;
    leftHalf.right = 0.5;
    const Raster r = RenderPicture(wmf, leftHalf, false, false, 100, 200);
    EXPECT_TRUE(Near(At(r, 80, 100), kRed, 4));
    EXPECT_EQ(At(r, 10, 10)[3], 0);
}

TEST(WrapInEmf, WritesAConsistentHeaderAndRecordChain) {
    const auto emf = WrapInEmf(Quadrants(30, 20));
    ASSERT_EQ(SniffKind(emf), PictureKind::Emf);
    EXPECT_EQ(ReadU32(emf, 48), emf.size()); // nBytes
    // Walk the records: every size a multiple of 4, the count matches, the last one is EOF.
    std::size_t at = 0, records = 0;
    std::uint32_t lastType = 0;
    while (at < emf.size()) {
        const std::uint32_t size = ReadU32(emf, at + 4);
        ASSERT_EQ(size % 4, 0u);
        ASSERT_GE(size, 8u);
        lastType = ReadU32(emf, at);
        at += size;
        ++records;
    }
    EXPECT_EQ(at, emf.size());
    EXPECT_EQ(records, ReadU32(emf, 52));
    EXPECT_EQ(lastType, 14u);
    const auto size = MetafileSize(emf);
    EXPECT_EQ(size.width, 30);
    EXPECT_EQ(size.height, 20);
}

TEST(WrapInEmf, RendersBackInTheBoxWithTheRightColours) {
    const auto emf = WrapInEmf(Quadrants(40, 40));
    // Box larger than the picture: white outside it.
    const auto box = RenderMetafileToBox(emf, 100, 100);
    ASSERT_EQ(box.colors.size(), 100u * 100u);
    EXPECT_EQ(box.At(5, 5), kRedColor);
    EXPECT_EQ(box.At(35, 5), kGreenColor);
    EXPECT_EQ(box.At(5, 35), kBlueColor);
    EXPECT_EQ(box.At(35, 35), 0x00FFFFu); // yellow
    EXPECT_EQ(box.At(50, 10), kWhite);
    EXPECT_EQ(box.At(10, 70), kWhite);
    // Box smaller: clipped from the top-left.
    const auto small = RenderMetafileToBox(emf, 10, 30);
    EXPECT_EQ(small.width, 10);
    EXPECT_EQ(small.At(9, 5), kRedColor);
    EXPECT_EQ(small.At(9, 25), kBlueColor);
}

TEST(WrapInEmf, KeepsAlphaSoThatClearAreasShowWhite) {
    Raster source = DiscOnClear(80);
    // One half-transparent pixel: drawn half way between red and white.
    std::uint8_t* p = &source.rgba[(10 * 80 + 10) * 4];
    p[0] = 0;
    p[1] = 0;
    p[2] = 255;
    p[3] = 128;
    const auto emf = WrapInEmf(source);
    const auto box = RenderMetafileToBox(emf, 100, 100);
    EXPECT_EQ(box.At(2, 2), kWhite);
    EXPECT_EQ(box.At(40, 40), kRedColor);
    const std::uint32_t half = box.At(10, 10);
    EXPECT_EQ(half >> 16 & 0xFF, 255u);    // blue stays full
    EXPECT_NEAR(int(half & 0xFF), 127, 2); // red and green half of white
    EXPECT_NEAR(int(half >> 8 & 0xFF), 127, 2);
    // Through RenderPicture the alpha comes back as alpha.
    const Raster r = RenderPicture(emf, {}, false, false, 80, 80);
    EXPECT_EQ(At(r, 2, 2)[3], 0);
    EXPECT_TRUE(Near(At(r, 40, 40), kRed, 1));
}

// A picture with grain and a soft alpha ramp: its PNG spans several EMF+ records.
Raster GrainWithAlphaRamp(int w, int h) {
    Raster r = Solid(w, h, kClear);
    std::uint32_t state = 7;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(state >> 24);
            p[1] = static_cast<std::uint8_t>(state >> 16);
            p[2] = static_cast<std::uint8_t>(120 + x % 7);
            p[3] = static_cast<std::uint8_t>(std::min(255, x * 255 / (w / 3)));
        }
    }
    return r;
}

TEST(WrapInEmf, TransparentPicturesAreDualWithTheExactPictureInTheirEmfPlusImage) {
    // Office suites draw the EMF+ image, so it carries every pixel and its straight alpha; the GDI
    // stand-in is reduced, which keeps the whole metafile below a full 32-bit bitmap.
    const Raster source = GrainWithAlphaRamp(400, 300);
    const auto emf = WrapInEmf(source);
    const auto png = office::imaging::detail::EmfPlusImageBytes(emf);
    ASSERT_TRUE(png.has_value());
    ASSERT_GT(png->size(), 0x8000u) << "the image spans continued records";
    EXPECT_EQ(SniffKind(*png), PictureKind::Png);
    EXPECT_EQ(LoadWithVips(*png).rgba, source.rgba);
    EXPECT_LT(emf.size(), png->size() + 400u * 300u * 4u / 3u);
    // Our own reading of the metafile is the EMF+ image, not the reduced stand-in (give or take the
    // rounding of half-transparent colours, and the colour of clear pixels).
    const Raster read = RenderPicture(emf, {}, false, false, 400, 300);
    std::size_t differing = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            const auto want = At(source, x, y), got = At(read, x, y);
            differing += want[3] == 0 ? got[3] != 0 : !Near(got, want, 1);
        }
    }
    EXPECT_EQ(differing, 0u);
    // Records chain up to EOF with the count the header declares.
    std::size_t at = 0, records = 0;
    while (at < emf.size()) {
        ASSERT_EQ(ReadU32(emf, at + 4) % 4, 0u);
        at += ReadU32(emf, at + 4);
        ++records;
    }
    EXPECT_EQ(at, emf.size());
    EXPECT_EQ(records, ReadU32(emf, 52));

    // Cut anywhere, the image is either whole or absent, never a fragment.
    for (std::size_t cut : {emf.size() / 3, emf.size() / 2, emf.size() - 30}) {
        const std::vector<std::uint8_t> part(emf.begin(), emf.begin() + static_cast<std::ptrdiff_t>(cut));
        const auto found = office::imaging::detail::EmfPlusImageBytes(part);
        EXPECT_TRUE(!found || *found == *png) << cut;
    }
    // Opaque pictures stay a single GDI bitmap.
    EXPECT_FALSE(office::imaging::detail::EmfPlusImageBytes(WrapInEmf(Quadrants(40, 40))).has_value());
}

TEST(WrapInEmf, OpaqueBitmapAlsoReadsThroughTheGeneralConverter) {
    // The vector converter is independent of our own reader: if it accepts the file and draws the
    // colours, the records are laid out as other readers expect.
    const auto emf = WrapInEmf(Quadrants(40, 40));
    const std::string svg = office::imaging::detail::MetafileToSvg(emf, PictureKind::Emf);
    ASSERT_FALSE(svg.empty());
    StartVips();
    const vips::VImage drawn =
        vips::VImage::new_from_buffer(svg.data(), svg.size(), "").colourspace(VIPS_INTERPRETATION_sRGB);
    const Raster r = LoadWithVips(SaveWithVips(drawn, ".png"));
    ASSERT_GE(r.width, 39);
    EXPECT_TRUE(Near(At(r, r.width / 4, r.height / 4), kRed, 8));
    EXPECT_TRUE(Near(At(r, 3 * r.width / 4, 3 * r.height / 4), kYellow, 8));
}

TEST(RenderMetafileToBox, RejectsWhatIsNotAMetafile) {
    const auto png = SaveWithVips(ToVips(Quadrants(8, 8)), ".png");
    EXPECT_THROW(RenderMetafileToBox(png, 100, 100), ImagingError);
    EXPECT_THROW(MetafileSize(png), ImagingError);
    auto emf = WrapInEmf(Quadrants(8, 8));
    emf.resize(120); // header only, bitmap cut off
    EXPECT_THROW(RenderMetafileToBox(emf, 100, 100), ImagingError);
}

namespace {

void Le32s(std::vector<std::uint8_t>& b, std::initializer_list<std::int64_t> values) {
    for (std::int64_t v : values)
        Le32(b, static_cast<std::uint32_t>(v));
}

// An icon as office programs put it in a metafile: a monochrome mask ANDed onto the page (white
// outside a disc), then the colours XORed over it (red disc on black).
std::vector<std::uint8_t> MaskedIconEmf() {
    const int n = 32;
    auto inside = [&](int x, int y) { return (x - 16) * (x - 16) + (y - 16) * (y - 16) < 14 * 14; };
    std::vector<std::uint8_t> b;
    Le32s(b, {1, 88, 0, 0, n - 1, n - 1, 0, 0, 846, 846, 0x464D4520, 0x10000, 0, 4});
    Le32s(b, {1, 0, 0, 0, 1920, 1080, 508, 286});
    // The mask: STRETCHBLT, SRCAND, a 1-bit bitmap with a black and a white palette entry.
    const std::size_t mask = b.size();
    Le32s(b, {77, 108 + 48 + 4 * n, 0, 0, n - 1, n - 1, 0, 0, n, n, 0x008800C6, 0, 0});
    Le32s(b, {0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0, 108, 48, 156, 4 * n, n, n});
    Le32s(b, {40, n, n});
    Le16(b, 1);
    Le16(b, 1);
    Le32s(b, {0, 4 * n, 3780, 3780, 2, 0, 0x000000, 0xFFFFFF});
    for (int y = n - 1; y >= 0; --y) {
        std::uint32_t row = 0;
        for (int x = 0; x < n; ++x)
            if (!inside(x, y))
                row |= 1u << (31 - x);
        for (int i = 3; i >= 0; --i)
            b.push_back(static_cast<std::uint8_t>(row >> (8 * i)));
    }
    EXPECT_EQ(b.size() - mask, 108u + 48 + 4 * n);
    // The colours: STRETCHDIBITS, SRCINVERT, 24 bits.
    Le32s(b, {81,  80 + 40 + 3 * n * n, 0, 0,          n - 1, n - 1, 0, 0, 0, 0, n, n, 80, 40,
              120, 3 * n * n,           0, 0x00660046, n,     n});
    Le32s(b, {40, n, n});
    Le16(b, 1);
    Le16(b, 24);
    Le32s(b, {0, 3 * n * n, 3780, 3780, 0, 0});
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x) {
            b.push_back(0);
            b.push_back(0);
            b.push_back(inside(x, y) ? 255 : 0);
        }
    Le32s(b, {14, 20, 0, 16, 20});
    const auto total = static_cast<std::uint32_t>(b.size());
    for (int i = 0; i < 4; ++i)
        b[48 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    return b;
}

} // namespace

TEST(EnhancedMetafile, AFrameOfFractionalPixelsIsFilledToItsLastRowAndColumn) {
    // A red rectangle larger than a frame of 297.6 x 150.4 pixels: every pixel of the picture is red
    // and opaque. A partly covered last row would turn into a grey line once flattened for a JPEG.
    std::vector<std::uint8_t> b;
    Le32s(b, {1, 88, 0, 0, 297, 150, 0, 0, 7874, 3979, 0x464D4520, 0x10000, 0, 6});
    Le32s(b, {2, 0, 0, 0, 1920, 1080, 508, 286});
    Le32s(b, {39, 24, 1, 0, 0x000000FF, 0}); // CREATEBRUSHINDIRECT 1: solid red
    Le32s(b, {37, 12, 1});                   // SELECTOBJECT 1
    Le32s(b, {37, 12, 0x80000008});          // SELECTOBJECT NULL_PEN: no outline
    Le32s(b, {43, 24, 0, 0, 400, 200});      // RECTANGLE past the frame
    Le32s(b, {14, 20, 0, 16, 20});
    const auto total = static_cast<std::uint32_t>(b.size());
    for (int i = 0; i < 4; ++i)
        b[48 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    const auto size = MetafileSize(b);
    ASSERT_EQ(size.width, 298);
    ASSERT_EQ(size.height, 150);
    const Raster r = RenderPicture(b, {}, false, false, size.width, size.height);
    for (int x = 0; x < r.width; x += 7)
        EXPECT_TRUE(Near(At(r, x, r.height - 1), kRed, 2)) << x << ": " << Text(At(r, x, r.height - 1));
    for (int y = 0; y < r.height; y += 7)
        EXPECT_TRUE(Near(At(r, r.width - 1, y), kRed, 2)) << y << ": " << Text(At(r, r.width - 1, y));
}

TEST(EnhancedMetafile, AnIconDrawnThroughItsMaskShowsThePageAroundIt) {
    const auto emf = MaskedIconEmf();
    ASSERT_EQ(MetafileSize(emf).width, 32);
    const Raster r = RenderPicture(emf, {}, false, false, 32, 32);
    EXPECT_EQ(At(r, 1, 1)[3], 0) << "the corner shows the page, not the mask's black";
    EXPECT_EQ(At(r, 30, 30)[3], 0);
    EXPECT_TRUE(Near(At(r, 16, 16), kRed, 8)) << Text(At(r, 16, 16));
    const auto box = RenderMetafileToBox(emf, 32, 32);
    EXPECT_EQ(box.At(1, 1), 0xFFFFFFu) << "white over a white page";
}

namespace {

// "Hi" in DejaVu Sans given as glyph indices: the converter maps them back to characters through
// fontconfig and FreeType.
std::vector<std::uint8_t> GlyphIndexTextEmf(std::int64_t fontHeight = -16) {
    std::vector<std::uint8_t> b;
    Le32s(b, {1, 88, 0, 0, 40, 20, 0, 0, 846, 846, 0x464D4520, 0x10000, 0, 5});
    Le32s(b, {1, 0, 0, 0, 1920, 1080, 508, 286});
    Le32s(b, {82, 104, 1, fontHeight, 0, 0, 0, 400, 0x00000000, 0x00000001}); // EXTCREATEFONTINDIRECTW 1
    const std::u16string face = u"DejaVu Sans";
    for (std::size_t i = 0; i < 32; ++i)
        Le16(b, i < face.size() ? face[i] : 0);
    Le32s(b, {37, 12, 1});                                                 // SELECTOBJECT 1
    Le32s(b, {84, 88, 0, 0, 40, 20, 1, 0x3F800000, 0x3F800000});           // EXTTEXTOUTW
    Le32s(b, {2, 2, 2, 76, 0x10 /* ETO_GLYPH_INDEX */, 0, 0, 40, 20, 80}); // its EMRTEXT
    Le16(b, 43);
    Le16(b, 76);
    Le32s(b, {8, 8});
    Le32s(b, {14, 20, 0, 16, 20});
    const auto total = static_cast<std::uint32_t>(b.size());
    for (int i = 0; i < 4; ++i)
        b[48 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    return b;
}

} // namespace

TEST(EnhancedMetafile, TextOfGlyphIndicesConvertsAgainOnceTextWasDrawn) {
    // The converter's font lookup used to finalise fontconfig under the SVG renderer, which holds it
    // once it has drawn text: the next such metafile aborted the process.
    const auto emf = GlyphIndexTextEmf();
    const std::string first = office::imaging::detail::MetafileToSvg(emf, PictureKind::Emf);
    EXPECT_NE(first.find("Hi"), std::string::npos);
    const auto box = RenderMetafileToBox(emf, 40, 20);
    EXPECT_EQ(box.colors.size(), 800u);
    const std::string again = office::imaging::detail::MetafileToSvg(emf, PictureKind::Emf);
    EXPECT_NE(again.find("Hi"), std::string::npos);
}

TEST(EnhancedMetafile, TextTooLargeForTheRendererIsRefusedInsteadOfAbortingTheProcess) {
    // The SVG renderer aborts the process on a font some millions of pixels tall; below that it draws.
    const auto huge = GlyphIndexTextEmf(-16777232);
    EXPECT_THROW(office::imaging::detail::MetafileToSvg(huge, PictureKind::Emf), ImagingError);
    EXPECT_THROW(RenderMetafileToBox(huge, 40, 20), ImagingError);
    const auto tall = GlyphIndexTextEmf(-900000);
    EXPECT_NO_THROW(RenderMetafileToBox(tall, 40, 20));
    // Text under a world transform scaling it by 10^36 kept the renderer busy for minutes.
    std::ifstream in(QUARNEL_TEST_DATA "/metafile/fuzz-seeds/huge-transform.emf", std::ios::binary);
    const std::vector<std::uint8_t> scaled((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(scaled.empty());
    EXPECT_THROW(office::imaging::detail::MetafileToSvg(scaled, PictureKind::Emf), ImagingError);
}

TEST(EnhancedMetafile, ACommentLargerThanItsRecordIsRefusedBeforeTheConverterReadsPastTheFile) {
    // An EMF+ comment whose data size runs 8 MB past its 44-byte record: the converter walked the
    // EMF+ records by it, off the end of the metafile.
    std::vector<std::uint8_t> b;
    Le32s(b, {1, 88, 0, 0, 40, 20, 0, 0, 846, 846, 0x464D4520, 0x10000, 0, 4});
    Le32s(b, {1, 0, 0, 0, 1920, 1080, 508, 286});
    Le32s(b, {70, 44, 0x800020, 0x2B464D45});                                         // COMMENT with "EMF+"
    Le32s(b, {0x00014001, 28, 16, static_cast<std::int64_t>(0xDBC01002), 1, 96, 96}); // EMF+ header
    Le32s(b, {43, 24, 0, 0, 40, 20});                                                 // RECTANGLE
    Le32s(b, {14, 20, 0, 16, 20});
    const auto total = static_cast<std::uint32_t>(b.size());
    for (int i = 0; i < 4; ++i)
        b[48 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    EXPECT_THROW(office::imaging::detail::MetafileToSvg(b, PictureKind::Emf), ImagingError);
    EXPECT_THROW(RenderMetafileToBox(b, 40, 20), ImagingError);

    // The same comment telling its true size converts.
    b[96 + 2] = 0; // data size 0x800020 becomes 0x20: the signature and the EMF+ header
    EXPECT_NE(office::imaging::detail::MetafileToSvg(b, PictureKind::Emf).find("<svg"), std::string::npos);
}

namespace {

// A placeable WMF framed 200 x 100 twips at 1440 per inch: a rectangle, the given records, the end.
// maxRecordWords 0: the true largest record.
std::vector<std::uint8_t> PlaceableWmf(const std::vector<std::uint8_t>& records,
                                       std::uint32_t maxRecordWords = 0) {
    std::vector<std::uint8_t> body;
    Le32(body, 7); // RECTANGLE
    Le16(body, 0x041B);
    for (int v : {80, 150, 10, 10})
        Le16(body, static_cast<std::uint32_t>(v));
    body.insert(body.end(), records.begin(), records.end());
    Le32(body, 3); // EOF
    Le16(body, 0);
    std::vector<std::uint8_t> b;
    Le32(b, 0x9AC6CDD7); // key, handle, frame, units per inch, reserved, checksum
    Le16(b, 0);
    for (int v : {0, 0, 200, 100, 1440})
        Le16(b, static_cast<std::uint32_t>(v));
    Le32(b, 0);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        checksum ^= static_cast<std::uint16_t>(b[i] | b[i + 1] << 8);
    Le16(b, checksum);
    for (int v : {1, 9, 0x300})
        Le16(b, static_cast<std::uint32_t>(v));
    Le32(b, static_cast<std::uint32_t>((18 + body.size()) / 2));
    Le16(b, 0);
    Le32(b, maxRecordWords != 0 ? maxRecordWords
                                : std::max<std::uint32_t>(7, static_cast<std::uint32_t>(records.size() / 2)));
    Le16(b, 0);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// DIBSTRETCHBLT of a 2 x 2 one-bit bitmap over the picture, declaring coloursUsed palette entries.
std::vector<std::uint8_t> DibStretchRecord(std::uint32_t coloursUsed) {
    std::vector<std::uint8_t> dib;
    Le32s(dib, {40, 2, 2});
    Le16(dib, 1);
    Le16(dib, 1);
    Le32s(dib, {0, 8, 3780, 3780, coloursUsed, 0, 0x000000, 0xFFFFFF, 0x40000000, 0x80000000});
    std::vector<std::uint8_t> r;
    Le32(r, static_cast<std::uint32_t>((6 + 4 + 16 + dib.size()) / 2));
    Le16(r, 0x0B41);
    Le32(r, 0x00CC0020);
    for (int v : {2, 2, 0, 0, 100, 200, 0, 0})
        Le16(r, static_cast<std::uint32_t>(v));
    r.insert(r.end(), dib.begin(), dib.end());
    return r;
}

} // namespace

TEST(OldStyleMetafile, AHeaderDeclaringARecordLargerThanTheFileIsRefusedBeforeTheReaderAllocatesIt) {
    // The reader allocated the declared largest record (here 3.6 GB) before reading a single one.
    EXPECT_THROW(office::imaging::detail::MetafileToSvg(PlaceableWmf({}, 0x6C000000), PictureKind::Wmf),
                 ImagingError);
    // Declaring its true largest record, the same metafile draws.
    EXPECT_NE(office::imaging::detail::MetafileToSvg(PlaceableWmf({}), PictureKind::Wmf).find("<svg"),
              std::string::npos);
}

TEST(OldStyleMetafile, ABitmapDeclaringMoreThanItsRecordHoldsIsRefusedBeforeTheReaderAllocatesIt) {
    // 2^31 palette entries for a one-bit bitmap in a 96-byte record: the reader allocated 6.7 GB.
    EXPECT_THROW(
        office::imaging::detail::MetafileToSvg(PlaceableWmf(DibStretchRecord(0x86000000)), PictureKind::Wmf),
        ImagingError);
    // Pixels beyond the record: a 2 x 3 bitmap whose record holds two rows.
    auto tall = DibStretchRecord(2);
    tall[26 + 8] = 3;
    EXPECT_THROW(office::imaging::detail::MetafileToSvg(PlaceableWmf(tall), PictureKind::Wmf), ImagingError);
    // The same bitmap with its two colours draws.
    EXPECT_NE(office::imaging::detail::MetafileToSvg(PlaceableWmf(DibStretchRecord(2)), PictureKind::Wmf)
                  .find("<svg"),
              std::string::npos);
}
