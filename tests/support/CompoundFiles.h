#pragma once

// Compound files built stream by stream, standing in for binary decks the tests need no converter
// to read: a deck's streams, an encrypted deck's header token, other programs' documents. libgsf
// writes them and reads them back, independently of the product's own reader it checks.

#include <algorithm>
#include <cstdint>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A storage's streams and the storages inside it, by name.
struct CompoundStorage {
    std::string name;
    std::map<std::string, std::vector<std::uint8_t>> streams;
    std::vector<CompoundStorage> storages;
};

inline void WriteCompoundStorage(GsfOutfile* out, const CompoundStorage& storage) {
    for (const auto& [name, data] : storage.streams) {
        GsfOutput* child = gsf_outfile_new_child(out, name.c_str(), FALSE);
        gsf_output_write(child, data.size(), data.data());
        gsf_output_close(child);
        g_object_unref(child);
    }
    for (const CompoundStorage& inner : storage.storages) {
        GsfOutput* child = gsf_outfile_new_child(out, inner.name.c_str(), TRUE);
        WriteCompoundStorage(GSF_OUTFILE(child), inner);
        gsf_output_close(child);
        g_object_unref(child);
    }
}

// A compound file written by libgsf with the given root storage and sector size (512 makes a
// version 3 file, 4096 a version 4 one). Streams under 4096 bytes go to the mini stream.
inline std::vector<std::uint8_t> CompoundFileOf(const CompoundStorage& root, unsigned sectorSize = 512) {
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new_full(memory, sectorSize, 64);
    WriteCompoundStorage(ole, root);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    std::vector<std::uint8_t> out(bytes, bytes + gsf_output_size(memory));
    g_object_unref(memory);
    return out;
}

// A compound file holding the named streams.
inline std::vector<std::uint8_t>
CompoundFile(const std::map<std::string, std::vector<std::uint8_t>>& streams) {
    return CompoundFileOf(CompoundStorage{"", streams, {}});
}

// What libgsf's own reader finds directly inside the root storage: each entry's UTF-8 name,
// whether it is a stream, and a stream's first bytes (up to headBytes). nullopt when libgsf cannot
// open the file.
struct LibgsfEntry {
    std::string name;
    bool isStream = false;
    std::vector<std::uint8_t> head;
};
inline std::optional<std::vector<LibgsfEntry>> LibgsfRootEntries(const std::vector<std::uint8_t>& bytes,
                                                                 std::size_t headBytes) {
    GsfInput* input = gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE);
    GsfInfile* ole = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    if (!ole)
        return std::nullopt;
    std::vector<LibgsfEntry> entries;
    for (int i = 0; i < gsf_infile_num_children(ole); ++i) {
        LibgsfEntry entry;
        entry.name = gsf_infile_name_by_index(ole, i);
        GsfInput* child = gsf_infile_child_by_index(ole, i);
        if (child) {
            entry.isStream = gsf_infile_num_children(GSF_INFILE(child)) < 0;
            const auto n = static_cast<std::size_t>(
                std::min<gsf_off_t>(gsf_input_size(child), static_cast<gsf_off_t>(headBytes)));
            if (entry.isStream && n > 0) {
                const guint8* data = gsf_input_read(child, n, nullptr);
                if (data)
                    entry.head.assign(data, data + n);
            }
            g_object_unref(child);
        }
        entries.push_back(std::move(entry));
    }
    g_object_unref(ole);
    return entries;
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
