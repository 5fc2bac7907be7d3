#include "settings/TextUtil.h"

#include <QString>
#include <limits>

namespace settings {

std::string StripBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\0' && c != '\n' && c != '\r' && c != ' ') {
            out += c;
        }
    }
    return out;
}

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::string();
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    const std::string trimmed = TrimBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == '+' || trimmed[i] == '-')) {
        negative = trimmed[i] == '-';
        ++i;
    }
    if (i == trimmed.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int16_t> ParseInt16(std::string_view text) {
    const auto value = ParseInt32(text);
    if (!value || *value > std::numeric_limits<std::int16_t>::max() ||
        *value < std::numeric_limits<std::int16_t>::min()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(*value);
}

std::string ToLowerText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdString();
}

} // namespace settings
