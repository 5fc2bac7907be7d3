#include "office/fonts/FontSubset.h"

#include <hb-subset.h>
#include <hb.h>

namespace office::fonts {

std::optional<std::vector<std::uint8_t>> SubsetSfnt(const std::vector<std::uint8_t>& sfnt,
                                                    const std::set<char32_t>& characters) {
    hb_blob_t* blob = hb_blob_create(reinterpret_cast<const char*>(sfnt.data()), unsigned(sfnt.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_blob_destroy(blob);
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (input == nullptr || hb_face_get_glyph_count(face) == 0) {
        if (input != nullptr)
            hb_subset_input_destroy(input);
        hb_face_destroy(face);
        return std::nullopt;
    }
    hb_set_t* unicodes = hb_subset_input_unicode_set(input);
    for (char32_t c : characters) {
        hb_set_add(unicodes, c);
        // Symbol-encoded fonts (Wingdings and the like) map the text's U+0020..U+00FF at U+F020..U+F0FF.
        if (c >= 0x20 && c < 0x100)
            hb_set_add(unicodes, 0xF000 + c);
    }
    // Every layout feature, so ligatures and contextual forms the full font would apply survive.
    hb_set_t* features = hb_subset_input_set(input, HB_SUBSET_SETS_LAYOUT_FEATURE_TAG);
    hb_set_clear(features);
    hb_set_invert(features);
    // Keep the names a renderer matches the typeface by, all of them, in every language.
    hb_set_t* nameIds = hb_subset_input_set(input, HB_SUBSET_SETS_NAME_ID);
    hb_set_clear(nameIds);
    hb_set_invert(nameIds);
    hb_set_t* nameLanguages = hb_subset_input_set(input, HB_SUBSET_SETS_NAME_LANG_ID);
    hb_set_clear(nameLanguages);
    hb_set_invert(nameLanguages);
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_DEFAULT | HB_SUBSET_FLAGS_NAME_LEGACY |
                                         HB_SUBSET_FLAGS_NOTDEF_OUTLINE | HB_SUBSET_FLAGS_GLYPH_NAMES);

    hb_face_t* subset = hb_subset_or_fail(face, input);
    hb_subset_input_destroy(input);
    hb_face_destroy(face);
    if (subset == nullptr)
        return std::nullopt;
    hb_blob_t* result = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char* data = hb_blob_get_data(result, &length);
    std::optional<std::vector<std::uint8_t>> bytes;
    if (length > 0)
        bytes.emplace(reinterpret_cast<const std::uint8_t*>(data),
                      reinterpret_cast<const std::uint8_t*>(data) + length);
    hb_blob_destroy(result);
    hb_face_destroy(subset);
    return bytes;
}

} // namespace office::fonts
