#include "batch/TranscodingProfiles.h"

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "settings/IniDocument.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace batch {
namespace {

constexpr int kCommandCount = 11;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// section (lower case) -> key (lower case) -> raw value; the first of duplicate entries counts.
using RawIni = std::map<std::string, std::map<std::string, std::string>>;

RawIni ParseRaw(const settings::IniDocument& document) {
    RawIni ini;
    std::string section;
    bool inSection = false;
    for (const std::string& rawLine : document.lines()) {
        const std::string line = Trim(rawLine);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            inSection = true;
            ini[section];
            continue;
        }
        const auto eq = line.find('=');
        if (!inSection || eq == std::string::npos) {
            continue;
        }
        ini[section].emplace(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
    return ini;
}

// Reads [<prefix>0], [<prefix>1]... until the first missing section.
std::optional<std::string> ReadTable(const RawIni& ini, const std::string& prefix,
                                     std::vector<EncoderProfile>& table) {
    for (int n = 0;; ++n) {
        const std::string section = prefix + std::to_string(n);
        const auto found = ini.find(Lower(section));
        if (found == ini.end()) {
            break;
        }
        const auto& keys = found->second;
        EncoderProfile profile;
        if (const auto name = keys.find("name"); name != keys.end()) {
            profile.Name = name->second;
        }
        for (int i = 0; i < kCommandCount; ++i) {
            const auto command = keys.find("command" + std::to_string(i));
            if (command == keys.end() || command->second.empty()) {
                break;
            }
            profile.Commands.push_back(command->second);
        }
        if (profile.Name.empty() || profile.Commands.empty()) {
            return "[" + section + "] に Name または Command0 がありません";
        }
        table.push_back(std::move(profile));
    }
    if (table.empty()) {
        return "[" + prefix + "0] がありません";
    }
    return std::nullopt;
}

} // namespace

const std::vector<std::string>& DefaultMovieExtensions() {
    static const std::vector<std::string> extensions{"mp4",  "m4v", "mov",  "avi", "wmv", "asf", "mpg",
                                                     "mpeg", "mkv", "webm", "flv", "3gp", "ts",  "m2ts"};
    return extensions;
}

const std::vector<std::string>& GeneralExtensions() {
    static const std::vector<std::string> extensions{"wav", "mp3", "m4a", "wma"};
    return extensions;
}

bool IsMediaEntryExtension(const std::string& lowerExtension) {
    const auto& movies = DefaultMovieExtensions();
    const auto& general = GeneralExtensions();
    return std::find(movies.begin(), movies.end(), lowerExtension) != movies.end() ||
           std::find(general.begin(), general.end(), lowerExtension) != general.end();
}

std::string TranscodingIniPath(const std::string& programFolder) {
    const std::string beside = platform::JoinPath(programFolder, kTranscodingIniName);
    const std::filesystem::path installed =
        platform::PathFromUtf8(programFolder).parent_path() / "share" / "quarnel" / kTranscodingIniName;
    std::error_code ec;
    if (!std::filesystem::exists(platform::PathFromUtf8(beside), ec) &&
        std::filesystem::exists(installed, ec)) {
        return platform::PathToUtf8(installed);
    }
    return beside;
}

std::optional<std::string> LoadTranscodingProfiles(const std::string& path, MovieProfiles& profiles) {
    profiles.MovieProfileTable.clear();
    profiles.GeneralProfileTable.clear();
    const platform::FileContents file = platform::ReadWholeFile(path);
    if (file.status == platform::ReadStatus::Missing) {
        return "ﾌｧｲﾙがありません";
    }
    if (file.status != platform::ReadStatus::Ok) {
        return "ﾌｧｲﾙを読めません";
    }
    std::string_view bytes = file.bytes;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bytes.remove_prefix(kUtf8Bom.size());
    }
    settings::IniDocument document;
    document.Parse(platform::ToUtf8(bytes, platform::DetectEncoding(bytes)));
    const RawIni ini = ParseRaw(document);
    MovieProfiles loaded;
    if (auto error = ReadTable(ini, "MovieProfile", loaded.MovieProfileTable)) {
        return error;
    }
    if (auto error = ReadTable(ini, "GeneralProfile", loaded.GeneralProfileTable)) {
        return error;
    }
    profiles.MovieProfileTable = std::move(loaded.MovieProfileTable);
    profiles.GeneralProfileTable = std::move(loaded.GeneralProfileTable);
    return std::nullopt;
}

std::vector<std::string> ProfileNames(const MovieProfiles& profiles) {
    std::vector<std::string> names;
    for (const auto& profile : profiles.MovieProfileTable) {
        names.push_back(profile.Name);
    }
    return names;
}

std::optional<int> FindProfile(const MovieProfiles& profiles, const std::string& nameOrIndex) {
    const auto& table = profiles.MovieProfileTable;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].Name == nameOrIndex) {
            return static_cast<int>(i);
        }
    }
    if (!nameOrIndex.empty() && nameOrIndex.size() < 6 &&
        nameOrIndex.find_first_not_of("0123456789") == std::string::npos) {
        const int index = std::stoi(nameOrIndex);
        if (index < static_cast<int>(table.size())) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace batch
