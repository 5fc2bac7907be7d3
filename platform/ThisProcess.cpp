#include "platform/ThisProcess.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace platform {

std::string ProgramFile() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

int ProcessorCount() {
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return static_cast<int>(std::clamp(cores, 1L, 256L));
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

bool IsTerminal(StandardStream stream) {
    const int fd = stream == StandardStream::Input    ? STDIN_FILENO
                   : stream == StandardStream::Output ? STDOUT_FILENO
                                                      : STDERR_FILENO;
    return ::isatty(fd) != 0;
}

void PrepareConsole() {}

void KeepStandardOutputBytes() {}

} // namespace platform
