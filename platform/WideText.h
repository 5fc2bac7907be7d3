#pragma once

// Windows only: the system's wide-character (UTF-16) text and paths, converted from and to the
// program's UTF-8. Every file name crosses here, so that names in any script survive the trip.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Invalid UTF-8 becomes U+FFFD, as MultiByteToWideChar makes it.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);

// std::filesystem takes a narrow std::string on Windows as the ANSI code page; these do not.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

} // namespace platform
