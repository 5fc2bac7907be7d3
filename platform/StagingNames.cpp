#include "platform/StagingFiles.h"

// The names, which are the same on every system: what a name says and whether it is ours.

#include <cstdlib>

namespace platform {

namespace {

constexpr std::string_view kPrefix = ".quarnel-";
constexpr std::string_view kKinds[] = {kStagingSave, kStagingGoal, kStagingEncode};
// 255 bytes of a name; NTFS's 255 UTF-16 units hold any UTF-8 name that long.
constexpr std::size_t kNameMax = 255;

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool AllLettersAndDigits(std::string_view text) {
    return !text.empty() &&
           text.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") ==
               std::string_view::npos;
}

// The part of text before the next '-', moved past; nothing when there is no '-'.
std::optional<std::string_view> Field(std::string_view& text) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::string_view field = text.substr(0, dash);
    text.remove_prefix(dash + 1);
    return field;
}

// At most room bytes of name, not cutting a UTF-8 sequence (the name is there for people to read)
// nor the extension, which may decide the format a save writes.
std::string Shortened(std::string_view name, std::size_t room) {
    if (name.size() <= room)
        return std::string(name);
    const auto dot = name.rfind('.');
    const std::string_view extension =
        dot != std::string_view::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string_view();
    std::size_t cut = room > extension.size() ? room - extension.size() : 0;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(name.substr(0, cut)) + std::string(extension);
}

} // namespace

std::string MakeStagingName(std::string_view kind, std::string_view tag, std::string_view targetName) {
    std::string name(kPrefix);
    name += kind;
    name += "-" + std::to_string(CurrentProcessId()) + "-";
    name += tag;
    name += "-";
    name += Shortened(targetName, kNameMax > name.size() ? kNameMax - name.size() : 0);
    return name;
}

std::optional<StagingName> ParseStagingName(std::string_view fileName) {
    if (fileName.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    std::string_view rest = fileName.substr(kPrefix.size());
    const auto kind = Field(rest);
    const auto pid = kind ? Field(rest) : std::nullopt;
    const auto tag = pid ? Field(rest) : std::nullopt;
    if (!tag || rest.empty() || !AllDigits(*pid) || pid->size() > 9 || !AllLettersAndDigits(*tag))
        return std::nullopt;
    bool known = false;
    for (const auto k : kKinds)
        known = known || *kind == k;
    if (!known)
        return std::nullopt;
    StagingName parsed{std::string(*kind), std::strtol(std::string(*pid).c_str(), nullptr, 10),
                       std::string(*tag), std::string(rest)};
    if (parsed.pid <= 0)
        return std::nullopt;
    return parsed;
}

std::string WorkFolderPattern(std::string_view prefix) {
    return std::string(prefix) + std::to_string(CurrentProcessId()) + "-XXXXXX";
}

// Whether a name of WorkFolderPattern's form was left by a process that is gone.
bool IsStaleWorkFolderName(std::string_view prefix, std::string_view folderName) {
    if (folderName.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = folderName.substr(prefix.size());
    const auto pid = Field(rest);
    if (!pid || !AllDigits(*pid) || pid->size() > 9 || rest.size() != 6 || !AllLettersAndDigits(rest))
        return false;
    return StagingMakerGone(std::strtol(std::string(*pid).c_str(), nullptr, 10));
}

} // namespace platform
