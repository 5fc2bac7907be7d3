#pragma once

// Scratch folders for tests, made by the program's own work-folder maker so that they are private
// to this user on every system, and paths as the UTF-8 text the program's interfaces take.

#include "platform/StagingFiles.h"
#ifdef _WIN32
#include "platform/WideText.h"
#endif

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testsupport {

// A new folder "<prefix><pid>-XXXXXX" under the temporary folder; throws when it cannot be made.
inline std::filesystem::path MakeWorkFolder(std::string_view prefix) {
    const std::filesystem::path folder =
        platform::CreateWorkFolder(std::filesystem::temp_directory_path(), prefix);
    if (folder.empty())
        throw std::runtime_error("cannot make a work folder " + std::string(prefix) + "...");
    return folder;
}

// On Windows a path holds UTF-16 and its narrow form is the ANSI code page; these keep any script.
inline std::string Utf8(const std::filesystem::path& path) {
#ifdef _WIN32
    return platform::PathToUtf8(path);
#else
    return path.string();
#endif
}

inline std::filesystem::path PathOf(std::string_view utf8) {
#ifdef _WIN32
    return platform::PathFromUtf8(utf8);
#else
    return std::filesystem::path(utf8);
#endif
}

} // namespace testsupport
