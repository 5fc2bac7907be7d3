#include "cli/SizeGoalOptions.h"

#include "settings/TargetSize.h"

#include <algorithm>
#include <cctype>

namespace cli {
namespace {

std::string TrimmedLower(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    std::string word = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

} // namespace

bool IsSizeGoalOption(const std::string& name) {
    return name == "--target-size" || name == "--no-target-size" || name == "--target-allow";
}

std::optional<TargetAllowance> ParseTargetAllowance(const std::string& list) {
    TargetAllowance allowed;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string word =
            TrimmedLower(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (word == "objects") {
            allowed.objects = 1;
        } else if (word == "media") {
            allowed.media = 1;
        } else if (word == "fonts") {
            allowed.fonts = 1;
        } else if (word == "layouts") {
            allowed.layouts = 1;
        } else {
            return std::nullopt; // an unknown word, or an empty one ("", "fonts,", "a,,b")
        }
        if (comma == std::string::npos) {
            return allowed;
        }
        start = comma + 1;
    }
}

std::optional<std::string> ParseSizeGoalOption(const std::string& name,
                                               const std::optional<std::string>& inlineValue,
                                               const std::function<std::optional<std::string>()>& value,
                                               CliOptions& o) {
    if (name == "--no-target-size") {
        if (inlineValue) {
            return name + " は値をとりません / takes no value";
        }
        o.targetSizeOn = 0;
        return std::nullopt;
    }
    const auto v = value();
    if (!v) {
        return name + " には値が必要です / needs a value";
    }
    const std::string bad =
        name + " の値が正しくありません / bad value: " + (v->empty() ? "(空 / empty)" : *v);
    if (name == "--target-size") {
        if (!settings::ParseTargetSize(*v)) {
            return bad + " (例 / e.g. 500KB, 10MB, 9.5MB; 1KB = 1024 バイト / bytes)";
        }
        o.targetSizeOn = 1;
        o.targetSize = *v;
        return std::nullopt;
    }
    o.targetAllow = ParseTargetAllowance(*v);
    if (!o.targetAllow) {
        return bad + " (objects,media,fonts,layouts からカンマ区切りで / a comma-separated list of "
                     "objects, media, fonts, layouts)";
    }
    return std::nullopt;
}

} // namespace cli
