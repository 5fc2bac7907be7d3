#include "platform/CodePage.h"

#include <windows.h>

// Windows' own Shift-JIS, code page 932, which is what the Windows version of the program wrote.
// Qt cannot serve here: without ICU (as it is built for Windows) it knows no Shift-JIS.

namespace platform {

namespace {

constexpr UINT kShiftJis = 932;

// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is not a valid sequence.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80)
        return 1;
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + len > bytes.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

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

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

TextEncoding DetectEncoding(std::string_view bytes) {
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

std::string ShiftJisToUtf8(std::string_view sjis) {
    return FromWide(ToWide(sjis, kShiftJis), CP_UTF8);
}

std::string Utf8ToShiftJis(std::string_view utf8) {
    return FromWide(ToWide(utf8, CP_UTF8), kShiftJis);
}

std::string ToUtf8(std::string_view bytes, TextEncoding encoding) {
    return encoding == TextEncoding::ShiftJis ? ShiftJisToUtf8(bytes) : std::string(bytes);
}

std::string FromUtf8(std::string_view utf8, TextEncoding encoding) {
    return encoding == TextEncoding::ShiftJis ? Utf8ToShiftJis(utf8) : std::string(utf8);
}

std::string CutToEncodedBytes(std::string_view utf8, std::size_t limit, TextEncoding encoding) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len = Utf8SequenceLength(utf8, i);
        if (len == 0)
            len = 1; // a stray byte stands for itself
        std::size_t cost = len;
        if (encoding == TextEncoding::ShiftJis && len > 1)
            cost = Utf8ToShiftJis(utf8.substr(i, len)).size();
        if (used + cost > limit)
            break;
        used += cost;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

} // namespace platform
