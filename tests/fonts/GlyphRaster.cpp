#include "GlyphRaster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>
#include <stdexcept>

namespace fonttest {

Raster RenderText(const std::vector<std::uint8_t>& sfnt, const std::string& utf8, int pixelSize) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        throw std::runtime_error("FreeType init");
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, sfnt.data(), FT_Long(sfnt.size()), 0, &face) != 0) {
        FT_Done_FreeType(library);
        throw std::runtime_error("FreeType cannot open the font");
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
    hb_font_t* font = hb_ft_font_create_referenced(face);
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, utf8.c_str(), -1, 0, -1);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);

    Raster raster;
    raster.width = pixelSize * int(count + 2) * 2;
    raster.height = pixelSize * 3;
    raster.pixels.assign(std::size_t(raster.width) * raster.height, 0);
    int penX = pixelSize;
    const int baseline = pixelSize * 2;
    for (unsigned i = 0; i < count; ++i) {
        if (info[i].codepoint == 0)
            ++raster.missingGlyphs;
        FT_Load_Glyph(face, info[i].codepoint, FT_LOAD_RENDER);
        const FT_GlyphSlot slot = face->glyph;
        const int left = penX + (pos[i].x_offset >> 6) + slot->bitmap_left;
        const int top = baseline - (pos[i].y_offset >> 6) - slot->bitmap_top;
        for (unsigned row = 0; row < slot->bitmap.rows; ++row) {
            for (unsigned col = 0; col < slot->bitmap.width; ++col) {
                const int x = left + int(col), y = top + int(row);
                if (x < 0 || y < 0 || x >= raster.width || y >= raster.height)
                    continue;
                auto& px = raster.pixels[std::size_t(y) * raster.width + x];
                px = std::max<std::uint8_t>(px, slot->bitmap.buffer[row * slot->bitmap.pitch + col]);
            }
        }
        penX += pos[i].x_advance >> 6;
    }
    hb_buffer_destroy(buffer);
    hb_font_destroy(font); // releases the FreeType face
    FT_Done_FreeType(library);
    return raster;
}

} // namespace fonttest
