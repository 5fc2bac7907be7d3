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

// A path written with "/" as the system writes it: the program joins with the native separator.
inline std::string Native(std::string text) {
#ifdef _WIN32
    for (char& c : text)
        if (c == '/')
            c = '\\';
#endif
    return text;
}

// Console text with each "\r\n" as "\n": a Windows console stream writes its line ends as CRLF.
inline std::string WithLf(std::string_view text) {
    std::string lf;
    lf.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lf += text[i];
    return lf;
}

} // namespace testsupport
