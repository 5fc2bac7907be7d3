#include "platform/CodePage.h"

#include <windows.h>

// Windows' own Shift-JIS, code page 932, which is what the Windows version of the program wrote.
// Qt cannot serve here: without ICU (as it is built for Windows) it knows no Shift-JIS.

namespace platform {

namespace {

constexpr UINT kShiftJis = 932;

std::wstring ToWide(std::string_view bytes, UINT codePage) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, out.data(), wide);
    return out;
}

// Characters the code page cannot hold become "?" (code page 65001 takes no default character).
std::string FromWide(std::wstring_view wide, UINT codePage) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const int narrow = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, fallback, nullptr);
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, out.data(), narrow, fallback, nullptr);
    return out;
}

} // namespace

std::string ShiftJisToUtf8(std::string_view sjis) {
    return FromWide(ToWide(sjis, kShiftJis), CP_UTF8);
}

std::string Utf8ToShiftJis(std::string_view utf8) {
    return FromWide(ToWide(utf8, CP_UTF8), kShiftJis);
}

} // namespace platform
