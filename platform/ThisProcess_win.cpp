#include "platform/ThisProcess.h"
#include "platform/WideText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {
namespace {

HANDLE StandardHandle(StandardStream stream) {
    return GetStdHandle(stream == StandardStream::Input    ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE);
}

// What PrepareConsole changed, put back when the process ends: the console belongs to the shell
// that started the program and outlives it.
UINT gShellCodePage = 0;

void RestoreShellCodePage() {
    SetConsoleOutputCP(gShellCodePage);
}

} // namespace

std::string ProgramFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return Narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

int ProcessorCount() {
    const DWORD cores = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return static_cast<int>(std::clamp<DWORD>(cores, 1, 256));
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

bool IsTerminal(StandardStream stream) {
    // _isatty also says yes for the NUL device; only a console has a console mode.
    DWORD mode = 0;
    return GetConsoleMode(StandardHandle(stream), &mode) != 0;
}

void PrepareConsole() {
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != 0 && codePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        gShellCodePage = codePage;
        std::atexit(RestoreShellCodePage);
    }
    for (const auto stream : {StandardStream::Output, StandardStream::Error}) {
        const HANDLE console = StandardHandle(stream);
        DWORD mode = 0;
        if (GetConsoleMode(console, &mode))
            SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

void KeepStandardOutputBytes() {
    // What was written so far goes out in the mode it was written in.
    for (FILE* stream : {stdout, stderr}) {
        std::fflush(stream);
        _setmode(_fileno(stream), _O_BINARY);
    }
}

} // namespace platform
