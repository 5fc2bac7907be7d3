#pragma once

// Text conversion between the program's UTF-8 and Shift-JIS, the code page of files written by
// the Windows version of the program.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class TextEncoding { Utf8, ShiftJis };

// Strict check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);
// Valid UTF-8 (which includes plain ASCII) is UTF-8; anything else is taken as Shift-JIS.
TextEncoding DetectEncoding(std::string_view bytes);

std::string ShiftJisToUtf8(std::string_view sjis);
// Characters Shift-JIS cannot hold become "?".
std::string Utf8ToShiftJis(std::string_view utf8);
std::string ToUtf8(std::string_view bytes, TextEncoding encoding);
std::string FromUtf8(std::string_view utf8, TextEncoding encoding);

// The longest leading part of utf8 whose encoded form takes at most limit bytes; never splits a character.
std::string CutToEncodedBytes(std::string_view utf8, std::size_t limit, TextEncoding encoding);

} // namespace platform
