#include "settings/TargetSize.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace settings {

std::optional<std::uint64_t> ParseTargetSize(const std::string& text) {
    std::string t;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (t.size() < 3)
        return std::nullopt;
    const std::string unit = t.substr(t.size() - 2);
    const double scale = unit == "KB" ? 1024.0 : unit == "MB" ? 1024.0 * 1024.0 : 0;
    const std::string number = t.substr(0, t.size() - 2);
    if (scale == 0 || number.empty() || number.find_first_not_of("0123456789.") != std::string::npos ||
        number.find('.') != number.rfind('.') || number == ".")
        return std::nullopt;
    const double value = std::strtod(number.c_str(), nullptr) * scale;
    // Up to a terabyte: beyond that it is a typing slip, not a deck.
    if (!(value >= 1) || value > 1024.0 * 1024 * 1024 * 1024)
        return std::nullopt;
    return static_cast<std::uint64_t>(std::llround(value));
}

} // namespace settings
