#pragma once

// Windows stand-in programs: their own path, and a copy of themselves started to sleep, a child for
// a test to find and end.

#include <string>
#include <windows.h>

namespace testsupport {

inline std::wstring OwnProgramPath() {
    std::wstring buffer(32768, L'\0');
    buffer.resize(GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size())));
    return buffer;
}

// "<this program> sleep <duration>", started with no handles of ours; its process id, or 0.
inline DWORD StartSleepingCopy(const std::wstring& duration) {
    const std::wstring program = OwnProgramPath();
    std::wstring line = L"\"" + program + L"\" sleep " + duration;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &child))
        return 0;
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return child.dwProcessId;
}

} // namespace testsupport
