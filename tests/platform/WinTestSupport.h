#pragma once

// Windows only: a scratch folder under the temporary folder, and the helper program beside the test
// (ChildHelper_win.cpp) started directly, without the code under test.

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WideText.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <windows.h>

// <windows.h> names DeleteFile as a macro; FileSystem's member of that name is meant in the tests.
#undef DeleteFile

namespace testsupport {

class Scratch {
public:
    explicit Scratch(const std::string& name) {
        path_ = platform::JoinPath(platform::gFSO.GetTempFolder(),
                                   "quarnel-" + name + "-" + std::to_string(GetCurrentProcessId()));
        std::error_code ec;
        std::filesystem::remove_all(platform::PathFromUtf8(path_), ec);
        std::filesystem::create_directories(platform::PathFromUtf8(path_));
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(platform::PathFromUtf8(path_), ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return platform::JoinPath(path_, name); }

private:
    std::string path_;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Touch(const std::string& path) {
    std::ofstream(platform::PathFromUtf8(path), std::ios::binary) << "x";
}

inline std::string HelperPath() {
    return platform::JoinPath(platform::gFSO.ProgramFolder(), "quarnel-test-helper.exe");
}

// A running helper; the handle keeps its pid from being reused while the test looks at it.
struct Started {
    HANDLE process = nullptr;
    DWORD pid = 0;
};

inline Started StartHelper(const std::string& program, const std::string& arguments) {
    const std::wstring exe = platform::Widen(program);
    std::wstring line = L"\"" + exe + L"\" " + platform::Widen(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // No console: the stand-ins print nothing, and a console host would be one more process to end.
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &info))
        return {};
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

inline void EndHelper(Started& started) {
    if (started.process == nullptr)
        return;
    TerminateProcess(started.process, 1);
    WaitForSingleObject(started.process, 5000);
    CloseHandle(started.process);
    started.process = nullptr;
}

// Whether a process of that pid still runs.
inline bool Running(DWORD pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// A pid no process has: a helper that has ended, its handle closed.
inline DWORD EndedPid() {
    Started started = StartHelper(HelperPath(), "sleep 0");
    WaitForSingleObject(started.process, 5000);
    CloseHandle(started.process);
    return started.pid;
}

} // namespace testsupport
