#include "report/HtmlText.h"

#include <cmath>
#include <cstdio>

namespace report {

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Base64(std::span<const std::uint8_t> bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t v = (bytes[i] << 16) | (two ? bytes[i + 1] << 8 : 0);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string DataUri(const automation::ReportImage& image) {
    if (image.bytes.empty())
        return {};
    return "data:" + image.mimeType + ";base64," + Base64(image.bytes);
}

std::string BytesText(double bytes) {
    char text[32];
    if (bytes >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.2f MB", bytes / (1024.0 * 1024.0));
    else if (bytes >= 1024.0)
        std::snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    return text;
}

std::string ChangeText(double before, double after) {
    if (before <= 0)
        return {};
    const long percent = std::lround((after / before - 1.0) * 100.0);
    return (percent > 0 ? "+" : percent < 0 ? "−" : "±") + std::to_string(std::labs(percent)) + " %";
}

} // namespace report
