#include "engine/SizeText.h"

#include <cmath>
#include <cstdio>

namespace engine {
namespace {

// Rounds to `decimals` places with halves going to the even neighbour, as the currency-style
// rounding of the original does; the nearbyint of the default rounding mode is exactly that.
double RoundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

std::string ShortestDecimal(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    std::string text = buffer;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) {
        text.resize(text.size() - 2);
    }
    if (text == "-0") {
        text = "0";
    }
    return text;
}

std::string SizeText(double bytes, double unit, const char* suffix) {
    const double quotient = bytes / unit;
    const double rounded = bytes >= unit ? RoundHalfEven(quotient, 0) : RoundHalfEven(quotient, 1);
    return ShortestDecimal(rounded) + suffix;
}

} // namespace

std::string SizeTextKB(double bytes) {
    return SizeText(bytes, 1024.0, "KB");
}

std::string SizeTextMB(double bytes) {
    return SizeText(bytes, 1024.0 * 1024.0, "MB");
}

} // namespace engine
