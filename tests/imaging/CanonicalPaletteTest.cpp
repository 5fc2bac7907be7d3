// Palette pictures rewritten in their own order: the same pixels give the same bytes whatever order
// or duplicates the quantiser chose, and every pixel keeps its colour and alpha.

#include "office/imaging/CanonicalPalette.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <png.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    std::uint8_t r, g, b, a;
};

// A palette PNG of exactly these entries and indices (libpng's simplified writer).
Bytes PalettePng(int width, int height, const std::vector<Entry>& palette, const Bytes& indices) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(palette.size());
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, indices.data(), 0, palette.data()));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, indices.data(), 0, palette.data()));
    out.resize(size);
    return out;
}

// The pixels as RGBA, the colour of clear ones included (a renderer scaling without premultiplying
// shows it at the edges).
Bytes Shown(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGBA;
    Bytes rgba(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    return rgba;
}

// Colour type and palette length of a PNG.
std::pair<int, int> Header(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    const int entries = static_cast<int>(image.colormap_entries);
    png_image_free(&image);
    return {png[25], entries};
}

} // namespace

TEST(CanonicalPalette, TheSamePixelsGiveTheSameBytesWhateverTheQuantiserChose) {
    // Four visible colours and clear pixels over a 6 x 4 picture.
    const Entry red{200, 10, 10, 255}, blue{10, 10, 200, 255}, glass{90, 90, 90, 128},
        white{255, 255, 255, 255};
    const Bytes pattern = {0, 1, 2, 3, 4, 0, 1, 1, 2, 3, 4, 4, 2, 0, 0, 3, 1, 4, 3, 3, 2, 1, 0, 4};
    // One quantiser's order, with a clear entry of some colour.
    const std::vector<Entry> first = {red, blue, glass, white, {17, 34, 51, 0}};
    // Another's: shuffled, and the blue listed twice (pixels use both).
    const std::vector<Entry> second = {white, {17, 34, 51, 0}, blue, glass, red, blue};
    const Bytes toSecond = {4, 2, 3, 0, 1}; // first's index -> second's
    Bytes secondIndices;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        secondIndices.push_back(pattern[i] == 1 && i % 2 ? 5 : toSecond[pattern[i]]);
    const Bytes a = PalettePng(6, 4, first, pattern);
    const Bytes b = PalettePng(6, 4, second, secondIndices);
    ASSERT_NE(a, b);
    ASSERT_EQ(Shown(a), Shown(b));

    for (const bool adaptive : {true, false}) {
        const auto ca = office::imaging::WithCanonicalPalette(a, adaptive);
        const auto cb = office::imaging::WithCanonicalPalette(b, adaptive);
        ASSERT_TRUE(ca && cb);
        EXPECT_EQ(*ca, *cb);
        EXPECT_EQ(Shown(*ca), Shown(a));
        // Still a palette picture; the duplicate merged, the clear entry first with its colour.
        EXPECT_EQ(Header(*ca), std::make_pair(int(PNG_COLOR_TYPE_PALETTE), 5));
        const std::string text(ca->begin(), ca->end());
        const auto plte = text.find("PLTE");
        ASSERT_NE(plte, std::string::npos);
        EXPECT_EQ(text.substr(plte + 4, 3), "\x11\x22\x33");
    }
}

TEST(CanonicalPalette, ProfileResolutionAndBitDepthStay) {
    // Two colours at bit depth 1, with a resolution, written by the full libpng interface.
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, 8, 2, 1, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_color plte[2] = {{255, 255, 255}, {0, 0, 0}};
    png_set_PLTE(png, info, plte, 2);
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_byte rows[2] = {0b10101010, 0b01010101};
    png_bytep pointers[2] = {&rows[0], &rows[1]};
    png_write_image(png, pointers);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);

    const auto canonical = office::imaging::WithCanonicalPalette(out, true);
    ASSERT_TRUE(canonical);
    EXPECT_EQ(Shown(*canonical), Shown(out));
    EXPECT_EQ((*canonical)[24], 1); // bit depth
    const std::string text(canonical->begin(), canonical->end());
    const auto phys = text.find("pHYs");
    ASSERT_NE(phys, std::string::npos);
    EXPECT_EQ(text.substr(phys + 4, 9), std::string("\0\0\x0e\xc4\0\0\x0e\xc4\x01", 9));
    EXPECT_EQ(text.find("tRNS"), std::string::npos); // no alpha before, none after
}

TEST(CanonicalPalette, OnlyPalettePicturesThatDecodeAreRewritten) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = PNG_FORMAT_RGB;
    const Bytes rgb = {1, 2, 3, 4, 5, 6};
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr));
    Bytes direct(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, direct.data(), &size, 0, rgb.data(), 0, nullptr));
    EXPECT_FALSE(office::imaging::WithCanonicalPalette(direct, true));

    const Bytes palette = PalettePng(2, 1, {{1, 2, 3, 255}, {4, 5, 6, 255}}, {0, 1});
    for (const std::size_t cut : {std::size_t(0), std::size_t(20), palette.size() / 2, palette.size() - 13})
        EXPECT_FALSE(
            office::imaging::WithCanonicalPalette(Bytes(palette.begin(), palette.begin() + long(cut)), true))
            << cut;
}
