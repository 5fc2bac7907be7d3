#include "office/timing/ColorValue.h"

#include <cstdio>

namespace office::timing {

std::optional<int> RgbOfHex(const std::string& hex) {
    if (hex.size() != 6)
        return std::nullopt;
    unsigned value = 0;
    for (char c : hex) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    unsigned r = (value >> 16) & 0xFF, g = (value >> 8) & 0xFF, b = value & 0xFF;
    return static_cast<int>(r | (g << 8) | (b << 16));
}

std::string HexOfRgb(int rgb) {
    unsigned value = static_cast<unsigned>(rgb);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", value & 0xFF, (value >> 8) & 0xFF,
                  (value >> 16) & 0xFF);
    return buffer;
}

} // namespace office::timing
