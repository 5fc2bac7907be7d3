#include "platform/CodePage.h"

// What does not depend on the system: UTF-8 checks and cuts. The Shift-JIS conversions themselves
// are ShiftJis.cpp's (Qt) and ShiftJis_win.cpp's (the system's code page 932).

namespace platform {

namespace {

// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is not a valid sequence.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
        return 1;
    }
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
    if (i + len > bytes.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

TextEncoding DetectEncoding(std::string_view bytes) {
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

std::string ToUtf8(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis) {
        return ShiftJisToUtf8(bytes);
    }
    return std::string(bytes);
}

std::string FromUtf8(std::string_view utf8, TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis) {
        return Utf8ToShiftJis(utf8);
    }
    return std::string(utf8);
}

std::string CutToEncodedBytes(std::string_view utf8, std::size_t limit, TextEncoding encoding) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len = Utf8SequenceLength(utf8, i);
        if (len == 0) {
            len = 1; // a stray byte stands for itself
        }
        std::size_t cost = len;
        if (encoding == TextEncoding::ShiftJis && len > 1) {
            cost = Utf8ToShiftJis(utf8.substr(i, len)).size();
        }
        if (used + cost > limit) {
            break;
        }
        used += cost;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

} // namespace platform
