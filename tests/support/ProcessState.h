#pragma once

// Whether a child process the test started is still there, and stand-ins for the makers of staging
// files: a process that has ended, a live one of this program, a live one of another program.

#include <csignal>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// Whether the process still runs (a killed one its parent has not reaped yet is a zombie: gone).
inline bool Running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
        return false;
    const char state = line.at(line.rfind(')') + 2);
    return state != 'Z' && state != 'X';
}

inline std::string ProcessName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A pid no process has (until reused, which only makes a test keep a file it could have removed).
inline pid_t EndedPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return child;
}

// A live process of this program (under another name when named), or (other) of /bin/sleep; -1
// when it could not be started.
inline pid_t StartStandIn(bool other, const char* named = nullptr) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (other)
            ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
        else if (named != nullptr)
            ::prctl(PR_SET_NAME, named);
        if (!other)
            ::pause();
        ::_exit(127);
    }
    // Until exec or the renaming has happened the child still carries this program's name.
    const std::string expected = other ? "sleep" : named != nullptr ? named : "";
    for (int k = 0; !expected.empty() && child > 0 && k < 500 && ProcessName(child) != expected; ++k)
        ::usleep(10000);
    return child;
}

inline void EndStandIn(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace testsupport
