#include "cli/Progress.h"

#include <array>
#include <cstdio>

namespace cli {

std::string ShortSize(double bytes) {
    constexpr std::array<const char*, 5> kUnits{"B", "KB", "MB", "GB", "TB"};
    std::size_t unit = 0;
    while (bytes >= 1000.0 && unit + 1 < kUnits.size()) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0 || bytes >= 100.0) {
        std::snprintf(text, sizeof text, "%.0f %s", bytes, kUnits[unit]);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    }
    return text;
}

std::string ProgressLine(std::size_t done, std::size_t total, double before, double after,
                         const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + ShortSize(before) + "→" +
           ShortSize(after) + "  " + name;
}

} // namespace cli
