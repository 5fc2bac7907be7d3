#pragma once

// Windows only: the system's wide-character (UTF-16) text and paths, converted from and to the
// program's UTF-8. Every file name crosses here, so that names in any script survive the trip.

#include "platform/PathText.h"

#include <string>
#include <string_view>

namespace platform {

// Invalid UTF-8 becomes U+FFFD, as MultiByteToWideChar makes it.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);

} // namespace platform
