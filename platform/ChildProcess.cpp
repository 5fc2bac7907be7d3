#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> merged;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& change : changes)
            replaced = replaced || change.first == key;
        if (!replaced)
            merged.push_back(entry);
    }
    for (const auto& change : changes)
        merged.push_back(change.first + "=" + change.second);
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts)
        out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// Whether a process of the group still runs. Killed members that nobody reaped (an orphan's parent
// in a container need not reap) stay as zombies and count as gone; so does a group kill cannot reach.
bool GroupAlive(pid_t group) {
    if (::kill(-group, 0) != 0)
        return false;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        std::ifstream stat(it->path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(line.substr(close + 1));
        char state = 0;
        long parent = 0;
        long processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' &&
            state != 'X')
            return true;
    }
    return false;
}

// Kills every process of the group and waits (briefly) until the last one is gone, so that
// nothing writes into the caller's folders once this returns.
void EndGroup(pid_t group) {
    ::kill(-group, SIGKILL);
    for (int i = 0; i < 200 && GroupAlive(group); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = end > start ? folders.substr(start, end - start) : std::string(".");
        candidate.append(1, '/').append(name);
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

ChildResult RunChild(const ChildCommand& command) {
    ChildResult result;
    const auto begin = std::chrono::steady_clock::now();
    if (command.arguments.empty())
        return result;
    const std::string program = FindProgram(command.arguments.front());
    if (program.empty())
        return result;

    // Everything the child needs is prepared before the spawn.
    std::vector<std::string> args = command.arguments;
    std::vector<std::string> env = MergedEnvironment(command.environment);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    const std::string output = command.outputFile.empty() ? "/dev/null" : command.outputFile;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (!command.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
    // A group of its own: a terminal's Ctrl-C reaches only us, and one kill ends all it started.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return result;

    const auto deadline = begin + command.timeLimit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status)) {
                result.end = ChildEnd::Exited;
                result.exitCode = WEXITSTATUS(status);
            } else {
                result.end = ChildEnd::Crashed;
            }
            break;
        }
        if (done < 0 && errno != EINTR) {
            result.end = ChildEnd::Crashed;
            break;
        }
        const bool stop = command.stopRequested && command.stopRequested();
        if (stop || std::chrono::steady_clock::now() >= deadline) {
            result.end = stop ? ChildEnd::Stopped : ChildEnd::TimedOut;
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Helpers the program left behind in its group go as well.
    EndGroup(pid);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return result;
}

} // namespace platform
