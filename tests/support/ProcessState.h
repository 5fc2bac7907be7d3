#pragma once

// Whether a child process the test started is still there, and stand-ins for the makers of staging
// files: a process that has ended, a live one of this program, a live one of another program.
// The stand-ins are forked, and renamed with prctl: POSIX only. On Windows the makers' check is
// tested in tests/platform with a helper program of its own.

#include <string>

#ifdef _WIN32
#include "platform/WideText.h"

#include <windows.h>

namespace testsupport {

inline bool Running(int pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// The program file's name without folder and ".exe", as /proc's comm names it on Linux.
inline std::string ProcessName(int pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return {};
    wchar_t buffer[32768];
    DWORD size = sizeof buffer / sizeof buffer[0];
    const bool named = QueryFullProcessImageNameW(process, 0, buffer, &size);
    CloseHandle(process);
    if (!named)
        return {};
    std::wstring name(buffer, size);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    return platform::Narrow(name);
}

} // namespace testsupport

#else
#include <csignal>
#include <fstream>
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
#endif
