#include "platform/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <sstream>
#include <sys/prctl.h>
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

std::string FindInstalledLibreOffice() {
    return {};
}

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

struct RunningChild::State {
    pid_t pid = -1;
    bool ended = false;
    ChildResult result;
    std::chrono::steady_clock::time_point begin = std::chrono::steady_clock::now();
};

namespace {

// Everything the child needs, prepared before the fork: between fork and exec only calls that are
// safe in a copy of a threaded process are made.
struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string output;
    std::string error;
    std::string folder;
    int parentEndSignal = SIGKILL;
};

[[noreturn]] void FailInChild(int report) {
    const int error = errno;
    while (::write(report, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

void MoveOnto(int fd, int target, int report) {
    if (fd < 0)
        FailInChild(report);
    if (fd != target) {
        if (::dup2(fd, target) < 0)
            FailInChild(report);
        ::close(fd);
    }
}

[[noreturn]] void RunInChild(const Launch& launch, char* const* argv, char* const* envp, pid_t parent,
                             int report) {
    // A group of its own: a terminal's Ctrl-C reaches only us, and one kill ends all it started.
    ::setpgid(0, 0);
    // Should this process end first, the child goes too instead of writing on into files nobody
    // renames.
    ::prctl(PR_SET_PDEATHSIG, launch.parentEndSignal);
    if (::getppid() != parent)
        ::_exit(127);
    for (const int number : {SIGINT, SIGTERM, SIGPIPE})
        ::signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    MoveOnto(::open("/dev/null", O_RDONLY), STDIN_FILENO, report);
    MoveOnto(::open(launch.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO, report);
    if (launch.error.empty()) {
        if (::dup2(STDOUT_FILENO, STDERR_FILENO) < 0)
            FailInChild(report);
    } else {
        MoveOnto(::open(launch.error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO, report);
    }
    if (!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0)
        FailInChild(report);
    ::execve(launch.program.c_str(), argv, envp);
    FailInChild(report);
}

// The child's pid, or -1 when it could not be started; the report pipe carries the child's errno
// when anything before the exec fails, and closes unread when the exec succeeds.
pid_t Start(Launch& launch) {
    std::vector<char*> argv = Pointers(launch.args);
    std::vector<char*> envp = Pointers(launch.env);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return -1;
    // No signal handler of ours may run in the child before the exec.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        RunInChild(launch, argv.data(), envp.data(), parent, report[1]);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(report[1]);
    int childError = 0;
    ssize_t got = 0;
    if (pid > 0) {
        while ((got = ::read(report[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
        }
    }
    ::close(report[0]);
    if (pid < 0)
        return -1;
    if (got != 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return -1;
    }
    return pid;
}

} // namespace

RunningChild::RunningChild(const ChildCommand& command) : state_(std::make_unique<State>()) {
    if (command.arguments.empty())
        return;
    Launch launch;
    launch.program = FindProgram(command.arguments.front());
    if (launch.program.empty())
        return;
    launch.args = command.arguments;
    launch.env = MergedEnvironment(command.environment);
    launch.output = command.outputFile.empty() ? "/dev/null" : command.outputFile;
    launch.error = command.errorFile;
    launch.folder = command.workingFolder;
    launch.parentEndSignal = command.interruptible ? SIGINT : SIGKILL;
    state_->pid = Start(launch);
}

RunningChild::~RunningChild() {
    Stop();
}

bool RunningChild::Started() const {
    return state_->pid > 0;
}

bool RunningChild::WaitFor(std::chrono::milliseconds wait) {
    if (!Started() || state_->ended)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(state_->pid, &status, WNOHANG);
        if (done == state_->pid || (done < 0 && errno != EINTR)) {
            if (done == state_->pid && WIFEXITED(status)) {
                state_->result.end = ChildEnd::Exited;
                state_->result.exitCode = WEXITSTATUS(status);
            } else {
                state_->result.end = ChildEnd::Crashed;
            }
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(10)));
    }
    // Helpers the program left behind in its group go as well.
    EndGroup(state_->pid);
    state_->ended = true;
    state_->result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - state_->begin).count();
    return true;
}

void RunningChild::Interrupt() {
    if (Started() && !state_->ended)
        ::kill(state_->pid, SIGINT);
}

void RunningChild::Stop() {
    if (!Started() || state_->ended)
        return;
    ::kill(-state_->pid, SIGKILL);
    int status = 0;
    while (::waitpid(state_->pid, &status, 0) < 0 && errno == EINTR) {
    }
    EndGroup(state_->pid);
    state_->ended = true;
    state_->result.end = ChildEnd::Stopped;
    state_->result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - state_->begin).count();
}

ChildResult RunningChild::Result() const {
    return state_->result;
}

} // namespace platform
