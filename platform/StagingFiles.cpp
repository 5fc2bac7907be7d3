#include "platform/StagingFiles.h"

#include "platform/StagingRemoval.h"

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

std::string ProcessName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace

long CurrentProcessId() {
    return static_cast<long>(::getpid());
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

std::filesystem::path WorkFolderRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && tmp[0] == '/' ? std::filesystem::path(tmp) : std::filesystem::path("/tmp");
}

fs::path CreateWorkFolder(const fs::path& parent, std::string_view prefix) {
    std::string pattern = (parent / WorkFolderPattern(prefix)).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

namespace detail {

bool RemoveLeftFile(const fs::path& path) {
    std::error_code ec;
    return fs::remove(path, ec);
}

} // namespace detail

} // namespace platform
