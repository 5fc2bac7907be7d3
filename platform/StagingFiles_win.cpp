#include "platform/StagingFiles.h"
#include "platform/WideText.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <share.h>
#include <sys/stat.h>
#include <system_error>
#include <windows.h>

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = ".quarnel-";
constexpr std::string_view kKinds[] = {kStagingSave, kStagingGoal, kStagingEncode};
// NTFS allows 255 UTF-16 units in a name; a UTF-8 name of at most 255 bytes never has more.
constexpr std::size_t kNameMax = 255;
constexpr std::string_view kTagLetters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool AllLettersAndDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of(kTagLetters) == std::string_view::npos;
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

// The program file's name without folder and ".exe", lower case; empty when it cannot be read.
std::wstring ImageName(HANDLE process) {
    wchar_t buffer[32768];
    DWORD size = sizeof buffer / sizeof buffer[0];
    if (!QueryFullProcessImageNameW(process, 0, buffer, &size))
        return {};
    std::wstring name(buffer, size);
    const auto slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    for (auto& c : name)
        c = static_cast<wchar_t>(towlower(c));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".exe") == 0)
        name.resize(name.size() - 4);
    return name;
}

std::string RandomTag() {
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kTagLetters.size() - 1);
    std::string tag(6, '0');
    for (auto& c : tag)
        c = kTagLetters[pick(device)];
    return tag;
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
    name += "-" + std::to_string(GetCurrentProcessId()) + "-";
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
    const fs::path targetPath = PathFromUtf8(target);
    fs::path folder = targetPath.parent_path();
    if (folder.empty())
        folder = ".";
    const std::string targetName = PathToUtf8(targetPath.filename());
    // What mkostemps does on POSIX: a fresh tag until the name is new. _O_NOINHERIT keeps the
    // descriptor out of child processes (close-on-exec). No hidden attribute: the rename into place
    // would carry it over to the target.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / PathFromUtf8(MakeStagingName(kind, RandomTag(), targetName));
        int fd = -1;
        const errno_t error =
            _wsopen_s(&fd, candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (error == 0) {
            path = PathToUtf8(candidate);
            return fd;
        }
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

bool StagingMakerGone(long pid) {
    if (pid <= 0)
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        // No such process; one we may not look at (another user's) is alive and not ours to judge.
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD exitCode = 0;
    const bool ended = GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE;
    // Alive: the maker still, unless the pid now names some other program. Every program of this
    // project is called quarnel-something, or runs the same program as this one (a test).
    const std::wstring name = ended ? std::wstring() : ImageName(process);
    CloseHandle(process);
    if (ended)
        return true;
    if (name.empty())
        return false;
    return name.rfind(L"quarnel", 0) != 0 && name != ImageName(GetCurrentProcess());
}

std::string WorkFolderPattern(std::string_view prefix) {
    return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "-XXXXXX";
}

fs::path CreateWorkFolder(const fs::path& parent, std::string_view prefix) {
    // What mkdtemp does on POSIX: a fresh tag until the name is new. The folder takes the parent's
    // inherited rights; under the user's temporary folder those admit this user alone.
    std::string name = WorkFolderPattern(prefix);
    const std::size_t tag = name.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name.replace(tag, 6, RandomTag());
        const fs::path candidate = parent / PathFromUtf8(name);
        if (CreateDirectoryW(candidate.c_str(), nullptr))
            return candidate;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

std::size_t RemoveStaleStaging(const fs::path& folder, std::string_view targetName) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto parsed = ParseStagingName(PathToUtf8(it->path().filename()));
        if (!parsed || (!targetName.empty() && parsed->target != targetName))
            continue;
        std::error_code statError;
        if (!fs::is_regular_file(it->symlink_status(statError)) || !StagingMakerGone(parsed->pid))
            continue;
        // A read-only attribute (set by someone else) would stop the removal.
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
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
            !IsStaleWorkFolder(prefix, PathToUtf8(it->path().filename())))
            continue;
        std::error_code removeError;
        if (fs::remove_all(it->path(), removeError) > 0)
            ++removed;
    }
    return removed;
}

} // namespace platform
