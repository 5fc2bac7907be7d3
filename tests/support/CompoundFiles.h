#pragma once

// Compound files built stream by stream, standing in for binary decks the tests need no converter
// to read: a deck's streams, an encrypted deck's header token, other programs' documents.

#include <cstdint>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A compound file holding the named streams.
inline std::vector<std::uint8_t>
CompoundFile(const std::map<std::string, std::vector<std::uint8_t>>& streams) {
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(memory);
    for (const auto& [name, data] : streams) {
        GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
        gsf_output_write(child, data.size(), data.data());
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    std::vector<std::uint8_t> out(bytes, bytes + gsf_output_size(memory));
    g_object_unref(memory);
    return out;
}

// The "Current User" stream: record header, size, then the header token that marks encryption.
inline std::vector<std::uint8_t> CurrentUser(std::uint32_t token) {
    std::vector<std::uint8_t> s(32, 0);
    s[8] = 0x14;
    for (int i = 0; i < 4; ++i)
        s[12 + i] = static_cast<std::uint8_t>(token >> (8 * i));
    return s;
}

inline std::vector<std::uint8_t> BinaryDeckBytes(bool encrypted) {
    return CompoundFile({{"Current User", CurrentUser(encrypted ? 0xF3D1C4DF : 0xE391C05F)},
                         {"PowerPoint Document", std::vector<std::uint8_t>(600, 7)}});
}

} // namespace testsupport
