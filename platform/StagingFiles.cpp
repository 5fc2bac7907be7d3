#include "platform/StagingFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = ".quarnel-";
constexpr std::string_view kKinds[] = {kStagingSave, kStagingGoal, kStagingEncode};
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

std::string ProcessName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Whether a name of WorkFolderPattern's form was left by a process that is gone.
bool IsStaleWorkFolder(std::string_view prefix, std::string_view folderName) {
    if (folderName.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = folderName.substr(prefix.size());
    const auto pid = Field(rest);
    if (!pid || !AllDigits(*pid) || pid->size() > 9 || rest.size() != 6 || !AllLettersAndDigits(rest))
        return false;
    return StagingMakerGone(std::strtol(std::string(*pid).c_str(), nullptr, 10));
}

} // namespace

std::string MakeStagingName(std::string_view kind, std::string_view tag, std::string_view targetName) {
    std::string name(kPrefix);
    name += kind;
    name += "-" + std::to_string(::getpid()) + "-";
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

int CreateStagingFile(const std::string& target, std::string_view kind, std::string& path) {
    const fs::path targetPath(target);
    fs::path folder = targetPath.parent_path();
    if (folder.empty())
        folder = ".";
    const std::string name = MakeStagingName(kind, "XXXXXX", targetPath.filename().string());
    // mkostemps fills the six X and leaves the "-<name>" after them as it is.
    const std::size_t tagEnd = name.find("XXXXXX") + 6;
    std::string pattern = (folder / name).string();
    const int suffix = static_cast<int>(name.size() - tagEnd);
    const int fd = ::mkostemps(pattern.data(), suffix, O_CLOEXEC);
    if (fd >= 0)
        path = pattern;
    return fd;
}

bool StagingMakerGone(long pid) {
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    // Alive: the maker still, unless the pid now names some other program. Every program of this
    // project is called quarnel-something, or runs the same program as this one (a test).
    const std::string name = ProcessName(std::to_string(pid));
    if (name.empty())
        return false;
    return name.rfind("quarnel", 0) != 0 && name != ProcessName("self");
}

std::string WorkFolderPattern(std::string_view prefix) {
    return std::string(prefix) + std::to_string(::getpid()) + "-XXXXXX";
}

fs::path CreateWorkFolder(const fs::path& parent, std::string_view prefix) {
    std::string pattern = (parent / WorkFolderPattern(prefix)).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

std::size_t RemoveStaleStaging(const fs::path& folder, std::string_view targetName) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto parsed = ParseStagingName(it->path().filename().string());
        if (!parsed || (!targetName.empty() && parsed->target != targetName))
            continue;
        std::error_code statError;
        if (!fs::is_regular_file(it->symlink_status(statError)) || !StagingMakerGone(parsed->pid))
            continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError))
            ++removed;
    }
    return removed;
}

std::size_t RemoveStaleWorkFolders(const fs::path& root, std::string_view prefix) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        if (!fs::is_directory(it->symlink_status(statError)) ||
            !IsStaleWorkFolder(prefix, it->path().filename().string()))
            continue;
        std::error_code removeError;
        if (fs::remove_all(it->path(), removeError) > 0)
            ++removed;
    }
    return removed;
}

} // namespace platform
