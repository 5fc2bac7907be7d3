#pragma once

// Paths as the program's UTF-8 text on every system. On Windows std::filesystem takes and gives a
// narrow std::string in the ANSI code page, which loses names in other scripts; these do not.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

} // namespace platform
