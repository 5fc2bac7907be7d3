#pragma once

// Slide parts of a deck file, read straight from its archive.

#include <string>
#include <utility>
#include <vector>
#include <zip.h>

namespace features_test {

// (part name, XML) of every ppt/slides/slideN.xml; empty when the file cannot be opened.
inline std::vector<std::pair<std::string, std::string>> SlideParts(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        std::string name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name.rfind("ppt/slides/slide", 0) != 0 || name.find('/', 11) != std::string::npos ||
            name.size() < 4 || name.substr(name.size() - 4) != ".xml")
            continue;
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string data(static_cast<std::size_t>(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file) {
            zip_fread(file, data.data(), stat.size);
            zip_fclose(file);
            out.emplace_back(name, data);
        }
    }
    zip_close(archive);
    return out;
}

} // namespace features_test
