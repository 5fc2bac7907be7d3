#pragma once

// Reads back what a report page shows, for the tests: its picture rows and their inline images.

#include "office/package/Package.h"

#include <QByteArray>
#include <regex>
#include <string>
#include <vector>

namespace reporttest {

struct Row {
    std::string by;
    double saved = 0; // bytes before - after, from the row's text
    std::vector<office::package::Bytes> images;
};

inline std::vector<office::package::Bytes> InlineImages(const std::string& html) {
    std::vector<office::package::Bytes> images;
    static const std::regex uri(R"re(src="data:image/(jpeg|png);base64,([A-Za-z0-9+/=]+)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), uri); it != std::sregex_iterator(); ++it) {
        const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromStdString((*it)[2].str()));
        images.emplace_back(bytes.begin(), bytes.end());
    }
    return images;
}

inline double Bytes(const std::string& number, const std::string& unit) {
    const double n = std::stod(number);
    return unit == "MB" ? n * 1024 * 1024 : unit == "KB" ? n * 1024 : n;
}

inline std::vector<Row> PictureRows(const std::string& html) {
    std::vector<Row> rows;
    static const std::regex start(R"re(<tr class="picture[^"]*" id="[^"]*" data-by="([a-z]+)")re");
    static const std::regex sizes(R"re(<p>([0-9.]+) (B|KB|MB) → ([0-9.]+) (B|KB|MB) \()re");
    std::vector<std::pair<std::size_t, std::string>> starts;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), start); it != std::sregex_iterator(); ++it)
        starts.emplace_back(static_cast<std::size_t>(it->position()), (*it)[1].str());
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end = html.find("</tr>", starts[k].first);
        const std::string text = html.substr(starts[k].first, end - starts[k].first);
        Row row;
        row.by = starts[k].second;
        std::smatch m;
        if (std::regex_search(text, m, sizes))
            row.saved = Bytes(m[1], m[2]) - Bytes(m[3], m[4]);
        row.images = InlineImages(text);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace reporttest
