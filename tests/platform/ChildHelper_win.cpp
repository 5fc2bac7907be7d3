// A stand-in helper program for the Windows tests of the process runner and the staging sweep.
//   report ARGS...   prints its environment variable, folder and arguments; exits 7
//   sleep MS         sleeps
//   spawn FILE       starts "sleep" under itself, writes "<own pid> <child pid>" to FILE, sleeps
//   parent FILE      runs "spawn FILE" through platform::RunChild and waits for it
//   crash            dies of an access violation
//   arguments ARGS...  prints platform::CommandLineArguments one a line, then whether each
//                    standard stream is a terminal
//   breakable FILE   writes FILE once a Ctrl-Break would be heard, then exits 130 on one (or 0 after
//                    a minute)

#include "platform/ChildProcess.h"
#include "platform/ThisProcess.h"
#include "platform/WideText.h"
#include "tests/support/SelfChild_win.h"

#include <string>
#include <vector>
#include <windows.h>

namespace {

void Print(HANDLE to, const std::string& text) {
    DWORD written = 0;
    WriteFile(to, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

HANDLE gBreak = nullptr;

BOOL WINAPI OnBreak(DWORD event) {
    if (event != CTRL_BREAK_EVENT)
        return FALSE;
    SetEvent(gBreak);
    return TRUE;
}

int Breakable(const std::string& readyFile) {
    gBreak = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnBreak, TRUE);
    const HANDLE file =
        CreateFileW(platform::Widen(readyFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    return WaitForSingleObject(gBreak, 60000) == WAIT_OBJECT_0 ? 130 : 0;
}

int Spawn(const std::string& pidFile) {
    const DWORD child = testsupport::StartSleepingCopy(L"60000");
    if (child == 0)
        return 3;
    // Written under another name and renamed, so that the test never reads half of it.
    const std::wstring target = platform::Widen(pidFile);
    const std::wstring temp = target + L".part";
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Print(file, std::to_string(GetCurrentProcessId()) + " " + std::to_string(child));
    CloseHandle(file);
    MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    Sleep(60000);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(platform::Narrow(wide[i]));
    LocalFree(wide);
    const std::string mode = args.size() > 1 ? args[1] : "";
    if (mode == "report") {
        wchar_t value[1024];
        const DWORD length = GetEnvironmentVariableW(L"QUARNEL_CHILD_TEST", value, 1024);
        wchar_t folder[MAX_PATH];
        const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
        std::string text = platform::Narrow(std::wstring(value, length)) + " " +
                           platform::Narrow(std::wstring(folder, folderLength)) + "\n";
        for (std::size_t i = 2; i < args.size(); ++i)
            text += "[" + args[i] + "]\n";
        Print(GetStdHandle(STD_OUTPUT_HANDLE), text);
        Print(GetStdHandle(STD_ERROR_HANDLE), "oops\n");
        return 7;
    }
    if (mode == "sleep" && args.size() > 2) {
        Sleep(static_cast<DWORD>(std::stoul(args[2])));
        return 0;
    }
    if (mode == "spawn" && args.size() > 2)
        return Spawn(args[2]);
    if (mode == "parent" && args.size() > 2) {
        platform::ChildCommand command;
        command.arguments = {platform::Narrow(testsupport::OwnProgramPath()), "spawn", args[2]};
        return platform::RunChild(command).end == platform::ChildEnd::Exited ? 0 : 4;
    }
    if (mode == "breakable" && args.size() > 2)
        return Breakable(args[2]);
    if (mode == "arguments") {
        std::string text;
        for (const auto& argument : platform::CommandLineArguments(argc, argv))
            text += "[" + argument + "]\n";
        for (const auto stream : {platform::StandardStream::Input, platform::StandardStream::Output,
                                  platform::StandardStream::Error})
            text += platform::IsTerminal(stream) ? "terminal\n" : "none\n";
        Print(GetStdHandle(STD_OUTPUT_HANDLE), text);
        return 0;
    }
    if (mode == "crash") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    return 2;
}
