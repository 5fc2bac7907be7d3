// A stand-in encoder for the Windows tests of the encoder runner, doing what the POSIX tests have
// the shell do. Its arguments are actions, carried out in order; the arguments are split as ffmpeg
// splits its own (CommandLineToArgvW), so a name reaches an action exactly as an encoder gets it.
//   exit N           ends now with exit code N
//   sleep SECONDS    waits (fractions allowed)
//   write FILE TEXT  writes TEXT (UTF-8) to FILE
//   touch FILE       makes FILE empty
//   copy FROM TO     copies the file FROM to TO
//   cwd FILE         writes the current folder to FILE
//   spawn FILE       starts itself waiting a minute, and writes "<own pid> <child pid>" to FILE
//   crash            dies of an access violation
//   terminate        ends itself as a Ctrl-C or a kill from outside does (STATUS_CONTROL_C_EXIT)
//   at-end-exit N    the exit code once every action is done (0 when not given)
//   at-end-sleep S   waits that long once every action is done
// An unknown action or a missing operand ends it with 99: an argument added or lost shows.

#include "platform/WideText.h"
#include "tests/support/SelfChild_win.h"

#include <string>
#include <vector>
#include <windows.h>

namespace {

constexpr int kBadArguments = 99;

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    // Written under another name and renamed, so that a test never reads half of it.
    const std::wstring temp = path + L".part";
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void Wait(const std::string& seconds) {
    Sleep(static_cast<DWORD>(std::stod(seconds) * 1000.0));
}

bool Spawn(const std::wstring& pidFile) {
    const DWORD child = testsupport::StartSleepingCopy(L"60");
    return child != 0 &&
           WriteWhole(pidFile, std::to_string(GetCurrentProcessId()) + " " + std::to_string(child));
}

} // namespace

int main() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(wide + 1, wide + count);
    LocalFree(wide);

    int endCode = 0;
    std::string endSleep;
    std::size_t i = 0;
    // Whether the action at i has k operands after it.
    const auto operand = [&](std::size_t k) { return i + k < args.size(); };
    while (i < args.size()) {
        const std::string action = platform::Narrow(args[i]);
        if (action == "exit" && operand(1)) {
            return std::stoi(platform::Narrow(args[i + 1]));
        } else if (action == "sleep" && operand(1)) {
            Wait(platform::Narrow(args[i + 1]));
            i += 2;
        } else if (action == "write" && operand(2)) {
            if (!WriteWhole(args[i + 1], platform::Narrow(args[i + 2])))
                return 3;
            i += 3;
        } else if (action == "touch" && operand(1)) {
            if (!WriteWhole(args[i + 1], std::string()))
                return 3;
            i += 2;
        } else if (action == "copy" && operand(2)) {
            if (!CopyFileW(args[i + 1].c_str(), args[i + 2].c_str(), FALSE))
                return 3;
            i += 3;
        } else if (action == "cwd" && operand(1)) {
            std::wstring folder(32768, L'\0');
            folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
            if (!WriteWhole(args[i + 1], platform::Narrow(folder)))
                return 3;
            i += 2;
        } else if (action == "spawn" && operand(1)) {
            if (!Spawn(args[i + 1]))
                return 3;
            i += 2;
        } else if (action == "crash") {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
            i += 1;
        } else if (action == "terminate") {
            TerminateProcess(GetCurrentProcess(), 0xC000013Au);
            i += 1;
        } else if (action == "at-end-exit" && operand(1)) {
            endCode = std::stoi(platform::Narrow(args[i + 1]));
            i += 2;
        } else if (action == "at-end-sleep" && operand(1)) {
            endSleep = platform::Narrow(args[i + 1]);
            i += 2;
        } else {
            return kBadArguments;
        }
    }
    if (!endSleep.empty())
        Wait(endSleep);
    return endCode;
}
