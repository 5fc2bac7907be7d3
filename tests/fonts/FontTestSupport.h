#pragma once

// Font files for the font tests: read from disk, and the characters a font's cmap covers.

#include "office/fonts/Eot.h"

#include <fstream>
#include <hb.h>
#include <iterator>
#include <set>
#include <string>

namespace fonttest {

inline office::fonts::Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return office::fonts::Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::set<char32_t> Cmap(const office::fonts::Bytes& sfnt) {
    hb_blob_t* blob = hb_blob_create(reinterpret_cast<const char*>(sfnt.data()), unsigned(sfnt.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_set_t* set = hb_set_create();
    hb_face_collect_unicodes(face, set);
    std::set<char32_t> out;
    for (hb_codepoint_t c = HB_SET_VALUE_INVALID; hb_set_next(set, &c);)
        out.insert(c);
    hb_set_destroy(set);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
    return out;
}

} // namespace fonttest
