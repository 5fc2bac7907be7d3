#include "cli/BatchScaleOptions.h"

#include <array>
#include <cstdlib>

namespace cli {
namespace {

constexpr std::array<const char*, 3> kFlags{"--recursive", "--skip-existing", "--deck-child"};
constexpr std::array<const char*, 4> kValued{"--jobs", "--threads", "--files-from", "--shard"};
constexpr int kMostJobs = 256;

std::optional<int> Positive(const std::string& text, int most) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::atoi(text.c_str());
    if (value < 1 || value > most) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool IsBatchScaleOption(const std::string& name) {
    for (const char* flag : kFlags) {
        if (name == flag) {
            return true;
        }
    }
    for (const char* valued : kValued) {
        if (name == valued) {
            return true;
        }
    }
    return false;
}

std::optional<std::pair<int, int>> ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const auto k = Positive(text.substr(0, slash), 999999);
    const auto n = Positive(text.substr(slash + 1), 999999);
    if (!k || !n || *k > *n) {
        return std::nullopt;
    }
    return std::make_pair(*k, *n);
}

std::optional<std::string> ParseBatchScaleOption(const std::string& name,
                                                 const std::optional<std::string>& inlineValue,
                                                 const std::function<std::optional<std::string>()>& value,
                                                 CliOptions& o) {
    if (name == "--recursive" || name == "--skip-existing" || name == "--deck-child") {
        if (inlineValue) {
            return name + " は値をとりません / takes no value";
        }
        (name == "--recursive"       ? o.recursive
         : name == "--skip-existing" ? o.skipExisting
                                     : o.deckChild) = true;
        return std::nullopt;
    }
    const auto v = value();
    if (!v) {
        return name + " には値が必要です / needs a value";
    }
    const std::string bad = name + " の値が正しくありません / bad value: " + *v;
    if (name == "--jobs") {
        o.jobs = Positive(*v, kMostJobs);
        return o.jobs ? std::nullopt : std::optional<std::string>(bad);
    }
    if (name == "--threads") {
        // 0 is allowed: no picture work ahead, every picture on the walk's own thread.
        const auto n = *v == "0" ? std::optional<int>(0) : Positive(*v, kMostJobs);
        o.threads = n;
        return n ? std::nullopt : std::optional<std::string>(bad);
    }
    if (name == "--shard") {
        o.shard = ParseShard(*v);
        return o.shard ? std::nullopt : std::optional<std::string>(bad);
    }
    if (v->empty()) {
        return bad;
    }
    o.filesFrom = *v;
    return std::nullopt;
}

} // namespace cli
