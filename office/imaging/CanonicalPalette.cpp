#include "office/imaging/CanonicalPalette.h"

#include "office/imaging/PngMemoryIo.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>

namespace office::imaging {

namespace {

// What the picture carries besides its pixels, copied across; plain data, safe across longjmp.
struct Extras {
    bool hasTrns = false;
    bool hasPhys = false;
    png_uint_32 physX = 0, physY = 0;
    int physUnit = 0;
    bool hasSrgb = false;
    int srgbIntent = 0;
    bool hasGama = false;
    png_fixed_point gama = 0;
    std::vector<std::uint8_t> icc;
    std::array<char, 80> iccName{};
};

struct Picture {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0;
    std::vector<std::uint32_t> colours; // RGBA per palette entry
    std::vector<std::uint8_t> indices;  // one byte a pixel
    Extras extras;
};

bool Read(std::span<const std::uint8_t> file, Picture& picture) {
    int warnings = 0;
    pngmemory::Reader reader{file};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &warnings, pngmemory::Jump, pngmemory::CountWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    auto* rows = new std::vector<png_bytep>(); // no destructor may be skipped by longjmp
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        delete rows;
        return false;
    }
    png_set_read_fn(png, &reader, pngmemory::Read);
    png_read_info(png, info);
    int colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &picture.width, &picture.height, &picture.bitDepth, &colorType, &interlace,
                 nullptr, nullptr);
    // Pictures the encoder wrote: bounded by what it was given, so no size limit beyond libpng's.
    if (colorType != PNG_COLOR_TYPE_PALETTE || interlace != PNG_INTERLACE_NONE || picture.width == 0)
        png_error(png, "not a palette picture");
    png_colorp plte = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &plte, &entries);
    png_bytep alpha = nullptr;
    int alphas = 0;
    picture.extras.hasTrns = png_get_tRNS(png, info, &alpha, &alphas, nullptr) != 0;
    for (int i = 0; i < entries; ++i) {
        const std::uint32_t a = i < alphas ? alpha[i] : 255u;
        picture.colours.push_back(std::uint32_t(plte[i].red) << 24 | std::uint32_t(plte[i].green) << 16 |
                                  std::uint32_t(plte[i].blue) << 8 | a);
    }
    picture.extras.hasPhys =
        png_get_pHYs(png, info, &picture.extras.physX, &picture.extras.physY, &picture.extras.physUnit) != 0;
    picture.extras.hasSrgb = png_get_sRGB(png, info, &picture.extras.srgbIntent) != 0;
    picture.extras.hasGama = png_get_gAMA_fixed(png, info, &picture.extras.gama) != 0;
    png_charp iccName = nullptr;
    int iccCompression = 0;
    png_bytep icc = nullptr;
    png_uint_32 iccSize = 0;
    if (png_get_iCCP(png, info, &iccName, &iccCompression, &icc, &iccSize) != 0) {
        picture.extras.icc.assign(icc, icc + iccSize);
        std::strncpy(picture.extras.iccName.data(), iccName, picture.extras.iccName.size() - 1);
    }
    png_set_packing(png); // one byte an index, whatever the bit depth
    png_read_update_info(png, info);
    picture.indices.assign(std::size_t(picture.width) * picture.height, 0);
    rows->resize(picture.height);
    for (png_uint_32 y = 0; y < picture.height; ++y)
        (*rows)[y] = picture.indices.data() + std::size_t(y) * picture.width;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return warnings == 0;
}

bool Write(const Picture& picture, bool adaptiveFilter, std::vector<std::uint8_t>& out) {
    int warnings = 0;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &warnings, pngmemory::Jump, pngmemory::CountWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    auto* rows = new std::vector<png_bytep>();
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        delete rows;
        return false;
    }
    png_set_write_fn(png, &out, pngmemory::Append, pngmemory::NoFlush);
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, adaptiveFilter ? PNG_ALL_FILTERS : PNG_FILTER_NONE);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    std::vector<png_color> plte;
    std::vector<png_byte> alpha;
    for (const std::uint32_t c : picture.colours) {
        plte.push_back({png_byte(c >> 24), png_byte(c >> 16), png_byte(c >> 8)});
        if ((c & 0xFF) != 0xFF)
            alpha.push_back(png_byte(c));
    }
    // A picture stored with alpha keeps it when no entry is translucent (some renderers draw
    // pictures with alpha another way).
    if (alpha.empty() && picture.extras.hasTrns)
        alpha.push_back(0xFF);
    png_set_PLTE(png, info, plte.data(), int(plte.size()));
    if (!alpha.empty())
        png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
    const Extras& extras = picture.extras;
    if (extras.hasPhys)
        png_set_pHYs(png, info, extras.physX, extras.physY, extras.physUnit);
    if (!extras.icc.empty())
        png_set_iCCP(png, info, extras.iccName.data(), PNG_COMPRESSION_TYPE_BASE, extras.icc.data(),
                     png_uint_32(extras.icc.size()));
    else if (extras.hasSrgb)
        png_set_sRGB(png, info, extras.srgbIntent);
    if (extras.hasGama && extras.icc.empty() && !extras.hasSrgb)
        png_set_gAMA_fixed(png, info, extras.gama);
    png_write_info(png, info);
    png_set_packing(png);
    rows->resize(picture.height);
    for (png_uint_32 y = 0; y < picture.height; ++y)
        (*rows)[y] = const_cast<png_bytep>(picture.indices.data() + std::size_t(y) * picture.width);
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    delete rows;
    return warnings == 0;
}

// Translucent entries first (tRNS then stays short), each part by RGBA value.
bool PaletteOrder(std::uint32_t a, std::uint32_t b) {
    const bool aClear = (a & 0xFF) != 0xFF, bClear = (b & 0xFF) != 0xFF;
    return aClear != bClear ? aClear : a < b;
}

} // namespace

std::optional<std::vector<std::uint8_t>> WithCanonicalPalette(std::span<const std::uint8_t> png,
                                                              bool adaptiveFilter) {
    Picture picture;
    if (!Read(png, picture) || picture.bitDepth > 8)
        return std::nullopt;
    // A clear entry keeps its colour: a renderer that scales without premultiplying mixes it into
    // the edges next to it.
    const std::vector<std::uint32_t>& shown = picture.colours;
    std::vector<bool> used(picture.colours.size(), false);
    for (const std::uint8_t index : picture.indices) {
        if (index >= used.size())
            return std::nullopt; // an index past the palette: not a picture to rewrite
        used[index] = true;
    }
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (used[i])
            order.push_back(shown[i]);
    std::sort(order.begin(), order.end(), PaletteOrder);
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::array<std::uint8_t, 256> renumbered{};
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (used[i])
            renumbered[i] = std::uint8_t(
                std::lower_bound(order.begin(), order.end(), shown[i], PaletteOrder) - order.begin());
    for (std::uint8_t& index : picture.indices)
        index = renumbered[index];
    picture.colours = std::move(order);
    std::vector<std::uint8_t> out;
    if (!Write(picture, adaptiveFilter, out))
        return std::nullopt;
    return out;
}

} // namespace office::imaging
